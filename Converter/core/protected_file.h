// The protected image file: an image's bytes scrambled behind a short header.
//
//   offset 0  "QLM"
//   offset 3  mode: 1 keyed (domain-locked), 3 keyless
//   offset 4  marker 62 31 5A 60
//   keyed:    header key text (n ASCII bytes), then the byte 0x01
//   then      the source bytes, each XOR-ed with one key-stream byte
//
// Keyed files XOR with the header key text (normalised), repeating every n bytes;
// keyless files XOR with a 256-byte pattern computed from the source length alone.
// The browser viewer (Converter/web/vgi.js) reads exactly this layout.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "core/atomic_file.h"

namespace vg {

inline constexpr unsigned char kProtectedMagic[3] = {'Q', 'L', 'M'};
inline constexpr unsigned char kProtectedMarker[4] = {0x62, 0x31, 0x5A, 0x60};
inline constexpr unsigned char kModeKeyed = 1;
inline constexpr unsigned char kModeKeyless = 3;
inline constexpr unsigned char kKeyTerminator = 0x01;
// Lengths in the format are signed 32-bit: sources of 2^31 bytes or more are refused.
inline constexpr std::int64_t kMaxProtectedSourceLength = 0x7FFFFFFF;

// Upper-cases ASCII letters and keeps only the characters '0' to 'Z' (codes 48 to 90).
std::string NormalizeKey(std::string_view text);

// The text a keyed file carries in its header; empty for a key that normalises to
// nothing. Characters are '0'-'9', 'A'-'Z' and 'a'-'g'.
std::string MakeHeaderKeyText(std::string_view key);

// The 256 entries of the keyless table for a source of `length` bytes; a body byte
// is XOR-ed with the low byte of entry (index mod 256).
std::array<std::uint32_t, 256> MakeKeylessTable(std::int32_t length);

// XORs `size` bytes of `data`, which start at byte `offset` of a body, with the body's
// key stream `pattern` (period = pattern size). Scrambling and unscrambling are the same.
void ScrambleBlock(unsigned char* data, std::size_t size, std::uint64_t offset,
                   std::string_view pattern);

// The fast form of ScrambleBlock for streaming. The key stream is expanded once to a
// mask of a few KiB (a whole number of periods, so it stays in the processor's cache)
// and XOR-ed 32 bytes at a time. Files are read and written in blocks of about 256 KiB,
// a whole number of masks; Apply() takes a block that starts at a multiple of
// block_size() into the body.
class BlockScrambler {
 public:
  explicit BlockScrambler(std::string_view pattern);
  std::size_t block_size() const { return m_blockSize; }
  void Apply(unsigned char* data, std::size_t size) const;

 private:
  std::vector<unsigned char> m_mask;
  std::size_t m_blockSize = 0;
};

// Writes `target` from `source`, keyed with `key` (empty: keyless). True only when the
// whole file was written. Never leaves a partial target: on failure an existing target
// is untouched. Fails for an empty source, a source of 2^31 bytes or more, and a
// non-empty key that normalises to nothing.
bool WriteProtectedImageFile(const std::filesystem::path& source,
                             const std::filesystem::path& target, std::string_view key);

// The same, saying whether the target was written or already held exactly these bytes
// (ExistingFile::KeepIfSame, as WriteProtectedImageFile does) and so was left untouched.
// The scrambled blocks are compared with the target as they are made, so an unchanged
// file costs one read of the source and one of the target, and no write.
FileUpdate UpdateProtectedImageFile(const std::filesystem::path& source,
                                    const std::filesystem::path& target, std::string_view key,
                                    ExistingFile existing);

// What ReadProtectedImageFile found wrong, for messages.
enum class UnprotectError {
  None,
  CannotOpenSource,
  NotProtected,    // too short, or magic, mode or marker wrong
  BadHeader,       // keyed header without terminator or with bad characters
  DomainMismatch,  // keyed for another domain than the one asked for
  CannotReadSource,
  CannotWriteTarget,
};

struct UnprotectResult {
  UnprotectError error = UnprotectError::None;
  bool keyed = false;
  std::string header_key_text;  // of the file, when keyed
};

// The inverse of WriteProtectedImageFile. When `domain` is not empty and the file is
// keyed, the file's header key text must equal the one made from `domain`.
UnprotectResult ReadProtectedImageFile(const std::filesystem::path& source,
                                       const std::filesystem::path& target,
                                       std::string_view domain);

const char* DescribeUnprotectError(UnprotectError error);

}  // namespace vg
