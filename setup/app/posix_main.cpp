// Entry of the setup launcher on POSIX systems.
#include <signal.h>

#include "core/launcher_main.h"
#include "platform/posix_platform.h"

int main(int argc, char** argv) {
  // An inherited "ignore" for SIGCHLD would have the engine reaped behind the launcher's
  // back, and its exit code lost.
  ::signal(SIGCHLD, SIG_DFL);
  vgsetup::CPosixPlatform platform(argc, argv);
  return vgsetup::LauncherMain(platform);
}
