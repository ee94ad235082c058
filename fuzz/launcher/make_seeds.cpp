// Writes the seed inputs of payload_fuzz: what follows the first 32,000 bytes of a setup
// file. Whole payloads, payloads cut inside each field, and a signature across a search
// block boundary, all laid out by the tests' setup file builder (core/payload_format.h).
// Usage: payload_seeds FOLDER
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <utility>
#include <vector>

#include "core/payload_format.h"
#include "tests/fake_platform.h"

using namespace vgsetup;

namespace {

// The fuzzer's input is the part of the file after the launcher's padded image.
std::string AfterImage(const test::SetupFile& file) {
  return file.Build().substr(kSignatureSearchStart);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: payload_seeds FOLDER\n");
    return 2;
  }
  const std::filesystem::path folder = argv[1];
  std::error_code ec;
  std::filesystem::create_directories(folder, ec);

  test::SetupFile multi;
  multi.multiSegment = 1;
  multi.compression = 3;
  test::SetupFile longEngine;
  longEngine.engine.clear();
  for (int i = 0; i < 2560; ++i) longEngine.engine += static_cast<char>(i & 0xFF);
  test::SetupFile empty;
  empty.engine.clear();
  empty.lua.clear();
  empty.data.clear();
  // The signature starts 8 bytes before the end of the first search block.
  test::SetupFile straddle;
  straddle.imageSize = kSignatureSearchStart + kSearchBlockSize - 8;

  std::vector<std::pair<std::string, std::string>> seeds = {
      {"single", AfterImage(test::SetupFile())},
      {"multi", AfterImage(multi)},
      {"long-engine", AfterImage(longEngine)},
      {"empty-parts", AfterImage(empty)},
      {"straddle", AfterImage(straddle)},
      {"huge-sizes", test::Signature() + std::string(2, '\0') + std::string(16, '\xff')},
  };
  const std::string whole = AfterImage(test::SetupFile());
  for (std::size_t cut : {15, 16, 17, 20, 26, 30, 34, 40, 44, 47}) {
    seeds.emplace_back("cut-" + std::to_string(cut), whole.substr(0, cut));
  }
  for (const auto& [name, bytes] : seeds) {
    std::ofstream out(folder / name, std::ios::binary);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out) {
      std::fprintf(stderr, "payload_seeds: cannot write %s\n", (folder / name).string().c_str());
      return 1;
    }
  }
  return 0;
}
