#include "core/image_list.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include "core/tests/image_fixtures.h"
#include "core/tests/test_util.h"
#include "core/utf8_path.h"

namespace vg {
namespace {

using namespace vg::test;
namespace fs = std::filesystem;

std::vector<std::string> FileNames(const CImageList& list) {
  std::vector<std::string> names;
  for (const auto& item : list.items()) names.push_back(item->m_strFileName);
  return names;
}

// Paths relative to `root`, in list order.
std::vector<std::string> RelativePaths(const CImageList& list, const fs::path& root) {
  const std::string prefix = PathToUtf8(root) + "/";
  std::vector<std::string> paths;
  for (const auto& item : list.items()) {
    const std::string full = item->GetFullPath();
    paths.push_back(full.rfind(prefix, 0) == 0 ? full.substr(prefix.size()) : full);
  }
  return paths;
}

// A list of five text files r0.txt ... r4.txt.
struct FiveFiles {
  TempDir dir;
  CImageList list;
  FiveFiles() {
    for (int i = 0; i < 5; ++i) {
      const std::string name = "r" + std::to_string(i) + ".txt";
      WriteBytes(dir / name, "x");
      list.AddImageFile(PathToUtf8(dir / name));
    }
  }
};

TEST(image_list_test, duplicates_differ_only_in_ascii_case) {
  TempDir dir;
  WriteBytes(dir / "Photo.png", PngHeader(2, 2));
  const std::string folder = PathToUtf8(dir.path()) + "/";
  std::string upper = folder;
  for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));

  CImageList list;
  EXPECT_TRUE(list.AddImageFile(folder + "Photo.png"));
  EXPECT_FALSE(list.AddImageFile(folder + "Photo.png"));
  EXPECT_FALSE(list.AddImageFile(upper + "PHOTO.PNG"));
  EXPECT_FALSE(list.AddImageFile(folder + "photo.png"));
  ASSERT_EQ(list.size(), 1u);
  // Only ASCII letters fold: É and é are different characters.
  EXPECT_TRUE(list.AddImageFile(folder + "\xC3\x89.png"));
  EXPECT_TRUE(list.AddImageFile(folder + "\xC3\xA9.png"));
  EXPECT_EQ(list.size(), 3u);
}

TEST(image_list_test, add_folder_walks_depth_first_in_name_order) {
  TempDir dir;
  fs::create_directories(dir / "sub" / "deeper");
  fs::create_directories(dir / "Sub2");
  WriteBytes(dir / "PHOTO.JPG", JpegHeader(4, 3));
  WriteBytes(dir / "x.Png", PngHeader(2, 2));
  WriteBytes(dir / "a.bmp", BmpHeader(2, 2));
  WriteBytes(dir / "b.tiff", TiffHeader(2, 2, true));
  WriteBytes(dir / "B.gif", GifHeader(1, 1));
  WriteBytes(dir / "a.GIF", GifHeader(1, 1));
  WriteBytes(dir / ".hidden.tif", TiffHeader(2, 2, false));
  WriteBytes(dir / "notes.txt", "text");
  WriteBytes(dir / "sub" / "c.jpeg", JpegHeader(4, 3));
  WriteBytes(dir / "sub" / "deeper" / "d.gif", GifHeader(1, 1));
  WriteBytes(dir / "sub" / "e.gif", GifHeader(1, 1));
  WriteBytes(dir / "Sub2" / "f.png", PngHeader(1, 1));
  WriteBytes(dir / "Sub2" / "g.WEBP", WebpHeader("VP8 ", 5, 5));
  WriteBytes(dir / "Sub2" / "h.Avif", AvifHeader(6, 6));
  ASSERT_EQ(mkfifo((dir / "pipe.jpg").c_str(), 0600), 0);  // listed would block a run

  CImageList list;
  EXPECT_EQ(list.AddFolder(dir.path()), 11u);
  EXPECT_EQ(RelativePaths(list, dir.path()),
            (std::vector<std::string>{".hidden.tif", "a.GIF", "B.gif", "PHOTO.JPG", "sub/c.jpeg",
                                      "sub/deeper/d.gif", "sub/e.gif", "Sub2/f.png", "Sub2/g.WEBP",
                                      "Sub2/h.Avif", "x.Png"}));
  EXPECT_EQ(list[9].GetDimensionsText(), "6 x 6");
  EXPECT_EQ(list[0].m_strFolder, PathToUtf8(dir.path()) + "/");
  EXPECT_EQ(list[5].m_strFolder, PathToUtf8(dir / "sub" / "deeper") + "/");
  EXPECT_EQ(list[3].GetDimensionsText(), "4 x 3");

  // Adding again, or a file already listed, adds nothing.
  EXPECT_EQ(list.AddFolder(dir.path()), 0u);
  EXPECT_FALSE(list.AddImageFile(PathToUtf8(dir / "x.Png")));
  EXPECT_EQ(list.size(), 11u);
}

TEST(image_list_test, add_folder_ends_on_links_back_to_an_ancestor) {
  TempDir dir;
  fs::create_directories(dir / "a" / "b");
  WriteBytes(dir / "top.gif", GifHeader(1, 1));
  WriteBytes(dir / "a" / "b" / "deep.gif", GifHeader(1, 1));
  fs::create_directory_symlink(dir.path(), dir / "a" / "b" / "loop");
  fs::create_directory_symlink("..", dir / "a" / "up");
  fs::create_directory_symlink(dir / "a" / "b", dir / "link-to-b");  // reaches b again

  CImageList list;
  list.AddFolder(dir.path());
  // Each real folder is walked once, by the first way the walk reaches it.
  EXPECT_EQ(RelativePaths(list, dir.path()), (std::vector<std::string>{"a/b/deep.gif", "top.gif"}));
}

