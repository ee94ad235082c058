// qvsetup.exe: the setup engine. setup.exe writes it and lua5.3.dll to a temporary folder
// and starts it with the user's command line and the hand-off arguments; it checks the
// setup data, then runs the install script the setup data carries. Copied into the
// installed folder as the uninstaller, it runs the uninstall script found beside it.
#include <windows.h>
#include <commctrl.h>
#include <objbase.h>

#include <string>

#include "command_line.h"
#include "engine_ui.h"
#include "exit_codes.h"
#include "lua_library.h"
#include "script_api.h"
#include "setup_archive.h"

using namespace vgengine;

namespace {

std::wstring OwnPath() {
  std::wstring buf(32768, L'\0');
  const DWORD n = GetModuleFileNameW(nullptr, &buf[0], static_cast<DWORD>(buf.size()));
  buf.resize(n);
  return buf;
}

std::wstring FolderOf(const std::wstring& path) {
  const std::size_t slash = path.find_last_of(L"\\/");
  return slash == std::wstring::npos ? std::wstring() : path.substr(0, slash);
}

std::wstring TempFolder() {
  wchar_t buf[MAX_PATH + 1];
  const DWORD n = GetTempPathW(MAX_PATH + 1, buf);
  if (n == 0 || n > MAX_PATH) return std::wstring();
  std::wstring path(buf, n);
  if (!path.empty() && path.back() == L'\\') path.pop_back();
  return path;
}

// The helper that an uninstaller leaves behind: waits until the uninstaller has ended, then
// removes its files and folder, and asks Windows to remove this copy at the next restart.
int RunRemover(const CommandLine& cl, const std::wstring& self) {
  if (HANDLE parent = OpenProcess(SYNCHRONIZE, FALSE, cl.removerParent)) {
    WaitForSingleObject(parent, 120000);
    CloseHandle(parent);
  }
  for (const std::wstring& path : cl.removerPaths) {
    for (int attempt = 0; attempt < 50; ++attempt) {
      const DWORD a = GetFileAttributesW(path.c_str());
      if (a == INVALID_FILE_ATTRIBUTES) break;
      const BOOL gone = (a & FILE_ATTRIBUTE_DIRECTORY) ? RemoveDirectoryW(path.c_str())
                                                       : DeleteFileW(path.c_str());
      if (gone || GetLastError() == ERROR_DIR_NOT_EMPTY) break;
      Sleep(100);
    }
  }
  MoveFileExW(self.c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT);
  return kExitDone;
}

bool StartRemover(const EngineContext& context) {
  const std::wstring copy =
      TempFolder() + L"\\vellagard-remove-" + std::to_wstring(GetCurrentProcessId()) + L".exe";
  if (!CopyFileW(context.enginePath.c_str(), copy.c_str(), FALSE)) return false;
  std::wstring command = L"\"" + copy + L"\" __QVREMOVE:" + std::to_wstring(GetCurrentProcessId());
  for (const std::wstring& path : context.removeAfterExit) command += L" \"" + path + L"\"";
  STARTUPINFOW start = {};
  start.cb = sizeof start;
  PROCESS_INFORMATION process = {};
  if (!CreateProcessW(copy.c_str(), &command[0], nullptr, nullptr, FALSE,
                      CREATE_NO_WINDOW | DETACHED_PROCESS, nullptr, nullptr, &start, &process)) {
    DeleteFileW(copy.c_str());
    return false;
  }
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  return true;
}

int Run() {
  const CommandLine cl = ParseCommandLine(AfterProgramName(GetCommandLineW()));
  const std::wstring self = OwnPath();
  if (cl.remover && cl.error.empty()) return RunRemover(cl, self);

  std::wstring logPath = cl.logPath;
  if (logPath.empty()) logPath = TempFolder() + L"\\Vellagard Web Converter Setup.log";
  EngineUi ui(cl.silent, logPath);
  const bool installing = cl.handOff.present;
  if (!installing) ui.SetCaption(L"Vellagard Web Converter Uninstall");
  ui.Log(std::wstring(installing ? L"setup" : L"uninstall") + L" started: " + GetCommandLineW());

  if (!cl.error.empty()) {
    ui.Message(L"This setup was started with a command line it cannot use: " + cl.error + L".",
               MessageKind::Error);
    return kExitUsage;
  }

  EngineContext context;
  context.commandLine = cl;
  context.enginePath = self;
  context.engineFolder = FolderOf(self);
  context.luaPath = context.engineFolder + L"\\lua5.3.dll";
  context.ui = &ui;

  SetupArchive archive;
  std::string script;
  std::string chunkName;
  std::wstring error;
  if (installing) {
    if (!archive.Open(cl.handOff.archivePath, cl.handOff.archiveOffset, cl.handOff.totalSize,
                      cl.handOff.compressionType, &error)) {
      ui.Message(error + L"\n\nNothing was installed.", MessageKind::Error);
      return kExitBadSetupFile;
    }
    if (!archive.Read(
            "install.lua",
            [&](const char* p, std::size_t n) {
              if (script.size() + n > (1u << 20)) return false;
              script.append(p, n);
              return true;
            },
            &error)) {
      if (error.empty()) error = L"its install script is larger than 1 MiB.";
      ui.Message(L"The setup file " + cl.handOff.archivePath + L" cannot be used: " + error +
                     L"\n\nNothing was installed.",
                 MessageKind::Error);
      return kExitBadSetupFile;
    }
    context.archive = &archive;
    chunkName = "install.lua";
  } else {
    const std::wstring path = context.engineFolder + L"\\uninstall.lua";
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
      ui.Message(
          L"This program is started by setup.exe, or it removes an installed program "
          L"with the uninstall script beside it; there is no " +
              path + L".",
          MessageKind::Error);
      return kExitUsage;
    }
    char buf[65536];
    DWORD got = 0;
    while (ReadFile(file, buf, sizeof buf, &got, nullptr) && got > 0 &&
           script.size() < (1u << 20)) {
      script.append(buf, got);
    }
    CloseHandle(file);
    chunkName = "uninstall.lua";
  }

  if (!LoadLuaLibrary(context.luaPath, &error)) {
    ui.Message(error + (installing ? L"\n\nNothing was installed." : L""), MessageKind::Error);
    return kExitNoLua;
  }

  const int code = RunScript(context, script, chunkName, &error);
  ui.CloseProgress();
  if (code < 0) {
    ui.Message(L"The " + std::wstring(installing ? L"install" : L"uninstall") +
                   L" script failed: " + error,
               MessageKind::Error);
    return kExitScriptFault;
  }
  if (code == kExitDone && !context.removeAfterExit.empty() && !StartRemover(context)) {
    ui.Log(L"could not start the helper that removes the uninstaller's own files");
  }
  ui.Log(L"finished with exit code " + std::to_wstring(code));
  return code;
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  // Libraries this program loads itself come from the system folder or by full path.
  SetDllDirectoryW(L"");
  INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_PROGRESS_CLASS | ICC_STANDARD_CLASSES};
  InitCommonControlsEx(&controls);
  const HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  const int code = Run();
  if (SUCCEEDED(com)) CoUninitialize();
  return code;
}
