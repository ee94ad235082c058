#include "core/atomic_file.h"

#include <gtest/gtest.h>

#include "core/tests/test_util.h"

namespace vg {
namespace {

using test::ReadBytes;
using test::TempDir;
using test::WriteBytes;

// Unnamed temporary files (Linux) and named ones (elsewhere, and where the file system
// has no unnamed files), for a target that exists and one that does not yet.
TEST(atomic_file_test, target_appears_only_on_commit) {
  for (bool named : {false, true}) {
    for (bool exists : {true, false}) {
      TempDir dir;
      if (exists) WriteBytes(dir / "page.html", "old");
      UseNamedTemporaryFilesOnly(named);
      {
        AtomicFile f(dir / "page.html");
        ASSERT_TRUE(f.Open());
        ASSERT_TRUE(f.Write("new text"));
        EXPECT_EQ(ReadBytes(dir / "page.html"), exists ? "old" : "");
        const auto during = test::ListFolder(dir.path());
        EXPECT_EQ(during.size(), (named ? 1u : 0u) + (exists ? 1u : 0u)) << named;
        for (const auto& name : during) {
          if (name != "page.html") {
            EXPECT_TRUE(IsTemporaryFileName(name)) << name;
          }
        }
        ASSERT_TRUE(f.Commit());
        EXPECT_FALSE(f.unchanged());
      }
      UseNamedTemporaryFilesOnly(false);
      EXPECT_EQ(ReadBytes(dir / "page.html"), "new text");
      EXPECT_EQ(test::ListFolder(dir.path()), std::vector<std::string>{"page.html"});
    }
  }
}

// The temporary name has a fixed short length, so a target of the longest name the file
// system takes can be written.
TEST(atomic_file_test, longest_name_can_be_written) {
  for (bool named : {false, true}) {
    TempDir dir;
    const std::string name = std::string(250, 'n') + ".html";
    WriteBytes(dir / name, "old");
    UseNamedTemporaryFilesOnly(named);
    AtomicFile f(dir / name);
    EXPECT_TRUE(f.Open() && f.Write("new") && f.Commit()) << named << ": " << f.error().message();
    UseNamedTemporaryFilesOnly(false);
    EXPECT_EQ(ReadBytes(dir / name), "new");
  }
}

TEST(atomic_file_test, temporary_names) {
  for (const char* name : {".vgtmp-0123456789abcdef", ".vgtmp-ffffffffffffffff",
                           ".a.jpg.vgtmp-123-4-0", ".My photo_0800_0600_C.class.vgtmp-99-0-15"}) {
    EXPECT_TRUE(IsTemporaryFileName(name)) << name;
  }
  for (const char* name :
       {"", ".vgtmp-", ".vgtmp-0123456789abcde", ".vgtmp-0123456789abcdef0",
        ".vgtmp-0123456789ABCDEF", "vgtmp-0123456789abcdef", ".vgtmp-0123456789abcdeg",
        "a.jpg.vgtmp-1-2-3", ".a.jpg.vgtmp-1-2", ".a.jpg.vgtmp-1-2-x", ".a.jpg.vgtmp--2-3",
        "..vgtmp-1-2-3", "page.html", ".vgtmp-1-2-3-4"}) {
    EXPECT_FALSE(IsTemporaryFileName(name)) << name;
  }
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
  ASSERT_EQ(CopyFileAtomically(dir / "a", dir / "b"), FileUpdate::Written);
  EXPECT_TRUE(ReadBytes(dir / "b") == data);
  EXPECT_EQ(CopyFileAtomically(dir / "missing", dir / "b"), FileUpdate::Failed);
  EXPECT_TRUE(ReadBytes(dir / "b") == data);
}

}  // namespace
}  // namespace vg
