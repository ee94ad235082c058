#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <thread>

#include "cli/tests/run_cli.h"
#include "core/protected_file.h"

namespace vg {
namespace {

using test::ReadBytes;
using test::RunCli;
using test::TempDir;
using test::WriteBytes;

TEST(cli_protect_test, protect_then_unprotect) {
  TempDir dir;
  const std::string image = test::RandomBytes(70000, 3);
  WriteBytes(dir / "a.png", image);
  const std::string src = (dir / "a.png").string();
  const std::string keyless = (dir / "a.class").string();
  const std::string keyed = (dir / "b.class").string();

  auto r = RunCli({"protect", src, keyless});
  ASSERT_EQ(r.exit_code, 0) << r.err;
  EXPECT_EQ(ReadBytes(keyless).substr(0, 8), std::string("QLM\x03"
                                                         "b1Z`"));
  ASSERT_EQ(RunCli({"protect", "--domain", "www.example.com", src, keyed}).exit_code, 0);
  EXPECT_EQ(ReadBytes(keyed)[3], '\x01');

  struct Case {
    std::string file;
    std::string domain;
    int code;
    std::string err;
  } cases[] = {
      {keyless, "", 0, ""},
      {keyless, "anything.example", 0, ""},  // a keyless file is locked to nothing
      {keyed, "", 0, ""},
      {keyed, "WWW.EXAMPLE.COM", 0, ""},
      {keyed, "localhost", 1, "locked to another domain"},
  };
  for (const auto& c : cases) {
    std::filesystem::remove(dir / "out.png");
    std::vector<std::string> args = {"unprotect", c.file, (dir / "out.png").string()};
    if (!c.domain.empty()) args.insert(args.begin() + 1, {"--domain", c.domain});
    auto u = RunCli(args);
    EXPECT_EQ(u.exit_code, c.code) << c.file << " " << c.domain << ": " << u.err;
    if (c.code == 0) {
      EXPECT_TRUE(ReadBytes(dir / "out.png") == image);
    } else {
      EXPECT_NE(u.err.find(c.err), std::string::npos) << u.err;
      EXPECT_NE(u.err.find(c.file), std::string::npos) << u.err;
      EXPECT_FALSE(std::filesystem::exists(dir / "out.png"));
    }
  }
}

TEST(cli_protect_test, errors_name_the_file_and_the_reason) {
  TempDir dir;
  WriteBytes(dir / "empty.gif", "");
  WriteBytes(dir / "ok.gif", "GIF89a");
  WriteBytes(dir / "junk.class", "not protected");
  const std::string missing = (dir / "missing.jpg").string();
  struct Case {
    std::vector<std::string> args;
    int code;
    std::string named;
    std::string reason;
  } cases[] = {
      {{"protect", missing, (dir / "x").string()}, 1, missing, "no such file"},
      {{"protect", (dir / "empty.gif").string(), (dir / "x").string()}, 1, "empty.gif", "empty"},
      {{"protect", (dir / "ok.gif").string(), (dir / "nodir" / "x").string()},
       1,
       "nodir",
       "target folder"},
      {{"protect", "--domain", "...", (dir / "ok.gif").string(), (dir / "x").string()},
       2,
       "...",
       "domain"},
      {{"protect", "--domain", "https://", (dir / "ok.gif").string(), (dir / "x").string()},
       2,
       "https://",
       "no host name"},
      {{"unprotect", "--domain", "a b", (dir / "junk.class").string(), (dir / "x").string()},
       2,
       "a b",
       "space"},
      {{"unprotect", (dir / "junk.class").string(), (dir / "x").string()},
       1,
       "junk.class",
       "not a protected"},
      {{"protect", (dir / "ok.gif").string()}, 2, "", "TARGET"},
      {{"frobnicate"}, 2, "", ""},
  };
  for (const auto& c : cases) {
    auto r = RunCli(c.args);
    EXPECT_EQ(r.exit_code, c.code) << c.args[0] << " " << r.err;
    EXPECT_NE(r.err.find(c.named), std::string::npos) << r.err;
    EXPECT_NE(r.err.find(c.reason), std::string::npos) << r.err;
    EXPECT_FALSE(std::filesystem::exists(dir / "x"));
  }
}

// A domain typed or pasted as a person would keys the file to the host name the browser
// reports, as the window's domain list does; convert takes the same rule.
TEST(cli_protect_test, domains_key_to_the_browsers_host_name) {
  TempDir dir;
  std::filesystem::copy_file(std::filesystem::path(VG_SOURCE_DIR) / "samples" / "lantern.gif",
                             dir / "a.png");
  const std::pair<const char*, const char*> cases[] = {
      {"bücher.de", "xn--bcher-kva.de"},
      {"例え.jp", "xn--r8jz45g.jp"},
      {"https://WWW.Example.com/gallery/", "www.example.com"},
      {"  Example.ORG  ", "example.org"},
  };
  for (const auto& [typed, host] : cases) {
    ASSERT_EQ(
        RunCli({"protect", "--domain", typed, (dir / "a.png").string(), (dir / "a.class").string()})
            .exit_code,
        0)
        << typed;
    ASSERT_TRUE(WriteProtectedImageFile(dir / "a.png", dir / "expected.class", host));
    EXPECT_EQ(ReadBytes(dir / "a.class"), ReadBytes(dir / "expected.class")) << typed;
    auto r = RunCli(
        {"unprotect", "--domain", typed, (dir / "a.class").string(), (dir / "back.png").string()});
    EXPECT_EQ(r.exit_code, 0) << typed << ": " << r.err;
  }
  auto r = RunCli({"convert", "-y", "--domain", "https://WWW.Example.com/gallery/", "-o",
                   (dir / "site").string(), (dir / "a.png").string()});
  ASSERT_EQ(r.exit_code, 0) << r.err;
  ASSERT_TRUE(WriteProtectedImageFile(dir / "a.png", dir / "expected.class", "www.example.com"));
  EXPECT_EQ(ReadBytes(dir / "site" / "a_0320_0240_C.class"), ReadBytes(dir / "expected.class"));
}

TEST(cli_protect_test, help_and_version) {
  auto v = RunCli({"--version"});
  EXPECT_EQ(v.exit_code, 0);
  EXPECT_NE(v.out.find("5.0.0.0"), std::string::npos);
  auto h = RunCli({"--help"});
  EXPECT_EQ(h.exit_code, 0);
  EXPECT_NE(h.out.find("protect"), std::string::npos);
  EXPECT_NE(h.out.find("unprotect"), std::string::npos);
  auto none = RunCli({});
  EXPECT_EQ(none.exit_code, 2);
}

// Killed in the middle of writing a large file, the writer leaves nothing in the target
// folder: its temporary file has no name until it is complete.
TEST(cli_protect_test, killed_while_writing_leaves_nothing_behind) {
  TempDir dir;
  const auto big = dir / "big.jpg";
  WriteBytes(big, "\xFF\xD8\xFF");
  std::filesystem::resize_file(big, std::uintmax_t{1} << 30);  // sparse: quick to read
  const auto out = dir / "out";
  std::filesystem::create_directories(out);
  pid_t pid = fork();
  if (pid == 0) {
    execl(test::VellagardExe().c_str(), "vellagard", "protect", big.c_str(),
          (out / "big.class").c_str(), static_cast<char*>(nullptr));
    _exit(99);
  }
  // Writing has started once the process holds a file in the target folder.
  const std::string fds = "/proc/" + std::to_string(pid) + "/fd";
  bool writing = false;
  for (int i = 0; i < 4000 && !writing; ++i) {
    std::error_code ec;
    for (std::filesystem::directory_iterator it(fds, ec), end; !ec && it != end; it.increment(ec)) {
      const auto link = std::filesystem::read_symlink(it->path(), ec).string();
      if (!ec && link.rfind(out.string() + "/", 0) == 0) writing = true;
    }
    if (!writing) std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  kill(pid, SIGKILL);
  int status = 0;
  waitpid(pid, &status, 0);
  ASSERT_TRUE(writing);
  ASSERT_TRUE(WIFSIGNALED(status)) << "the writer finished before it was killed";
  EXPECT_TRUE(std::filesystem::is_empty(out)) << test::ListFolder(out).front();
}

}  // namespace
}  // namespace vg
