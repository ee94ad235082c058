#include "core/atomic_file.h"

#include <atomic>
#include <cerrno>
#include <chrono>
#include <string>
#include <vector>

#include "core/platform.h"

namespace vg {
namespace {

std::error_code LastError() { return std::error_code(errno, std::generic_category()); }

std::string UniqueSuffix(int attempt) {
  static std::atomic<unsigned> counter{0};
  auto ticks = static_cast<unsigned long long>(
      std::chrono::steady_clock::now().time_since_epoch().count());
  return std::to_string(ticks % 1000000007ULL) + "-" + std::to_string(counter++) + "-" +
         std::to_string(attempt);
}

}  // namespace

AtomicFile::AtomicFile(std::filesystem::path target) : target_(std::move(target)) {}

AtomicFile::~AtomicFile() { Discard(); }

bool AtomicFile::Open() {
  Discard();
  failed_ = false;
  auto folder = target_.parent_path();
  auto name = target_.filename().native();
  for (int attempt = 0; attempt < 16; ++attempt) {
    auto candidate = folder / (std::filesystem::path::string_type(1, '.') + name);
    candidate += std::filesystem::u8path(".vgtmp-" + UniqueSuffix(attempt));
    errno = 0;
    file_ = CreateNewFile(candidate);
    if (file_) {
      temp_ = candidate;
      return true;
    }
    error_ = LastError();
    if (errno != EEXIST) break;
  }
  failed_ = true;
  return false;
}

bool AtomicFile::Write(const void* data, std::size_t size) {
  if (!file_ || failed_) return false;
  if (size == 0) return true;
  if (std::fwrite(data, 1, size, file_) != size) {
    error_ = LastError();
    failed_ = true;
    return false;
  }
  return true;
}

bool AtomicFile::Commit() {
  if (!file_ || failed_) {
    Discard();
    return false;
  }
  bool ok = std::fflush(file_) == 0;
  if (!ok) error_ = LastError();
  if (std::fclose(file_) != 0 && ok) {
    error_ = LastError();
    ok = false;
  }
  file_ = nullptr;
  if (ok) ok = RenameReplacing(temp_, target_, error_);
  if (!ok) {
    failed_ = true;
    Discard();
    return false;
  }
  temp_.clear();
  return true;
}

void AtomicFile::Discard() {
  if (file_) {
    std::fclose(file_);
    file_ = nullptr;
  }
  if (!temp_.empty()) {
    std::error_code ignored;
    std::filesystem::remove(temp_, ignored);
    temp_.clear();
  }
}

bool CopyFileAtomically(const std::filesystem::path& source, const std::filesystem::path& target) {
  std::FILE* in = OpenFileForReading(source);
  if (!in) return false;
  AtomicFile out(target);
  bool ok = out.Open();
  std::vector<char> buffer(1 << 20);
  while (ok) {
    std::size_t got = std::fread(buffer.data(), 1, buffer.size(), in);
    if (got > 0) ok = out.Write(buffer.data(), got);
    if (got < buffer.size()) {
      if (std::ferror(in)) ok = false;
      break;
    }
  }
  std::fclose(in);
  return ok && out.Commit();
}

}  // namespace vg
