// Probes every file named in a list once, as adding files to the image list does, and
// reports how many were read. bench/probe/run.sh times it against `identify -ping`.
// Usage: bench_probe LIST   (LIST: one path per line)
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "core/image_probe.h"
#include "core/utf8_path.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: bench_probe LIST\n");
    return 2;
  }
  std::ifstream in(argv[1]);
  std::vector<std::string> paths;
  for (std::string line; std::getline(in, line);) {
    if (!line.empty()) paths.push_back(line);
  }
  if (paths.empty()) {
    std::fprintf(stderr, "bench_probe: %s: no paths\n", argv[1]);
    return 1;
  }
  std::size_t ok = 0;
  std::uint64_t pixels = 0;  // keeps the work observable
  for (const auto& p : paths) {
    std::int32_t w = 0, h = 0;
    if (vg::GetImageSize(vg::PathFromUtf8(p), w, h)) {
      ++ok;
      pixels += static_cast<std::uint64_t>(w) * static_cast<std::uint64_t>(h);
    }
  }
  std::printf("%zu files, %zu read, %llu pixels\n", paths.size(), ok,
              static_cast<unsigned long long>(pixels));
  // A benchmark over files the probe cannot read would measure the wrong thing.
  return ok == paths.size() ? 0 : 1;
}
