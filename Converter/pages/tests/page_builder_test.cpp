#include "pages/page_builder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>

#include "pages/style_checks.h"

namespace vg {
namespace {

CImageItem Item(const std::string& protected_name, std::int32_t width, std::int32_t height) {
  CImageItem item;
  item.m_strProtectedName = protected_name;
  item.m_nWidth = width;
  item.m_nHeight = height;
  return item;
}

// The parameter names of a block, in order.
std::vector<std::string> Names(const std::string& block) {
  std::vector<std::string> names;
  const std::string marker = "<param name=\"";
  for (std::size_t at = block.find(marker); at != std::string::npos; at = block.find(marker, at)) {
    at += marker.size();
    names.push_back(block.substr(at, block.find('"', at) - at));
  }
  return names;
}

// The value of the first parameter called `name`, as written (still escaped).
std::string Value(const std::string& block, const std::string& name) {
  const std::string marker = "<param name=\"" + name + "\" value=\"";
  const std::size_t at = block.find(marker);
  if (at == std::string::npos) return "<missing>";
  const std::size_t start = at + marker.size();
  return block.substr(start, block.find('"', start) - start);
}

TEST(page_builder_test, template_lines_end_in_cr_lf_and_bytes_pass_unchanged) {
  struct Case {
    std::string in;
    std::string out;
  };
  const Case cases[] = {
      {"", ""},
      {"a\nb\n", "a\r\nb\r\n"},
      {"a\r\nb\r\n", "a\r\nb\r\n"},
      {"a\nb", "a\r\nb\r\n"},  // last line without an end gets one
      {"a\r\nb", "a\r\nb\r\n"},
      {"\n\n", "\r\n\r\n"},    // empty lines stay lines
      {"a\rb\n", "a\rb\r\n"},  // a lone CR is part of the line
      {"a\r\r\n", "a\r\r\n"},  // only the CR right before LF is the line end
      {"abc\r", "abc\r\r\n"},
      {std::string("x\0y\n", 4), std::string("x\0y\r\n", 5)},
      // UTF-8 with a byte-order mark, byte for byte.
      {"\xEF\xBB\xBF<p>caf\xC3\xA9</p>\n\xE2\x82\xAC",
       "\xEF\xBB\xBF<p>caf\xC3\xA9</p>\r\n\xE2\x82\xAC\r\n"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(NormalizePageTemplate(c.in), c.out) << testing::PrintToString(c.in);
  }
}

TEST(page_builder_test, inserted_text_is_latin1_with_references_beyond_u00ff) {
  struct Case {
    const char* in;
    const char* plain;    // EncodePageText
    const char* escaped;  // EncodeAttributeValue
  };
  const Case cases[] = {
      {"plain", "plain", "plain"},
      {"caf\xC3\xA9", "caf\xE9", "caf\xE9"},           // é is the single byte 0xE9
      {"\xC3\xBF", "\xFF", "\xFF"},                    // U+00FF, the last byte
      {"\xC4\x80", "&#x100;", "&#x100;"},              // U+0100, the first reference
      {"\xE2\x82\xAC 5", "&#x20AC; 5", "&#x20AC; 5"},  // €
      {"\xF0\x9F\x98\x80", "&#x1F600;", "&#x1F600;"},  // beyond the BMP
      {"a \"b\" & <c>", "a \"b\" & <c>", "a &quot;b&quot; &amp; &lt;c&gt;"},
      {"&amp;", "&amp;", "&amp;amp;"},  // escaped text is escaped again
      {"1\r\n2\t3", "1\r\n2\t3", "1&#13;&#10;2\t3"},
      // Bytes that are not valid UTF-8 are kept as their Latin-1 characters.
      {"\xE9t\xE9", "\xE9t\xE9", "\xE9t\xE9"},                       // Latin-1 text
      {"x\xC3", "x\xC3", "x\xC3"},                                   // cut-off sequence
      {"\xC0\xAF", "\xC0\xAF", "\xC0\xAF"},                          // overlong '/'
      {"\xED\xA0\x80", "\xED\xA0\x80", "\xED\xA0\x80"},              // surrogate
      {"\xF4\x90\x80\x80", "\xF4\x90\x80\x80", "\xF4\x90\x80\x80"},  // beyond U+10FFFF
      {"\xE2\x82<", "\xE2\x82<", "\xE2\x82&lt;"},  // broken sequence before markup
  };
  for (const Case& c : cases) {
    EXPECT_EQ(EncodePageText(c.in), c.plain) << c.in;
    EXPECT_EQ(EncodeAttributeValue(c.in), c.escaped) << c.in;
  }
}

TEST(page_builder_test, parameter_lines) {
  EXPECT_EQ(ParamText("Label", "Quillmere - Protected image"),
            "\t<param name=\"Label\" value=\"Quillmere - Protected image\" />\r\n");
  EXPECT_EQ(ParamText("Message", " not trimmed "),
            "\t<param name=\"Message\" value=\" not trimmed \" />\r\n");
  EXPECT_EQ(ParamText("Message", "say \"hi\""),
            "\t<param name=\"Message\" value=\"say &quot;hi&quot;\" />\r\n");
  EXPECT_EQ(ParamText("Link", ""), "\t<param name=\"Link\" value=\"\" />\r\n");
  EXPECT_EQ(ParamNumber("Border", 0), "\t<param name=\"Border\" value=\"0\" />\r\n");
  EXPECT_EQ(ParamNumber("Border", -5), "\t<param name=\"Border\" value=\"-5\" />\r\n");
  EXPECT_EQ(ParamNumber("FrameDelay", INT32_MIN),
            "\t<param name=\"FrameDelay\" value=\"-2147483648\" />\r\n");
  EXPECT_EQ(ParamNumber("FrameDelay", INT32_MAX),
            "\t<param name=\"FrameDelay\" value=\"2147483647\" />\r\n");

  struct Colour {
    std::uint32_t bgr;
    const char* rgb;
  };
  for (const Colour& c :
       {Colour{0x000000FF, "FF0000"}, Colour{0x00FF0000, "0000FF"}, Colour{0x0000FF00, "00FF00"},
        Colour{0x00FFFFFF, "FFFFFF"}, Colour{0x00000000, "000000"}, Colour{0x00123456, "563412"},
        Colour{0xAB0000FF, "FF0000"}, Colour{0xFFFFFFFF, "FFFFFF"}}) {
    EXPECT_EQ(ParamColor("TextColor", c.bgr),
              std::string("\t<param name=\"TextColor\" value=\"") + c.rgb + "\" />\r\n")
        << std::hex << c.bgr;
  }
}

TEST(page_builder_test, each_style_writes_its_lines_in_order) {
  const CImageItem first = Item("My_photo_0800_0600_C.class", 800, 600);
  const CImageItem second = Item("swap_0800_0600_C.class", 800, 600);
  const std::vector<std::string> tail = {"Loading",     "Label",  "TextColor",
                                         "BorderColor", "Border", "FrameCount"};
  struct Case {
    std::int32_t style;
    const char* keyword;
    std::vector<std::string> own;  // the style's lines between Style and Loading
    std::size_t frames;
  };
  const Case cases[] = {
      {0, "ImageLink", {"Link", "TargetFrame"}, 1},
      {1, "TextFirst", {"Message"}, 1},
      {2, "ImageFirst", {"Message"}, 1},
      {3, "ImageImage", {}, 2},
      {4, "SlideShow", {"FrameDelay"}, 2},
      // Out of range (edited settings): written as the default style, never past a table.
      {5, "ImageLink", {"Link", "TargetFrame"}, 1},
      {-1, "ImageLink", {"Link", "TargetFrame"}, 1},
  };
  ConverterSettings s;
  s.Text2ImageMessage = "text first";
  s.Image2TextMessage = "image first";
  s.SlideshowDelay = 2500;
  for (const Case& c : cases) {
    s.PresentationStyle = c.style;
    std::vector<const CImageItem*> frames{&first};
    if (c.frames == 2) frames.push_back(&second);
    const std::string block = BuildParamBlock(s, frames);

    std::vector<std::string> expected = {"Style"};
    expected.insert(expected.end(), c.own.begin(), c.own.end());
    expected.insert(expected.end(), tail.begin(), tail.end());
    expected.push_back("Frame000");
    if (c.frames == 2) expected.push_back("Frame001");
    EXPECT_EQ(Names(block), expected) << "style " << c.style;
    EXPECT_EQ(Value(block, "Style"), c.keyword);
    EXPECT_EQ(Value(block, "FrameCount"), std::to_string(c.frames));
    EXPECT_EQ(Value(block, "Frame000"), "My_photo_0800_0600_C.class");
    if (c.frames == 2) {
      EXPECT_EQ(Value(block, "Frame001"), "swap_0800_0600_C.class");
    }
  }
  s.PresentationStyle = 1;
  EXPECT_EQ(Value(BuildParamBlock(s, {&first}), "Message"), "text first");
  s.PresentationStyle = 2;
  EXPECT_EQ(Value(BuildParamBlock(s, {&first}), "Message"), "image first");
  s.PresentationStyle = 4;
  EXPECT_EQ(Value(BuildParamBlock(s, {&first}), "FrameDelay"), "2500");
}

TEST(page_builder_test, watermark_line_follows_label_only_when_set) {
  const CImageItem first = Item("My_photo_0800_0600_C.class", 800, 600);
  const CImageItem second = Item("swap_0800_0600_C.class", 800, 600);
  const std::string line = "\t<param name=\"Watermark\" value=\"\xA9 Jane\" />\r\n";
  for (std::int32_t style = 0; style < kStyleCount; ++style) {
    ConverterSettings s;
    s.PresentationStyle = style;
    const std::vector<const CImageItem*> frames{&first, &second};
    const std::string plain = BuildParamBlock(s, frames);
    EXPECT_EQ(plain.find("Watermark"), std::string::npos) << "style " << style;

    s.Watermark = "\xC2\xA9 Jane";
    const std::string marked = BuildParamBlock(s, frames);
    std::vector<std::string> names = Names(marked);
    const auto label = std::find(names.begin(), names.end(), "Label");
    ASSERT_NE(label, names.end());
    ASSERT_NE(label + 1, names.end());
    EXPECT_EQ(*(label + 1), "Watermark") << "style " << style;
    // Apart from that one line the block is the same, byte for byte.
    const std::size_t at = marked.find(line);
    ASSERT_NE(at, std::string::npos) << "style " << style;
    EXPECT_EQ(std::string(marked).erase(at, line.size()), plain) << "style " << style;
  }
}

TEST(page_builder_test, watermark_is_written_as_every_text_value) {
  struct Case {
    const char* text;
    const char* value;  // as written into the page
  };
  const Case cases[] = {
      {"\xC2\xA9 Quillmere", "\xA9 Quillmere"},            // Latin-1 byte
      {"\xE2\x80\x94 \xE2\x82\xAC", "&#x2014; &#x20AC;"},  // references above U+00FF
      {"\"Jane\" & <Co>", "&quot;Jane&quot; &amp; &lt;Co&gt;"},
      {"two\r\nlines", "two&#13;&#10;lines"},
      {" as held ", " as held "},                // the window trims, not the page
      {"%PARAMS% %WIDTH%", "%PARAMS% %WIDTH%"},  // never replaced
      {"\xE9t\xE9", "\xE9t\xE9"},                // Latin-1 bytes from elsewhere
  };
  const CImageItem item = Item("p_0800_0600_C.class", 800, 600);
  for (const Case& c : cases) {
    ConverterSettings s;
    s.PresentationStyle = 1;
    s.Watermark = c.text;
    const std::string page = BuildPage("%WIDTH%\r\n%PARAMS%", s, {&item});
    EXPECT_NE(
        page.find(std::string("\t<param name=\"Watermark\" value=\"") + c.value + "\" />\r\n"),
        std::string::npos)
        << c.text;
    EXPECT_EQ(page.substr(0, 5), "800\r\n");
  }
}

TEST(page_builder_test, target_frame_follows_frame) {
  const CImageItem item = Item("a_0001_0001_C.class", 1, 1);
  struct Case {
    std::int32_t frame;
    const char* other;
    const char* value;
  };
  const Case cases[] = {
      {0, "main", "_self"}, {1, "main", "_top"},         {2, "main", "_blank"},
      {3, "main", "main"},  {3, " a\"b ", " a&quot;b "},  // unchanged apart from escaping
      {4, "main", "_self"}, {-2, "main", "_self"},        // out of range: the default
  };
  for (const Case& c : cases) {
    ConverterSettings s;
    s.PresentationStyle = 0;
    s.Link = "https://example.com/?a=1&b=2";
    s.Frame = c.frame;
    s.OtherFrame = c.other;
    const std::string block = BuildParamBlock(s, {&item});
    EXPECT_EQ(Value(block, "TargetFrame"), c.value) << c.frame;
    EXPECT_EQ(Value(block, "Link"), "https://example.com/?a=1&amp;b=2");
  }
}

TEST(page_builder_test, frame_names_grow_past_three_digits) {
  EXPECT_EQ(FrameParamName(0), "Frame000");
  EXPECT_EQ(FrameParamName(7), "Frame007");
  EXPECT_EQ(FrameParamName(999), "Frame999");
  EXPECT_EQ(FrameParamName(1000), "Frame1000");

  std::vector<CImageItem> items;
  for (int i = 0; i < 1200; ++i) items.push_back(Item("img" + std::to_string(i), 100 + i, 50 + i));
  std::vector<const CImageItem*> frames;
  for (const auto& item : items) frames.push_back(&item);
  ConverterSettings s;
  s.PresentationStyle = 4;
  const std::string page = BuildPage("%WIDTH%x%HEIGHT%\r\n%PARAMS%", s, frames);
  EXPECT_EQ(page.substr(0, 8), "100x50\r\n");
  const auto names = Names(page);
  ASSERT_EQ(names.size(), 8u + 1200u);  // Style, FrameDelay, six common lines
  EXPECT_EQ(Value(page, "FrameCount"), "1200");
  for (std::size_t i = 0; i < 1200; ++i) {
    std::ostringstream expected;
    expected << "Frame" << (i < 10 ? "00" : i < 100 ? "0" : "") << i;
    ASSERT_EQ(names[8 + i], expected.str());
    ASSERT_EQ(Value(page, names[8 + i]), "img" + std::to_string(i));
  }
}

TEST(page_builder_test, placeholders) {
  const CImageItem item = Item("p_0800_0600_C.class", 800, 600);
  ConverterSettings s;
  s.PresentationStyle = 3;
  const std::string block = BuildParamBlock(s, {&item});
  struct Case {
    std::string tpl;
    std::string page;
  };
  const Case cases[] = {
      {"<%WIDTH%|%WIDTH%|%HEIGHT%|%HEIGHT%>\r\n%PARAMS%%PARAMS%",
       "<800|800|600|600>\r\n" + block + block},
      {"%width% %Height% %params% %WIDTH %WIDTH%%\r\n",
       "%width% %Height% %params% %WIDTH 800%\r\n"},
      {"no placeholders\r\n", "no placeholders\r\n"},
      {"", ""},
      // The width is put in first, so a %HEIGHT% that only forms afterwards is not replaced.
      {"%HEIGHT%WIDTH%", "%HEIGHT800"},
      {"%HEI%WIDTH%GHT%", "%HEI800GHT%"},
  };
  for (const Case& c : cases) EXPECT_EQ(BuildPage(c.tpl, s, {&item}), c.page) << c.tpl;

  // A zero size (unreadable image) is still written.
  const CImageItem zero = Item("z_0000_0000_C.class", 0, 0);
  EXPECT_EQ(BuildPage("%WIDTH%,%HEIGHT%", s, {&zero}), "0,0");
}

TEST(page_builder_test, placeholders_typed_into_options_stay_as_typed) {
  const CImageItem item = Item("p_0800_0600_C.class", 800, 600);
  ConverterSettings s;
  s.PresentationStyle = 1;
  s.Text2ImageMessage = "%PARAMS%";
  s.MessageLoading = "%WIDTH% by %HEIGHT%";
  s.MessageStatus = "%PARAMS% again";
  const std::string page = BuildPage("[%PARAMS%]", s, {&item});
  EXPECT_EQ(Value(page, "Message"), "%PARAMS%");
  EXPECT_EQ(Value(page, "Loading"), "%WIDTH% by %HEIGHT%");
  EXPECT_EQ(Value(page, "Label"), "%PARAMS% again");
  EXPECT_EQ(page, "[" + BuildParamBlock(s, {&item}) + "]");
}

TEST(page_builder_test, text_to_image_page_for_one_image) {
  // The whole page for the worked example: "My photo.jpg", 800 x 600, Text to image.
  const CImageItem item = Item("My_photo_0800_0600_C.class", 800, 600);
  ConverterSettings s;
  s.PresentationStyle = 1;
  s.MessageLoading =
      "Bitte warten \xE2\x80\x93 l\xC3\xA4"
      "dt...";
  const std::string tpl = NormalizePageTemplate(
      "\xEF\xBB\xBF<object width=\"%WIDTH%\" height=\"%HEIGHT%\">\n%PARAMS%</object>\n");
  EXPECT_EQ(BuildPage(tpl, s, {&item}),
            "\xEF\xBB\xBF<object width=\"800\" height=\"600\">\r\n"
            "\t<param name=\"Style\" value=\"TextFirst\" />\r\n"
            "\t<param name=\"Message\" value=\"Press here\" />\r\n"
            "\t<param name=\"Loading\" value=\"Bitte warten &#x2013; l\xE4"
            "dt...\" />\r\n"
            "\t<param name=\"Label\" value=\"Quillmere - Protected image\" />\r\n"
            "\t<param name=\"TextColor\" value=\"FFFFFF\" />\r\n"
            "\t<param name=\"BorderColor\" value=\"000000\" />\r\n"
            "\t<param name=\"Border\" value=\"0\" />\r\n"
            "\t<param name=\"FrameCount\" value=\"1\" />\r\n"
            "\t<param name=\"Frame000\" value=\"My_photo_0800_0600_C.class\" />\r\n"
            "</object>\r\n");
}

}  // namespace
}  // namespace vg
