// The shared text helpers: trimming and UTF-8.
#include <gtest/gtest.h>

#include "core/text.h"

namespace vg {
namespace {

TEST(text_test, trimming_removes_the_c_white_space_at_both_ends_only) {
  EXPECT_EQ(TrimText(" \t\r\n\v\fa b\t \r\n"), "a b");
  EXPECT_EQ(TrimText("\xC2\xA0x"), "\xC2\xA0x");  // no-break space is a character, not blank
  EXPECT_EQ(TrimText(""), "");
  EXPECT_TRUE(IsBlankText(" \t\r\n"));
  EXPECT_TRUE(IsBlankText(""));
  EXPECT_FALSE(IsBlankText(" . "));
}

TEST(text_test, utf8_decoding_takes_valid_sequences_and_refuses_the_rest) {
  struct Case {
    const char* bytes;
    bool valid;
    char32_t code_point;  // of the first character
    std::size_t length;
  };
  const Case cases[] = {
      {"A", true, U'A', 1},
      {"\xC3\xA9", true, 0xE9, 2},
      {"\xE2\x82\xAC", true, 0x20AC, 3},
      {"\xF0\x9F\x98\x80", true, 0x1F600, 4},
      {"\xC0\xAF", false, 0xC0, 1},          // overlong '/'
      {"\xE0\x80\xAF", false, 0xE0, 1},      // overlong, three bytes
      {"\xED\xA0\x80", false, 0xED, 1},      // surrogate
      {"\xF4\x90\x80\x80", false, 0xF4, 1},  // beyond U+10FFFF
      {"\x80", false, 0x80, 1},              // stray continuation byte
      {"\xE2\x82", false, 0xE2, 1},          // cut short
      {"\xE9t\xE9", false, 0xE9, 1},         // Latin-1 bytes
  };
  for (const Case& c : cases) {
    char32_t cp = 0;
    std::size_t length = 0;
    EXPECT_EQ(DecodeUtf8Char(c.bytes, 0, cp, length), c.valid) << c.bytes;
    EXPECT_EQ(cp, c.code_point) << c.bytes;
    EXPECT_EQ(length, c.length) << c.bytes;
    std::u32string all;
    if (!c.valid) {
      EXPECT_FALSE(DecodeUtf8(c.bytes, all)) << c.bytes;
    }
  }
}

TEST(text_test, utf8_round_trip_at_each_length_boundary) {
  const std::u32string points = {0x0, 0x7F, 0x80, 0x7FF, 0x800, 0xFFFF, 0x10000, 0x10FFFF};
  std::string bytes;
  for (char32_t cp : points) AppendUtf8(bytes, cp);
  EXPECT_EQ(bytes.size(), 2u * 1 + 2u * 2 + 2u * 3 + 2u * 4);
  std::u32string back;
  ASSERT_TRUE(DecodeUtf8(bytes, back));
  EXPECT_EQ(back, points);
  EXPECT_EQ(EncodeUtf8(0x20AC), "\xE2\x82\xAC");
}

}  // namespace
}  // namespace vg
