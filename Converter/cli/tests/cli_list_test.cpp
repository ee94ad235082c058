#include <gtest/gtest.h>

#include "cli/tests/run_cli.h"
#include "core/tests/image_fixtures.h"
#include "core/tests/test_util.h"

namespace vg {
namespace {

using namespace vg::test;
namespace fs = std::filesystem;

const char kHeader[] = "#\tFile Name\tFolder\tWidth x Height\tFile Size\tProtected Name\n";

TEST(cli_list_test, lists_files_and_folders_in_argument_order) {
  TempDir dir;
  const std::string d = dir.path().string() + "/";
  fs::create_directories(dir / "pics" / "sub");
  WriteBytes(dir / "pics" / "b.png", PngHeader(640, 48));
  WriteBytes(dir / "pics" / "A.gif", GifHeader(2, 3));
  WriteBytes(dir / "pics" / "skip.bmp", BmpHeader(2, 2));
  WriteBytes(dir / "pics" / "sub" / "c.jpg", JpegHeader(10001, 3) + std::string(2000, '\0'));
  WriteBytes(dir / "notes.txt", "not an image");
  WriteBytes(dir / "first.bmp", BmpHeader(5, 6));

  // A file is added whatever its type; the folder's files follow in name order; a file
  // given again, or again inside a folder, is listed once.
  const CliResult r = RunCli(
      {"list", d + "first.bmp", d + "pics", d + "notes.txt", d + "pics/b.png", d + "first.bmp"});
  EXPECT_EQ(r.exit_code, 0) << r.err;
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(r.out, std::string(kHeader) + "1\tfirst.bmp\t" + d + "\t5 x 6\t" +
                       std::to_string(14 + 40) + " bytes\tfirst_0005_0006_C.class\n" +
                       "2\tA.gif\t" + d + "pics/\t2 x 3\t13 bytes\tA_0002_0003_C.class\n" +
                       "3\tb.png\t" + d + "pics/\t640 x 48\t33 bytes\tb_0640_0048_C.class\n" +
                       "4\tc.jpg\t" + d + "pics/sub/\t10001 x 3\t2.021 KB\tc_10001_0003_C.class\n" +
                       "5\tnotes.txt\t" + d + "\tERROR!\t12 bytes\tnotes_0000_0000_C.class\n");
}

TEST(cli_list_test, relative_inputs_are_listed_with_full_folders) {
  TempDir dir;
  fs::create_directories(dir / "pics");
  WriteBytes(dir / "pics" / "x.gif", GifHeader(1, 1));
  const CliResult r = RunCli({"list", "./pics/", "pics/./x.gif"}, "",
                             "cd " + ShellQuote(dir.path().string()) + " &&");
  EXPECT_EQ(r.exit_code, 0) << r.err;
  EXPECT_EQ(r.out, std::string(kHeader) + "1\tx.gif\t" + dir.path().string() +
                       "/pics/\t1 x 1\t13 bytes\tx_0001_0001_C.class\n");
}

TEST(cli_list_test, control_characters_in_names_keep_one_line_per_item) {
  TempDir dir;
  WriteBytes(dir / "tab\there\nnew.gif", GifHeader(1, 1));
  const CliResult r = RunCli({"list", dir.path().string()});
  EXPECT_EQ(r.exit_code, 0) << r.err;
  EXPECT_EQ(r.out, std::string(kHeader) + "1\ttab\\there\\nnew.gif\t" + dir.path().string() +
                       "/\t1 x 1\t13 bytes\ttab_here_new_0001_0001_C.class\n");
}

// The same rows in the same order as the table, as JSON that any parser takes: quotes,
// backslashes and control characters escaped, a byte that is not UTF-8 replaced.
TEST(cli_list_test, json_rows_escape_every_name) {
  TempDir dir;
  const std::string d = dir.path().string() + "/";
  fs::create_directories(dir / "pics");
  WriteBytes(dir / "pics" / "a \"q\"\\.gif", GifHeader(2, 3));
  WriteBytes(dir / "pics" / "bad\xFF.png", PngHeader(4, 5));
  WriteBytes(dir / "pics" / "c\x01\x7F.avif", AvifHeader(14, 15));
  WriteBytes(dir / "pics" / "tab\there \xC3\xA9.webp", WebpHeader("VP8L", 12, 13));
  WriteBytes(dir / "notes.txt", "not an image");
  const auto size = [&](const std::string& name) {
    return std::to_string(fs::file_size(d + name));
  };

  const CliResult r = RunCli({"list", "--json", d + "pics", d + "notes.txt"});
  EXPECT_EQ(r.exit_code, 0) << r.err;
  EXPECT_EQ(r.err, "");
  const std::string p = d + "pics/";
  EXPECT_EQ(r.out,
            "[\n"
            "  {\"file\": \"a \\\"q\\\"\\\\.gif\", \"folder\": \"" +
                p +
                "\", \"width\": 2, \"height\": 3, \"bytes\": 13, \"protected\": "
                "\"a_q__0002_0003_C.class\"},\n"
                "  {\"file\": \"bad\xEF\xBF\xBD.png\", \"folder\": \"" +
                p +
                "\", \"width\": 4, \"height\": 5, \"bytes\": 33, \"protected\": "
                "\"bad__0004_0005_C.class\"},\n"
                "  {\"file\": \"c\\u0001\\u007f.avif\", \"folder\": \"" +
                p + "\", \"width\": 14, \"height\": 15, \"bytes\": " + size("pics/c\x01\x7F.avif") +
                ", \"protected\": \"c__0014_0015_C.class\"},\n"
                "  {\"file\": \"tab\\there \xC3\xA9.webp\", \"folder\": \"" +
                p +
                "\", \"width\": 12, \"height\": 13, \"bytes\": 25, \"protected\": "
                "\"tab_here__0012_0013_C.class\"},\n"
                "  {\"file\": \"notes.txt\", \"folder\": \"" +
                d +
                "\", \"width\": 0, \"height\": 0, \"bytes\": 12, \"protected\": "
                "\"notes_0000_0000_C.class\"}\n"
                "]\n");

  const CliResult empty = RunCli({"list", "--json", d + "pics/none"});
  EXPECT_EQ(empty.exit_code, 1);  // an input that does not exist, as for the table
  EXPECT_EQ(empty.out, "");
  fs::create_directories(dir / "empty");
  EXPECT_EQ(RunCli({"list", "--json", d + "empty"}).out, "[]\n");
}

TEST(cli_list_test, empty_folder_prints_the_header_only) {
  TempDir dir;
  const CliResult r = RunCli({"list", dir.path().string()});
  EXPECT_EQ(r.exit_code, 0);
  EXPECT_EQ(r.out, kHeader);
}

TEST(cli_list_test, errors) {
  TempDir dir;
  WriteBytes(dir / "ok.gif", GifHeader(1, 1));
  const std::string missing = (dir / "missing.jpg").string();

  CliResult r = RunCli({"list", (dir / "ok.gif").string(), missing});
  EXPECT_EQ(r.exit_code, 1);
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(r.err, "vellagard: " + missing + ": no such file or folder\n");

  r = RunCli({"list"});
  EXPECT_EQ(r.exit_code, 2);
  EXPECT_NE(r.err.find("INPUT"), std::string::npos) << r.err;

  r = RunCli({"list", "--help"});
  EXPECT_EQ(r.exit_code, 0);
  EXPECT_NE(r.out.find("Protected Name"), std::string::npos) << r.out;

  if (fs::exists("/dev/full")) {  // output that cannot be written is a failure
    const std::string cmd = ShellQuote(VellagardExe().string()) + " list " +
                            ShellQuote((dir / "ok.gif").string()) + " >/dev/full 2>/dev/null";
    const int status = std::system(cmd.c_str());
    EXPECT_EQ(WIFEXITED(status) ? WEXITSTATUS(status) : -1, 1);
  }
}

}  // namespace
}  // namespace vg
