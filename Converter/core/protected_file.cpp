#include "core/protected_file.h"

#include <cstring>
#include <memory>
#include <new>
#include <vector>

#include "core/atomic_file.h"
#include "core/platform.h"

namespace vg {
namespace {

// 256 KiB per read and write, which stays in the processor's second-level cache while it
// is scrambled (measured faster than 1 MiB and 4 MiB), and a mask of at least 4 KiB.
constexpr std::size_t kTargetBlockSize = std::size_t{1} << 18;
constexpr std::size_t kTargetMaskSize = std::size_t{1} << 12;

// The largest whole number of `unit`s in `target` bytes, at least one unit.
std::size_t RoundDownTo(std::size_t target, std::size_t unit) {
  return target <= unit ? unit : target - target % unit;
}

// XORs `size` bytes of `data` with `mask`, 32 bytes at a time. With GCC and Clang the
// vector type becomes SIMD instructions (or plain words on targets without them); on
// x86-64 Linux an AVX2 copy is chosen at load time where the processor has it.
#if defined(__GNUC__) && defined(__x86_64__) && defined(__linux__) && !defined(__clang__)
__attribute__((target_clones("avx2", "default")))
#endif
void XorBytes(unsigned char* data, const unsigned char* mask, std::size_t size) {
  std::size_t i = 0;
#if defined(__GNUC__)
  typedef unsigned char Chunk __attribute__((vector_size(32)));
  for (; i + sizeof(Chunk) <= size; i += sizeof(Chunk)) {
    Chunk a, b;
    std::memcpy(&a, data + i, sizeof a);
    std::memcpy(&b, mask + i, sizeof b);
    a ^= b;
    std::memcpy(data + i, &a, sizeof a);
  }
#endif
  for (; i + 8 <= size; i += 8) {
    std::uint64_t a, b;
    std::memcpy(&a, data + i, 8);
    std::memcpy(&b, mask + i, 8);
    a ^= b;
    std::memcpy(data + i, &a, 8);
  }
  for (; i < size; ++i) data[i] ^= mask[i];
}

std::string KeylessPatternText(std::int32_t length) {
  const auto table = MakeKeylessTable(length);
  std::string pattern(table.size(), '\0');
  for (std::size_t i = 0; i < table.size(); ++i) pattern[i] = static_cast<char>(table[i] & 0xFF);
  return pattern;
}

// The block buffer, kept for the thread's life: a run writes thousands of files, and a
// fresh megabyte for each costs page faults that show in the run's time.
unsigned char* BlockBuffer(std::size_t size) {
  thread_local std::unique_ptr<unsigned char[]> buffer;
  thread_local std::size_t capacity = 0;
  if (capacity < size) {
    buffer.reset(new unsigned char[size]);
    capacity = size;
  }
  return buffer.get();
}

struct FileCloser {
  void operator()(std::FILE* f) const {
    if (f) std::fclose(f);
  }
};
using FilePtr = std::unique_ptr<std::FILE, FileCloser>;

bool ReadExactly(std::FILE* file, unsigned char* data, std::size_t size) {
  return std::fread(data, 1, size, file) == size;
}

}  // namespace

std::string NormalizeKey(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (char ch : text) {
    unsigned char c = static_cast<unsigned char>(ch);
    if (c >= 'a' && c <= 'z') c = static_cast<unsigned char>(c - 'a' + 'A');
    if (c >= 48 && c <= 90) out.push_back(static_cast<char>(c));
  }
  return out;
}

std::string MakeHeaderKeyText(std::string_view key) {
  const std::string k = NormalizeKey(key);
  const auto n = static_cast<std::uint32_t>(k.size());
  std::string out;
  out.reserve(k.size());
  // The sum is a signed 32-bit value that wraps; unsigned arithmetic gives the same
  // bits without undefined behaviour. Only keys of thousands of characters wrap, and
  // then the remainder is still taken in 0..42 so the text stays in range.
  std::uint32_t s = n;
  for (std::uint32_t i = 0; i < n; ++i) {
    const std::uint32_t v = static_cast<unsigned char>(k[i]) - 48u;
    s = s + v + 127u * i;
    const auto sum = static_cast<std::int32_t>(s + v);
    int r = sum % 43;
    if (r < 0) r += 43;
    char c = static_cast<char>(48 + r);
    if (c >= ':' && c <= '@') c = static_cast<char>(c - ':' + 'a');
    out.push_back(c);
  }
  return out;
}

std::array<std::uint32_t, 256> MakeKeylessTable(std::int32_t length) {
  std::array<std::uint32_t, 256> table{};
  std::uint32_t f = static_cast<std::uint32_t>(length);
  for (std::uint32_t i = 0; i < 256; ++i) {
    // Low 32 bits of the product, then an arithmetic (sign-keeping) shift.
    const auto product = static_cast<std::int32_t>(f * (f - 7u));
    const std::uint32_t g = f ^ static_cast<std::uint32_t>(product >> 1);
    table[i] = g;
    f = f + g + i;
  }
  return table;
}

BlockScrambler::BlockScrambler(std::string_view pattern) {
  if (pattern.empty()) return;
  const std::size_t periods = (kTargetMaskSize + pattern.size() - 1) / pattern.size();
  m_mask.reserve(periods * pattern.size());
  for (std::size_t i = 0; i < periods; ++i)
    m_mask.insert(m_mask.end(), pattern.begin(), pattern.end());
  m_blockSize = RoundDownTo(kTargetBlockSize, m_mask.size());
}

void BlockScrambler::Apply(unsigned char* data, std::size_t size) const {
  if (m_mask.empty()) return;
  const std::size_t step = m_mask.size();
  for (std::size_t offset = 0; offset < size; offset += step) {
    XorBytes(data + offset, m_mask.data(), size - offset < step ? size - offset : step);
  }
}

void ScrambleBlock(unsigned char* data, std::size_t size, std::uint64_t offset,
                   std::string_view pattern) {
  if (pattern.empty()) return;
  std::size_t p = static_cast<std::size_t>(offset % pattern.size());
  for (std::size_t i = 0; i < size; ++i) {
    data[i] ^= static_cast<unsigned char>(pattern[p]);
    if (++p == pattern.size()) p = 0;
  }
}

bool WriteProtectedImageFile(const std::filesystem::path& source,
                             const std::filesystem::path& target, std::string_view key) {
  return UpdateProtectedImageFile(source, target, key, ExistingFile::KeepIfSame) !=
         FileUpdate::Failed;
}

FileUpdate UpdateProtectedImageFile(const std::filesystem::path& source,
                                    const std::filesystem::path& target, std::string_view key,
                                    ExistingFile existing) {
  constexpr FileUpdate kFailed = FileUpdate::Failed;
  try {
    std::string header(reinterpret_cast<const char*>(kProtectedMagic), 3);
    std::string key_text;
    if (!key.empty()) {
      key_text = MakeHeaderKeyText(key);
      if (key_text.empty()) return kFailed;  // nothing of the key survives normalisation
      header.push_back(static_cast<char>(kModeKeyed));
    } else {
      header.push_back(static_cast<char>(kModeKeyless));
    }
    header.append(reinterpret_cast<const char*>(kProtectedMarker), 4);
    if (!key.empty()) {
      header += key_text;
      header.push_back(static_cast<char>(kKeyTerminator));
    }

    FilePtr in(OpenFileForReading(source));
    if (!in) return kFailed;
    const std::int64_t length = GetOpenFileLength(in.get());
    if (length < 1 || length > kMaxProtectedSourceLength) return kFailed;

    const std::string pattern = key.empty() ? KeylessPatternText(static_cast<std::int32_t>(length))
                                            : NormalizeKey(key_text);
    const BlockScrambler scrambler(pattern);
    const std::size_t block = scrambler.block_size();
    unsigned char* const buffer = BlockBuffer(block);

    AtomicFile out(target);
    const std::int64_t file_size = static_cast<std::int64_t>(header.size()) + length;
    const bool opened =
        existing == ExistingFile::KeepIfSame ? out.OpenKeepingSame(file_size) : out.Open();
    if (!opened || !out.Write(header)) return kFailed;
    std::int64_t remaining = length;
    while (remaining > 0) {
      const std::size_t want = remaining < static_cast<std::int64_t>(block)
                                   ? static_cast<std::size_t>(remaining)
                                   : block;
      if (!ReadExactly(in.get(), buffer, want)) return kFailed;
      scrambler.Apply(buffer, want);
      if (!out.Write(buffer, want)) return kFailed;
      remaining -= static_cast<std::int64_t>(want);
    }
    in.reset();
    if (!out.Commit()) return kFailed;
    return out.unchanged() ? FileUpdate::Unchanged : FileUpdate::Written;
  } catch (const std::exception&) {
    return kFailed;
  }
}

UnprotectResult ReadProtectedImageFile(const std::filesystem::path& source,
                                       const std::filesystem::path& target,
                                       std::string_view domain) {
  UnprotectResult result;
  try {
    FilePtr in(OpenFileForReading(source));
    if (!in) {
      result.error = UnprotectError::CannotOpenSource;
      return result;
    }
    const std::int64_t file_length = GetOpenFileLength(in.get());
    unsigned char fixed[8];
    if (file_length < 8 || !ReadExactly(in.get(), fixed, 8) ||
        std::memcmp(fixed, kProtectedMagic, 3) != 0 ||
        std::memcmp(fixed + 4, kProtectedMarker, 4) != 0 ||
        (fixed[3] != kModeKeyed && fixed[3] != kModeKeyless)) {
      result.error = UnprotectError::NotProtected;
      return result;
    }
    std::int64_t header_length = 8;
    std::string pattern;
    if (fixed[3] == kModeKeyed) {
      result.keyed = true;
      // The key text runs to the terminator; a text longer than the file or with a
      // character outside the key alphabet is not a header we wrote.
      for (;;) {
        const int c = std::fgetc(in.get());
        if (c == EOF) {
          result.error = UnprotectError::BadHeader;
          return result;
        }
        if (c == kKeyTerminator) break;
        const bool valid =
            (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'g');
        if (!valid) {
          result.error = UnprotectError::BadHeader;
          return result;
        }
        result.header_key_text.push_back(static_cast<char>(c));
      }
      if (result.header_key_text.empty()) {
        result.error = UnprotectError::BadHeader;
        return result;
      }
      header_length = 9 + static_cast<std::int64_t>(result.header_key_text.size());
      if (!domain.empty() && MakeHeaderKeyText(domain) != result.header_key_text) {
        result.error = UnprotectError::DomainMismatch;
        return result;
      }
      pattern = NormalizeKey(result.header_key_text);
    }
    const std::int64_t body_length = file_length - header_length;
    if (body_length < 1 || body_length > kMaxProtectedSourceLength) {
      result.error = UnprotectError::NotProtected;
      return result;
    }
    if (!result.keyed) pattern = KeylessPatternText(static_cast<std::int32_t>(body_length));

    const BlockScrambler scrambler(pattern);
    const std::size_t block = scrambler.block_size();
    unsigned char* const buffer = BlockBuffer(block);
    AtomicFile out(target);
    if (!out.Open()) {
      result.error = UnprotectError::CannotWriteTarget;
      return result;
    }
    std::int64_t remaining = body_length;
    while (remaining > 0) {
      const std::size_t want = remaining < static_cast<std::int64_t>(block)
                                   ? static_cast<std::size_t>(remaining)
                                   : block;
      if (!ReadExactly(in.get(), buffer, want)) {
        result.error = UnprotectError::CannotReadSource;
        return result;
      }
      scrambler.Apply(buffer, want);
      if (!out.Write(buffer, want)) {
        result.error = UnprotectError::CannotWriteTarget;
        return result;
      }
      remaining -= static_cast<std::int64_t>(want);
    }
    if (!out.Commit()) result.error = UnprotectError::CannotWriteTarget;
  } catch (const std::exception&) {
    result.error = UnprotectError::CannotWriteTarget;
  }
  return result;
}

const char* DescribeUnprotectError(UnprotectError error) {
  switch (error) {
    case UnprotectError::None: return "no error";
    case UnprotectError::CannotOpenSource: return "cannot open the file";
    case UnprotectError::NotProtected: return "not a protected image file";
    case UnprotectError::BadHeader: return "damaged protected image header";
    case UnprotectError::DomainMismatch: return "the file is locked to another domain";
    case UnprotectError::CannotReadSource: return "cannot read the file to its end";
    case UnprotectError::CannotWriteTarget: return "cannot write the output file";
  }
  return "unknown error";
}

}  // namespace vg
