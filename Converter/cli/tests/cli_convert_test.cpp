#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <sys/stat.h>

#include <chrono>
#include <map>
#include <thread>

#include "cli/tests/run_cli.h"
#include "core/protected_file.h"

namespace vg {
namespace {

using test::ReadBytes;
using test::RunCli;
using test::TempDir;
using test::WriteBytes;

const std::filesystem::path kSamples = std::filesystem::path(VG_SOURCE_DIR) / "samples";

std::string Param(const std::string& name, const std::string& value) {
  return "\t<param name=\"" + name + "\" value=\"" + value + "\" />\r\n";
}

// Copies the samples into <dir>/in so tests can add or break files.
std::filesystem::path CopySamples(const TempDir& dir) {
  auto in = dir / "in";
  std::filesystem::create_directories(in);
  for (const auto& e : std::filesystem::directory_iterator(kSamples)) {
    std::filesystem::copy_file(e.path(), in / e.path().filename());
  }
  return in;
}

TEST(cli_convert_test, converts_a_folder_into_a_site) {
  TempDir dir;
  auto in = CopySamples(dir);
  const std::string out = (dir / "site").string();  // made by convert
  auto r = RunCli({"convert", "-y", "-o", out, "--background", "336699", "--text-color", "#ffcc00",
                   "--border", "3", "--domain", "Example.COM", "--loading", "  Loading...  ",
                   in.string()});
  ASSERT_EQ(r.exit_code, 0) << r.err;
  EXPECT_EQ(r.out, "Done.\n");
  EXPECT_EQ(test::ListFolder(out),
            (std::vector<std::string>{"cloud study.html", "cloud_study_1024_0768_C.class",
                                      "harbour-dusk.html", "harbour_dusk_0800_0600_C.class",
                                      "lantern.html", "lantern_0320_0240_C.class", "meadow.html",
                                      "meadow_0480_0360_C.class", "quarry.html",
                                      "quarry_0400_0300_C.class", "vgi.js"}));
  EXPECT_EQ(ReadBytes(std::filesystem::path(out) / "vgi.js"),
            ReadBytes(std::filesystem::path(VG_BIN_DIR) / "vgi.js"));
  // Every protected file is the writer's output for its source, locked to the domain.
  WriteProtectedImageFile(in / "meadow.png", dir / "expected", "example.com");
  EXPECT_EQ(ReadBytes(std::filesystem::path(out) / "meadow_0480_0360_C.class"),
            ReadBytes(dir / "expected"));
  const std::string page = ReadBytes(std::filesystem::path(out) / "cloud study.html");
  const std::string block =
      Param("Style", "ImageLink") + Param("Link", "https://www.quillmere.example/vellagard/") +
      Param("TargetFrame", "_self") + Param("Loading", "Loading...") +
      Param("Label", "Quillmere - Protected image") + Param("TextColor", "FFCC00") +
      Param("BorderColor", "336699") + Param("Border", "3") + Param("FrameCount", "1") +
      Param("Frame000", "cloud_study_1024_0768_C.class");
  EXPECT_NE(page.find(block), std::string::npos) << page;
  EXPECT_NE(page.find("1024"), std::string::npos);
}

TEST(cli_convert_test, styles_write_their_own_lines) {
  TempDir dir;
  auto in = CopySamples(dir);
  struct Case {
    std::vector<std::string> options;
    std::string page;
    std::string expected;
  } cases[] = {
      {{"--style", "text-to-image", "--message", " Hover me "},
       "lantern.html",
       Param("Style", "TextFirst") + Param("Message", "Hover me") + Param("Loading", "")},
      {{"--style", "image-to-text", "--message", "a \"b\" & c"},
       "lantern.html",
       Param("Style", "ImageFirst") + Param("Message", "a &quot;b&quot; &amp; c")},
      {{"--style", "link", "--frame", "main", "--link", "https://example.org/"},
       "lantern.html",
       Param("Link", "https://example.org/") + Param("TargetFrame", "main")},
      {{"--style", "link", "--frame", "blank"}, "lantern.html", Param("TargetFrame", "_blank")},
      {{"--style", "image-to-image", "--second-image", (in / "meadow.png").string()},
       "lantern.html",
       Param("Style", "ImageImage") + Param("Loading", "")},
      {{"--style", "slideshow", "--delay", "250ms"},
       "slideshow.html",
       Param("Style", "SlideShow") + Param("FrameDelay", "250")},
      // The watermark is trimmed as the window trims it, then written as every text
      // value; a blank one writes no line at all.
      {{"--style", "text-to-image", "--watermark",
        " \xC2\xA9 Jane & \xE2\x80\x9C"
        "Co\xE2\x80\x9D "},
       "lantern.html",
       Param("Label", "Quillmere - Protected image") +
           Param("Watermark", "\xA9 Jane &amp; &#x201C;Co&#x201D;") + Param("TextColor", "FFFFFF")},
      {{"--style", "slideshow", "--watermark", "Proof"},
       "slideshow.html",
       Param("Label", "Quillmere - Protected image") + Param("Watermark", "Proof") +
           Param("TextColor", "FFFFFF")},
      {{"--style", "text-to-image", "--watermark", "   "},
       "lantern.html",
       Param("Label", "Quillmere - Protected image") + Param("TextColor", "FFFFFF")},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.options[1]);
    const auto out = dir / ("out-" + std::to_string(&c - cases));
    std::vector<std::string> args = {"convert", "-y", "--loading", "", "-o", out.string()};
    args.insert(args.end(), c.options.begin(), c.options.end());
    args.push_back((in / "lantern.gif").string());
    auto r = RunCli(args);
    ASSERT_EQ(r.exit_code, 0) << r.err;
    const std::string page = ReadBytes(out / c.page);
    EXPECT_NE(page.find(c.expected), std::string::npos) << page;
  }
  // Image to image: the second image's file is written and named in every page.
  const auto i2i = dir / "out-4";
  EXPECT_TRUE(std::filesystem::exists(i2i / "meadow_0480_0360_C.class"));
  EXPECT_NE(ReadBytes(i2i / "lantern.html").find(Param("Frame001", "meadow_0480_0360_C.class")),
            std::string::npos);
  // Slideshow: no page per image.
  EXPECT_FALSE(std::filesystem::exists(dir / "out-5" / "lantern.html"));
}

TEST(cli_convert_test, refusals_exit_2_and_write_nothing) {
  TempDir dir;
  auto in = CopySamples(dir);
  const std::string out = (dir / "out").string();
  std::filesystem::create_directories(out);
  const std::string gif = (in / "lantern.gif").string();
  struct Case {
    std::vector<std::string> args;
    std::string message;
  } cases[] = {
      {{"convert", "-o", out, gif}, "--yes"},  // no terminal to ask on
      {{"convert", "-y", "-o", out, "--style", "slideshow", "--delay", "0", gif},
       "Please enter positive integer value!"},
      {{"convert", "-y", "-o", out, "--style", "slideshow", "--delay", "-5", gif},
       "Please enter positive integer value!"},
      {{"convert", "-y", "-o", out, "--frame", "   ", gif}, "Please enter frame name!"},
      {{"convert", "-y", "-o", out, "--style", "image-to-image", gif},
       "Please choose an image file!"},
      {{"convert", "-y", "-o", out, "--domain", "-.-", gif},
       "\"-.-\" has a part that starts or ends with a hyphen"},
      {{"convert", "-y", "-o", out, "--domain", "https://", gif}, "\"https://\" has no host name"},
      {{"convert", "-y", "-o", out, "--background", "red", gif}, "RRGGBB"},
      {{"convert", "-y", "-o", out, "--style", "fancy", gif}, "--style"},
      {{"convert", "-y", gif}, "--target"},
  };
  for (const auto& c : cases) {
    auto r = RunCli(c.args);
    EXPECT_EQ(r.exit_code, 2) << c.message << ": " << r.err;
    EXPECT_NE(r.err.find(c.message), std::string::npos) << r.err;
    EXPECT_TRUE(std::filesystem::is_empty(out)) << c.message;
  }
}

TEST(cli_convert_test, failures_exit_1_and_name_the_file) {
  TempDir dir;
  auto in = CopySamples(dir);
  const auto out = dir / "out";
  std::filesystem::create_directories(out / "lantern.html");  // the page cannot be written
  auto r = RunCli({"convert", "-y", "-o", out.string(), (in / "harbour-dusk.jpg").string(),
                   (in / "lantern.gif").string(), (in / "meadow.png").string()});
  EXPECT_EQ(r.exit_code, 1);
  EXPECT_EQ(r.err,
            "vellagard: Error converting input file!\n\n" + (in / "lantern.gif").string() + "\n");
  EXPECT_TRUE(std::filesystem::exists(out / "lantern_0320_0240_C.class"));
  EXPECT_FALSE(std::filesystem::exists(out / "meadow_0480_0360_C.class"));
  EXPECT_FALSE(std::filesystem::exists(out / "vgi.js"));

  auto missing = RunCli({"convert", "-y", "-o", out.string(), (dir / "nothing-here.jpg").string()});
  EXPECT_EQ(missing.exit_code, 1);
  EXPECT_NE(missing.err.find("nothing-here.jpg"), std::string::npos) << missing.err;
}

// The tool takes template.html and vgi.js from beside itself, else from
// ../share/vellagard (an installed tree). Without them it would write empty pages and
// report success, so it refuses and names both places.
TEST(cli_convert_test, finds_its_files_beside_itself_or_in_share_vellagard) {
  const std::filesystem::path bin_dir = VG_BIN_DIR;
  struct Layout {
    const char* name;
    std::vector<std::string> files;  // copied from the build's bin/ to these places
    const char* vgi_from;            // where the target's vgi.js must come from; "" refused
  };
  const Layout layouts[] = {
      {"beside", {"bin/template.html", "bin/vgi.js"}, "bin"},
      {"installed", {"share/vellagard/template.html", "share/vellagard/vgi.js"}, "share/vellagard"},
      {"no template anywhere", {"bin/vgi.js", "share/vellagard/vgi.js"}, ""},
  };
  for (const auto& layout : layouts) {
    SCOPED_TRACE(layout.name);
    TempDir dir;
    std::filesystem::create_directories(dir / "bin");
    std::filesystem::copy_file(test::VellagardExe(), dir / "bin" / "vellagard");
    for (const auto& f : layout.files) {
      const auto to = dir.path() / f;
      std::filesystem::create_directories(to.parent_path());
      std::filesystem::copy_file(bin_dir / to.filename(), to);
    }
    // Marks which copy of vgi.js the run takes.
    if (*layout.vgi_from) WriteBytes(dir.path() / layout.vgi_from / "vgi.js", layout.vgi_from);
    const std::string cmd = test::ShellQuote((dir / "bin" / "vellagard").string()) +
                            " convert -y -o " + test::ShellQuote((dir / "out").string()) + " " +
                            test::ShellQuote((kSamples / "lantern.gif").string()) + " 2>" +
                            test::ShellQuote((dir / "err").string());
    const int status = std::system(cmd.c_str());
    const std::string err = ReadBytes(dir / "err");
    if (*layout.vgi_from) {
      EXPECT_EQ(WEXITSTATUS(status), 0) << err;
      EXPECT_EQ(ReadBytes(dir / "out" / "vgi.js"), layout.vgi_from);
      const std::string page = ReadBytes(dir / "out" / "lantern.html");
      EXPECT_NE(page.find("<param name=\"Style\""), std::string::npos) << page;
      EXPECT_EQ(page.find("%PARAMS%"), std::string::npos) << page;
    } else {
      EXPECT_EQ(WEXITSTATUS(status), 1);
      EXPECT_NE(err.find("template.html"), std::string::npos) << err;
      EXPECT_NE(err.find((dir / "bin").string()), std::string::npos) << err;
      EXPECT_NE(err.find((dir / "share" / "vellagard").string()), std::string::npos) << err;
      EXPECT_FALSE(std::filesystem::exists(dir / "out"));
    }
  }
}

TEST(cli_convert_test, verbose_lists_each_image) {
  TempDir dir;
  auto in = CopySamples(dir);
  auto r = RunCli({"convert", "-y", "-v", "-o", (dir / "out").string(),
                   (in / "lantern.gif").string(), (in / "quarry.tif").string()});
  ASSERT_EQ(r.exit_code, 0) << r.err;
  EXPECT_EQ(r.err, "[1/2] " + (in / "lantern.gif").string() + ": written\n[2/2] " +
                       (in / "quarry.tif").string() + ": written\n");
}

std::map<std::string, ino_t> Inodes(const std::filesystem::path& folder) {
  std::map<std::string, ino_t> inodes;
  for (const auto& e : std::filesystem::directory_iterator(folder)) {
    struct stat st {};
    EXPECT_EQ(::stat(e.path().c_str(), &st), 0);
    inodes[e.path().filename().string()] = st.st_ino;
  }
  return inodes;
}

// A build script converts on every build: a re-run writes only what changed, so the
// deploy tool uploads only that; WebP and AVIF files from a folder are converted too.
TEST(cli_convert_test, rerun_writes_only_what_changed) {
  TempDir dir;
  auto in = CopySamples(dir);
  for (const char* made : {"-size 37x23 gradient:red-blue -define webp:lossless=true ",
                           "-size 41x29 gradient:red-blue "}) {
    const std::string name =
        std::string(made).find("webp") != std::string::npos ? "Shore.WEBP" : "dune.avif";
    const std::string cmd =
        std::string("convert ") + made + test::ShellQuote((in / name).string()) + " 2>&1";
    ASSERT_EQ(std::system(cmd.c_str()), 0)
        << cmd << " (ImageMagick with WebP and AVIF: scripts/install-deps.sh)";
  }
  const auto out = dir / "out";
  auto r = RunCli({"convert", "-y", "-o", out.string(), in.string()});
  ASSERT_EQ(r.exit_code, 0) << r.err;
  EXPECT_TRUE(std::filesystem::exists(out / "Shore_0037_0023_C.class"));
  EXPECT_TRUE(std::filesystem::exists(out / "dune_0041_0029_C.class"));
  EXPECT_NE(ReadBytes(out / "Shore.html").find("value=\"Shore_0037_0023_C.class\""),
            std::string::npos);
  const auto first = Inodes(out);
  ASSERT_EQ(first.size(), 15u);

  r = RunCli({"convert", "-y", "-v", "-o", out.string(), in.string()});
  ASSERT_EQ(r.exit_code, 0) << r.err;
  EXPECT_EQ(Inodes(out), first);
  std::size_t unchanged = 0;
  for (std::size_t at = 0; (at = r.err.find(": unchanged\n", at)) != std::string::npos; ++at)
    ++unchanged;
  EXPECT_EQ(unchanged, 7u) << r.err;

  WriteBytes(in / "meadow.png", ReadBytes(in / "meadow.png") + "more");
  r = RunCli({"convert", "-y", "-v", "-o", out.string(), in.string()});
  ASSERT_EQ(r.exit_code, 0) << r.err;
  EXPECT_NE(r.err.find((in / "meadow.png").string() + ": written\n"), std::string::npos) << r.err;
  EXPECT_EQ(r.err.find(": written\n"), r.err.rfind(": written\n")) << r.err;  // only that one
  auto now = Inodes(out);
  for (const auto& [name, inode] : first)
    EXPECT_EQ(now[name] == inode, name != "meadow_0480_0360_C.class") << name;

  r = RunCli({"convert", "-y", "--force", "-o", out.string(), in.string()});
  ASSERT_EQ(r.exit_code, 0) << r.err;
  now = Inodes(out);
  for (const auto& [name, inode] : first) EXPECT_NE(now[name], inode) << name;
}

TEST(cli_convert_test, quiet_prints_nothing_but_errors) {
  TempDir dir;
  auto in = CopySamples(dir);
  const std::string out = (dir / "out").string();
  const struct {
    std::vector<std::string> args;
    int code;
    std::string err;
  } cases[] = {
      {{"convert", "-y", "-q", "-o", out, in.string()}, 0, ""},
      {{"convert", "-y", "--quiet", "-o", out, (in / "missing.gif").string()},
       1,
       "vellagard: " + (in / "missing.gif").string() + ": no such file or folder\n"},
      {{"convert", "-y", "-q", "-o", out, "--style", "slideshow", "--delay", "0", in.string()},
       2,
       "vellagard: Please enter positive integer value!\n"},
  };
  for (const auto& c : cases) {
    const auto r = RunCli(c.args);
    EXPECT_EQ(r.exit_code, c.code) << c.err;
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, c.err);
  }
  const auto both = RunCli({"convert", "-y", "-q", "-v", "-o", out, in.string()});
  EXPECT_EQ(both.exit_code, 2);
  EXPECT_NE(both.err.find("excludes"), std::string::npos) << both.err;
}

