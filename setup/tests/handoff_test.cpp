// Starting the engine with the hand-off arguments, and cleaning up after an attempt.
#include <gtest/gtest.h>

#include "tests/launcher_test_util.h"

namespace vgsetup::test {
namespace {

class handoff_test : public FakeLauncherTest {
 protected:
  // The state after a complete extraction of a setup whose data begins at 3,937,818.
  void Extracted() {
    extractor.m_szArchivePath.Assign("C:\\Downloads\\setup.exe");
    extractor.m_szTempLaunchPath.Assign("C:\\Temp\\_qv_kb_temp_0\\");
    extractor.m_szEnginePath.Assign("C:\\Temp\\_qv_kb_temp_0\\qvsetup.exe");
    extractor.m_szLuaPath.Assign("C:\\Temp\\_qv_kb_temp_0\\lua5.3.dll");
    extractor.m_nOffset = 3937818;
    extractor.m_nCompressionType = 0;
    extractor.m_nTotalSize = 7267966;
  }
  const std::string kSid = "S-1-5-21-1004336348-1177238915-682003330-1001";
  const std::string kHandoff =
      "__QVAOFF:3937818 \"__QVAFN:C:\\Downloads\\setup.exe\" \"__QVCT:0\" \"__QVTSS:7267966\" "
      "\"__QVSID:" +
      kSid + "\"";
};

TEST_F(handoff_test, argument_string_and_vector) {
  const struct {
    const char* name;
    std::string commandLine;
    std::vector<std::string> args;
    bool sid;
    std::string expected;
  } cases[] = {
      {"no arguments", "", {}, true, kHandoff},
      {"/W", "/W", {"/W"}, true, "/W " + kHandoff},
      {"token query fails",
       "",
       {},
       false,
       "__QVAOFF:3937818 \"__QVAFN:C:\\Downloads\\setup.exe\" \"__QVCT:0\" \"__QVTSS:7267966\""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    CFakePlatform f;
    CSetupExtractor ex(f);
    ex.SetCommandLine(c.commandLine, c.args);
    f.sidAvailable = c.sid;
    ex.m_szArchivePath.Assign("C:\\Downloads\\setup.exe");
    ex.m_szEnginePath.Assign("C:\\Temp\\_qv_kb_temp_0\\qvsetup.exe");
    ex.m_nOffset = 3937818;
    ex.m_nTotalSize = 7267966;
    ex.StartEngine();
    ASSERT_EQ(f.starts.size(), 1u);
    EXPECT_EQ(ex.m_szArguments.str(), c.expected);
    EXPECT_EQ(f.starts[0].strArguments, c.expected);
    EXPECT_EQ(f.starts[0].strEnginePath, "C:\\Temp\\_qv_kb_temp_0\\qvsetup.exe");
    std::vector<std::string> argv = c.args;
    for (const char* a :
         {"__QVAOFF:3937818", "__QVAFN:C:\\Downloads\\setup.exe", "__QVCT:0", "__QVTSS:7267966"}) {
      argv.push_back(a);
    }
    if (c.sid) argv.push_back("__QVSID:" + kSid);
    EXPECT_EQ(f.starts[0].vArguments, argv);
  }
}

TEST_F(handoff_test, the_hand_off_is_rebuilt_not_appended_on_each_attempt) {
  Extracted();
  extractor.SetCommandLine("/W", {"/W"});
  fake.startResult = EStartResult::kFailed;
  extractor.StartEngine();
  extractor.StartEngine();
  EXPECT_EQ(extractor.m_szArguments.str(), "/W " + kHandoff);
  EXPECT_EQ(fake.starts[1].strArguments, fake.starts[0].strArguments);
}

TEST_F(handoff_test, a_command_line_without_room_for_the_hand_off_is_left_out) {
  const std::size_t room = 2047 - 1 - kHandoff.size();  // the blank before __QVAOFF:
  const struct {
    std::size_t length;
    bool passed;
  } cases[] = {{room, true}, {room + 1, false}, {2047, false}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.length);
    Extracted();
    const std::string line(c.length, 'a');
    extractor.SetCommandLine(line, {line});
    extractor.StartEngine();
    EXPECT_EQ(extractor.m_szArguments.str(), c.passed ? line + " " + kHandoff : kHandoff);
    EXPECT_EQ(fake.starts.back().vArguments.size(), c.passed ? 6u : 5u);
    EXPECT_LE(extractor.m_szArguments.Units(), 2047u);
  }
  // A hand-off that cannot fit on its own is not started at all.
  fake.sid = std::string(2100, '1');
  fake.starts.clear();
  EXPECT_EQ(extractor.StartEngine(), 55);
  EXPECT_EQ(extractor.m_szError.str(), "Could not start the setup");
  EXPECT_TRUE(fake.starts.empty());
}

TEST_F(handoff_test, the_unicode_condition_hands_over_a_link) {
  Extracted();
  g_bUnicodePath = true;
  fake.files["C:\\ProgramData\\TEMP\\setup.exe"] = "stale";
  fake.dirs.insert("C:\\ProgramData\\TEMP");
  extractor.StartEngine();
  ASSERT_EQ(fake.starts.size(), 1u);
  EXPECT_NE(fake.starts[0].strArguments.find("\"__QVAFN:C:\\ProgramData\\TEMP\\setup.exe\""),
            std::string::npos);
  EXPECT_FALSE(fake.links.count("C:\\ProgramData\\TEMP\\setup.exe")) << "link removed after";
  EXPECT_FALSE(fake.files.count("C:\\ProgramData\\TEMP\\setup.exe"));

  // When no link can be made, the launcher's own path is handed over.
  CFakePlatform f;
  CSetupExtractor ex(f);
  ex.m_szArchivePath.Assign("C:\\Downloads\\setup.exe");
  f.linkFails = true;
  ex.StartEngine();
  EXPECT_NE(f.starts[0].strArguments.find("\"__QVAFN:C:\\Downloads\\setup.exe\""),
            std::string::npos);
}

TEST_F(handoff_test, the_link_goes_only_into_an_all_users_temp_folder_nobody_else_controls) {
  const std::string common = "C:\\ProgramData\\TEMP";
  const struct {
    const char* name;
    void (*arrange)(CFakePlatform&);
    bool linked;
  } cases[] = {
      {"missing: made now", [](CFakePlatform&) {}, true},
      {"owned by Administrators", [](CFakePlatform& f) { f.dirs.insert("C:\\ProgramData\\TEMP"); },
       true},
      {"owned by a user",
       [](CFakePlatform& f) {
         f.dirs.insert("C:\\ProgramData\\TEMP");
         f.userOwned.insert("C:\\ProgramData\\TEMP");
       },
       false},
      {"a reparse point",
       [](CFakePlatform& f) {
         f.dirs.insert("D:\\Elsewhere");
         f.links["C:\\ProgramData\\TEMP"] = "D:\\Elsewhere";
       },
       false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    CFakePlatform f;
    CSetupExtractor ex(f);
    ex.m_szArchivePath.Assign("C:\\Downloads\\setup.exe");
    g_bUnicodePath = true;
    c.arrange(f);
    ex.StartEngine();
    ASSERT_EQ(f.starts.size(), 1u);
    const std::string handed = c.linked ? "\"__QVAFN:C:\\ProgramData\\TEMP\\setup.exe\""
                                        : "\"__QVAFN:C:\\Downloads\\setup.exe\"";
    EXPECT_NE(f.starts[0].strArguments.find(handed), std::string::npos);
    EXPECT_FALSE(f.HasChildren("D:\\Elsewhere"));
    g_bUnicodePath = false;
  }
}

TEST_F(handoff_test, exit_codes) {
  const struct {
    const char* name;
    bool wait;
    std::uint32_t exitCode;
    bool stillRunning;
    int result;
  } cases[] = {
      {"waited, 3", true, 3, false, 3},
      {"waited, 55 passes through", true, 55, false, 55},
      {"waited, a real 259", true, 259, false, 259},
      {"waited, 0", true, 0, false, 0},
      {"not waited, still running", false, 0, true, 0},
      {"not waited, already ended with 3", false, 3, false, 3},
      {"waited, NTSTATUS-sized code", true, 0xC0000005u, false, static_cast<int>(0xC0000005u)},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    CFakePlatform f;
    CSetupExtractor ex(f);
    ex.m_bWait = c.wait;
    f.exitCode = c.exitCode;
    f.stillRunningUntilWaited = c.stillRunning;
    EXPECT_EQ(ex.StartEngine(), c.result);
    EXPECT_TRUE(ex.m_bEngineStarted);
    EXPECT_EQ(ex.m_dwExitCode, c.stillRunning ? 259u : c.exitCode);
    EXPECT_EQ(f.waits, c.wait ? 1 : 0);
    EXPECT_TRUE(ex.m_szError.empty());
  }
}

TEST_F(handoff_test, start_failures) {
  fake.startResult = EStartResult::kFailed;
  EXPECT_EQ(extractor.StartEngine(), 55);
  EXPECT_EQ(extractor.m_szError.str(), "Could not start the setup");
  EXPECT_FALSE(extractor.m_bEngineStarted);

  CFakePlatform f;
  CSetupExtractor ex(f);
  f.startResult = EStartResult::kCancelled;
  EXPECT_EQ(ex.StartEngine(), 5);
  EXPECT_TRUE(ex.m_szError.empty());
  EXPECT_FALSE(ex.m_bEngineStarted);
}

TEST_F(handoff_test, debug_boxes_come_before_the_start) {
  Extracted();
  g_bDebug = true;
  extractor.StartEngine();
  ASSERT_EQ(fake.debugBoxes.size(), 2u);
  EXPECT_EQ(fake.debugBoxes[0],
            std::make_pair(std::string("C:\\Temp\\_qv_kb_temp_0\\qvsetup.exe"), kHandoff));
  EXPECT_EQ(fake.debugBoxes[1], std::make_pair(std::string("m_szTempLaunchPath"),
                                               std::string("C:\\Temp\\_qv_kb_temp_0\\")));
  EXPECT_EQ(fake.events.back(), "start");
}

TEST_F(handoff_test, clean_up_deletes_schedules_or_keeps) {
  const std::string dir = "C:\\Temp\\_qv_kb_temp_0";
  auto populate = [&](CFakePlatform& f) {
    f.dirs.insert(dir);
    f.files[dir + "\\qvsetup.exe"] = "e";
    f.files[dir + "\\lua5.3.dll"] = "l";
  };

  // Waiting: everything goes at once.
  Extracted();
  populate(fake);
  extractor.m_bWait = true;
  extractor.CleanUpFiles();
  EXPECT_FALSE(fake.Exists(dir));
  EXPECT_EQ(fake.pauses, std::vector<unsigned>{10});

  // Not waiting: scheduled, in the order engine, library, folder.
  CFakePlatform f;
  CSetupExtractor ex(f);
  ex.m_szTempLaunchPath.Assign(dir + "\\");
  ex.m_szEnginePath.Assign(dir + "\\qvsetup.exe");
  ex.m_szLuaPath.Assign(dir + "\\lua5.3.dll");
  populate(f);
  ex.CleanUpFiles();
  ASSERT_EQ(f.scheduled.size(), 1u);
  EXPECT_EQ(f.scheduled[0],
            (std::vector<std::string>{dir + "\\qvsetup.exe", dir + "\\lua5.3.dll", dir + "\\"}));
  EXPECT_TRUE(f.Exists(dir + "\\qvsetup.exe"));

  // Debug: nothing happens.
  CFakePlatform d;
  CSetupExtractor dx(d);
  dx.m_szEnginePath.Assign(dir + "\\qvsetup.exe");
  dx.m_bWait = true;
  populate(d);
  g_bDebug = true;
  dx.CleanUpFiles();
  EXPECT_TRUE(d.Exists(dir + "\\qvsetup.exe"));
  EXPECT_TRUE(d.pauses.empty());
}

// The argument builder on its own.
TEST(engine_arguments, command_line_then_the_hand_off) {
  CHandOffValues v;
  v.nDataOffset = 3937818;
  v.strArchivePath = "C:\\Downloads\\setup.exe";
  v.nCompressionType = 0;
  v.nTotalSize = 7267966;
  v.strUserSid = "S-1-5-21-1-2-3-1001";
  const std::vector<std::string> handoff = {"__QVAOFF:3937818", "__QVAFN:C:\\Downloads\\setup.exe",
                                            "__QVCT:0", "__QVTSS:7267966",
                                            "__QVSID:S-1-5-21-1-2-3-1001"};
  const std::string handoffText =
      "__QVAOFF:3937818 \"__QVAFN:C:\\Downloads\\setup.exe\" \"__QVCT:0\" \"__QVTSS:7267966\" "
      "\"__QVSID:S-1-5-21-1-2-3-1001\"";
  const std::string roomy(2047 - 1 - handoffText.size(), 'a');  // just fits before it
  const struct {
    const char* name;
    std::string line;
    std::vector<std::string> args;
    std::string text;
    bool lineKept;
  } cases[] = {
      {"no command line", "", {}, handoffText, false},
      {"two arguments, one quoted",
       "/W \"two words\"",
       {"/W", "two words"},
       "/W \"two words\" " + handoffText,
       true},
      {"a command line that just fits", roomy, {roomy}, roomy + " " + handoffText, true},
      {"one character more: left out", roomy + "b", {roomy + "b"}, handoffText, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    std::string text;
    std::vector<std::string> args;
    ASSERT_TRUE(BuildEngineArguments(c.line, c.args, v, &text, &args));
    EXPECT_EQ(text, c.text);
    std::vector<std::string> expected = c.lineKept ? c.args : std::vector<std::string>();
    expected.insert(expected.end(), handoff.begin(), handoff.end());
    EXPECT_EQ(args, expected);
  }
}

TEST(engine_arguments, values_and_missing_pieces) {
  CHandOffValues v;
  v.nDataOffset = 5000000000ull;  // beyond 32 bits, in full
  v.strArchivePath = "Z:\\x\\my setup.exe";
  v.nCompressionType = 0x1FF;  // only the low byte is the indicator
  v.nTotalSize = 18446744073709551615ull;
  std::string text;
  std::vector<std::string> args;
  ASSERT_TRUE(BuildEngineArguments("", {}, v, &text, &args));
  EXPECT_EQ(text,
            "__QVAOFF:5000000000 \"__QVAFN:Z:\\x\\my setup.exe\" \"__QVCT:255\" "
            "\"__QVTSS:18446744073709551615\"");  // no user: no __QVSID:
  EXPECT_EQ(args.size(), 4u);

  // A hand-off that does not fit on its own: refused, and nothing is changed.
  v.strUserSid = std::string(2100, '1');
  text = "before";
  args = {"before"};
  EXPECT_FALSE(BuildEngineArguments("", {}, v, &text, &args));
  EXPECT_EQ(text, "before");
  EXPECT_EQ(args, std::vector<std::string>{"before"});
}

}  // namespace
}  // namespace vgsetup::test
