#include "core/atomic_file.h"

#include <gtest/gtest.h>

#include "core/tests/test_util.h"

namespace vg {
namespace {

using test::ReadBytes;
using test::TempDir;
using test::WriteBytes;

TEST(atomic_file_test, target_appears_only_on_commit) {
  TempDir dir;
  WriteBytes(dir / "page.html", "old");
  {
    AtomicFile f(dir / "page.html");
    ASSERT_TRUE(f.Open());
    ASSERT_TRUE(f.Write("new text"));
    EXPECT_EQ(ReadBytes(dir / "page.html"), "old");
    EXPECT_EQ(test::ListFolder(dir.path()).size(), 2u);  // the hidden temporary file
    ASSERT_TRUE(f.Commit());
  }
  EXPECT_EQ(ReadBytes(dir / "page.html"), "new text");
  EXPECT_EQ(test::ListFolder(dir.path()), std::vector<std::string>{"page.html"});
}

TEST(atomic_file_test, dropped_without_commit_leaves_nothing) {
  TempDir dir;
  WriteBytes(dir / "page.html", "old");
  {
    AtomicFile f(dir / "page.html");
    ASSERT_TRUE(f.Open());
    ASSERT_TRUE(f.Write("half"));
  }
  EXPECT_EQ(ReadBytes(dir / "page.html"), "old");
  EXPECT_EQ(test::ListFolder(dir.path()), std::vector<std::string>{"page.html"});
}

TEST(atomic_file_test, missing_folder_fails_to_open) {
  TempDir dir;
  AtomicFile f(dir / "nope" / "page.html");
  EXPECT_FALSE(f.Open());
  EXPECT_FALSE(f.Write("x"));
  EXPECT_FALSE(f.Commit());
}

TEST(atomic_file_test, copy_file) {
  TempDir dir;
  const std::string data = test::RandomBytes((1 << 20) + 3);
  WriteBytes(dir / "a", data);
  WriteBytes(dir / "b", "old");
  ASSERT_TRUE(CopyFileAtomically(dir / "a", dir / "b"));
  EXPECT_TRUE(ReadBytes(dir / "b") == data);
  EXPECT_FALSE(CopyFileAtomically(dir / "missing", dir / "b"));
  EXPECT_TRUE(ReadBytes(dir / "b") == data);
}

}  // namespace
}  // namespace vg
