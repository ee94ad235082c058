#include "core/text.h"

namespace vg {

std::string_view TrimView(std::string_view text) {
  while (!text.empty() && IsBlankChar(text.front())) text.remove_prefix(1);
  while (!text.empty() && IsBlankChar(text.back())) text.remove_suffix(1);
  return text;
}

std::string TrimText(std::string_view text) { return std::string(TrimView(text)); }

bool IsBlankText(std::string_view text) { return TrimView(text).empty(); }

bool DecodeUtf8Char(std::string_view text, std::size_t i, char32_t& code_point,
                    std::size_t& length) {
  const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(text[k]); };
  const unsigned char b0 = byte(i);
  length = 1;
  code_point = b0;
  if (b0 < 0x80) return true;
  std::size_t n = 0;
  char32_t cp = 0;
  char32_t min = 0;
  if (b0 >= 0xC2 && b0 <= 0xDF) {
    n = 2, cp = b0 & 0x1F, min = 0x80;
  } else if (b0 >= 0xE0 && b0 <= 0xEF) {
    n = 3, cp = b0 & 0x0F, min = 0x800;
  } else if (b0 >= 0xF0 && b0 <= 0xF4) {
    n = 4, cp = b0 & 0x07, min = 0x10000;
  } else {
    return false;
  }
  if (text.size() - i < n) return false;
  for (std::size_t k = 1; k < n; ++k) {
    const unsigned char b = byte(i + k);
    if ((b & 0xC0) != 0x80) return false;
    cp = (cp << 6) | (b & 0x3F);
  }
  if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return false;
  length = n;
  code_point = cp;
  return true;
}

bool DecodeUtf8(std::string_view text, std::u32string& out) {
  out.clear();
  for (std::size_t i = 0; i < text.size();) {
    char32_t cp = 0;
    std::size_t length = 1;
    if (!DecodeUtf8Char(text, i, cp, length)) return false;
    out.push_back(cp);
    i += length;
  }
  return true;
}

void AppendUtf8(std::string& out, char32_t cp) {
  if (cp < 0x80) {
    out += static_cast<char>(cp);
  } else if (cp < 0x800) {
    out += static_cast<char>(0xC0 | (cp >> 6));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else if (cp < 0x10000) {
    out += static_cast<char>(0xE0 | (cp >> 12));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (cp >> 18));
    out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  }
}

std::string EncodeUtf8(char32_t cp) {
  std::string s;
  AppendUtf8(s, cp);
  return s;
}

}  // namespace vg