// Ctrl-C is Stop: the image in progress finishes with both its files, nothing after it.
TEST(cli_convert_test, interrupt_stops_between_images) {
  TempDir dir;
  const auto in = dir / "in";
  std::filesystem::create_directories(in);
  for (int i = 0; i < 400; ++i) {
    WriteBytes(in / ("img" + std::to_string(1000 + i) + ".gif"),
               ReadBytes(kSamples / "lantern.gif") + test::RandomBytes(200000, i));
  }
  const auto out = dir / "out";
  std::filesystem::create_directories(out);
  pid_t pid = fork();
  if (pid == 0) {
    freopen("/dev/null", "w", stdout);
    freopen((dir / "err").c_str(), "w", stderr);
    execl(test::VellagardExe().c_str(), "vellagard", "convert", "-y", "-o", out.c_str(), in.c_str(),
          static_cast<char*>(nullptr));
    _exit(99);
  }
  // Interrupt once the first page exists.
  for (int i = 0; i < 2000 && !std::filesystem::exists(out / "img1000.html"); ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  kill(pid, SIGINT);
  int status = 0;
  waitpid(pid, &status, 0);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 130);
  EXPECT_NE(ReadBytes(dir / "err").find("Aborted!"), std::string::npos);
  EXPECT_FALSE(std::filesystem::exists(out / "vgi.js"));
  std::size_t classes = 0, pages = 0;
  for (const auto& e : std::filesystem::directory_iterator(out)) {
    (e.path().extension() == ".class" ? classes : pages)++;
  }
  EXPECT_EQ(classes, pages);  // no image left half done
  EXPECT_GE(classes, 1u);
  EXPECT_LT(classes, 400u);
}

}  // namespace
}  // namespace vg
