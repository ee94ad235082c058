// Where the programs find template.html and vgi.js: beside themselves, else in
// ../share/vellagard, and only a place that holds both files counts.
#include "core/platform.h"

#include <gtest/gtest.h>

#include "core/tests/test_util.h"
#include "core/utf8_path.h"

namespace vg::test {
namespace {

struct LookupCase {
  const char* name;
  std::vector<std::string> files;  // made under the prefix folder
  const char* expected;            // relative to the prefix; "" when no place counts
};

TEST(data_folder_test, beside_the_program_first_then_share_vellagard) {
  const LookupCase cases[] = {
      {"build tree", {"bin/template.html", "bin/vgi.js"}, "bin"},
      {"installed tree",
       {"share/vellagard/template.html", "share/vellagard/vgi.js"},
       "share/vellagard"},
      {"beside wins over share",
       {"bin/template.html", "bin/vgi.js", "share/vellagard/template.html",
        "share/vellagard/vgi.js"},
       "bin"},
      {"half a set beside is passed over",
       {"bin/template.html", "share/vellagard/template.html", "share/vellagard/vgi.js"},
       "share/vellagard"},
      {"a folder named like the file is not the file", {"bin/template.html/", "bin/vgi.js"}, ""},
      {"neither place", {"share/template.html", "share/vgi.js", "vgi.js"}, ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    TempDir prefix;
    std::filesystem::create_directories(prefix / "bin");
    for (const auto& f : c.files) {
      const auto p = prefix.path() / f;
      std::filesystem::create_directories(p.parent_path());
      if (f.back() == '/') {
        std::filesystem::create_directories(p);
      } else {
        WriteBytes(p, "x");
      }
    }
    const auto lookup = FindDataFolder(prefix / "bin");
    EXPECT_EQ(lookup.folder, *c.expected ? prefix.path() / c.expected : std::filesystem::path());
    ASSERT_EQ(lookup.places.size(), 2u);
    EXPECT_EQ(lookup.places[0], prefix / "bin");
    EXPECT_EQ(lookup.places[1], prefix.path() / "share" / "vellagard");
  }
}

TEST(data_folder_test, the_message_names_the_files_and_both_places) {
  TempDir prefix;
  const auto lookup = FindDataFolder(prefix / "bin");
  ASSERT_TRUE(lookup.folder.empty());
  const std::string text = DescribeMissingDataFiles(lookup);
  EXPECT_NE(text.find("template.html"), std::string::npos) << text;
  EXPECT_NE(text.find("vgi.js"), std::string::npos) << text;
  EXPECT_NE(text.find(PathToUtf8(prefix / "bin")), std::string::npos) << text;
  EXPECT_NE(text.find(PathToUtf8(prefix.path() / "share" / "vellagard")), std::string::npos)
      << text;

  // Without a program folder nothing is looked at, and the message says why.
  const auto nowhere = FindDataFolder({});
  EXPECT_TRUE(nowhere.places.empty());
  EXPECT_TRUE(nowhere.folder.empty());
  EXPECT_NE(DescribeMissingDataFiles(nowhere).find("cannot tell"), std::string::npos);
}

}  // namespace
}  // namespace vg::test
