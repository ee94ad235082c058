// The setup data: a zip archive inside the setup file, from the hand-off offset up to the
// total size. Reading is bounded to that region; every entry is checked (name, size,
// method) and test-read with its checksum when the archive is opened, so a damaged setup
// file is refused before the install script changes anything.
#pragma once

#include <windows.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace vgengine {

struct ArchiveEntry {
  std::string name;  // UTF-8, forward slashes; folders end with a slash
  std::uint64_t size = 0;
  bool folder = false;
};

// The part of the setup file that holds the archive, and where reading stands in it.
struct ArchiveRegion {
  HANDLE file = INVALID_HANDLE_VALUE;
  std::uint64_t base = 0, size = 0, pos = 0;
  bool failed = false;
};

class SetupArchive {
 public:
  SetupArchive() = default;
  ~SetupArchive();
  SetupArchive(const SetupArchive&) = delete;
  SetupArchive& operator=(const SetupArchive&) = delete;

  // Opens and checks the archive; on failure returns false with a sentence in `error`.
  bool Open(const std::wstring& path, std::uint64_t offset, std::uint64_t totalSize,
            int compressionType, std::wstring* error);

  const std::vector<ArchiveEntry>& Entries() const { return m_entries; }
  const ArchiveEntry* Find(const std::string& name) const;

  // Hands the entry's bytes to `sink` in pieces; false with `error` set when the entry is
  // missing or its data is damaged, or when `sink` returns false (then `error` is empty).
  bool Read(const std::string& name, const std::function<bool(const char*, std::size_t)>& sink,
            std::wstring* error);

 private:
  bool ReadCurrent(const std::string& name, std::uint64_t expected,
                   const std::function<bool(const char*, std::size_t)>& sink, std::wstring* error);

  ArchiveRegion m_region;
  void* m_zip = nullptr;
  std::wstring m_path;
  std::vector<ArchiveEntry> m_entries;
};

std::wstring Utf8ToWide(const std::string& text);
std::string WideToUtf8(const std::wstring& text);

}  // namespace vgengine
