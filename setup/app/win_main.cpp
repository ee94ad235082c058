// Entry of the setup launcher on Windows.
#ifndef UNICODE
#define UNICODE
#endif
#include <windows.h>

#include "core/launcher_main.h"
#include "platform/win32_platform.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  // The library search order is hardened inside LauncherMain before anything else happens;
  // the platform object makes no system call until then.
  vgsetup::CWin32Platform platform;
  return vgsetup::LauncherMain(platform);
}
