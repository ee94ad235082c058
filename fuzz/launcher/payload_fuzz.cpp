// Fuzzes the launcher's reading of its own file: the signature search over the blocks, the
// header, the sizes, and the extraction of the engine and the Lua library, through one
// whole attempt against the in-memory platform of the tests. The input is what follows the
// first 32,000 bytes of the launcher's file.
#include <cstddef>
#include <cstdint>
#include <string>

#include "core/launcher_main.h"
#include "core/setup_extractor.h"
#include "tests/fake_platform.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace vgsetup;
  g_bUnicodePath = false;
  g_bDebug = false;
  test::CFakePlatform platform;
  platform.archive.assign(32000, 'M');
  platform.archive.append(reinterpret_cast<const char*>(data), size);
  CSetupExtractor extractor(platform);
  // The same bytes as a command-line argument: the switches and the bounded fields.
  const std::string argument(reinterpret_cast<const char*>(data), size < 600 ? size : 600);
  ApplySwitch(extractor, argument);
  extractor.SetCommandLine(argument, {argument});
  extractor.m_szTempOverride.Clear();
  const int result = extractor.Run();
  if (result == 0 && platform.starts.size() != 1) __builtin_trap();
  // Nothing read from the file may make the launcher ask for more memory than the file has.
  if (platform.largestAllocation > platform.archive.size() + 128000 + 16) __builtin_trap();
  return 0;
}
