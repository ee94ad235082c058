// Conversions between UTF-8 text and filesystem paths.
//
// All text in the converter is UTF-8 in std::string. A std::filesystem::path built
// straight from a narrow string is read in the ANSI code page on Windows, which
// garbles every non-ASCII name, so paths are made from and turned into text only
// through these two functions.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace vg {

std::filesystem::path PathFromUtf8(std::string_view text);
std::string PathToUtf8(const std::filesystem::path& path);

}  // namespace vg
