// The setup engine's exit codes. setup.exe passes them on as its own (codes 50 to 58 are
// the launcher's own failures).
#pragma once

namespace vgengine {

constexpr int kExitDone = 0;          // installed, or uninstalled
constexpr int kExitUsage = 2;         // started with a command line it cannot use
constexpr int kExitBadSetupFile = 3;  // the setup file is damaged, cut short or unreadable
constexpr int kExitFailed = 4;        // installing or uninstalling failed; changes undone
constexpr int kExitCancelled = 5;     // the user cancelled
constexpr int kExitNoLua = 6;         // lua5.3.dll missing beside the engine or unusable
constexpr int kExitScriptFault = 7;   // the install or uninstall script itself failed

}  // namespace vgengine
