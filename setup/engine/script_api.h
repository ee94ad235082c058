// The install and uninstall scripts run in Lua with the table `setup`, which gives them
// the setup data and the machine: files out of the archive, folders, files, a Start-menu
// shortcut, registry values, the progress window, messages and the log. Paths and texts
// are UTF-8 on the Lua side and UTF-16 towards Windows.
#pragma once

#include <string>
#include <vector>

#include "command_line.h"
#include "engine_ui.h"
#include "setup_archive.h"

namespace vgengine {

struct EngineContext {
  CommandLine commandLine;
  std::wstring enginePath;  // this program
  std::wstring engineFolder;
  std::wstring luaPath;             // lua5.3.dll beside it
  SetupArchive* archive = nullptr;  // none when uninstalling
  EngineUi* ui = nullptr;
  std::vector<std::wstring> removeAfterExit;  // files and folders for the remover
};

// Runs `script` (named `chunkName` in messages). Returns the script's exit code: the integer
// it returns, 0 when it returns nothing. A Lua error gives -1 with the message and its
// traceback in `error`.
int RunScript(EngineContext& context, const std::string& script, const std::string& chunkName,
              std::wstring* error);

}  // namespace vgengine
