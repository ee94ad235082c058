#include "core/utf8_path.h"

namespace vg {

std::filesystem::path PathFromUtf8(std::string_view text) {
  // u8path is the C++17 way to say "these bytes are UTF-8" on every platform.
  return std::filesystem::u8path(text.begin(), text.end());
}

std::string PathToUtf8(const std::filesystem::path& path) { return path.u8string(); }

}  // namespace vg