TEST(image_list_test, add_folder_follows_links_to_other_folders) {
  TempDir dir;
  TempDir elsewhere;
  WriteBytes(elsewhere / "far.png", PngHeader(3, 3));
  fs::create_directory(dir / "pictures");
  fs::create_directory_symlink(elsewhere.path(), dir / "pictures" / "linked");
  CImageList list;
  EXPECT_EQ(list.AddFolder(dir / "pictures"), 1u);
  EXPECT_EQ(RelativePaths(list, dir.path()), (std::vector<std::string>{"pictures/linked/far.png"}));
}

TEST(image_list_test, folder_that_cannot_be_read_adds_nothing) {
  TempDir dir;
  WriteBytes(dir / "file.gif", GifHeader(1, 1));
  CImageList list;
  EXPECT_EQ(list.AddFolder(dir / "missing"), 0u);
  EXPECT_EQ(list.AddFolder(dir / "file.gif"), 0u);  // a file, not a folder
  EXPECT_TRUE(list.empty());
}

TEST(image_list_test, text_file_added_by_hand_stays_with_error_text) {
  TempDir dir;
  WriteBytes(dir / "readme.txt", std::string(1536, 'x'));
  CImageList list;
  ASSERT_TRUE(list.AddImageFile(PathToUtf8(dir / "readme.txt")));
  const auto row = list.RowTexts(0);
  EXPECT_EQ(row[3], "ERROR!");
  EXPECT_EQ(row[4], "1.536 KB");
  EXPECT_EQ(list[0].m_strProtectedName, "readme_0000_0000_C.class");
}

TEST(image_list_test, same_protected_names_are_allowed) {
  TempDir dir;
  fs::create_directories(dir / "one");
  fs::create_directories(dir / "two");
  WriteBytes(dir / "a b.jpg", JpegHeader(100, 100));
  WriteBytes(dir / "a-b.png", PngHeader(100, 100));
  WriteBytes(dir / "one" / "photo.jpg", JpegHeader(100, 100));
  WriteBytes(dir / "two" / "photo.jpg", JpegHeader(100, 100));
  CImageList list;
  for (const char* p : {"a b.jpg", "a-b.png", "one/photo.jpg", "two/photo.jpg"}) {
    EXPECT_TRUE(list.AddImageFile(PathToUtf8(dir / p))) << p;
  }
  EXPECT_EQ(list[0].m_strProtectedName, "a_b_0100_0100_C.class");
  EXPECT_EQ(list[1].m_strProtectedName, "a_b_0100_0100_C.class");
  EXPECT_EQ(list[2].m_strProtectedName, "photo_0100_0100_C.class");
  EXPECT_EQ(list[3].m_strProtectedName, "photo_0100_0100_C.class");
}

TEST(image_list_test, remove_selected_rows) {
  FiveFiles f;
  f.list.RemoveSelected({1, 3});
  EXPECT_EQ(FileNames(f.list), (std::vector<std::string>{"r0.txt", "r2.txt", "r4.txt"}));

  // A removed file can be added again; rows out of range or out of order are ignored.
  EXPECT_TRUE(f.list.AddImageFile(PathToUtf8(f.dir / "r1.txt")));
  f.list.RemoveSelected({3, 1, 7, -1});
  EXPECT_EQ(FileNames(f.list), (std::vector<std::string>{"r0.txt", "r2.txt", "r4.txt"}));

  f.list.RemoveSelected({0, 1, 2});
  EXPECT_TRUE(f.list.empty());
}

TEST(image_list_test, move_up_and_down) {
  FiveFiles f;
  EXPECT_EQ(f.list.MoveUp(0), -1);
  EXPECT_EQ(f.list.MoveDown(4), -1);
  EXPECT_EQ(f.list.MoveUp(-1), -1);
  EXPECT_EQ(f.list.MoveDown(-1), -1);
  EXPECT_EQ(f.list.MoveUp(5), -1);
  EXPECT_EQ(FileNames(f.list),
            (std::vector<std::string>{"r0.txt", "r1.txt", "r2.txt", "r3.txt", "r4.txt"}));

  EXPECT_EQ(f.list.MoveUp(4), 3);
  EXPECT_EQ(f.list.MoveDown(0), 1);
  EXPECT_EQ(FileNames(f.list),
            (std::vector<std::string>{"r1.txt", "r0.txt", "r2.txt", "r4.txt", "r3.txt"}));
}

TEST(image_list_test, clear_and_row_texts) {
  TempDir dir;
  WriteBytes(dir / "p.png", PngHeader(640, 48));
  CImageList list;
  list.AddImageFile(PathToUtf8(dir / "p.png"));
  list.AddImageFile(PathToUtf8(dir / "gone.gif"));
  EXPECT_EQ(list.RowTexts(0),
            (std::array<std::string, 5>{"1", "p.png", PathToUtf8(dir.path()) + "/", "640 x 48",
                                        "33 bytes"}));
  EXPECT_EQ(list.RowTexts(1),
            (std::array<std::string, 5>{"2", "gone.gif", PathToUtf8(dir.path()) + "/", "ERROR!",
                                        "ERROR!"}));
  list.Clear();
  EXPECT_TRUE(list.empty());
  EXPECT_TRUE(list.AddImageFile(PathToUtf8(dir / "p.png")));
}

}  // namespace
}  // namespace vg
