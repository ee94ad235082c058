// `vellagard convert`: the whole conversion run from the command line.
#include <cstdio>
#include <iostream>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "cli/commands.h"
#include "cli/inputs.h"
#include "cli/terminal.h"
#include "core/image_list.h"
#include "core/platform.h"
#include "core/product_files.h"
#include "core/utf8_path.h"
#include "pages/page_builder.h"
#include "pages/style_checks.h"
#include "run/conversion_run.h"
#include "settings/domain_name.h"
#include "settings/settings.h"

namespace vg::cli {
namespace {

constexpr int kExitAborted = 130;

struct ConvertOptions {
  std::vector<std::string> inputs;
  std::string target;
  std::string style = "link";
  std::string link = kDefaultLink;
  std::string frame = "self";
  std::string message = "Press here";
  std::string second_image;
  std::string delay = "1000";
  std::string loading = ConverterSettings{}.MessageLoading;
  std::string status = ConverterSettings{}.MessageStatus;
  std::string background = "000000";
  std::string text_color = "FFFFFF";
  std::string border = "0";
  std::string watermark;
  std::string domain;
  bool open = false;
  bool yes = false;
  bool verbose = false;
  bool quiet = false;
  bool force = false;
};

// The --style names, in the order of the stored style numbers.
std::vector<std::string> StyleOptionNames() {
  std::vector<std::string> names;
  for (std::int32_t i = 0; i < kStyleCount; ++i) names.emplace_back(StyleOptionName(StyleOf(i)));
  return names;
}

// "RRGGBB" (page form, '#' allowed in front) to the stored 0x00BBGGRR.
bool ParsePageColour(std::string text, std::uint32_t& colour) {
  if (!text.empty() && text[0] == '#') text.erase(0, 1);
  if (text.size() != 6) return false;
  std::uint32_t rgb = 0;
  for (char c : text) {
    int v;
    if (c >= '0' && c <= '9') v = c - '0';
    else if (c >= 'a' && c <= 'f') v = c - 'a' + 10;
    else if (c >= 'A' && c <= 'F') v = c - 'A' + 10;
    else return false;
    rgb = rgb << 4 | static_cast<std::uint32_t>(v);
  }
  colour = ((rgb >> 16) & 0xFF) | (rgb & 0xFF00) | ((rgb & 0xFF) << 16);
  return true;
}

// The command line as a host of the run: messages on the terminal, the question on
// the terminal (or answered by --yes), a progress bar on stderr, Ctrl-C as Stop.
class CliHost : public IConversionHost {
 public:
  // `domain` is the checked host name the files are locked to, empty for keyless files.
  CliHost(const ConvertOptions& o, std::string domain, ConverterSettings& s, RunFlags& flags)
      : m_options(o), m_domain(std::move(domain)), m_settings(s), m_flags(flags),
        m_bar(StderrIsTerminal() && !o.verbose && !o.quiet) {}

  bool CheckCurrentStylePage() override {
    StyleCheck check;
    switch (StyleOf(m_settings.PresentationStyle)) {
      case Style::TargetedLink:
        check = SaveAndValidateLink(m_settings, m_options.link, m_settings.OtherFrame);
        break;
      case Style::Text2Image:
        check = SaveAndValidateText2Image(m_settings, m_options.message);
        break;
      case Style::Image2Text:
        check = SaveAndValidateImage2Text(m_settings, m_options.message);
        break;
      case Style::Slideshow: check = SaveAndValidateSlideshow(m_settings, m_options.delay); break;
      case Style::Image2Image: break;  // checked by the run itself
    }
    if (!check.ok) ShowMessage(check.message, MessageIcon::Error);
    return check.ok;
  }

  void CollectOptions() override {
    m_settings.DomainLock = !m_domain.empty();
    OptionFields fields;
    fields.loading_message = m_options.loading;
    fields.status_message = m_options.status;
    fields.watermark = m_options.watermark;
    fields.border_width = m_options.border;
    fields.open_target_folder = m_options.open;
    fields.domain_index = m_settings.DomainLock ? 0 : -1;  // the one domain given
    fields.target_folder = m_options.target;
    CollectOptionFields(m_settings, fields);
  }

  std::string GetDomainKey() override { return m_settings.DomainLock ? m_domain : std::string(); }

  bool AskYesNo(const std::string& text) override {
    if (m_options.yes) return true;
    std::fprintf(stderr, "%s [Y/n] ", text.c_str());
    std::fflush(stderr);
    std::string answer;
    if (!std::getline(std::cin, answer)) return false;
    const std::string a = TrimText(answer);
    return a.empty() || a == "y" || a == "Y" || a == "yes" || a == "Yes" || a == "YES";
  }

