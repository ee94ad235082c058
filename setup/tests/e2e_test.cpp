// End to end on Linux: mksetup builds real setup files around the test engine, and the
// tests run them as a user would.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <map>
#include <sstream>

#include "core/payload_format.h"
#include "tests/posix_test_util.h"

extern char** environ;

namespace vgsetup::test {
namespace {

const std::string kBin = VG_BIN_DIR;

struct RunResult {
  int code = -1;
  std::string out, err;
};

// Runs `program` in `cwd` with extra environment entries; output goes to files, so a
// process left running by the program does not hold the caller up.
RunResult RunProgram(const std::string& program, const std::vector<std::string>& args,
                     const std::map<std::string, std::string>& env, const std::string& cwd) {
  TempDir io;
  std::vector<std::string> strings = {program};
  strings.insert(strings.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (auto& s : strings) argv.push_back(&s[0]);
  argv.push_back(nullptr);
  std::vector<std::string> envStrings;
  for (char** e = environ; *e; ++e) {
    const std::string entry = *e;
    if (!env.count(entry.substr(0, entry.find('=')))) envStrings.push_back(entry);
  }
  for (const auto& [k, v] : env) envStrings.push_back(k + "=" + v);
  std::vector<char*> envp;
  for (auto& s : envStrings) envp.push_back(&s[0]);
  envp.push_back(nullptr);

  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 1, (io / "out").c_str(), O_WRONLY | O_CREAT, 0600);
  posix_spawn_file_actions_addopen(&actions, 2, (io / "err").c_str(), O_WRONLY | O_CREAT, 0600);
  posix_spawn_file_actions_addchdir_np(&actions, cwd.c_str());
  pid_t pid = -1;
  RunResult r;
  const int rc = posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), envp.data());
  posix_spawn_file_actions_destroy(&actions);
  if (rc != 0) return r;
  int status = 0;
  while (waitpid(pid, &status, 0) < 0) {
  }
  r.code = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  r.out = ReadFile(io / "out");
  r.err = ReadFile(io / "err");
  return r;
}

// One run of the test engine as its report tells it.
struct EngineRun {
  std::vector<std::string> args;
  std::map<std::string, std::string> values;
};

std::vector<EngineRun> ReadReport(const std::string& path) {
  std::vector<EngineRun> runs;
  std::istringstream in(ReadFile(path));
  std::string line;
  while (std::getline(in, line)) {
    if (line == "run") {
      runs.emplace_back();
    } else if (!runs.empty() && line.rfind("arg=", 0) == 0) {
      runs.back().args.push_back(line.substr(4));
    } else if (!runs.empty() && line.find('=') != std::string::npos) {
      runs.back().values[line.substr(0, line.find('='))] = line.substr(line.find('=') + 1);
    }
  }
  return runs;
}

std::string Hex(const std::string& bytes) {
  std::string out;
  char buf[3];
  for (unsigned char c : bytes) {
    std::snprintf(buf, sizeof buf, "%02x", c);
    out += buf;
  }
  return out;
}

bool IsEmptyFolder(const std::string& p) { return fs::is_empty(p); }

class e2e_test : public ::testing::Test {
 protected:
  e2e_test() {
    fs::create_directory(t / "tmp");
    fs::create_directory(t / "work");
  }

  // Builds a setup file around the test engine; the setup data starts with `settings`.
  std::string Build(const std::string& settings, std::vector<std::string> options = {},
                    const std::string& engine = kBin + "/vg_test_engine") {
    WriteFile(t / "lua5.3.dll", "LUA LIBRARY");
    m_data = "VGTEST " + settings + "\n" + std::string(100, 'd');
    WriteFile(t / "data", m_data);
    std::vector<std::string> args = {"--launcher", kBin + "/setup",  "--engine", engine,
                                     "--lua",      t / "lua5.3.dll", "--data",   t / "data",
                                     "-o",         t / "setup"};
    args.insert(args.end(), options.begin(), options.end());
    const RunResult r = RunProgram(kBin + "/mksetup", args, {}, t.path().string());
    EXPECT_EQ(r.code, 0) << r.err;
    m_dataOffset = fs::file_size(t / "setup") - m_data.size();
    return t / "setup";
  }

