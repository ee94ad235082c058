#include "core/platform.h"

#include "core/product_files.h"
#include "core/utf8_path.h"

#ifdef _WIN32
#include <windows.h>
#include <fcntl.h>
#include <io.h>
#include <share.h>
#include <sys/stat.h>
#include <vector>
#else
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

#include <cerrno>
#include <string>

namespace vg {

std::filesystem::path GetProgramFolder() {
#ifdef _WIN32
  std::vector<wchar_t> buffer(MAX_PATH);
  for (;;) {
    DWORD n = GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
    if (n == 0) return {};
    if (n < buffer.size()) {
      return std::filesystem::path(std::wstring(buffer.data(), n)).parent_path();
    }
    if (buffer.size() > 32768) return {};
    buffer.resize(buffer.size() * 2);
  }
#else
  std::error_code ec;
  auto exe = std::filesystem::read_symlink("/proc/self/exe", ec);
  if (ec) return {};
  auto resolved = std::filesystem::weakly_canonical(exe, ec);
  return (ec ? exe : resolved).parent_path();
#endif
}

DataFolderLookup FindDataFolder(const std::filesystem::path& program_folder) {
  DataFolderLookup lookup;
  if (program_folder.empty()) return lookup;
  lookup.places.push_back(program_folder);
  lookup.places.push_back((program_folder / ".." / kDataFolderBelowPrefix).lexically_normal());
  for (const auto& place : lookup.places) {
    std::error_code ec;
    if (std::filesystem::is_regular_file(place / kPageTemplateFileName, ec) &&
        std::filesystem::is_regular_file(place / kViewerScriptName, ec)) {
      lookup.folder = place;
      break;
    }
  }
  return lookup;
}

std::string DescribeMissingDataFiles(const DataFolderLookup& lookup) {
  if (lookup.places.empty()) {
    return "cannot find template.html and vgi.js: the program cannot tell which folder it runs "
           "from";
  }
  std::string text = "cannot find template.html and vgi.js: looked beside the program in ";
  for (std::size_t i = 0; i < lookup.places.size(); ++i) {
    if (i > 0) text += i + 1 == lookup.places.size() ? " and in " : ", in ";
    text += PathToUtf8(lookup.places[i]);
  }
  return text;
}

std::FILE* OpenFileForReading(const std::filesystem::path& path) {
#ifdef _WIN32
  return _wfsopen(path.c_str(), L"rb", _SH_DENYNO);
#else
  return std::fopen(path.c_str(), "rb");
#endif
}

std::FILE* CreateNewFile(const std::filesystem::path& path) {
#ifdef _WIN32
  int fd = _wsopen(path.c_str(), _O_CREAT | _O_EXCL | _O_WRONLY | _O_BINARY, _SH_DENYWR,
                   _S_IREAD | _S_IWRITE);
  if (fd < 0) return nullptr;
  std::FILE* f = _fdopen(fd, "wb");
  if (!f) _close(fd);
  return f;
#else
  int fd = ::open(path.c_str(), O_CREAT | O_EXCL | O_WRONLY | O_CLOEXEC, 0666);
  if (fd < 0) return nullptr;
  std::FILE* f = ::fdopen(fd, "wb");
  if (!f) ::close(fd);
  return f;
#endif
}

std::int64_t GetOpenFileLength(std::FILE* file) {
#ifdef _WIN32
  struct _stat64 st;
  if (_fstat64(_fileno(file), &st) != 0) return -1;
  return static_cast<std::int64_t>(st.st_size);
#else
  struct stat st;
  if (::fstat(fileno(file), &st) != 0) return -1;
  if (!S_ISREG(st.st_mode)) return -1;
  return static_cast<std::int64_t>(st.st_size);
#endif
}

bool RenameReplacing(const std::filesystem::path& from, const std::filesystem::path& to,
                     std::error_code& ec) {
#ifdef _WIN32
  if (MoveFileExW(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    ec.clear();
    return true;
  }
  ec = std::error_code(static_cast<int>(GetLastError()), std::system_category());
  return false;
#else
  std::filesystem::rename(from, to, ec);
  return !ec;
#endif
}

std::FILE* CreateUnnamedFile(const std::filesystem::path& folder) {
#if defined(__linux__) && defined(O_TMPFILE)
  // Linking it in later goes through /proc; without /proc the file could never get a name.
  if (::access("/proc/self/fd", X_OK) != 0) {
    errno = EOPNOTSUPP;
    return nullptr;
  }
  int fd = ::open(folder.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666);
  if (fd < 0) return nullptr;
  ::flock(fd, LOCK_EX);
  std::FILE* f = ::fdopen(fd, "wb");
  if (!f) ::close(fd);
  return f;
#else
  (void)folder;
  errno = ENOTSUP;
  return nullptr;
#endif
}

bool LinkUnnamedFile(std::FILE* file, const std::filesystem::path& to, std::error_code& ec) {
#if defined(__linux__) && defined(O_TMPFILE)
  const std::string proc = "/proc/self/fd/" + std::to_string(fileno(file));
  if (::linkat(AT_FDCWD, proc.c_str(), AT_FDCWD, to.c_str(), AT_SYMLINK_FOLLOW) == 0) {
    ec.clear();
    return true;
  }
  ec = std::error_code(errno, std::generic_category());
  return false;
#else
  (void)file;
  (void)to;
  ec = std::make_error_code(std::errc::not_supported);
  return false;
#endif
}

void LockForWriter(std::FILE* file) {
#ifdef _WIN32
  (void)file;  // a file open for writing cannot be deleted by another process
#else
  ::flock(fileno(file), LOCK_EX);
#endif
}

bool RemoveFileUnlessLocked(const std::filesystem::path& path) {
#ifdef _WIN32
  std::error_code ec;
  const auto status = std::filesystem::symlink_status(path, ec);
  if (ec || !std::filesystem::is_regular_file(status)) return false;
  const DWORD attributes = GetFileAttributesW(path.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_REPARSE_POINT))
    return false;
  // Fails while the writer has the file open.
  return DeleteFileW(path.c_str()) != 0;
#else
  const int fd = ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return false;
  bool removed = false;
  struct stat opened;
  struct stat named;
  if (::fstat(fd, &opened) == 0 && S_ISREG(opened.st_mode) && ::flock(fd, LOCK_EX | LOCK_NB) == 0 &&
      ::lstat(path.c_str(), &named) == 0 && named.st_dev == opened.st_dev &&
      named.st_ino == opened.st_ino) {
    removed = ::unlink(path.c_str()) == 0;
  }
  ::close(fd);
  return removed;
#endif
}

}  // namespace vg