  void UpdateControls() override {}
  void SetProgressRange(int maximum) override { m_total = maximum; }
  void SetProgressPosition(int position) override {
    m_done = position;
    if (m_bar) DrawBar();
  }
  void OnImageStarting(std::size_t index, const CImageItem& item) override {
    (void)index;
    m_current = item.m_strFileName;
    if (m_bar) DrawBar();
  }
  void OnImageFinished(std::size_t index, const CImageItem& item, bool written) override {
    if (m_options.verbose) {
      std::fprintf(stderr, "[%zu/%d] %s: %s\n", index + 1, m_total, item.GetFullPath().c_str(),
                   written ? "written" : "unchanged");
    }
  }
  void PumpMessages() override {
    if (InterruptRequested()) m_flags.stop_requested = true;
  }
  void ShowMessage(const std::string& text, MessageIcon icon) override {
    if (m_bar && m_total > 0) {
      std::fputc('\n', stderr);
      m_total = 0;
    }
    if (icon == MessageIcon::Information) {
      if (!m_options.quiet) std::fprintf(stdout, "%s\n", text.c_str());
    } else {
      std::fprintf(stderr, "vellagard: %s\n", text.c_str());
    }
  }
  void OpenFolder(const std::string& folder) override {
    if (!OpenInFileManager(folder)) {
      std::fprintf(stderr, "vellagard: %s: could not open a file manager\n", folder.c_str());
    }
  }

 private:
  void DrawBar() {
    constexpr int kWidth = 30;
    const int filled = m_total > 0 ? m_done * kWidth / m_total : 0;
    std::string name = m_current;
    if (name.size() > 40) name = name.substr(0, 37) + "...";
    std::fprintf(stderr, "\r[%s%s] %d/%d %-40s", std::string(filled, '#').c_str(),
                 std::string(kWidth - filled, '.').c_str(), m_done, m_total, name.c_str());
    std::fflush(stderr);
  }