  RunResult RunSetup(const std::vector<std::string>& args) {
    return RunProgram(t / "setup", args,
                      {{"TMPDIR", t / "tmp"}, {"VG_TEST_ENGINE_REPORT", t / "report"}}, t / "work");
  }

  std::vector<std::string> Handoff() const {
    return {"__QVAOFF:" + std::to_string(m_dataOffset), "__QVAFN:" + (t / "setup"), "__QVCT:0",
            "__QVTSS:" + std::to_string(fs::file_size(t / "setup")),
            "__QVSID:S-1-22-1-" + std::to_string(::getuid())};
  }

  TempDir t;
  std::string m_data;
  std::uint64_t m_dataOffset = 0;
};

TEST_F(e2e_test, mksetup_writes_the_payload_layout) {
  const std::string engine = std::string(2500, 'e');
  for (std::size_t launcherSize : {1000u, 40000u}) {
    SCOPED_TRACE(launcherSize);
    WriteFile(t / "launcher", std::string(launcherSize, 'L'));
    WriteFile(t / "engine", engine);
    WriteFile(t / "lua", "LUA");
    WriteFile(t / "data", "DATA");
    const RunResult r =
        RunProgram(kBin + "/mksetup",
                   {"--launcher", t / "launcher", "--engine", t / "engine", "--lua", t / "lua",
                    "--data", t / "data", "--multi-segment", "--compression", "7", "-o", t / "out"},
                   {}, t.path().string());
    ASSERT_EQ(r.code, 0) << r.err;
    const std::string out = ReadFile(t / "out");
    const std::size_t s = std::max<std::size_t>(launcherSize, 32000);
    ASSERT_EQ(out.size(), s + 34 + 2500 + 8 + 3 + 4);
    EXPECT_EQ(out.substr(0, launcherSize), std::string(launcherSize, 'L'));
    EXPECT_EQ(out.substr(launcherSize, s - launcherSize), std::string(s - launcherSize, '\0'));
    for (std::size_t k = 0; k < 16; ++k) {
      EXPECT_EQ(static_cast<unsigned char>(out[s + k]), 0xE0 + k / 2);
    }
    const auto* p = reinterpret_cast<const unsigned char*>(out.data());
    EXPECT_EQ(p[s + 16], 1);
    EXPECT_EQ(p[s + 17], 7);
    EXPECT_EQ(ReadLe64(p + s + 18), out.size());
    EXPECT_EQ(ReadLe64(p + s + 26), 2500u);
    EXPECT_EQ(p[s + 34], 'e' ^ 0x9D);
    EXPECT_EQ(p[s + 34 + 1999], 'e' ^ 0x9D);
    EXPECT_EQ(out.substr(s + 34 + 2000, 500), std::string(500, 'e'));
    EXPECT_EQ(ReadLe64(p + s + 34 + 2500), 3u);
    EXPECT_EQ(out.substr(s + 34 + 2500 + 8), "LUADATA");
    EXPECT_NE(r.out.find("setup data 4 bytes at offset " + std::to_string(out.size() - 4)),
              std::string::npos)
        << r.out;
  }
}

