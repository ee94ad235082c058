#include "cli/inputs.h"

#include <filesystem>
#include <system_error>

#include "core/utf8_path.h"

namespace vg::cli {
namespace {

// The absolute form of a path without "." components or doubled separators. ".." is
// kept: after a symbolic link it does not mean the folder the text shows.
std::filesystem::path MakeFullPath(const std::filesystem::path& path) {
  std::error_code ec;
  const std::filesystem::path absolute = std::filesystem::absolute(path, ec);
  if (ec) return path;
  std::filesystem::path full;
  for (const auto& part : absolute) {
    if (part == "." || part.empty()) continue;
    full /= part;
  }
  return full;
}

}  // namespace

bool AddInputs(CImageList& list, const std::vector<std::string>& inputs, std::string& error) {
  std::vector<std::filesystem::path> paths;
  std::vector<bool> is_folder;
  for (const std::string& input : inputs) {
    const std::filesystem::path path = PathFromUtf8(input);
    std::error_code ec;
    const auto status = std::filesystem::status(path, ec);
    if (!std::filesystem::exists(status)) {
      const bool missing = !ec || ec == std::errc::no_such_file_or_directory ||
                           ec == std::errc::not_a_directory;
      error = (input.empty() ? "''" : input) + ": " +
              (missing ? std::string("no such file or folder") : ec.message());
      return false;
    }
    paths.push_back(MakeFullPath(path));
    is_folder.push_back(std::filesystem::is_directory(status));
  }
  for (std::size_t i = 0; i < paths.size(); ++i) {
    if (is_folder[i]) {
      list.AddFolder(paths[i]);
    } else {
      list.AddImageFile(PathToUtf8(paths[i]));
    }
  }
  return true;
}

}  // namespace vg::cli
