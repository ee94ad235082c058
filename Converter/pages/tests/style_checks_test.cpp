#include "pages/style_checks.h"

#include <gtest/gtest.h>

namespace vg {
namespace {

using Focus = StyleCheck::Focus;

TEST(style_checks_test, trim_removes_white_space_at_both_ends_only) {
  struct Case {
    const char* in;
    const char* out;
  };
  for (const Case& c :
       {Case{"", ""}, Case{"   ", ""}, Case{" a b ", "a b"}, Case{"\t\r\n x\v\f", "x"},
        Case{"a", "a"}, Case{"\xC2\xA0x", "\xC2\xA0x"}}) {
    EXPECT_EQ(TrimText(c.in), c.out) << c.in;
  }
}

TEST(style_checks_test, parse_long_reads_like_strtol_clamped_to_32_bits) {
  struct Case {
    const char* in;
    std::int32_t out;
  };
  const Case cases[] = {
      {"250", 250},
      {"250ms", 250},
      {"  \t+12", 12},
      {"-5", -5},
      {"-0", 0},
      {"", 0},
      {"abc", 0},
      {"- 5", 0},
      {"+-1", 0},
      {"12 34", 12},
      {"007", 7},
      {"2147483647", 2147483647},
      {"2147483648", INT32_MAX},
      {"-2147483648", INT32_MIN},
      {"-2147483649", INT32_MIN},
      {"99999999999999999999999999999999", INT32_MAX},
      {"-99999999999999999999999999999999x", INT32_MIN},
  };
  for (const Case& c : cases) EXPECT_EQ(ParseLong(c.in), c.out) << c.in;
}

TEST(style_checks_test, slideshow_delay) {
  struct Case {
    const char* text;
    bool ok;
    std::int32_t stored;
  };
  const Case cases[] = {
      {"250ms", true, 250},
      {"0", false, 0},
      {"-5", false, -5},
      {"", false, 0},
      {"   ", false, 0},
      {"90000", true, 90000},  // no upper limit
      {" 1 ", true, 1},
      {"4294967296", true, INT32_MAX},
      {"-4294967296", false, INT32_MIN},
  };
  for (const Case& c : cases) {
    ConverterSettings s;
    const StyleCheck check = SaveAndValidateSlideshow(s, c.text);
    EXPECT_EQ(check.ok, c.ok) << c.text;
    // The value is stored whether it is accepted or not.
    EXPECT_EQ(s.SlideshowDelay, c.stored) << c.text;
    EXPECT_EQ(check.message, c.ok ? "" : "Please enter positive integer value!") << c.text;
    EXPECT_EQ(check.focus, c.ok ? Focus::None : Focus::Delay) << c.text;
  }
}

TEST(style_checks_test, link_page_stores_trimmed_texts_and_needs_a_frame_name_for_other) {
  struct Case {
    std::int32_t frame;
    const char* link;
    const char* name;
    bool ok;
    const char* stored_link;
    const char* stored_name;
  };
  const Case cases[] = {
      {3, " https://a.example/ ", "   ", false, "https://a.example/", ""},
      {3, "", "", false, "", ""},
      {3, "x", "  main ", true, "x", "main"},
      {0, "", "", true, "", ""},  // an empty link is accepted
      {1, " l ", "", true, "l", ""},
  };
  for (const Case& c : cases) {
    ConverterSettings s;
    s.Frame = c.frame;
    s.OtherFrame = "before";
    const StyleCheck check = SaveAndValidateLink(s, c.link, c.name);
    EXPECT_EQ(check.ok, c.ok) << c.frame << " [" << c.name << "]";
    EXPECT_EQ(check.message, c.ok ? "" : "Please enter frame name!");
    EXPECT_EQ(check.focus, c.ok ? Focus::None : Focus::FrameName);
    EXPECT_EQ(s.Link, c.stored_link);
    EXPECT_EQ(s.OtherFrame, c.stored_name);
  }
}

TEST(style_checks_test, link_target_buttons) {
  ConverterSettings s;
  EXPECT_TRUE(ChooseLinkTarget(s, 3));  // "Other:" enables the frame name box
  EXPECT_EQ(s.Frame, 3);
  ASSERT_TRUE(SaveAndValidateLink(s, "l", " main ").ok);
  EXPECT_EQ(TargetFrameValue(s), "main");

  // The top-frame button: the box is disabled but keeps its text, which Start still
  // stores, while the page gets "_top".
  EXPECT_FALSE(ChooseLinkTarget(s, 1));
  EXPECT_EQ(s.Frame, 1);
  ASSERT_TRUE(SaveAndValidateLink(s, "l", " main ").ok);
  EXPECT_EQ(s.OtherFrame, "main");
  EXPECT_EQ(TargetFrameValue(s), "_top");

  EXPECT_FALSE(ChooseLinkTarget(s, 2));
  EXPECT_EQ(TargetFrameValue(s), "_blank");
  EXPECT_FALSE(ChooseLinkTarget(s, 0));
  EXPECT_EQ(TargetFrameValue(s), "_self");
  // Not a button: nothing changes.
  EXPECT_FALSE(ChooseLinkTarget(s, 4));
  EXPECT_FALSE(ChooseLinkTarget(s, -1));
  EXPECT_EQ(s.Frame, 0);
}

TEST(style_checks_test, text_pages_store_their_own_message_only) {
  ConverterSettings s;
  EXPECT_TRUE(SaveAndValidateText2Image(s, "  hello  ").ok);
  EXPECT_EQ(s.Text2ImageMessage, "hello");
  EXPECT_EQ(s.Image2TextMessage, "Press here");
  EXPECT_TRUE(SaveAndValidateImage2Text(s, " \t").ok);  // empty is accepted
  EXPECT_EQ(s.Image2TextMessage, "");
  EXPECT_EQ(s.Text2ImageMessage, "hello");
}

TEST(style_checks_test, image_to_image_needs_a_chosen_file) {
  ConverterSettings s;
  StyleCheck check = ValidateImage2Image(s);
  EXPECT_FALSE(check.ok);
  EXPECT_EQ(check.message, "Please choose an image file!");
  s.Image2ImageFile = "/gone/but/chosen.png";  // existence is the run's business
  EXPECT_TRUE(ValidateImage2Image(s).ok);
}

TEST(style_checks_test, collected_options) {
  ConverterSettings s;
  OptionFields f;
  f.loading_message = "  Loading...  ";
  f.status_message = "\tStatus";
  f.border_width = " 12px";
  f.open_target_folder = true;
  f.domain_index = 2;
  f.target_folder = "  /tmp/out dir  ";
  f.watermark = " \xC2\xA9 Jane Doe\t";
  CollectOptionFields(s, f);
  EXPECT_EQ(s.MessageLoading, "Loading...");
  EXPECT_EQ(s.MessageStatus, "Status");
  EXPECT_EQ(s.BorderWidth, 12);
  EXPECT_TRUE(s.OpenTargetFolderOnCompletion);
  EXPECT_EQ(s.Domain, 2);
  EXPECT_EQ(s.Target, "/tmp/out dir");
  EXPECT_EQ(s.Watermark, "\xC2\xA9 Jane Doe");

  struct Case {
    const char* text;
    std::int32_t width;
  };
  for (const Case& c : {Case{"", 0}, Case{"12abc", 12}, Case{"-3", -3}, Case{"x1", 0},
                        Case{"99999999999", INT32_MAX}}) {
    EXPECT_EQ(ParseBorderWidth(c.text), c.width) << c.text;
  }
}

TEST(style_checks_test, keywords_and_labels) {
  struct Case {
    std::int32_t style;
    const char* keyword;
    const char* label;
  };
  const Case cases[] = {
      {0, "ImageLink", "Targeted link"},  {1, "TextFirst", "Text to image"},
      {2, "ImageFirst", "Image to text"}, {3, "ImageImage", "Image to image"},
      {4, "SlideShow", "Slideshow"},      {5, "ImageLink", "Targeted link"},
      {-1, "ImageLink", "Targeted link"},
  };
  for (const Case& c : cases) {
    EXPECT_STREQ(StyleKeyword(StyleOf(c.style)), c.keyword) << c.style;
    EXPECT_STREQ(StyleLabel(StyleOf(c.style)), c.label) << c.style;
  }
}

}  // namespace
}  // namespace vg