  const ConvertOptions& m_options;
  std::string m_domain;
  ConverterSettings& m_settings;
  RunFlags& m_flags;
  bool m_bar;
  int m_total = 0;
  int m_done = 0;
  std::string m_current;
};

int UsageError(const std::string& text) {
  std::fprintf(stderr, "vellagard: %s\n", text.c_str());
  return kExitUsage;
}

int Convert(const ConvertOptions& o) {
  ConverterSettings s;  // the defaults, never a desktop user's saved choices
  for (std::int32_t i = 0; i < kStyleCount; ++i) {
    if (o.style == StyleOptionName(StyleOf(i))) s.PresentationStyle = i;
  }
  if (o.frame == "self") s.Frame = StoredValue(LinkFrame::Self);
  else if (o.frame == "top") s.Frame = StoredValue(LinkFrame::Top);
  else if (o.frame == "blank") s.Frame = StoredValue(LinkFrame::Blank);
  else {
    s.Frame = StoredValue(LinkFrame::Other);
    s.OtherFrame = o.frame;
  }
  if (!ParsePageColour(o.background, s.BackColor)) {
    return UsageError("--background: '" + o.background + "' is not a colour of the form RRGGBB");
  }
  if (!ParsePageColour(o.text_color, s.TextColor)) {
    return UsageError("--text-color: '" + o.text_color + "' is not a colour of the form RRGGBB");
  }
  if (!o.second_image.empty()) {
    std::error_code ec;
    auto absolute = std::filesystem::absolute(PathFromUtf8(TrimText(o.second_image)), ec);
    s.Image2ImageFile = ec ? TrimText(o.second_image) : PathToUtf8(absolute);
  }

  // The domain as the browser reports the host, so the files show on that site.
  std::string domain;
  if (!IsBlankText(o.domain)) {
    const DomainNameResult checked = NormalizeDomainName(o.domain);
    if (!checked.ok) return UsageError("--domain: " + checked.message);
    domain = checked.name;
  }

  CImageList images;
  if (!AddInputs(images, o.inputs)) return kExitFailed;
  if (!o.yes && !StdinIsTerminal()) {
    return UsageError(
        "no terminal to confirm the conversion on; pass --yes to convert without asking");
  }
  const DataFolderLookup data = FindDataFolder(GetProgramFolder());
  if (data.folder.empty()) {
    std::fprintf(stderr, "vellagard: %s (reinstall the converter)\n",
                 DescribeMissingDataFiles(data).c_str());
    return kExitFailed;
  }
  const std::filesystem::path& program_folder = data.folder;
  const std::filesystem::path template_file = program_folder / kPageTemplateFileName;
  std::string page_template;
  if (!TryLoadPageTemplate(template_file, page_template)) {
    // Every page would be written empty and the run would still report success.
    std::fprintf(stderr,
                 "vellagard: %s: cannot read the page template; pages cannot be written without it "
                 "(reinstall the converter)\n",
                 PathToUtf8(template_file).c_str());
    return kExitFailed;
  }
  // A missing target folder is made, as users of command-line tools expect.
  std::error_code ec;
  const auto target = PathFromUtf8(TrimText(o.target));
  if (!target.empty() && !std::filesystem::is_directory(target, ec)) {
    std::filesystem::create_directories(target, ec);
    if (ec) {
      std::fprintf(stderr, "vellagard: %s: cannot create the target folder: %s\n", o.target.c_str(),
                   ec.message().c_str());
      return kExitFailed;
    }
  }

  RunFlags flags;
  CliHost host(o, domain, s, flags);
  InstallInterruptHandler();
  ConversionInput input{s, images, page_template, program_folder, flags};
  input.existing = o.force ? ExistingFile::Replace : ExistingFile::KeepIfSame;
  switch (StartConversion(input, host)) {
    case RunOutcome::Done: return kExitOk;
    case RunOutcome::Failed: return kExitFailed;
    case RunOutcome::Aborted: return kExitAborted;
    case RunOutcome::Refused:
    case RunOutcome::Declined: break;
  }
  return kExitUsage;
}

}  // namespace

void AddConvertCommand(CLI::App& app, int& exit_code) {
  auto o = std::make_shared<ConvertOptions>();
  CLI::App* cmd = app.add_subcommand(
      "convert",
      "Convert images into protected image files, a page per image (one page for a slideshow) "
      "and the viewer script, in a target folder.");
  cmd->add_option("INPUT", o->inputs, "Image files, or folders to add with their sub-folders")
      ->required();
  cmd->add_option("-o,--target", o->target, "Target folder (made when missing)")->required();
  cmd->add_option("--style", o->style, "Presentation style")
      ->check(CLI::IsMember(StyleOptionNames()))
      ->capture_default_str();
  cmd->add_option("--link", o->link, "Link style: the address opened by a click")
      ->capture_default_str();
  cmd->add_option("--frame", o->frame,
                  "Link style: where the link opens: self, top, blank or a frame name")
      ->capture_default_str();
  cmd->add_option("--message", o->message, "Text to image / image to text styles: the text")
      ->capture_default_str();
  cmd->add_option("--second-image", o->second_image,
                  "Image to image style: the image shown on hover");
  cmd->add_option("--delay", o->delay, "Slideshow style: milliseconds per image")
      ->capture_default_str();
  cmd->add_option("--loading", o->loading, "Text shown while an image downloads")
      ->capture_default_str();
  cmd->add_option("--status", o->status, "Caption shown while the pointer is over an image")
      ->capture_default_str();
  cmd->add_option("--background", o->background, "Background and border colour, RRGGBB")
      ->capture_default_str();
  cmd->add_option("--text-color", o->text_color, "Text colour, RRGGBB")->capture_default_str();
  cmd->add_option("--border", o->border, "Border width in pixels")->capture_default_str();
  cmd->add_option("--watermark", o->watermark, "Text drawn across every picture (none when empty)");
  cmd->add_option("--domain", o->domain, "Lock the protected files to this web domain");
  cmd->add_flag("--open", o->open, "Open the target folder when done");
  cmd->add_flag("-y,--yes", o->yes, "Convert without asking for confirmation");
  CLI::Option* verbose = cmd->add_flag(
      "-v,--verbose", o->verbose,
      "One line per image on stderr instead of the progress bar, saying whether its files "
      "were written or already up to date (unchanged)");
  cmd->add_flag("-q,--quiet", o->quiet, "Print nothing but errors (no progress, no \"Done.\")")
      ->excludes(verbose);
  cmd->add_flag("--force", o->force,
                "Rewrite every file, also those that already hold exactly what would be written "
                "(by default such files are left untouched, so their modification time stays)");
  cmd->footer(
      "Exit status: 0 done, 1 an image or file could not be written, 2 refused (usage, a "
      "style check, declined), 130 stopped with Ctrl-C.\n");
  cmd->callback([o, &exit_code] { exit_code = Convert(*o); });
}

}  // namespace vg::cli
