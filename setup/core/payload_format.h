// The layout of the payload that follows the launcher's program image in a setup file.
// Shared by the launcher, which reads it, and mksetup, which writes it.
//
//   S        16  data segment signature E0 E0 E1 E1 ... E7 E7
//   S+16      1  multi-segment indicator (0: single segment)
//   S+17      1  compression type indicator, handed to the engine
//   S+18      8  total size indicator, handed to the engine
//   S+26      8  setup size E (the engine program)
//   S+34      E  the engine program, its first min(E, 2,000) bytes XORed with kScrambleByte
//   S+34+E    8  Lua library size L
//   S+42+E    L  the Lua library
//   S+42+E+L     setup data, up to the total size
//
// Numbers are little-endian and unsigned.
//
// The launcher must not hold the signature as sixteen contiguous bytes anywhere in its own
// program image: the first occurrence in the file wins, so a copy in the image would be
// found instead of the payload. That is why there is no signature array here; the bytes are
// computed one at a time.
#pragma once

#include <cstddef>
#include <cstdint>

namespace vgsetup {

constexpr std::size_t kSignatureLength = 16;
// Signature byte `i` (0 to 15): E0 E0 E1 E1 ... E7 E7.
constexpr unsigned char SignatureByte(std::size_t i) {
  return static_cast<unsigned char>(0xE0 + (i >> 1));
}

// The signature is searched from this offset on; the launcher's image is padded up to it.
constexpr std::uint64_t kSignatureSearchStart = 32000;
// No block of the search starts at or beyond this offset (10 MiB).
constexpr std::uint64_t kSignatureSearchLimit = 10485760;
constexpr std::size_t kSearchBlockSize = 128000;

constexpr std::uint64_t kHeaderSize = 34;  // signature, two indicators, two sizes
constexpr std::size_t kScrambledHeadSize = 2000;
constexpr unsigned char kScrambleByte = 0x9D;

inline std::uint64_t ReadLe64(const unsigned char* p) {
  std::uint64_t v = 0;
  for (int i = 7; i >= 0; --i) v = (v << 8) | p[i];
  return v;
}

inline void WriteLe64(unsigned char* p, std::uint64_t v) {
  for (int i = 0; i < 8; ++i) p[i] = static_cast<unsigned char>(v >> (8 * i));
}

}  // namespace vgsetup
