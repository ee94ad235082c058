// The little the command-line tool needs from the terminal and the desktop.
#pragma once

#include <string>

namespace vg::cli {

bool StdinIsTerminal();
bool StderrIsTerminal();
// Opens a folder in the desktop's file manager without waiting for it.
// False when no file manager could be started.
bool OpenInFileManager(const std::string& folder_utf8);
// Installs a Ctrl-C handler that only records the request; InterruptRequested() reads it.
void InstallInterruptHandler();
bool InterruptRequested();

}  // namespace vg::cli
