#include "setup_archive.h"

#include <minizip/unzip.h>

#include <cctype>

#include "archive_rules.h"

namespace vgengine {

std::wstring Utf8ToWide(const std::string& text) {
  if (text.empty()) return std::wstring();
  const int n = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text.data(),
                                    static_cast<int>(text.size()), nullptr, 0);
  if (n <= 0) return std::wstring();
  std::wstring out(static_cast<std::size_t>(n), L'\0');
  MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text.data(), static_cast<int>(text.size()),
                      &out[0], n);
  return out;
}

std::string WideToUtf8(const std::wstring& text) {
  if (text.empty()) return std::string();
  const int n = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr,
                                    0, nullptr, nullptr);
  if (n <= 0) return std::string();
  std::string out(static_cast<std::size_t>(n), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), &out[0], n, nullptr,
                      nullptr);
  return out;
}

namespace {

// minizip reads through these: the "file" is the region of the setup file that holds the
// archive, and nothing outside it can be reached.
struct RegionIo {
  static voidpf ZCALLBACK Open(voidpf opaque, const void*, int) { return opaque; }
  static uLong ZCALLBACK Read(voidpf, voidpf stream, void* buf, uLong size) {
    auto* r = static_cast<ArchiveRegion*>(stream);
    if (r->pos >= r->size) return 0;
    const std::uint64_t left = r->size - r->pos;
    DWORD want = static_cast<DWORD>(size < left ? size : left);
    OVERLAPPED at = {};
    const std::uint64_t where = r->base + r->pos;
    at.Offset = static_cast<DWORD>(where);
    at.OffsetHigh = static_cast<DWORD>(where >> 32);
    DWORD got = 0;
    if (!ReadFile(r->file, buf, want, &got, &at)) {
      r->failed = true;
      return 0;
    }
    r->pos += got;
    return got;
  }
  static uLong ZCALLBACK Write(voidpf, voidpf, const void*, uLong) { return 0; }
  static ZPOS64_T ZCALLBACK Tell(voidpf, voidpf stream) {
    return static_cast<ArchiveRegion*>(stream)->pos;
  }
  static long ZCALLBACK Seek(voidpf, voidpf stream, ZPOS64_T offset, int origin) {
    auto* r = static_cast<ArchiveRegion*>(stream);
    std::uint64_t from = 0;
    if (origin == ZLIB_FILEFUNC_SEEK_CUR) from = r->pos;
    else if (origin == ZLIB_FILEFUNC_SEEK_END) from = r->size;
    if (offset > r->size || from > r->size - offset) return -1;
    r->pos = from + offset;
    return 0;
  }
  static int ZCALLBACK Close(voidpf, voidpf) { return 0; }
  static int ZCALLBACK Error(voidpf, voidpf stream) {
    return static_cast<ArchiveRegion*>(stream)->failed ? 1 : 0;
  }
};

std::string Lower(std::string s) {
  for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

}  // namespace

SetupArchive::~SetupArchive() {
  if (m_zip) unzClose(static_cast<unzFile>(m_zip));
  if (m_region.file != INVALID_HANDLE_VALUE) CloseHandle(m_region.file);
}

bool SetupArchive::Open(const std::wstring& path, std::uint64_t offset, std::uint64_t totalSize,
                        int compressionType, std::wstring* error) {
  m_path = path;
  const std::wstring damaged = L"The setup file " + path + L" is damaged: ";
  const std::wstring again = L" Download it again.";
  if (!IsKnownCompressionType(compressionType)) {
    *error = L"The setup file " + path + L" uses compression type " +
             std::to_wstring(compressionType) + L", which this setup cannot read.";
    return false;
  }
  m_region.file = CreateFileW(path.c_str(), GENERIC_READ,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (m_region.file == INVALID_HANDLE_VALUE) {
    *error = L"Cannot open the setup file " + path + L" (error " + std::to_wstring(GetLastError()) +
             L").";
    return false;
  }
  LARGE_INTEGER size;
  if (!GetFileSizeEx(m_region.file, &size)) {
    *error = L"Cannot read the setup file " + path + L".";
    return false;
  }
  const std::uint64_t fileSize = static_cast<std::uint64_t>(size.QuadPart);
  if (totalSize > fileSize) {
    *error = L"The setup file " + path + L" is incomplete: it has " + std::to_wstring(fileSize) +
             L" bytes of " + std::to_wstring(totalSize) + L"." + again;
    return false;
  }
  if (offset >= totalSize) {
    *error = damaged + L"it holds no setup data." + again;
    return false;
  }
  m_region.base = offset;
  m_region.size = totalSize - offset;

  zlib_filefunc64_def io = {};
  io.zopen64_file = RegionIo::Open;
  io.zread_file = RegionIo::Read;
  io.zwrite_file = RegionIo::Write;
  io.ztell64_file = RegionIo::Tell;
  io.zseek64_file = RegionIo::Seek;
  io.zclose_file = RegionIo::Close;
  io.zerror_file = RegionIo::Error;
  io.opaque = &m_region;
  unzFile zip = unzOpen2_64("setup data", &io);
  if (!zip) {
    *error = damaged + L"its setup data is not a readable archive." + again;
    return false;
  }
  m_zip = zip;

  unz_global_info64 global;
  if (unzGetGlobalInfo64(zip, &global) != UNZ_OK || global.number_entry > kMaxEntries) {
    *error = damaged + L"its archive lists too many files." + again;
    return false;
  }
  std::uint64_t total = 0;
  std::vector<std::string> seen;
  int status = unzGoToFirstFile(zip);
  while (status == UNZ_OK) {
    unz_file_info64 info;
    char name[kMaxNameLength + 1];
    if (unzGetCurrentFileInfo64(zip, &info, name, sizeof name, nullptr, 0, nullptr, 0) != UNZ_OK) {
      *error = damaged + L"an entry of its archive cannot be read." + again;
      return false;
    }
    if (info.size_filename > kMaxNameLength) {
      *error = damaged + L"its archive holds a name longer than 200 bytes." + again;
      return false;
    }
    ArchiveEntry entry;
    entry.name.assign(name, info.size_filename);
    const std::wstring shown = Utf8ToWide(entry.name);
    const std::string refused = CheckEntryName(entry.name);
    if (!refused.empty() || shown.empty()) {
      *error = damaged + L"its archive holds the entry \"" + (shown.empty() ? L"?" : shown) +
               L"\" with " + (shown.empty() ? L"a name that is not UTF-8" : Utf8ToWide(refused)) +
               L"." + again;
      return false;
    }
    entry.folder = entry.name.back() == '/';
    entry.size = info.uncompressed_size;
    if (info.flag & 1) {
      *error = damaged + L"its archive entry \"" + shown + L"\" is encrypted." + again;
      return false;
    }
    if (!IsAllowedMethod(compressionType, static_cast<int>(info.compression_method))) {
      *error = damaged + L"its archive entry \"" + shown + L"\" uses compression method " +
               std::to_wstring(info.compression_method) + L"." + again;
      return false;
    }
    if (entry.size > kMaxEntrySize || info.compressed_size > m_region.size ||
        (total += entry.size) > kMaxTotalSize) {
      *error = damaged + L"its archive entry \"" + shown + L"\" claims an impossible size." + again;
      return false;
    }
    const std::string key = Lower(entry.name);
    for (const std::string& other : seen) {
      if (other == key) {
        *error = damaged + L"its archive holds \"" + shown + L"\" twice." + again;
        return false;
      }
    }
    seen.push_back(key);
    // Test-read it now: a damaged entry is found before anything is installed.
    if (!entry.folder &&
        !ReadCurrent(
            entry.name, entry.size, [](const char*, std::size_t) { return true; }, error)) {
      return false;
    }
    m_entries.push_back(entry);
    if (m_entries.size() > kMaxEntries) break;
    status = unzGoToNextFile(zip);
  }
  if (status != UNZ_END_OF_LIST_OF_FILE || m_entries.size() > kMaxEntries) {
    *error = damaged + L"its archive's list of files is broken." + again;
    return false;
  }
  return true;
}

const ArchiveEntry* SetupArchive::Find(const std::string& name) const {
  for (const ArchiveEntry& e : m_entries) {
    if (e.name == name) return &e;
  }
  return nullptr;
}

bool SetupArchive::ReadCurrent(const std::string& name, std::uint64_t expected,
                               const std::function<bool(const char*, std::size_t)>& sink,
                               std::wstring* error) {
  unzFile zip = static_cast<unzFile>(m_zip);
  const std::wstring damaged =
      L"The setup file " + m_path + L" is damaged: the data of \"" + Utf8ToWide(name) + L"\" ";
  if (unzOpenCurrentFile(zip) != UNZ_OK) {
    *error = damaged + L"cannot be found. Download it again.";
    return false;
  }
  std::vector<char> buffer(64 * 1024);
  std::uint64_t done = 0;
  bool ok = true;
  bool stopped = false;
  while (true) {
    const int got = unzReadCurrentFile(zip, buffer.data(), static_cast<unsigned>(buffer.size()));
    if (got < 0) {
      ok = false;
      break;
    }
    if (got == 0) break;
    done += static_cast<std::uint64_t>(got);
    if (done > expected) {
      ok = false;
      break;
    }
    if (!sink(buffer.data(), static_cast<std::size_t>(got))) {
      stopped = true;
      break;
    }
  }
  const int closed = unzCloseCurrentFile(zip);
  if (stopped) {
    error->clear();
    return false;
  }
  if (!ok || done != expected || closed != UNZ_OK) {
    *error = damaged + L"is corrupt. Download it again.";
    return false;
  }
  return true;
}

bool SetupArchive::Read(const std::string& name,
                        const std::function<bool(const char*, std::size_t)>& sink,
                        std::wstring* error) {
  const ArchiveEntry* entry = Find(name);
  if (!entry || entry->folder ||
      unzLocateFile(static_cast<unzFile>(m_zip), name.c_str(), 1) != UNZ_OK) {
    *error = L"The setup file " + m_path + L" holds no \"" + Utf8ToWide(name) + L"\".";
    return false;
  }
  return ReadCurrent(name, entry->size, sink, error);
}

}  // namespace vgengine
