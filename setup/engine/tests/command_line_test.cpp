#include "command_line.h"

#include <gtest/gtest.h>

namespace vgengine {
namespace {

const std::wstring kHandOff =
    L"__QVAOFF:3937818 \"__QVAFN:C:\\Down loads\\setup.exe\" \"__QVCT:8\" \"__QVTSS:7267966\" "
    L"\"__QVSID:S-1-5-21-1-2-3-1001\"";

TEST(EngineCommandLine, HandOffArgumentsAfterTheUsersSwitches) {
  const CommandLine cl = ParseCommandLine(L"/W /s " + kHandOff);
  EXPECT_TRUE(cl.error.empty());
  ASSERT_TRUE(cl.handOff.present);
  EXPECT_EQ(cl.handOff.archiveOffset, 3937818u);
  EXPECT_EQ(cl.handOff.archivePath, L"C:\\Down loads\\setup.exe");
  EXPECT_EQ(cl.handOff.compressionType, 8);
  EXPECT_EQ(cl.handOff.totalSize, 7267966u);
  EXPECT_EQ(cl.handOff.userSid, L"S-1-5-21-1-2-3-1001");
  EXPECT_TRUE(cl.silent);
  EXPECT_EQ(cl.args, (std::vector<std::wstring>{L"/W", L"/s"}));
  EXPECT_TRUE(cl.targetFolder.empty());
}

TEST(EngineCommandLine, TargetFolderTakesTheRestOfTheUsersPart) {
  struct Case {
    std::wstring user, folder, log;
    bool silent;
  } cases[] = {
      {L"/S /D=C:\\Program Files\\Other place ", L"C:\\Program Files\\Other place", L"", true},
      {L"/LOG=C:\\t\\s.log /D=\"D:\\Mit Leer\"", L"D:\\Mit Leer", L"C:\\t\\s.log", false},
      {L"\"/D=E:\\quoted whole\"", L"E:\\quoted whole", L"", false},
      {L"/d=F:\\x /S", L"F:\\x /S", L"", false},  // /S after /D= is part of the folder
      {L"/S /DIR=C:\\x", L"", L"", true},         // not /D=
  };
  for (const Case& c : cases) {
    const CommandLine cl = ParseCommandLine(c.user + L" " + kHandOff);
    EXPECT_TRUE(cl.error.empty()) << c.user.size();
    EXPECT_EQ(cl.targetFolder, c.folder);
    EXPECT_EQ(cl.logPath, c.log);
    EXPECT_EQ(cl.silent, c.silent);
    EXPECT_EQ(cl.handOff.archiveOffset, 3937818u);  // the hand-off is never part of the folder
  }
}

TEST(EngineCommandLine, BrokenHandOffIsAnError) {
  const std::wstring cases[] = {
      L"__QVAOFF:12x \"__QVAFN:C:\\s.exe\" \"__QVCT:0\" \"__QVTSS:9\"",
      L"__QVAOFF:99999999999999999999 \"__QVAFN:C:\\s.exe\" \"__QVCT:0\" \"__QVTSS:9\"",
      L"__QVAOFF:1 \"__QVCT:0\" \"__QVTSS:9\"",
      L"__QVAOFF:1 \"__QVAFN:C:\\s.exe\" \"__QVCT:256\" \"__QVTSS:9\"",
      L"__QVAOFF:1 \"__QVAFN:C:\\s.exe\" \"__QVCT:0\"",
      L"/D= __QVAOFF:1 \"__QVAFN:C:\\s.exe\" \"__QVCT:0\" \"__QVTSS:9\"",
  };
  for (const std::wstring& c : cases) {
    EXPECT_FALSE(ParseCommandLine(c).error.empty()) << std::string(c.begin(), c.end());
  }
}

TEST(EngineCommandLine, WithoutHandOffItUninstallsOrRemoves) {
  CommandLine cl = ParseCommandLine(L"/S");
  EXPECT_FALSE(cl.handOff.present);
  EXPECT_TRUE(cl.silent);
  EXPECT_FALSE(cl.remover);
  // A user argument that only contains the marker is not the hand-off.
  EXPECT_FALSE(ParseCommandLine(L"x__QVAOFF:1").handOff.present);

  cl = ParseCommandLine(L"__QVREMOVE:4242 \"C:\\P F\\uninstall.exe\" \"C:\\P F\"");
  EXPECT_TRUE(cl.remover);
  EXPECT_EQ(cl.removerParent, 4242u);
  EXPECT_EQ(cl.removerPaths, (std::vector<std::wstring>{L"C:\\P F\\uninstall.exe", L"C:\\P F"}));
}

TEST(EngineCommandLine, SplitsAsWindowsProgramsDo) {
  struct Case {
    std::wstring text;
    std::vector<std::wstring> args;
  } cases[] = {
      {L"  a  \"b c\"\td", {L"a", L"b c", L"d"}},
      {L"\"a\\\"b\" c\\\\\\\"d", {L"a\"b", L"c\\\"d"}},
      {L"C:\\dir\\ \"x\\\\\"", {L"C:\\dir\\", L"x\\"}},
      {L"\"\"", {L""}},
  };
  for (const Case& c : cases) EXPECT_EQ(SplitArguments(c.text), c.args);
  EXPECT_EQ(AfterProgramName(L"\"C:\\a b\\qvsetup.exe\"  /S x"), L"/S x");
  EXPECT_EQ(AfterProgramName(L"qvsetup.exe /S"), L"/S");
}

}  // namespace
}  // namespace vgengine
