// libFuzzer harness for the image size probe: any bytes, read through the same window
// as files are. Built by the fuzz preset, run by scripts/test.d/20-fuzz-probe.sh.
#include <cstddef>
#include <cstdint>

#include "core/image_probe.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const vg::ProbeResult r = vg::ProbeImageBytes(data, size);
  // The contract callers rely on: a size of at least 1 x 1 on success, 0 x 0 otherwise.
  const bool consistent = r.ok ? (r.width > 0 && r.height > 0) : (r.width == 0 && r.height == 0);
  if (!consistent) __builtin_trap();
  return 0;
}
