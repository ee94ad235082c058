// A stand-in for the setup engine, for tests only.
//
// It appends a report of one run to the file named by VG_TEST_ENGINE_REPORT:
//
//   run
//   start_ns=N                the steady clock when it started, in nanoseconds
//   arg=ARGUMENT              one line per argument after the program name (UTF-8)
//   exe=PATH                  where the launcher put it
//   dir_mode=700              (POSIX) permission bits of that folder
//   cmdline=TEXT              (Windows) the command line exactly as the process got it
//   dir_sddl=TEXT             (Windows) that folder's access list in SDDL form
//   cwd=PATH                  its working directory
//   lua_beside=1              whether lua5.3.dll sits beside it
//   data=HEX                  the first 32 bytes of the setup data, read at the __QVAOFF:
//                             offset from the __QVAFN: file (data_error=... when unreadable)
//   end
//
// The setup data starts with one line of settings, "VGTEST exit=N wait-for=PATH signal=N":
// the engine waits until PATH exists (up to two minutes), kills itself with signal N where
// signals exist, or else exits with code N (0 when not given; 97 when the data is unreadable).
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#ifdef _WIN32
#include <windows.h>
#include <aclapi.h>
#include <sddl.h>
#else
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace fs = std::filesystem;

namespace {

fs::path OwnPath(const char* argv0) {
#ifdef _WIN32
  (void)argv0;
  wchar_t buf[MAX_PATH];
  const DWORD n = GetModuleFileNameW(nullptr, buf, MAX_PATH);
  return fs::path(std::wstring(buf, n));
#else
  std::error_code ec;
  fs::path p = fs::read_symlink("/proc/self/exe", ec);
  return ec ? fs::path(argv0) : p;
#endif
}

std::string Hex(const std::string& bytes) {
  static const char* digits = "0123456789abcdef";
  std::string out;
  for (unsigned char c : bytes) {
    out += digits[c >> 4];
    out += digits[c & 15];
  }
  return out;
}

#ifdef _WIN32
std::string Utf8(const wchar_t* text) {
  const int n = WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
  if (n <= 1) return std::string();
  std::string out(static_cast<std::size_t>(n - 1), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text, -1, &out[0], n, nullptr, nullptr);
  return out;
}

// The arguments after the program name, split from the UTF-16 command line by the rules of
// the C start-up code, so that paths outside the ANSI code page arrive intact.
std::vector<std::string> WideArguments() {
  std::vector<std::string> out;
  const wchar_t* p = GetCommandLineW();
  auto blank = [](wchar_t c) { return c == L' ' || c == L'\t'; };
  // The program name: quotes group, backslashes are plain characters.
  for (bool quoted = false; *p && (quoted || !blank(*p)); ++p) {
    if (*p == L'"') quoted = !quoted;
  }
  for (;;) {
    while (blank(*p)) ++p;
    if (!*p) break;
    std::wstring arg;
    bool quoted = false;
    while (*p && (quoted || !blank(*p))) {
      std::size_t slashes = 0;
      while (*p == L'\\') {
        ++slashes;
        ++p;
      }
      if (*p == L'"') {
        arg.append(slashes / 2, L'\\');
        if (slashes % 2) {
          arg += L'"';  // an escaped quote
        } else if (quoted && p[1] == L'"') {
          arg += L'"';
          ++p;
        } else {
          quoted = !quoted;
        }
        ++p;
      } else {
        arg.append(slashes, L'\\');
        if (*p && (quoted || !blank(*p))) arg += *p++;
      }
    }
    out.push_back(Utf8(arg.c_str()));
  }
  return out;
}

// The access list of a folder as SDDL text ("D:P(A;OICI;FA;;;SY)..."), empty when unreadable.
std::string FolderSddl(const fs::path& folder) {
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  if (GetNamedSecurityInfoW(folder.c_str(), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr,
                            nullptr, nullptr, nullptr, &descriptor) != ERROR_SUCCESS) {
    return std::string();
  }
  LPWSTR text = nullptr;
  std::string result;
  if (ConvertSecurityDescriptorToStringSecurityDescriptorW(
          descriptor, SDDL_REVISION_1, DACL_SECURITY_INFORMATION, &text, nullptr)) {
    result = Utf8(text);
    LocalFree(text);
  }
  LocalFree(descriptor);
  return result;
}
#endif

std::string ValueOf(const std::vector<std::string>& args, const std::string& prefix) {
  for (const std::string& a : args) {
    if (a.compare(0, prefix.size(), prefix) == 0) return a.substr(prefix.size());
  }
  return std::string();
}

}  // namespace

