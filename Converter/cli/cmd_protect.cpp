// `vellagard protect` and `vellagard unprotect`: one protected image file at a time.
#include <cstdio>
#include <memory>
#include <string>

#include "cli/commands.h"
#include "core/protected_file.h"
#include "core/text.h"
#include "core/utf8_path.h"
#include "settings/domain_name.h"

namespace vg::cli {
namespace {

struct ProtectOptions {
  std::string domain;
  std::string source;
  std::string target;
};

void Fail(const std::string& file, const std::string& reason) {
  std::fprintf(stderr, "vellagard: %s: %s\n", file.c_str(), reason.c_str());
}

// The --domain text as the host name a browser reports (see NormalizeDomainName); empty
// for none. False, after a message, when the text holds no usable host name.
bool CheckedDomain(const std::string& typed, std::string& domain) {
  domain.clear();
  if (IsBlankText(typed)) return true;
  const DomainNameResult checked = NormalizeDomainName(typed);
  if (!checked.ok) {
    std::fprintf(stderr, "vellagard: --domain: %s\n", checked.message.c_str());
    return false;
  }
  domain = checked.name;
  return true;
}

// Explains why WriteProtectedImageFile refused, by looking at the inputs again.
std::string WhyProtectFailed(const ProtectOptions& o, std::string& file) {
  std::error_code ec;
  const auto source = PathFromUtf8(o.source);
  const auto target = PathFromUtf8(o.target);
  file = o.source;
  if (!std::filesystem::exists(source, ec)) return "no such file";
  if (!std::filesystem::is_regular_file(source, ec)) return "not a regular file";
  const auto size = std::filesystem::file_size(source, ec);
  if (ec) return "cannot read the file size";
  if (size == 0) return "the file is empty";
  if (size > static_cast<std::uintmax_t>(kMaxProtectedSourceLength)) {
    return "the file is 2 GiB or larger, which protected image files cannot hold";
  }
  file = o.target;
  auto folder = target.parent_path();
  if (folder.empty()) folder = ".";
  if (!std::filesystem::is_directory(folder, ec)) return "the target folder does not exist";
  return "cannot write the file (no permission, disk full, or the source could not be read)";
}

}  // namespace

void AddProtectCommands(CLI::App& app, int& exit_code) {
  auto protect_opts = std::make_shared<ProtectOptions>();
  CLI::App* protect =
      app.add_subcommand("protect", "Write one protected image file from an image file.");
  protect->add_option("--domain", protect_opts->domain,
                      "Lock the file to this web domain (default: keyless)");
  protect->add_option("SOURCE", protect_opts->source, "Image file to protect")->required();
  protect->add_option("TARGET", protect_opts->target, "Protected image file to write")->required();
  protect->callback([protect_opts, &exit_code] {
    const auto& o = *protect_opts;
    std::string domain;
    if (!CheckedDomain(o.domain, domain)) {
      exit_code = kExitUsage;
      return;
    }
    if (WriteProtectedImageFile(PathFromUtf8(o.source), PathFromUtf8(o.target), domain)) {
      exit_code = kExitOk;
      return;
    }
    std::string file;
    const std::string reason = WhyProtectFailed(o, file);
    Fail(file, reason);
    exit_code = kExitFailed;
  });

  auto unprotect_opts = std::make_shared<ProtectOptions>();
  CLI::App* unprotect =
      app.add_subcommand("unprotect", "Recover the original image from a protected image file.");
  unprotect->add_option("--domain", unprotect_opts->domain,
                        "Refuse a domain-locked file unless it is locked to this domain");
  unprotect->add_option("SOURCE", unprotect_opts->source, "Protected image file")->required();
  unprotect->add_option("TARGET", unprotect_opts->target, "Image file to write")->required();
  unprotect->callback([unprotect_opts, &exit_code] {
    const auto& o = *unprotect_opts;
    std::string domain;
    if (!CheckedDomain(o.domain, domain)) {
      exit_code = kExitUsage;
      return;
    }
    const UnprotectResult r =
        ReadProtectedImageFile(PathFromUtf8(o.source), PathFromUtf8(o.target), domain);
    if (r.error == UnprotectError::None) {
      exit_code = kExitOk;
      return;
    }
    const bool target_side = r.error == UnprotectError::CannotWriteTarget;
    Fail(target_side ? o.target : o.source, DescribeUnprotectError(r.error));
    exit_code = kExitFailed;
  });
}

}  // namespace vg::cli
