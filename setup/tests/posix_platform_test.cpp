// The POSIX services of the launcher, on the real file system and with real processes.
#include "platform/posix_platform.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "core/setup_extractor.h"
#include "tests/posix_test_util.h"

namespace vgsetup::test {
namespace {

char kProgram[] = "setup";
char* kArgv[] = {kProgram, nullptr};

TEST(posix_platform_test, private_folders_are_0700_and_never_existing_ones) {
  TempDir t;
  CPosixPlatform p(1, kArgv);
  const mode_t old = ::umask(0277);  // would leave the owner without write and search
  EXPECT_EQ(p.CreatePrivateDir(t / "a"), ECreateDir::kCreated);
  ::umask(old);
  EXPECT_EQ(ModeOf(t / "a"), 0700u);
  EXPECT_EQ(p.CreatePrivateDir(t / "a"), ECreateDir::kExists);
  fs::create_directory_symlink(t / "a", t / "link");
  EXPECT_EQ(p.CreatePrivateDir(t / "link"), ECreateDir::kExists);
  EXPECT_EQ(p.GetPathKind(t / "link"), EPathKind::kLink);
  EXPECT_EQ(p.GetPathKind(t / "a"), EPathKind::kDirectory);
  EXPECT_EQ(p.GetPathKind(t / "none"), EPathKind::kAbsent);
  EXPECT_EQ(p.CreatePrivateDir(t / "none/b"), ECreateDir::kFailed);
}

TEST(posix_platform_test, the_temporary_folder_passes_over_links_and_reuses_stale_engines) {
  g_bUnicodePath = g_bDebug = false;
  TempDir t;
  fs::create_directory(t / "victim");
  WriteFile(t / "victim/qvsetup.exe", "theirs");
  fs::create_directory_symlink(t / "victim", t / "_qv_kb_temp_0");  // planted by someone
  fs::create_directory(t / "_qv_kb_temp_1");
  WriteFile(t / "_qv_kb_temp_1/qvsetup.exe", "stale");  // ours, from an earlier run
  CPosixPlatform p(1, kArgv);
  CSetupExtractor ex(p);
  const fs::path before = fs::current_path();
  ex.m_szTempOverride.Assign(t.path().string());
  ASSERT_EQ(ex.PrepareTempFolder(), 0) << ex.m_szError.str();
  EXPECT_EQ(ex.m_szTempLaunchPath.str(), t / "_qv_kb_temp_1/");
  EXPECT_EQ(ex.m_szEnginePath.str(), t / "_qv_kb_temp_1/qvsetup.exe");
  EXPECT_FALSE(fs::exists(t / "_qv_kb_temp_1/qvsetup.exe"));
  EXPECT_EQ(ModeOf(t / "_qv_kb_temp_1"), 0700u);
  EXPECT_EQ(ReadFile(t / "victim/qvsetup.exe"), "theirs");
  EXPECT_EQ(fs::current_path(), before);
}

TEST(posix_platform_test, stale_folder_removal_and_shared_folders) {
  TempDir t;
  CPosixPlatform p(1, kArgv);
  fs::create_directory(t / "victim");
  WriteFile(t / "victim/qvsetup.exe", "theirs");
  fs::create_directory_symlink(t / "victim", t / "link");
  fs::create_directory(t / "only");
  WriteFile(t / "only/qvsetup.exe", "stale");
  fs::create_directory(t / "more");
  WriteFile(t / "more/qvsetup.exe", "stale");
  WriteFile(t / "more/notes.txt", "keep");
  EXPECT_FALSE(p.RemoveStaleFolder(t / "link", "qvsetup.exe"));
  EXPECT_EQ(ReadFile(t / "victim/qvsetup.exe"), "theirs");
  EXPECT_TRUE(p.RemoveStaleFolder(t / "only", "qvsetup.exe"));
  EXPECT_FALSE(fs::exists(t / "only"));
  EXPECT_FALSE(p.RemoveStaleFolder(t / "more", "qvsetup.exe"));
  EXPECT_EQ(ReadFile(t / "more/notes.txt"), "keep");
  EXPECT_FALSE(p.RemoveStaleFolder(t / "none", "qvsetup.exe"));

  EXPECT_EQ(p.CreateSharedDir(t / "shared"), ECreateDir::kCreated);
  EXPECT_EQ(ModeOf(t / "shared"), 0755u);
  EXPECT_EQ(p.CreateSharedDir(t / "shared"), ECreateDir::kExists);
  const struct {
    std::string path;
    unsigned mode;  // 0: as it is
    EPathKind kind;
    bool othersMayReplace;
  } cases[] = {
      {t / "shared", 0, EPathKind::kDirectory, false},
      {t / "shared", 01777, EPathKind::kDirectory, false},  // like /tmp
      {t / "shared", 0777, EPathKind::kDirectory, true},    // anyone may rename inside
      {t / "shared", 0775, EPathKind::kDirectory, true},
      {t / "link", 0, EPathKind::kLink, false},
      {t / "none", 0, EPathKind::kAbsent, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.path + " " + std::to_string(c.mode));
    if (c.mode) {
      ASSERT_EQ(::chmod(c.path.c_str(), c.mode), 0);
    }
    const CFolderFacts facts = p.ExamineFolder(c.path);
    EXPECT_EQ(facts.kind, c.kind);
    if (c.kind == EPathKind::kDirectory) {
      EXPECT_EQ(facts.bOthersMayReplace, c.othersMayReplace);
      EXPECT_EQ(facts.bOwnedBySystem, ::geteuid() == 0);
    }
  }
}

TEST(posix_platform_test, another_users_stale_folder_is_left_alone) {
  if (::geteuid() != 0) GTEST_SKIP() << "needs root to make a folder of another user";
  TempDir t;
  fs::create_directory(t / "_qv_kb_temp_0");
  WriteFile(t / "_qv_kb_temp_0/qvsetup.exe", "theirs");
  ASSERT_EQ(::chown((t / "_qv_kb_temp_0").c_str(), 65534, 65534), 0);
  CPosixPlatform p(1, kArgv);
  EXPECT_EQ(p.GetPathKind(t / "_qv_kb_temp_0"), EPathKind::kOther);
  CSetupExtractor ex(p);
  ex.m_szTempOverride.Assign(t.path().string());
  ASSERT_EQ(ex.PrepareTempFolder(), 0);
  EXPECT_EQ(ex.m_szTempLaunchPath.str(), t / "_qv_kb_temp_1/");
  EXPECT_EQ(ReadFile(t / "_qv_kb_temp_0/qvsetup.exe"), "theirs");
}

TEST(posix_platform_test, t_switch_base_is_created_folder_by_folder) {
  TempDir t;
  CPosixPlatform p(1, kArgv);
  CSetupExtractor ex(p);
  ex.m_szTempOverride.Assign(t / "a/b/c");
  ASSERT_EQ(ex.PrepareTempFolder(), 0);
  EXPECT_EQ(ex.m_szTempLaunchPath.str(), t / "a/b/c/_qv_kb_temp_0/");
  EXPECT_TRUE(fs::is_directory(t / "a/b/c/_qv_kb_temp_0"));
}

TEST(posix_platform_test, extraction_writes_the_head_and_copies_the_rest) {
  TempDir t;
  const std::string big = [] {
    std::string b(3 * 1024 * 1024 + 17, '\0');
    for (std::size_t i = 0; i < b.size(); ++i) b[i] = static_cast<char>((i * 7919) >> 3);
    return b;
  }();
  WriteFile(t / "archive", "0123456789" + big);
  CPosixPlatform p(1, kArgv);
  auto archive = p.OpenArchive(t / "archive");
  ASSERT_NE(archive, nullptr);
  const unsigned char head[] = {'A', 'B'};
  EXPECT_EQ(archive->ExtractTo(t / "f", head, 2, 3, 4), EExtract::kWritten);
  EXPECT_EQ(ReadFile(t / "f"), "AB3456");
  EXPECT_EQ(archive->ExtractTo(t / "f", nullptr, 0, 10, big.size()), EExtract::kWritten);
  EXPECT_EQ(ReadFile(t / "f"), big) << "an existing file is truncated and rewritten";
  EXPECT_EQ(archive->ExtractTo(t / "g", nullptr, 0, 10 + big.size() - 5, 6), EExtract::kReadFailed);

  WriteFile(t / "victim", "theirs");
  fs::create_symlink(t / "victim", t / "link");
  EXPECT_EQ(archive->ExtractTo(t / "link", head, 2, 0, 1), EExtract::kOpenFailed);
  EXPECT_EQ(ReadFile(t / "victim"), "theirs");
  EXPECT_EQ(archive->ExtractTo(t / "missing/f", head, 2, 0, 1), EExtract::kOpenFailed);
}

TEST(posix_platform_test, archive_reads_are_positioned_and_short_only_at_the_end) {
  TempDir t;
  WriteFile(t / "a", "0123456789");
  CPosixPlatform p(1, kArgv);
  EXPECT_EQ(p.OpenArchive(t / "missing"), nullptr);
  auto file = p.OpenArchive(t / "a");
  ASSERT_NE(file, nullptr);
  char buf[16];
  std::size_t got = 0;
  ASSERT_TRUE(file->Read(3, buf, 4, &got));
  EXPECT_EQ(std::string(buf, got), "3456");
  ASSERT_TRUE(file->Read(8, buf, 16, &got));
  EXPECT_EQ(std::string(buf, got), "89");
  ASSERT_TRUE(file->Read(0x100000000ull, buf, 16, &got));  // beyond 4 GiB: nothing there
  EXPECT_EQ(got, 0u);
  std::uint64_t size = 0;
  ASSERT_TRUE(file->GetSize(&size));
  EXPECT_EQ(size, 10u);
}

TEST(posix_platform_test, identity_command_line_and_free_space) {
  char a1[] = "/W";
  char a2[] = "two words";
  char* argv[] = {kProgram, a1, a2, nullptr};
  CPosixPlatform p(3, argv);
  std::string text;
  std::vector<std::string> args;
  p.ReadCommandLine(&text, &args);
  EXPECT_EQ(text, "/W two words");
  EXPECT_EQ(args, (std::vector<std::string>{"setup", "/W", "two words"}));

  std::string sid;
  ASSERT_TRUE(p.GetUserSid(&sid));
  EXPECT_EQ(sid, "S-1-22-1-" + std::to_string(::getuid()));

  std::string own;
  ASSERT_TRUE(p.GetOwnPath(&own));
  EXPECT_EQ(fs::path(own).filename(), "setup_posix_test");

  TempDir t;
  std::uint64_t free = 0;
  EXPECT_TRUE(p.QueryFreeSpace(t.path().string(), &free));
  EXPECT_GT(free, 0u);
  EXPECT_FALSE(p.QueryFreeSpace(t / "missing", &free));
}

// An engine stand-in: a shell script, written without execute permission (the platform
// grants it), that records its arguments and ends as told.
std::string Script(const TempDir& t, const std::string& body) {
  const std::string path = t / "engine.sh";
  WriteFile(path, "#!/bin/sh\nprintf '%s\\n' \"$@\" > '" + (t / "args") + "'\n" + body + "\n",
            fs::perms::owner_read | fs::perms::owner_write);
  return path;
}

TEST(posix_platform_test, engine_exit_codes) {
  const struct {
    const char* body;
    std::uint32_t code;
  } cases[] = {
      {"exit 0", 0}, {"exit 3", 3}, {"exit 55", 55}, {"kill -9 $$", 137}, {"kill -TERM $$", 143}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.body);
    TempDir t;
    CPosixPlatform p(1, kArgv);
    CEngineCommand command{Script(t, c.body), "", {"/W", "__QVAOFF:12"}};
    std::unique_ptr<CEngineProcess> process;
    ASSERT_EQ(p.StartProcess(command, &process), EStartResult::kStarted);
    process->Wait();
    std::uint32_t code = 9999;
    ASSERT_TRUE(process->GetExitCode(&code));
    EXPECT_EQ(code, c.code);
    EXPECT_EQ(ReadFile(t / "args"), "/W\n__QVAOFF:12\n");
    EXPECT_EQ(ModeOf(command.strEnginePath), 0700u);
  }
}

TEST(posix_platform_test, an_engine_that_cannot_run_is_not_started) {
  TempDir t;
  CPosixPlatform p(1, kArgv);
  WriteFile(t / "garbage", std::string(64, '\x01'));
  std::unique_ptr<CEngineProcess> process;
  EXPECT_EQ(p.StartProcess({t / "garbage", "", {}}, &process), EStartResult::kFailed);
  EXPECT_EQ(p.StartProcess({t / "missing", "", {}}, &process), EStartResult::kFailed);
  EXPECT_EQ(process, nullptr);
}

TEST(posix_platform_test, removal_waits_for_a_running_engine) {
  TempDir t;
  CPosixPlatform p(1, kArgv);
  // Without an engine, at once.
  fs::create_directory(t / "now");
  WriteFile(t / "now/f", "x");
  p.ScheduleRemoval({t / "now/f", t / "now/"});
  EXPECT_FALSE(fs::exists(t / "now"));

  fs::create_directory(t / "dir");
  WriteFile(t / "dir/lua5.3.dll", "x");
  const std::string release = t / "release";
  CEngineCommand command{
      Script(t, "while [ ! -e '" + release + "' ]; do sleep 0.02; done\nexit 4"), "", {}};
  fs::rename(command.strEnginePath, t / "dir/qvsetup.exe");
  command.strEnginePath = t / "dir/qvsetup.exe";
  std::unique_ptr<CEngineProcess> process;
  ASSERT_EQ(p.StartProcess(command, &process), EStartResult::kStarted);
  std::uint32_t code = 0;
  ASSERT_TRUE(process->GetExitCode(&code));
  EXPECT_EQ(code, kStillActive);

  p.ScheduleRemoval({t / "dir/qvsetup.exe", t / "dir/lua5.3.dll", t / "dir/"});
  EXPECT_TRUE(fs::exists(t / "dir/qvsetup.exe")) << "removed while the engine still runs";
  WriteFile(release, "");
  EXPECT_TRUE(WaitUntil([&] { return !fs::exists(t / "dir"); }));
  process->Wait();
  ASSERT_TRUE(process->GetExitCode(&code));
  EXPECT_EQ(code, 4u);
}

}  // namespace
}  // namespace vgsetup::test
