#include "core/atomic_file.h"

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <random>
#include <string>

#include "core/platform.h"

namespace vg {
namespace {

constexpr std::string_view kTempPrefix = ".vgtmp-";
constexpr std::size_t kTempDigits = 16;

std::atomic<bool> g_named_only{false};

std::error_code LastError() { return std::error_code(errno, std::generic_category()); }

// ".vgtmp-" and 16 lower-case hexadecimal digits: 23 characters whatever the target.
std::string TemporaryName() {
  static std::atomic<unsigned long long> counter{0};
  static const unsigned long long seed = [] {
    std::random_device rd;
    return (static_cast<unsigned long long>(rd()) << 32) ^ rd();
  }();
  unsigned long long v = seed ^ static_cast<unsigned long long>(
                                    std::chrono::steady_clock::now().time_since_epoch().count());
  v ^= (counter++ + 1) * 0x9E3779B97F4A7C15ULL;
  v ^= v >> 29;
  v *= 0xBF58476D1CE4E5B9ULL;
  v ^= v >> 32;
  static const char kHex[] = "0123456789abcdef";
  std::string name(kTempPrefix);
  for (std::size_t i = 0; i < kTempDigits; ++i) name.push_back(kHex[(v >> (4 * i)) & 0xF]);
  return name;
}

bool AllOf(std::string_view text, bool (*pred)(char)) {
  if (text.empty()) return false;
  for (char c : text) {
    if (!pred(c)) return false;
  }
  return true;
}

}  // namespace

void UseNamedTemporaryFilesOnly(bool named_only) { g_named_only = named_only; }

bool IsTemporaryFileName(std::string_view name) {
  auto hex = [](char c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'); };
  auto digit = [](char c) { return c >= '0' && c <= '9'; };
  if (name.size() == kTempPrefix.size() + kTempDigits &&
      name.substr(0, kTempPrefix.size()) == kTempPrefix) {
    return AllOf(name.substr(kTempPrefix.size()), hex);
  }
  // Earlier versions: "." + the target's name + ".vgtmp-" + three numbers joined by '-'.
  const std::size_t at = name.rfind(".vgtmp-");
  if (name.size() < 2 || name[0] != '.' || at == std::string_view::npos || at < 2) return false;
  std::string_view rest = name.substr(at + 7);
  for (int part = 0; part < 3; ++part) {
    const std::size_t dash = rest.find('-');
    const std::string_view number = part < 2 ? rest.substr(0, dash) : rest;
    if ((part < 2 && dash == std::string_view::npos) || !AllOf(number, digit)) return false;
    if (part < 2) rest = rest.substr(dash + 1);
  }
  return true;
}

std::size_t RemoveStaleTemporaryFiles(const std::filesystem::path& folder) {
  std::size_t removed = 0;
  std::error_code ec;
  for (std::filesystem::directory_iterator it(folder, ec), end; !ec && it != end;
       it.increment(ec)) {
    const std::string name = it->path().filename().u8string();
    if (!IsTemporaryFileName(name)) continue;
    if (RemoveFileUnlessLocked(it->path())) ++removed;
  }
  return removed;
}

AtomicFile::AtomicFile(std::filesystem::path target) : m_target(std::move(target)) {}

AtomicFile::~AtomicFile() { Discard(); }

bool AtomicFile::CreateTemporary() {
  const auto folder =
      m_target.parent_path().empty() ? std::filesystem::path(".") : m_target.parent_path();
  if (!g_named_only) {
    errno = 0;
    m_file = CreateUnnamedFile(folder);
    if (m_file) {
      m_unnamed = true;
      return true;
    }
    // Only a file system without unnamed files moves on to a named one.
    if (errno != EOPNOTSUPP && errno != ENOTSUP && errno != EISDIR && errno != EINVAL) {
      m_error = LastError();
      m_failed = true;
      return false;
    }
  }
  for (int attempt = 0; attempt < 16; ++attempt) {
    const auto candidate = folder / std::filesystem::u8path(TemporaryName());
    errno = 0;
    m_file = CreateNewFile(candidate);
    if (m_file) {
      LockForWriter(m_file);
      m_temp = candidate;
      return true;
    }
    m_error = LastError();
    if (errno != EEXIST) break;
  }
  m_failed = true;
  return false;
}

bool AtomicFile::Open() {
  Discard();
  m_failed = false;
  m_unchanged = false;
  return CreateTemporary();
}

bool AtomicFile::OpenKeepingSame(std::int64_t final_size) {
  Discard();
  m_failed = false;
  m_unchanged = false;
  std::error_code ec;
  if (final_size >= 0 && std::filesystem::is_regular_file(m_target, ec)) {
    m_existing = OpenFileForReading(m_target);
    if (m_existing) {
      m_existingSize = GetOpenFileLength(m_existing);
      if (m_existingSize == final_size) {
        m_compared = 0;
        return true;
      }
      std::fclose(m_existing);
      m_existing = nullptr;
    }
  }
  return CreateTemporary();
}

// The bytes so far agreed with the target: they are copied from it into a temporary
// file, after which writing goes on there.
bool AtomicFile::SwitchToWriting() {
  std::FILE* existing = m_existing;
  m_existing = nullptr;
  const std::int64_t agreed = m_compared;
  bool ok = CreateTemporary() && std::fseek(existing, 0, SEEK_SET) == 0;
  std::int64_t remaining = agreed;
  if (m_compareBuffer.size() < (std::size_t{1} << 16)) m_compareBuffer.resize(std::size_t{1} << 16);
  while (ok && remaining > 0) {
    const std::size_t want = remaining < static_cast<std::int64_t>(m_compareBuffer.size())
                                 ? static_cast<std::size_t>(remaining)
                                 : m_compareBuffer.size();
    ok = std::fread(m_compareBuffer.data(), 1, want, existing) == want &&
         WriteOut(m_compareBuffer.data(), want);
    remaining -= static_cast<std::int64_t>(want);
  }
  std::fclose(existing);
  if (!ok) m_failed = true;
  return ok;
}

bool AtomicFile::WriteOut(const void* data, std::size_t size) {
  if (std::fwrite(data, 1, size, m_file) != size) {
    m_error = LastError();
    m_failed = true;
    return false;
  }
  return true;
}

bool AtomicFile::Write(const void* data, std::size_t size) {
  if (m_failed || (!m_file && !m_existing)) return false;
  if (size == 0) return true;
  if (m_existing) {
    if (m_compareBuffer.size() < size) m_compareBuffer.resize(size);
    const bool fits = static_cast<std::int64_t>(size) <= m_existingSize - m_compared;
    if (fits && std::fread(m_compareBuffer.data(), 1, size, m_existing) == size &&
        std::memcmp(m_compareBuffer.data(), data, size) == 0) {
      m_compared += static_cast<std::int64_t>(size);
      return true;
    }
    if (!SwitchToWriting()) return false;
  }
  return WriteOut(data, size);
}

bool AtomicFile::Commit() {
  if (m_failed || (!m_file && !m_existing)) {
    Discard();
    return false;
  }
  if (m_existing) {
    if (m_compared == m_existingSize) {
      std::fclose(m_existing);
      m_existing = nullptr;
      m_unchanged = true;
      return true;
    }
    // Fewer bytes came than the target holds.
    if (!SwitchToWriting()) {
      Discard();
      return false;
    }
  }
  bool ok = std::fflush(m_file) == 0;
  if (!ok) m_error = LastError();
  if (ok && m_unnamed) {
    // Linked straight in when the target is new; otherwise under a short name first,
    // then renamed over the target in one step.
    std::error_code ec;
    if (!LinkUnnamedFile(m_file, m_target, ec)) {
      ok = false;
      for (int attempt = 0; attempt < 16 && !ok && ec == std::errc::file_exists; ++attempt) {
        const auto candidate = m_target.parent_path() / std::filesystem::u8path(TemporaryName());
        if (LinkUnnamedFile(m_file, candidate, ec)) {
          m_temp = candidate;
          ok = true;
        }
      }
      if (!ok) m_error = ec;
      if (ok) ok = RenameReplacing(m_temp, m_target, m_error);
      if (ok) m_temp.clear();
    }
  } else if (ok) {
#ifdef _WIN32
    // Windows renames only a closed file.
    ok = std::fclose(m_file) == 0;
    m_file = nullptr;
    if (!ok) m_error = LastError();
#endif
    if (ok) ok = RenameReplacing(m_temp, m_target, m_error);
    if (ok) m_temp.clear();
  }
  // The writer's lock goes with the close, after the rename.
  if (m_file && std::fclose(m_file) != 0 && ok) {
    m_error = LastError();
    ok = false;
  }
  m_file = nullptr;
  if (!ok) {
    m_failed = true;
    Discard();
    return false;
  }
  return true;
}

void AtomicFile::Discard() {
  if (m_existing) {
    std::fclose(m_existing);
    m_existing = nullptr;
  }
  if (m_file) {
    std::fclose(m_file);
    m_file = nullptr;
  }
  m_unnamed = false;
  if (!m_temp.empty()) {
    std::error_code ignored;
    std::filesystem::remove(m_temp, ignored);
    m_temp.clear();
  }
}

FileUpdate CopyFileAtomically(const std::filesystem::path& source,
                              const std::filesystem::path& target, ExistingFile existing) {
  std::FILE* in = OpenFileForReading(source);
  if (!in) return FileUpdate::Failed;
  AtomicFile out(target);
  bool ok = existing == ExistingFile::KeepIfSame ? out.OpenKeepingSame(GetOpenFileLength(in))
                                                 : out.Open();
  std::vector<char> buffer(1 << 18);
  while (ok) {
    std::size_t got = std::fread(buffer.data(), 1, buffer.size(), in);
    if (got > 0) ok = out.Write(buffer.data(), got);
    if (got < buffer.size()) {
      if (std::ferror(in)) ok = false;
      break;
    }
  }
  std::fclose(in);
  if (!ok || !out.Commit()) return FileUpdate::Failed;
  return out.unchanged() ? FileUpdate::Unchanged : FileUpdate::Written;
}

}  // namespace vg
