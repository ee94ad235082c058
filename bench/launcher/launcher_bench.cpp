// The setup launcher from its start to the engine's start, for a payload with a 20 MiB
// engine and a 2 MiB Lua library, against `cp` of the same two files into a fresh folder.
// Both are started as processes from here, alternately in one loop, so that both see the
// same machine. The engine (the test engine, padded to 20 MiB) notes the steady clock as
// it starts; the launcher's whole run (engine exit and removal of the files included) is
// shown as well.
//
// Usage: bench_launcher [BIN_DIR] [RUNS]   (BIN_DIR defaults to this program's folder)
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <random>
#include <string>
#include <vector>

extern char** environ;
namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

std::int64_t NowNs() {
  return std::chrono::duration_cast<std::chrono::nanoseconds>(Clock::now().time_since_epoch())
      .count();
}

int Spawn(std::vector<std::string> args, const std::vector<std::string>& extraEnv = {}) {
  std::vector<char*> argv;
  for (auto& a : args) argv.push_back(&a[0]);
  argv.push_back(nullptr);
  std::vector<std::string> envStrings(extraEnv);
  for (char** e = environ; *e; ++e) envStrings.push_back(*e);
  std::vector<char*> envp;
  for (auto& e : envStrings) envp.push_back(&e[0]);
  envp.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  pid_t pid;
  const int rc = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), envp.data());
  posix_spawn_file_actions_destroy(&actions);
  if (rc != 0) return -1;
  int status = 0;
  waitpid(pid, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

void WriteRandom(const fs::path& p, std::size_t size, bool append) {
  std::mt19937_64 gen(42);
  std::vector<std::uint64_t> words(size / 8 + 1);
  for (auto& w : words) w = gen();
  std::ofstream out(p, std::ios::binary | (append ? std::ios::app : std::ios::trunc));
  out.write(reinterpret_cast<const char*>(words.data()), static_cast<std::streamsize>(size));
}

std::int64_t StartFromReport(const fs::path& report) {
  std::ifstream in(report);
  std::string line;
  while (std::getline(in, line)) {
    if (line.rfind("start_ns=", 0) == 0) return std::stoll(line.substr(9));
  }
  return -1;
}

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v.empty() ? 0 : v[v.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
  const fs::path bin = argc > 1 ? fs::path(argv[1]) : fs::canonical("/proc/self/exe").parent_path();
  const int runs = argc > 2 ? std::atoi(argv[2]) : 30;
  const fs::path work =
      fs::temp_directory_path() / ("vg-bench-launcher-" + std::to_string(getpid()));
  fs::create_directories(work / "tmp");

  const fs::path engine = work / "qvsetup.exe", lua = work / "lua5.3.dll";
  fs::copy_file(bin / "vg_test_engine", engine);
  WriteRandom(engine, 20 * 1024 * 1024 - fs::file_size(engine), true);
  WriteRandom(lua, 2 * 1024 * 1024, false);
  std::ofstream(work / "data") << "VGTEST exit=0\n";
  if (Spawn({(bin / "mksetup").string(), "--launcher", (bin / "setup").string(), "--engine",
             engine.string(), "--lua", lua.string(), "--data", (work / "data").string(), "-o",
             (work / "setup").string()}) != 0) {
    std::cerr << "bench_launcher: mksetup failed\n";
    return 1;
  }

  const fs::path report = work / "report", copy = work / "copy";
  std::vector<double> toEngine, whole, cp;
  for (int i = -3; i < runs; ++i) {  // three warm-up rounds
    fs::remove(report);
    const std::int64_t t0 = NowNs();
    const int rc = Spawn({(work / "setup").string()}, {"TMPDIR=" + (work / "tmp").string(),
                                                       "VG_TEST_ENGINE_REPORT=" + report.string()});
    const std::int64_t t1 = NowNs();
    const std::int64_t started = StartFromReport(report);
    if (rc != 0 || started < 0) {
      std::cerr << "bench_launcher: the launcher failed (exit " << rc << ")\n";
      return 1;
    }

    fs::remove_all(copy);
    const std::int64_t c0 = NowNs();
    fs::create_directory(copy);
    Spawn({"/bin/cp", engine.string(), lua.string(), copy.string() + "/"});
    const std::int64_t c1 = NowNs();
    if (i < 0) continue;
    toEngine.push_back((started - t0) / 1e6);
    whole.push_back((t1 - t0) / 1e6);
    cp.push_back((c1 - c0) / 1e6);
  }
  fs::remove_all(work);

  const double a = Median(toEngine), w = Median(whole), c = Median(cp);
  std::printf(
      "median of %d runs: launcher start to engine start %.1f ms (whole run %.1f ms), "
      "cp %.1f ms; ratio %.2f x (target <= 1.5), whole run %.2f x\n",
      runs, a, w, c, a / c, w / c);
  return 0;
}
