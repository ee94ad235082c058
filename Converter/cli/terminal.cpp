#include "cli/terminal.h"

#include <csignal>
#include <cstdio>

#include "core/utf8_path.h"

#ifdef _WIN32
#include <windows.h>
#include <io.h>
#include <shellapi.h>
#else
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>
extern char** environ;
#endif

namespace vg::cli {
namespace {

volatile std::sig_atomic_t g_interrupted = 0;

extern "C" void OnInterrupt(int) { g_interrupted = 1; }

}  // namespace

std::vector<std::string> Utf8Arguments(int argc, char** argv) {
  std::vector<std::string> args;
#ifdef _WIN32
  (void)argc;
  (void)argv;
  int count = 0;
  LPWSTR* wide = CommandLineToArgvW(GetCommandLineW(), &count);
  if (wide) {
    for (int i = 1; i < count; ++i) args.push_back(PathToUtf8(std::filesystem::path(wide[i])));
    LocalFree(wide);
  }
#else
  for (int i = 1; i < argc; ++i) args.emplace_back(argv[i]);
#endif
  return args;
}

void PrepareConsole() {
#ifdef _WIN32
  SetConsoleOutputCP(CP_UTF8);
#endif
}

bool StdinIsTerminal() {
#ifdef _WIN32
  return _isatty(_fileno(stdin)) != 0;
#else
  return isatty(fileno(stdin)) != 0;
#endif
}

bool StderrIsTerminal() {
#ifdef _WIN32
  return _isatty(_fileno(stderr)) != 0;
#else
  return isatty(fileno(stderr)) != 0;
#endif
}

bool OpenInFileManager(const std::string& folder_utf8) {
#ifdef _WIN32
  const std::wstring folder = PathFromUtf8(folder_utf8).wstring();
  auto result = reinterpret_cast<INT_PTR>(
      ShellExecuteW(nullptr, L"open", L"explorer.exe", folder.c_str(), nullptr, SW_SHOWNORMAL));
  return result > 32;
#else
  // xdg-open returns once the file manager is asked; a child of ours reaps it.
  const char* argv[] = {"xdg-open", folder_utf8.c_str(), nullptr};
  pid_t pid = 0;
  if (posix_spawnp(&pid, "xdg-open", nullptr, nullptr, const_cast<char* const*>(argv), environ) !=
      0) {
    return false;
  }
  int status = 0;
  waitpid(pid, &status, 0);
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
#endif
}

void InstallInterruptHandler() {
  g_interrupted = 0;
  std::signal(SIGINT, OnInterrupt);
}

bool InterruptRequested() { return g_interrupted != 0; }

}  // namespace vg::cli
