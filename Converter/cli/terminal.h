// The little the command-line tool needs from the terminal and the desktop.
#pragma once

#include <string>
#include <vector>

namespace vg::cli {

// The program's arguments (without the program name) as UTF-8. On Windows they are
// taken from the wide command line, since argv is in the ANSI code page there.
std::vector<std::string> Utf8Arguments(int argc, char** argv);
// Makes the console show UTF-8 output as such (Windows); nothing elsewhere.
void PrepareConsole();

bool StdinIsTerminal();
bool StderrIsTerminal();
// Opens a folder in the desktop's file manager without waiting for it.
// False when no file manager could be started.
bool OpenInFileManager(const std::string& folder_utf8);
// Installs a Ctrl-C handler that only records the request; InterruptRequested() reads it.
void InstallInterruptHandler();
bool InterruptRequested();

}  // namespace vg::cli
