#include "core/launcher_main.h"

#include <vector>

namespace vgsetup {

namespace {

bool EqualsIgnoringAsciiCase(const std::string& a, const char* b) {
  std::size_t i = 0;
  for (; i < a.size() && b[i] != '\0'; ++i) {
    char x = a[i];
    char y = b[i];
    if (x >= 'a' && x <= 'z') x = static_cast<char>(x - 'a' + 'A');
    if (y >= 'a' && y <= 'z') y = static_cast<char>(y - 'a' + 'A');
    if (x != y) return false;
  }
  return i == a.size() && b[i] == '\0';
}

}  // namespace

void ApplySwitch(CSetupExtractor& extractor, const std::string& argument) {
  const std::string& a = argument;
  if (a.size() >= 4 && a[0] == '/' && (a[1] == 'T' || a[1] == 't') && a[2] == ':') {
    // A path that does not fit the field is ignored rather than cut: a cut path would
    // name some other folder.
    extractor.m_szTempOverride.Assign(a.substr(3));
  } else if (a == "/W" || a == "/w") {
    extractor.m_bWait = true;
  } else if (EqualsIgnoringAsciiCase(a, "/~DBG")) {
    g_bDebug = true;
  }
}

int LauncherMain(CLauncherPlatform& platform) {
  const bool preloaded = platform.HardenLibrarySearch();
  g_bDebug = false;
  platform.ShowBusyCursor();

  CSetupExtractor extractor(platform);
  std::string commandLine;
  std::vector<std::string> argv;
  platform.ReadCommandLine(&commandLine, &argv);
  extractor.SetCommandLine(commandLine,
                           argv.empty() ? std::vector<std::string>()
                                        : std::vector<std::string>(argv.begin() + 1, argv.end()));
  for (const std::string& argument : argv) ApplySwitch(extractor, argument);

  int result = kResultOk;
  for (int attempt = 0; attempt < kMaxAttempts; ++attempt) {
    result = extractor.Run();
    if (result < 50 || result > 99 || extractor.m_bEngineStarted) break;
    platform.Pause(kRetryPauseMs);
  }

  if (preloaded) platform.ReleasePreloadedLibraries();
  if (result >= 50 && result <= 99 && !extractor.m_bEngineStarted) {
    platform.ShowErrorBox(kErrorCaption, extractor.m_szError.str());
  }
  return result;
}

}  // namespace vgsetup