int main(int argc, char** argv) {
  const auto started = std::chrono::steady_clock::now().time_since_epoch();
#ifdef _WIN32
  (void)argc;
  const std::vector<std::string> args = WideArguments();
#else
  std::vector<std::string> args(argv + 1, argv + argc);
#endif
  const fs::path exe = OwnPath(argv[0]);
  std::error_code ec;

  // The setup data, where the launcher says it is.
  std::string data;
  std::string dataError;
  const std::string offsetText = ValueOf(args, "__QVAOFF:");
  const std::string archive = ValueOf(args, "__QVAFN:");
  if (offsetText.empty() || archive.empty()) {
    dataError = "missing __QVAOFF: or __QVAFN:";
  } else {
    std::ifstream in(fs::u8path(archive), std::ios::binary);
    in.seekg(static_cast<std::streamoff>(std::strtoull(offsetText.c_str(), nullptr, 10)));
    std::string head(4096, '\0');
    in.read(&head[0], static_cast<std::streamsize>(head.size()));
    head.resize(static_cast<std::size_t>(in.gcount()));
    if (head.empty()) dataError = "cannot read " + archive + " at " + offsetText;
    data = head;
  }

  if (const char* report = std::getenv("VG_TEST_ENGINE_REPORT")) {
    std::ostringstream r;
    r << "run\n";
    r << "start_ns=" << std::chrono::duration_cast<std::chrono::nanoseconds>(started).count()
      << "\n";
    for (const std::string& a : args) r << "arg=" << a << "\n";
    r << "exe=" << exe.u8string() << "\n";
#ifndef _WIN32
    struct stat st;
    if (::stat(exe.parent_path().c_str(), &st) == 0) {
      char mode[8];
      std::snprintf(mode, sizeof mode, "%o", static_cast<unsigned>(st.st_mode & 07777));
      r << "dir_mode=" << mode << "\n";
    }
#else
    r << "cmdline=" << Utf8(GetCommandLineW()) << "\n";
    r << "dir_sddl=" << FolderSddl(exe.parent_path()) << "\n";
#endif
    r << "cwd=" << fs::current_path(ec).u8string() << "\n";
    r << "lua_beside=" << (fs::exists(exe.parent_path() / "lua5.3.dll", ec) ? 1 : 0) << "\n";
    if (dataError.empty()) {
      r << "data=" << Hex(data.substr(0, 32)) << "\n";
    } else {
      r << "data_error=" << dataError << "\n";
    }
    r << "end\n";
    std::ofstream out(report, std::ios::binary | std::ios::app);
    out << r.str();
  }
  if (!dataError.empty()) return 97;

  // The settings line.
  int exitCode = 0;
  int signalNumber = 0;
  std::string waitFor;
  std::istringstream line(data.substr(0, data.find('\n')));
  std::string word;
  line >> word;
  if (word == "VGTEST") {
    while (line >> word) {
      if (word.rfind("exit=", 0) == 0) exitCode = std::atoi(word.c_str() + 5);
      if (word.rfind("signal=", 0) == 0) signalNumber = std::atoi(word.c_str() + 7);
      if (word.rfind("wait-for=", 0) == 0) waitFor = word.substr(9);
    }
  }
  if (!waitFor.empty()) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::minutes(2);
    while (!fs::exists(fs::u8path(waitFor), ec) && std::chrono::steady_clock::now() < deadline) {
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
  }
#ifndef _WIN32
  if (signalNumber > 0) ::kill(::getpid(), signalNumber);
#else
  (void)signalNumber;
#endif
  return exitCode;
}
