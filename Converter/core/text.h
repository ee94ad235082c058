// Text helpers shared by every module. Text is UTF-8 in std::string throughout the
// converter; these are the few operations on it that more than one place needs.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace vg {

// The white space that trimming removes: space, tab, line feed, vertical tab, form
// feed and carriage return (what C's isspace accepts in the "C" locale).
constexpr bool IsBlankChar(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

// The text without white space at either end, as a view into `text`.
std::string_view TrimView(std::string_view text);
// The same, as a string of its own.
std::string TrimText(std::string_view text);
// True when the text is empty or white space only.
bool IsBlankText(std::string_view text);

// Decodes the UTF-8 character that starts at text[i] (i < text.size()) and sets
// `length` to the number of bytes it takes. Returns false, with `length` 1, for a byte
// that does not start a valid sequence: a stray continuation byte, a sequence cut
// short, an overlong form, a surrogate or a value beyond U+10FFFF.
bool DecodeUtf8Char(std::string_view text, std::size_t i, char32_t& code_point,
                    std::size_t& length);

// The whole text as code points; false for text that is not valid UTF-8.
bool DecodeUtf8(std::string_view text, std::u32string& out);

// Appends the UTF-8 form of a code point (at most U+10FFFF).
void AppendUtf8(std::string& out, char32_t code_point);
std::string EncodeUtf8(char32_t code_point);

}  // namespace vg
