// Reading the page template and writing page files.
#include <cstdio>
#include <vector>

#include "core/atomic_file.h"
#include "core/platform.h"
#include "pages/page_builder.h"
#include "pages/page_file.h"

namespace vg {

bool TryLoadPageTemplate(const std::filesystem::path& template_file, std::string& page_template) {
  page_template.clear();
  std::FILE* file = OpenFileForReading(template_file);
  if (!file) return false;
  std::string bytes;
  std::vector<char> buffer(64 * 1024);
  bool ok = true;
  while (true) {
    const std::size_t got = std::fread(buffer.data(), 1, buffer.size(), file);
    bytes.append(buffer.data(), got);
    if (got < buffer.size()) {
      ok = !std::ferror(file);
      break;
    }
  }
  std::fclose(file);
  // A template read only in part would give pages with a piece missing.
  if (!ok) return false;
  page_template = NormalizePageTemplate(bytes);
  return true;
}

bool WritePage(const std::string& page_template, const ConverterSettings& settings,
               const std::filesystem::path& page_path,
               const std::vector<const CImageItem*>& frames) {
  return UpdatePage(page_template, settings, page_path, frames, ExistingFile::KeepIfSame) !=
         FileUpdate::Failed;
}

FileUpdate UpdatePage(const std::string& page_template, const ConverterSettings& settings,
                      const std::filesystem::path& page_path,
                      const std::vector<const CImageItem*>& frames, ExistingFile existing) {
  if (frames.empty()) return FileUpdate::Failed;
  const std::string page = BuildPage(page_template, settings, frames);
  AtomicFile file(page_path);
  const bool opened = existing == ExistingFile::KeepIfSame
                          ? file.OpenKeepingSame(static_cast<std::int64_t>(page.size()))
                          : file.Open();
  if (!opened || !file.Write(page) || !file.Commit()) return FileUpdate::Failed;
  return file.unchanged() ? FileUpdate::Unchanged : FileUpdate::Written;
}

}  // namespace vg
