// Writes a file so that readers only ever see the old file or the complete new one.
//
// The bytes go to a temporary file in the target's folder; Commit() links or renames it
// over the target. If anything fails, or the object is destroyed without a successful
// Commit(), the temporary file is removed and an existing target stays exactly as it was.
//
// The temporary file never has a name longer than a fixed short one, so a target of
// any length the file system takes can be written. On Linux it is an unnamed file
// (O_TMPFILE) that is given a name only when complete, so a killed process leaves
// nothing behind; elsewhere, and where the file system has no unnamed files, it is
// named ".vgtmp-" + 16 hexadecimal digits. RemoveStaleTemporaryFiles() removes such
// files that a killed process left.
//
// With ExistingFile::KeepIfSame the bytes are first compared with the target as they
// arrive: while they agree nothing is created, and when the last byte agrees too the
// target is left as it was (same inode, same modification time). At the first
// difference the writer switches to a temporary file, copies the agreeing part from the
// target and goes on as usual. A target of another size is replaced at once.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string_view>
#include <system_error>
#include <vector>

namespace vg {

enum class ExistingFile {
  Replace,     // always write the file anew
  KeepIfSame,  // leave a target that already holds exactly these bytes untouched
};

// What happened to a target.
enum class FileUpdate { Failed, Written, Unchanged };

class AtomicFile {
 public:
  explicit AtomicFile(std::filesystem::path target);
  ~AtomicFile();
  AtomicFile(const AtomicFile&) = delete;
  AtomicFile& operator=(const AtomicFile&) = delete;

  // Creates the temporary file. False when the folder is missing or not writable.
  bool Open();
  // Starts comparing with the target, which will get `final_size` bytes in all. When
  // the target is not a regular file of that size this is Open().
  bool OpenKeepingSame(std::int64_t final_size);
  bool Write(const void* data, std::size_t size);
  bool Write(std::string_view text) { return Write(text.data(), text.size()); }
  // Completes the file: the temporary file replaces the target, or, when every byte
  // agreed, the target is left as it is (then unchanged() is true).
  bool Commit();
  // Drops everything written so far; the target is not touched.
  void Discard();

  bool unchanged() const { return m_unchanged; }
  const std::filesystem::path& target() const { return m_target; }
  // The reason of the last failure, when the system gave one.
  const std::error_code& error() const { return m_error; }

 private:
  bool CreateTemporary();
  bool SwitchToWriting();
  bool WriteOut(const void* data, std::size_t size);

  std::filesystem::path m_target;
  std::filesystem::path m_temp;  // empty for an unnamed temporary file
  std::FILE* m_file = nullptr;
  bool m_unnamed = false;
  bool m_failed = false;
  bool m_unchanged = false;
  // While comparing: the open target, how many bytes agreed so far, and its size.
  std::FILE* m_existing = nullptr;
  std::int64_t m_compared = 0;
  std::int64_t m_existingSize = 0;
  std::vector<unsigned char> m_compareBuffer;
  std::error_code m_error;
};

// Copies `source` over `target` through an AtomicFile.
FileUpdate CopyFileAtomically(const std::filesystem::path& source,
                              const std::filesystem::path& target,
                              ExistingFile existing = ExistingFile::KeepIfSame);

// True for a name that AtomicFile gives its temporary files (".vgtmp-" and 16
// hexadecimal digits), or that earlier versions gave them (".NAME.vgtmp-N-N-N").
bool IsTemporaryFileName(std::string_view name);

// Removes from `folder` (not its sub-folders) the regular files with a temporary name
// that no running writer holds: what a killed run left. Returns how many were removed.
std::size_t RemoveStaleTemporaryFiles(const std::filesystem::path& folder);

// For tests: makes AtomicFile use named temporary files even where unnamed ones work.
void UseNamedTemporaryFilesOnly(bool named_only);

}  // namespace vg