TEST_F(e2e_test, mksetup_refuses_what_would_not_work) {
  std::string withSignature(5000, 'L');
  for (std::size_t k = 0; k < 16; ++k) withSignature[5 + k] = static_cast<char>(0xE0 + k / 2);
  WriteFile(t / "signed", withSignature);
  WriteFile(t / "big", std::string(10485760, 'L'));
  WriteFile(t / "small", "L");
  WriteFile(t / "f", "x");
  const std::vector<std::string> rest = {"--lua", t / "f", "--data", t / "f", "-o", t / "out"};
  const struct {
    std::vector<std::string> args;
    int code;
    std::string message;
  } cases[] = {
      {{"--launcher", t / "signed", "--engine", t / "f"},
       1,
       "holds the data segment signature at offset 5"},
      {{"--launcher", t / "big", "--engine", t / "f"}, 1, "must be smaller than 10 MiB"},
      {{"--launcher", t / "small", "--engine", t / "nothing"},
       1,
       "cannot read engine '" + (t / "nothing") + "': No such file or directory"},
      {{"--launcher", t / "small", "--engine", t.path().string()}, 1, "not a regular file"},
      {{"--launcher", t / "small", "--engine", t / "f", "--compression", "256"},
       2,
       "--compression needs a number from 0 to 255"},
      {{"--launcher", t / "small", "--engine", t / "f", "--bogus"},
       2,
       "unknown argument '--bogus'"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.message);
    std::vector<std::string> args = c.args;
    args.insert(args.end(), rest.begin(), rest.end());
    const RunResult r = RunProgram(kBin + "/mksetup", args, {}, t.path().string());
    EXPECT_EQ(r.code, c.code);
    EXPECT_NE(r.err.find(c.message), std::string::npos) << r.err;
    EXPECT_FALSE(fs::exists(t / "out"));
  }
  const RunResult missing =
      RunProgram(kBin + "/mksetup", {"--launcher", t / "small"}, {}, t / "work");
  EXPECT_EQ(missing.code, 2);
  EXPECT_NE(missing.err.find("missing --engine, --lua, --data, -o"), std::string::npos);
  const RunResult help = RunProgram(kBin + "/mksetup", {"--help"}, {}, t / "work");
  EXPECT_EQ(help.code, 0);
  EXPECT_EQ(help.out.rfind("Usage: mksetup", 0), 0u);
  // No temporary files left behind by the failures.
  for (const auto& e : fs::directory_iterator(t.path())) {
    EXPECT_EQ(e.path().filename().string().find(".mksetup-"), std::string::npos);
  }
}

TEST_F(e2e_test, a_single_segment_setup_hands_over_waits_and_cleans_up) {
  Build("exit=3");
  const RunResult r = RunSetup({"/S", "two words"});
  EXPECT_EQ(r.code, 3) << r.err;
  EXPECT_EQ(r.err, "");
  const auto runs = ReadReport(t / "report");
  ASSERT_EQ(runs.size(), 1u);
  std::vector<std::string> expected = {"/S", "two words"};
  for (const auto& a : Handoff()) expected.push_back(a);
  EXPECT_EQ(runs[0].args, expected);
  auto v = runs[0].values;
  EXPECT_EQ(v["exe"], t / "tmp/_qv_kb_temp_0/qvsetup.exe");
  EXPECT_EQ(v["dir_mode"], "700");
  EXPECT_EQ(v["lua_beside"], "1");
  EXPECT_EQ(v["cwd"], t / "work");
  EXPECT_EQ(v["data"], Hex(m_data.substr(0, 32)));
  EXPECT_TRUE(IsEmptyFolder(t / "tmp")) << "engine, library and folder removed";
}

TEST_F(e2e_test, engine_exit_codes_pass_through_without_a_message_or_a_retry) {
  const struct {
    const char* settings;
    int code;
  } cases[] = {{"exit=0", 0}, {"exit=55", 55}, {"exit=57", 57}, {"signal=9", 137}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.settings);
    fs::remove(t / "report");
    Build(c.settings);
    const RunResult r = RunSetup({});
    EXPECT_EQ(r.code, c.code);
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(ReadReport(t / "report").size(), 1u);
    EXPECT_TRUE(IsEmptyFolder(t / "tmp"));
  }
}

TEST_F(e2e_test, a_multi_segment_setup_leaves_the_engine_running) {
  const std::string release = t / "release";
  Build("exit=7 wait-for=" + release, {"--multi-segment"});
  const RunResult r = RunSetup({});
  // The launcher has ended while the engine waits for the release file.
  EXPECT_EQ(r.code, 0) << r.err;
  EXPECT_TRUE(fs::exists(t / "tmp/_qv_kb_temp_0/qvsetup.exe"));
  EXPECT_TRUE(fs::exists(t / "tmp/_qv_kb_temp_0/lua5.3.dll"));
  ASSERT_TRUE(WaitUntil([&] { return ReadReport(t / "report").size() == 1; }));
  WriteFile(release, "");
  // Once the engine has ended, the detached clean-up removes everything.
  EXPECT_TRUE(WaitUntil([&] { return IsEmptyFolder(t / "tmp"); }));
}

