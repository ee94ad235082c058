// Writing a page file only when its text changed.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "core/atomic_file.h"
#include "core/image_item.h"
#include "settings/settings.h"

namespace vg {

// WritePage, saying whether the page was written or already held exactly this text and
// was left untouched (with ExistingFile::KeepIfSame, as WritePage does).
FileUpdate UpdatePage(const std::string& page_template, const ConverterSettings& settings,
                      const std::filesystem::path& page_path,
                      const std::vector<const CImageItem*>& frames, ExistingFile existing);

}  // namespace vg
