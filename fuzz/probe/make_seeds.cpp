// Writes the fuzzer's seed corpus: one small header of each kind the probe reads,
// including JPEG and TIFF layouts that need more than one window.
// Usage: make_seeds FOLDER
#include <cstdio>
#include <fstream>
#include <string>
#include <utility>
#include <vector>

#include "core/tests/image_fixtures.h"

using namespace vg::test;

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: make_seeds FOLDER\n");
    return 2;
  }
  const std::string app1 =
      JpegSegment(0xE1, "Exif" + std::string(2, '\0') + std::string(6000, 'e'));
  const std::string tables = JpegSegment(0xDB, std::string(65, '\x01')) +
                             JpegSegment(0xC4, std::string(30, '\x02')) +
                             std::string("\xFF\xFF\xFF\xD0", 4);
  const std::vector<std::pair<std::string, std::string>> seeds = {
      {"gif87a", GifHeader(3, 5, "87a")},
      {"gif89a", GifHeader(640, 480)},
      {"png", PngHeader(640, 48) + std::string("\0\0\0\0IEND\xAE\x42\x60\x82", 12)},
      {"jpeg-jfif", JpegHeader(800, 600, 0xC0, JfifApp0() + tables)},
      {"jpeg-progressive-exif", JpegHeader(17, 9, 0xC2, JfifApp0() + app1)},
      {"jpeg-arithmetic", JpegHeader(5, 5, 0xC9)},
      {"tiff-le", TiffHeader(300, 200, true)},
      {"tiff-be-long-far", TiffHeader(70000, 3, false, 4, 5000)},
      {"bmp-v3", BmpHeader(640, -480)},
      {"bmp-core", BmpHeader(20, 20, 12)},
      {"bmp-v5", BmpHeader(5, 6, 124)},
      {"webp-lossy", WebpHeader("VP8 ", 640, 480)},
      {"webp-lossless", WebpHeader("VP8L", 33, 7)},
      {"webp-extended", WebpHeader("VP8X", 70000, 2)},
      {"avif", AvifHeader(800, 600)},
      {"avif-rotated", AvifHeader(20, 10, "avisavif", true)},
  };
  for (const auto& [name, bytes] : seeds) {
    std::ofstream out(std::string(argv[1]) + "/" + name, std::ios::binary);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out) {
      std::fprintf(stderr, "make_seeds: cannot write %s\n", name.c_str());
      return 1;
    }
  }
  return 0;
}