TEST_F(e2e_test, a_multi_segment_setup_started_with_w_is_waited_for) {
  Build("exit=7", {"--multi-segment"});
  const RunResult r = RunSetup({"/w"});
  EXPECT_EQ(r.code, 7);
  EXPECT_TRUE(IsEmptyFolder(t / "tmp"));
  ASSERT_EQ(ReadReport(t / "report").size(), 1u);
  EXPECT_EQ(ReadReport(t / "report")[0].args.front(), "/w");
}

TEST_F(e2e_test, debug_shows_the_hand_off_and_keeps_the_files) {
  Build("exit=0");
  const RunResult r = RunSetup({"/~dbg"});
  EXPECT_EQ(r.code, 0);
  const std::string folder = t / "tmp/_qv_kb_temp_0/";
  std::string args = "/~dbg";
  for (const auto& a : Handoff()) args += " " + (a.rfind("__QVAOFF", 0) == 0 ? a : "\"" + a + "\"");
  EXPECT_EQ(r.err, folder + "qvsetup.exe: " + args + "\nm_szTempLaunchPath: " + folder + "\n");
  EXPECT_TRUE(fs::exists(folder + "qvsetup.exe"));
  EXPECT_TRUE(fs::exists(folder + "lua5.3.dll"));
}

TEST_F(e2e_test, a_t_switch_places_the_folder_in_a_new_nested_base) {
  Build("exit=0");
  const RunResult r = RunSetup({"/T:" + (t / "a/b")});
  EXPECT_EQ(r.code, 0) << r.err;
  const auto runs = ReadReport(t / "report");
  ASSERT_EQ(runs.size(), 1u);
  EXPECT_EQ(runs[0].values.at("exe"), t / "a/b/_qv_kb_temp_0/qvsetup.exe");
  EXPECT_TRUE(IsEmptyFolder(t / "a/b"));
  EXPECT_TRUE(IsEmptyFolder(t / "tmp"));
}

TEST_F(e2e_test, command_lines_too_long_for_the_hand_off_are_not_passed_on) {
  for (std::size_t length : {100u, 2048u}) {
    SCOPED_TRACE(length);
    fs::remove(t / "report");
    Build("exit=0");
    const std::string arg(length, 'a');
    EXPECT_EQ(RunSetup({arg}).code, 0);
    const auto runs = ReadReport(t / "report");
    ASSERT_EQ(runs.size(), 1u);
    std::vector<std::string> expected;
    if (length == 100) expected.push_back(arg);
    for (const auto& a : Handoff()) expected.push_back(a);
    EXPECT_EQ(runs[0].args, expected);
  }
}

TEST_F(e2e_test, launcher_failures_are_retried_then_reported) {
  // No payload at all: the bare launcher.
  const RunResult bare = RunProgram(kBin + "/setup", {}, {{"TMPDIR", t / "tmp"}}, t / "work");
  EXPECT_EQ(bare.code, 52);
  EXPECT_EQ(bare.err, "Launcher Error: Could not find data segment\n");
  EXPECT_TRUE(IsEmptyFolder(t / "tmp"));

  // An engine that cannot be started: five attempts, each cleaned up.
  WriteFile(t / "not-a-program", std::string(3000, '\x01'));
  Build("exit=0", {}, t / "not-a-program");
  const RunResult r = RunSetup({});
  EXPECT_EQ(r.code, 55);
  EXPECT_EQ(r.err, "Launcher Error: Could not start the setup\n");
  EXPECT_TRUE(IsEmptyFolder(t / "tmp"));
  EXPECT_FALSE(fs::exists(t / "report"));
}

}  // namespace
}  // namespace vgsetup::test
