// The few operating-system services that core needs, behind plain functions.
// platform.cpp is the only file of core that includes system headers.
#pragma once

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

namespace vg {

// The folder that holds the running executable, with symbolic links resolved.
// Empty when the platform cannot tell.
std::filesystem::path GetProgramFolder();

// The page template and the viewer script sit beside the programs in the build tree and
// in a Windows installation, and in ../share/vellagard relative to them in a Linux one
// (/usr/bin/vellagard and /usr/share/vellagard/). A place counts only when it holds both.
inline constexpr const char* kDataFolderBelowPrefix = "share/vellagard";
struct DataFolderLookup {
  std::filesystem::path folder;               // the first place holding both; empty if none
  std::vector<std::filesystem::path> places;  // every place looked at, in order
};
DataFolderLookup FindDataFolder(const std::filesystem::path& program_folder);

// For an error message when no place holds the files: names the files and every place.
std::string DescribeMissingDataFiles(const DataFolderLookup& lookup);

// Opens an existing file for binary reading, sharing it with other readers and writers.
// Returns nullptr on failure.
std::FILE* OpenFileForReading(const std::filesystem::path& path);

// Creates a new file for binary writing; fails when a file of that name exists.
std::FILE* CreateNewFile(const std::filesystem::path& path);

// The length of an open file in bytes, or -1 when it cannot be read.
std::int64_t GetOpenFileLength(std::FILE* file);

// Renames `from` over `to` in one step, replacing an existing `to`.
bool RenameReplacing(const std::filesystem::path& from, const std::filesystem::path& to,
                     std::error_code& ec);

// Creates an unnamed file for writing in `folder` (Linux O_TMPFILE), holding the
// writer's lock (see RemoveFileUnlessLocked). nullptr, with errno set, where the system
// or the file system has no such files.
std::FILE* CreateUnnamedFile(const std::filesystem::path& folder);

// Gives an unnamed file a name. Fails (with std::errc::file_exists) when `to` exists.
bool LinkUnnamedFile(std::FILE* file, const std::filesystem::path& to, std::error_code& ec);

// Marks an open file as held by a running writer, until it is closed.
void LockForWriter(std::FILE* file);

// Removes a regular file unless a running writer holds it (a process that died holds
// nothing). Symbolic links and anything other than regular files are left alone.
bool RemoveFileUnlessLocked(const std::filesystem::path& path);

}  // namespace vg
