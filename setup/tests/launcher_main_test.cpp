// The main flow: switches, attempts, the message and the exit code.
#include "core/launcher_main.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "tests/launcher_test_util.h"

namespace vgsetup::test {
namespace {

using launcher_main_test = FakeLauncherTest;

TEST_F(launcher_main_test, a_launcher_without_payload_tries_five_times_then_reports_52) {
  fake.archive = std::string(300000, 'M');
  fake.preloads = true;
  EXPECT_EQ(LauncherMain(fake), 52);
  EXPECT_EQ(fake.opens, 5);
  EXPECT_EQ(fake.pauses.size(), 10u);  // after each attempt: 10 ms clean-up, 250 ms retry
  EXPECT_EQ(std::count(fake.pauses.begin(), fake.pauses.end(), 250u), 5);  // 1.25 s in all
  ASSERT_EQ(fake.errorBoxes.size(), 1u);
  EXPECT_EQ(fake.errorBoxes[0].first, "Launcher Error");
  EXPECT_EQ(fake.errorBoxes[0].second, "Could not find data segment");
  // Hardening comes first; the preloaded libraries go before the message.
  EXPECT_EQ(fake.events.front(), "harden");
  EXPECT_EQ(fake.events,
            (std::vector<std::string>{"harden", "cursor", "release", "error:Launcher Error"}));
}

TEST_F(launcher_main_test, a_complete_run) {
  SetupFile file;
  file.engine = PatternBytes(5000, 3);
  file.lua = PatternBytes(700, 4);
  file.compression = 2;
  fake.archive = file.Build();
  fake.exitCode = 3;
  fake.argv = {"C:\\Downloads\\setup.exe", "/S"};
  fake.commandLine = "/S";
  EXPECT_EQ(LauncherMain(fake), 3);
  ASSERT_EQ(fake.starts.size(), 1u);
  const std::string dir = "C:\\Temp\\_qv_kb_temp_0";
  EXPECT_EQ(fake.filesAtStart[dir + "\\qvsetup.exe"], file.engine);
  EXPECT_EQ(fake.filesAtStart[dir + "\\lua5.3.dll"], file.lua);
  EXPECT_EQ(fake.cwdAtStart, "C:\\Work") << "the engine inherits the launcher's directory";
  EXPECT_EQ(fake.starts[0].strArguments,
            "/S __QVAOFF:" + std::to_string(file.DataOffset()) +
                " \"__QVAFN:C:\\Downloads\\setup.exe\" \"__QVCT:2\" \"__QVTSS:" +
                std::to_string(file.Build().size()) + "\" \"__QVSID:" + fake.sid + "\"");
  EXPECT_EQ(fake.waits, 1);
  EXPECT_FALSE(fake.Exists(dir)) << "waited, so removed at once";
  EXPECT_TRUE(fake.errorBoxes.empty());
}

TEST_F(launcher_main_test, once_the_engine_ran_its_code_ends_the_run_without_a_message) {
  for (std::uint32_t code : {0u, 3u, 50u, 55u, 57u, 99u, 200u}) {
    SCOPED_TRACE(code);
    CFakePlatform f;
    f.archive = SetupFile().Build();
    f.exitCode = code;
    EXPECT_EQ(LauncherMain(f), static_cast<int>(code));
    EXPECT_EQ(f.starts.size(), 1u);
    EXPECT_TRUE(f.errorBoxes.empty());
  }
}

TEST_F(launcher_main_test, a_declined_start_ends_with_5_and_no_message) {
  fake.archive = SetupFile().Build();
  fake.startResult = EStartResult::kCancelled;
  EXPECT_EQ(LauncherMain(fake), 5);
  EXPECT_EQ(fake.starts.size(), 1u);
  EXPECT_TRUE(fake.errorBoxes.empty());
}

TEST_F(launcher_main_test, failed_attempts_are_retried_and_each_cleans_up) {
  // Starting fails every time: five attempts, each in a fresh folder that is removed again.
  fake.archive = SetupFile().Build();
  fake.startResult = EStartResult::kFailed;
  EXPECT_EQ(LauncherMain(fake), 55);
  EXPECT_EQ(fake.starts.size(), 5u);
  ASSERT_EQ(fake.errorBoxes.size(), 1u);
  EXPECT_EQ(fake.errorBoxes[0].second, "Could not start the setup");
  EXPECT_FALSE(fake.Exists("C:\\Temp\\_qv_kb_temp_0"));
  for (const auto& start : fake.starts) {
    EXPECT_EQ(start.strArguments, fake.starts[0].strArguments);
  }

  // A failure that goes away: the second attempt starts the engine.
  CFakePlatform f;
  f.archive = SetupFile().Build();
  f.openFailures = 1;
  f.exitCode = 0;
  EXPECT_EQ(LauncherMain(f), 0);
  EXPECT_EQ(f.opens, 2);
  EXPECT_EQ(f.starts.size(), 1u);
  EXPECT_TRUE(f.errorBoxes.empty());
}

TEST_F(launcher_main_test, a_failed_attempt_does_not_clean_up_the_previous_attempts_paths) {
  // The first attempt fails after making its folder; the second fails before making one. If
  // another launcher took the first folder's name meanwhile, its files must survive.
  fake.archive = SetupFile().Build();
  fake.startResult = EStartResult::kFailed;
  CSetupExtractor ex(fake);
  ex.m_bWait = true;
  EXPECT_EQ(ex.Run(), 55);
  fake.dirs.insert("C:\\Temp\\_qv_kb_temp_0");
  fake.files["C:\\Temp\\_qv_kb_temp_0\\qvsetup.exe"] = "another launcher's";
  fake.openFailures = 1;
  EXPECT_EQ(ex.Run(), 50);
  EXPECT_EQ(fake.files["C:\\Temp\\_qv_kb_temp_0\\qvsetup.exe"], "another launcher's");
}

TEST_F(launcher_main_test, switches) {
  const struct {
    std::vector<std::string> args;
    std::string override;
    bool wait;
    bool debug;
  } cases[] = {
      {{"/t:E:\\Setup\\Work"}, "E:\\Setup\\Work", false, false},
      {{"/T:D:\\A"}, "D:\\A", false, false},
      {{"/T:"}, "", false, false},
      {{"/T"}, "", false, false},
      {{"/X:D:\\A"}, "", false, false},
      {{"/T:D:\\first", "/T:D:\\second"}, "D:\\second", false, false},
      {{"/T:D:\\kept", "/T:D:\\" + std::string(300, 'x')}, "D:\\kept", false, false},
      {{"/w"}, "", true, false},
      {{"/W"}, "", true, false},
      {{"/Wait"}, "", false, false},
      {{"W"}, "", false, false},
      {{"/~dbg"}, "", false, true},
      {{"/~DBG"}, "", false, true},
      {{"/~DbG"}, "", false, true},
      {{"/~DBGX"}, "", false, false},
      {{"/~DB"}, "", false, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.args.front());
    g_bDebug = false;
    CFakePlatform f;
    CSetupExtractor ex(f);
    for (const auto& a : c.args) ApplySwitch(ex, a);
    EXPECT_EQ(ex.m_szTempOverride.str(), c.override);
    EXPECT_EQ(ex.m_bWait, c.wait);
    EXPECT_EQ(g_bDebug, c.debug);
  }
}

TEST_F(launcher_main_test, switches_reach_the_run_and_every_argument_reaches_the_engine) {
  SetupFile file;
  file.multiSegment = 1;
  fake.archive = file.Build();
  fake.argv = {"C:\\Downloads\\setup.exe", "/w", "/t:E:\\Setup\\Work", "/lang=de"};
  fake.commandLine = "/w /t:E:\\Setup\\Work /lang=de";
  EXPECT_EQ(LauncherMain(fake), 0);
  ASSERT_EQ(fake.starts.size(), 1u);
  EXPECT_EQ(fake.waits, 1) << "/w waits even for a multi-segment setup";
  EXPECT_EQ(fake.starts[0].strEnginePath, "E:\\Setup\\Work\\_qv_kb_temp_0\\qvsetup.exe");
  EXPECT_EQ(fake.starts[0].strArguments.rfind("/w /t:E:\\Setup\\Work /lang=de __QVAOFF:", 0), 0u);
  EXPECT_EQ(std::vector<std::string>(fake.starts[0].vArguments.begin(),
                                     fake.starts[0].vArguments.begin() + 3),
            (std::vector<std::string>{"/w", "/t:E:\\Setup\\Work", "/lang=de"}));
  EXPECT_TRUE(fake.scheduled.empty());
}

TEST_F(launcher_main_test, a_multi_segment_setup_is_left_running_and_its_files_scheduled) {
  SetupFile file;
  file.multiSegment = 1;
  fake.archive = file.Build();
  fake.stillRunningUntilWaited = true;
  EXPECT_EQ(LauncherMain(fake), 0);
  EXPECT_EQ(fake.waits, 0);
  ASSERT_EQ(fake.scheduled.size(), 1u);
  EXPECT_EQ(fake.scheduled[0].size(), 3u);
}

TEST_F(launcher_main_test, a_command_line_of_2048_characters_is_not_passed_on) {
  for (std::size_t length : {2047u, 2048u, 5000u}) {
    SCOPED_TRACE(length);
    CFakePlatform f;
    f.archive = SetupFile().Build();
    f.commandLine = std::string(length, 'a');
    f.argv = {"setup.exe", f.commandLine};
    EXPECT_EQ(LauncherMain(f), 0);
    ASSERT_EQ(f.starts.size(), 1u);
    // 2,047 characters fit the field but leave no room for the hand-off arguments.
    EXPECT_EQ(f.starts[0].strArguments.rfind("__QVAOFF:", 0), 0u);
    EXPECT_EQ(f.starts[0].vArguments.size(), 5u);
  }
}

TEST_F(launcher_main_test, debug_keeps_the_files_and_shows_the_hand_off) {
  fake.archive = SetupFile().Build();
  fake.argv = {"setup.exe", "/~dbg"};
  fake.commandLine = "/~dbg";
  EXPECT_EQ(LauncherMain(fake), 0);
  EXPECT_EQ(fake.debugBoxes.size(), 2u);
  EXPECT_TRUE(fake.Exists("C:\\Temp\\_qv_kb_temp_0\\qvsetup.exe"));
  EXPECT_TRUE(fake.Exists("C:\\Temp\\_qv_kb_temp_0\\lua5.3.dll"));
}

}  // namespace
}  // namespace vgsetup::test
