// Runs the built `vellagard` executable and captures what it prints.
#pragma once

#include <sys/wait.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "core/tests/test_util.h"

namespace vg::test {

struct CliResult {
  int exit_code = -1;
  std::string out;
  std::string err;
};

inline std::string ShellQuote(const std::string& s) {
  std::string q = "'";
  for (char c : s) {
    if (c == '\'') q += "'\\''";
    else q += c;
  }
  return q + "'";
}

inline std::filesystem::path VellagardExe() {
  return std::filesystem::path(VG_BIN_DIR) / "vellagard";
}

// Runs vellagard with `args`; standard input is /dev/null unless `stdin_text` is given.
inline CliResult RunCli(const std::vector<std::string>& args, const std::string& stdin_text = "",
                        const std::string& env = "") {
  TempDir io;
  std::string cmd = env + (env.empty() ? "" : " ") + ShellQuote(VellagardExe().string());
  for (const auto& a : args) cmd += " " + ShellQuote(a);
  WriteBytes(io / "in", stdin_text);
  cmd += " <" + ShellQuote((io / "in").string()) + " >" + ShellQuote((io / "out").string()) +
         " 2>" + ShellQuote((io / "err").string());
  CliResult r;
  const int status = std::system(cmd.c_str());
  r.exit_code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  r.out = ReadBytes(io / "out");
  r.err = ReadBytes(io / "err");
  return r;
}

}  // namespace vg::test
