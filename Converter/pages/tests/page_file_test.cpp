#include <gtest/gtest.h>

#include "core/tests/test_util.h"
#include "core/utf8_path.h"
#include "pages/page_builder.h"

namespace vg {
namespace {

using test::ListFolder;
using test::ReadBytes;
using test::TempDir;
using test::WriteBytes;

CImageItem Item(const std::string& protected_name, std::int32_t width, std::int32_t height) {
  CImageItem item;
  item.m_strProtectedName = protected_name;
  item.m_nWidth = width;
  item.m_nHeight = height;
  return item;
}

TEST(page_file_test, template_is_read_byte_for_byte_with_cr_lf_line_ends) {
  TempDir dir;
  const auto file = dir / "template.html";
  WriteBytes(file, "\xEF\xBB\xBF<p>%WIDTH%</p>\nline two\r\n\xE9 last");
  std::string tpl = "stale";
  ASSERT_TRUE(TryLoadPageTemplate(file, tpl));
  EXPECT_EQ(tpl, "\xEF\xBB\xBF<p>%WIDTH%</p>\r\nline two\r\n\xE9 last\r\n");

  // A non-ASCII folder name is reached through the UTF-8 path helper.
  const auto folder = dir.path() / PathFromUtf8("Caf\xC3\xA9");
  std::filesystem::create_directory(folder);
  WriteBytes(folder / "template.html", "x");
  ASSERT_TRUE(TryLoadPageTemplate(folder / "template.html", tpl));
  EXPECT_EQ(tpl, "x\r\n");
}

TEST(page_file_test, missing_template_is_empty) {
  TempDir dir;
  std::string tpl = "stale";
  EXPECT_FALSE(TryLoadPageTemplate(dir / "template.html", tpl));
  EXPECT_EQ(tpl, "");
  // A folder where the file should be is no template either.
  std::filesystem::create_directory(dir / "folder.html");
  tpl = "stale";
  EXPECT_FALSE(TryLoadPageTemplate(dir / "folder.html", tpl));
  EXPECT_EQ(tpl, "");
}

TEST(page_file_test, page_is_written_as_built_and_replaces_an_old_one) {
  TempDir dir;
  const CImageItem item = Item("My_photo_0800_0600_C.class", 800, 600);
  ConverterSettings s;
  s.PresentationStyle = 1;
  s.MessageLoading = "\xC3\xA9";
  const std::string tpl = NormalizePageTemplate("<w>%WIDTH%</w>\n%PARAMS%");
  const auto page = dir.path() / PathFromUtf8("My photo.html");
  WriteBytes(page, "an older, longer page that must not show through");

  ASSERT_TRUE(WritePage(tpl, s, page, {&item}));
  const std::string written = ReadBytes(page);
  EXPECT_EQ(written, BuildPage(tpl, s, {&item}));
  EXPECT_NE(written.find("value=\"\xE9\""), std::string::npos) << "é is the single byte 0xE9";
  EXPECT_EQ(written.find('\xC3'), std::string::npos);
  EXPECT_EQ(ListFolder(dir.path()), std::vector<std::string>{"My photo.html"})
      << "no temporary left";
}

TEST(page_file_test, empty_template_writes_an_empty_page) {
  TempDir dir;
  const CImageItem item = Item("a_0001_0001_C.class", 1, 1);
  ASSERT_TRUE(WritePage("", ConverterSettings{}, dir / "a.html", {&item}));
  EXPECT_TRUE(std::filesystem::exists(dir / "a.html"));
  EXPECT_EQ(ReadBytes(dir / "a.html"), "");
}

TEST(page_file_test, nothing_is_touched_when_the_page_cannot_be_written) {
  TempDir dir;
  const CImageItem item = Item("a_0001_0001_C.class", 1, 1);
  const std::string tpl = "%PARAMS%";

  // An empty frame list: false, and an existing page stays exactly as it was.
  WriteBytes(dir / "slideshow.html", "old page");
  EXPECT_FALSE(WritePage(tpl, ConverterSettings{}, dir / "slideshow.html", {}));
  EXPECT_EQ(ReadBytes(dir / "slideshow.html"), "old page");
  EXPECT_FALSE(WritePage(tpl, ConverterSettings{}, dir / "new.html", {}));
  EXPECT_FALSE(std::filesystem::exists(dir / "new.html"));

  // A missing folder.
  EXPECT_FALSE(WritePage(tpl, ConverterSettings{}, dir / "missing" / "a.html", {&item}));
  // A folder in the page's place is not replaced.
  std::filesystem::create_directory(dir / "taken.html");
  WriteBytes(dir / "taken.html" / "inside", "kept");
  EXPECT_FALSE(WritePage(tpl, ConverterSettings{}, dir / "taken.html", {&item}));
  EXPECT_EQ(ReadBytes(dir / "taken.html" / "inside"), "kept");

  EXPECT_EQ(ListFolder(dir.path()), (std::vector<std::string>{"slideshow.html", "taken.html"}));
}

}  // namespace
}  // namespace vg
