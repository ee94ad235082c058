// What the setup engine takes from its command line.
//
// The engine is started as
//
//   qvsetup.exe <the launcher's own command line> __QVAOFF:N "__QVAFN:PATH" "__QVCT:N"
//               "__QVTSS:N" ["__QVSID:S-1-..."]
//
// The launcher's part carries the user's switches: /S (silent), /LOG=FILE and /D=FOLDER,
// which takes the rest of that part, blanks included, so it comes last (setup.exe /S
// /D=C:\Program Files\Other place). Other arguments, the launcher's own /W, /T: and /~DBG
// among them, are kept in `args` and otherwise left alone.
//
// Without the hand-off arguments the engine runs as an uninstaller, and with
// __QVREMOVE:PID "PATH"... as the helper that removes an uninstaller's own files after
// that process PID has ended.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace vgengine {

struct HandOff {
  bool present = false;  // __QVAOFF: was found
  std::uint64_t archiveOffset = 0;
  std::wstring archivePath;
  int compressionType = -1;
  std::uint64_t totalSize = 0;
  std::wstring userSid;
};

struct CommandLine {
  std::vector<std::wstring> args;  // the launcher's part, split as Windows programs do
  bool silent = false;
  std::wstring targetFolder;  // from /D=, empty when not given
  std::wstring logPath;       // from /LOG=, empty when not given
  HandOff handOff;
  bool remover = false;  // __QVREMOVE:
  std::uint32_t removerParent = 0;
  std::vector<std::wstring> removerPaths;
  std::wstring error;  // set when the command line cannot be used; names the argument
};

// Splits arguments the way the Microsoft C runtime does (blanks separate, double quotes
// group, backslashes escape only before a double quote).
std::vector<std::wstring> SplitArguments(const std::wstring& text);

// The command line without the program name (the first argument, which Windows quotes by
// its own, simpler rule: up to the next double quote when it begins with one).
std::wstring AfterProgramName(const std::wstring& commandLine);

// Parses the text after the program name.
CommandLine ParseCommandLine(const std::wstring& text);

}  // namespace vgengine
