#include "core/image_item.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include "core/tests/image_fixtures.h"
#include "core/tests/test_util.h"
#include "core/utf8_path.h"

namespace vg {
namespace {

using namespace vg::test;

TEST(image_item_test, safe_name) {
  const struct {
    const char* in;
    const char* out;
  } cases[] = {
      {"My photo (1)", "My_photo_1_"},
      {"\xC3\xA9t\xC3\xA9", "_t_"},  // été: each non-ASCII letter is one run
      {"a__b", "a_b"},
      {"a b.c-d", "a_b_c_d"},
      {"--x--", "_x_"},
      {"\xE6\x97\xA5\xE6\x9C\xAC", "_"},  // 日本
      {"Az09", "Az09"},
      {"", ""},
  };
  for (const auto& c : cases) EXPECT_EQ(MakeSafeName(c.in), c.out) << c.in;
}

TEST(image_item_test, size_text) {
  const struct {
    std::int64_t size;
    const char* text;
  } cases[] = {
      {-1, "ERROR!"},
      {0, "ERROR!"},
      {1, "1 bytes"},
      {512, "512 bytes"},
      {999, "999 bytes"},
      {1000, "1 KB"},
      {1230, "1.23 KB"},
      {1536, "1.536 KB"},
      {20000, "20 KB"},
      {999999, "999.999 KB"},
      {1000000, "1 MB"},
      {1234567, "1.235 MB"},
      {999999999, "1000 MB"},
      {1000000000, "1000000000 bytes"},
      {1500000000, "1500000000 bytes"},
      {5000000000, "5000000000 bytes"},
  };
  for (const auto& c : cases) EXPECT_EQ(FormatSizeText(c.size), c.text) << c.size;
}

TEST(image_item_test, accepted_extensions) {
  const struct {
    const char* path;
    bool accepted;
  } cases[] = {
      {"/p/a.gif", true},   {"/p/PHOTO.JPG", true},   {"/p/x.Png", true},
      {"/p/a.jpeg", true},  {"/p/a.TIF", true},       {"/p/.jpg", true},
      {"/p/a.tiff", false}, {"/p/a.bmp", false},      {"/p/a.png.txt", false},
      {"/p/jpg", false},    {"/p.jpg/readme", false}, {"/p/a.jp\xC3\xA9g", false},
  };
  for (const auto& c : cases) EXPECT_EQ(IsAcceptedImageFile(c.path), c.accepted) << c.path;
}

TEST(image_item_test, item_from_image_file) {
  TempDir dir;
  const std::string folder = PathToUtf8(dir.path()) + "/";
  const std::string png = PngHeader(640, 48);
  WriteBytes(dir / "My photo.png", png);

  const auto item = CreateImageItem(folder + "My photo.png");
  EXPECT_EQ(item->m_strFileName, "My photo.png");
  EXPECT_EQ(item->m_strBaseName, "My photo");
  EXPECT_EQ(item->m_strFolder, folder);
  EXPECT_EQ(item->GetFullPath(), folder + "My photo.png");
  EXPECT_EQ(item->m_strProtectedName, "My_photo_0640_0048_C.class");
  EXPECT_EQ(item->m_nWidth, 640);
  EXPECT_EQ(item->m_nHeight, 48);
  EXPECT_EQ(item->m_nFileSize, static_cast<std::int32_t>(png.size()));
  EXPECT_EQ(item->m_nFileSize64, static_cast<std::int64_t>(png.size()));
  EXPECT_EQ(item->GetDimensionsText(), "640 x 48");
  EXPECT_EQ(item->GetSizeText(), "33 bytes");
}

TEST(image_item_test, names_and_wide_sizes) {
  TempDir dir;
  const std::string folder = PathToUtf8(dir.path()) + "/";
  WriteBytes(dir / "archive.tar.gif", GifHeader(10001, 3));
  WriteBytes(dir / ".hidden.jpg", JpegHeader(12345, 67890 % 65536));
  WriteBytes(dir / "\xC3\xA9t\xC3\xA9.png", PngHeader(7, 7));

  auto item = CreateImageItem(folder + "archive.tar.gif");
  EXPECT_EQ(item->m_strBaseName, "archive.tar");
  EXPECT_EQ(item->m_strProtectedName, "archive_tar_10001_0003_C.class");

  item = CreateImageItem(folder + ".hidden.jpg");
  EXPECT_EQ(item->m_strBaseName, ".hidden");
  EXPECT_EQ(item->m_strProtectedName, "_hidden_12345_2354_C.class");

  item = CreateImageItem(folder + "\xC3\xA9t\xC3\xA9.png");
  EXPECT_EQ(item->m_strFileName, "\xC3\xA9t\xC3\xA9.png");
  EXPECT_EQ(item->m_strProtectedName, "_t__0007_0007_C.class");
  EXPECT_EQ(item->GetDimensionsText(), "7 x 7");
}

// Files the probe cannot read still make items; nothing fails at adding time.
TEST(image_item_test, unreadable_files_still_make_items) {
  TempDir dir;
  const std::string folder = PathToUtf8(dir.path()) + "/";
  WriteBytes(dir / "notes.txt", "a text file, not an image\n");
  std::filesystem::create_directory(dir / "folder.jpg");
  ASSERT_EQ(mkfifo((dir / "pipe.jpg").c_str(), 0600), 0);

  auto item = CreateImageItem(folder + "notes.txt");
  EXPECT_EQ(item->GetDimensionsText(), "ERROR!");
  EXPECT_EQ(item->GetSizeText(), "26 bytes");
  EXPECT_EQ(item->m_strProtectedName, "notes_0000_0000_C.class");

  for (const char* name : {"missing.gif", "folder.jpg", "pipe.jpg"}) {
    item = CreateImageItem(folder + name);  // a pipe must not block
    EXPECT_EQ(item->m_strFileName, name);
    EXPECT_EQ(item->m_nFileSize, 0) << name;
    EXPECT_EQ(item->GetSizeText(), "ERROR!") << name;
    EXPECT_EQ(item->GetDimensionsText(), "ERROR!") << name;
  }
}

// The 32-bit field keeps the low bits as the window's list always did, but the size
// text shows the real size: a 5 GB file must not read as 705 MB.
TEST(image_item_test, file_of_five_gigabytes) {
  TempDir dir;
  const auto path = dir / "huge.png";
  WriteBytes(path, PngHeader(4000, 3000));
  std::filesystem::resize_file(path, 5000000000ull);  // sparse on the usual file systems

  const auto item = CreateImageItem(PathToUtf8(path));
  EXPECT_EQ(item->m_nFileSize64, 5000000000ll);
  EXPECT_EQ(item->m_nFileSize, static_cast<std::int32_t>(5000000000ull & 0xFFFFFFFFu));
  EXPECT_EQ(item->GetSizeText(), "5000000000 bytes");
  EXPECT_EQ(item->GetDimensionsText(), "4000 x 3000");
}

TEST(image_item_test, texts_of_an_item_filled_by_hand) {
  CImageItem item;
  item.m_strFolder = "/pictures/";
  item.m_strFileName = "a.gif";
  item.m_nFileSize = 1536;
  item.m_nWidth = 5;
  EXPECT_EQ(item.GetFullPath(), "/pictures/a.gif");
  EXPECT_EQ(item.GetSizeText(), "1.536 KB");
  EXPECT_EQ(item.GetDimensionsText(), "ERROR!");  // height 0
  item.m_nHeight = 6;
  EXPECT_EQ(item.GetDimensionsText(), "5 x 6");
}

}  // namespace
}  // namespace vg
