// Writes a file so that readers only ever see the old file or the complete new one.
//
// The bytes go to a hidden temporary file in the target's folder; Commit() closes it
// and renames it over the target. If anything fails, or the object is destroyed
// without a successful Commit(), the temporary file is removed and an existing target
// stays exactly as it was.
#pragma once

#include <cstddef>
#include <cstdio>
#include <filesystem>
#include <string_view>
#include <system_error>

namespace vg {

class AtomicFile {
 public:
  explicit AtomicFile(std::filesystem::path target);
  ~AtomicFile();
  AtomicFile(const AtomicFile&) = delete;
  AtomicFile& operator=(const AtomicFile&) = delete;

  // Creates the temporary file. False when the folder is missing or not writable.
  bool Open();
  bool Write(const void* data, std::size_t size);
  bool Write(std::string_view text) { return Write(text.data(), text.size()); }
  // Flushes, closes and renames the temporary file over the target.
  bool Commit();
  // Drops everything written so far; the target is not touched.
  void Discard();

  const std::filesystem::path& target() const { return target_; }
  const std::filesystem::path& temp_path() const { return temp_; }
  // The reason of the last failure, when the system gave one.
  const std::error_code& error() const { return error_; }

 private:
  std::filesystem::path target_;
  std::filesystem::path temp_;
  std::FILE* file_ = nullptr;
  bool failed_ = false;
  std::error_code error_;
};

// Copies `source` over `target` through an AtomicFile.
bool CopyFileAtomically(const std::filesystem::path& source, const std::filesystem::path& target);

}  // namespace vg
