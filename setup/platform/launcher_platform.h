// Every operating-system service the setup launcher uses, behind one interface.
//
// The launcher's steps (CSetupExtractor) and its main flow call nothing else, so they run
// unchanged on Windows (win32_platform.cpp), on POSIX (posix_platform.cpp) and against the
// fake of the tests, which can make any one call fail and so reach every result code.
//
// Paths are UTF-8 text with the platform's own separator. Calls return false on failure and
// show nothing; the caller decides what to report.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <new>
#include <string>
#include <vector>

namespace vgsetup {

enum class EExtract { kWritten, kNoMemory, kReadFailed, kOpenFailed, kWriteFailed };

// The launcher's own file, open for reading while others may read it too.
class CArchiveFile {
 public:
  virtual ~CArchiveFile() = default;
  // Reads up to `size` bytes at `offset` (64-bit) into `buffer`; `*got` is the count read,
  // short only at the end of the file. False when the position or the read fails.
  virtual bool Read(std::uint64_t offset, void* buffer, std::size_t size, std::size_t* got) = 0;
  // The length of the file in bytes.
  virtual bool GetSize(std::uint64_t* size) = 0;
  // Creates (or truncates) the file `path` and writes to it the `headSize` bytes at `head`
  // followed by the `size` bytes of this file at `offset`. kNoMemory and kReadFailed mean
  // nothing could be written; kOpenFailed that `path` could not be created; kWriteFailed
  // that it holds less than it should.
  virtual EExtract ExtractTo(const std::string& path, const unsigned char* head,
                             std::size_t headSize, std::uint64_t offset, std::uint64_t size) = 0;
};

// A started engine process; the handle is released when the object goes.
class CEngineProcess {
 public:
  virtual ~CEngineProcess() = default;
  // Waits until the process has ended (on Windows keeping the thread's message queue served).
  virtual void Wait() = 0;
  // The exit code; 259 (STILL_ACTIVE) while the process is still running.
  virtual bool GetExitCode(std::uint32_t* code) = 0;
};

constexpr std::uint32_t kStillActive = 259;

// What the engine is started with. Windows takes the argument string as one text; POSIX
// takes the same arguments as a vector, without the quote characters of the string.
struct CEngineCommand {
  std::string strEnginePath;
  std::string strArguments;
  std::vector<std::string> vArguments;  // not including the program name
};

enum class EStartResult { kStarted, kCancelled, kFailed };
enum class ECreateDir { kCreated, kExists, kFailed };
// kOther: something the launcher must leave alone (a file, something it cannot examine, or
// on POSIX a folder that belongs to another user).
enum class EPathKind { kAbsent, kDirectory, kOther, kLink };

// What a folder is, seen through one open handle that does not follow a reparse point.
struct CFolderFacts {
  EPathKind kind = EPathKind::kAbsent;
  // Owned by Administrators or SYSTEM (on POSIX: by root).
  bool bOwnedBySystem = false;
  // Its access list lets someone other than Administrators and SYSTEM delete or rename it,
  // or change its access list or owner.
  bool bOthersMayReplace = false;
};

// True when a buffer of `head` + `size` bytes and one byte more can be addressed within
// `limit` (SIZE_MAX of the target) without any of the sums wrapping.
constexpr bool FitsInAddressSpace(std::uint64_t head, std::uint64_t size, std::uint64_t limit) {
  return head < limit && size < limit - head;
}

class CLauncherPlatform {
 public:
  virtual ~CLauncherPlatform() = default;

  // --- Start-up ---------------------------------------------------------------------------
  // Hardens the search order for libraries. True when libraries were loaded in advance and
  // must be released with ReleasePreloadedLibraries.
  virtual bool HardenLibrarySearch() = 0;
  virtual void ReleasePreloadedLibraries() = 0;
  virtual void ShowBusyCursor() = 0;
  // The command line as text after the program name, and the argument vector with the
  // program name first.
  virtual void ReadCommandLine(std::string* text, std::vector<std::string>* argv) = 0;

  // --- Paths and folders ------------------------------------------------------------------
  virtual char Separator() const = 0;
  // Length of the root at the start of an absolute path ("C:\" is 3, "/" is 1); 0 when the
  // path is not one the launcher accepts as a "/T:" base.
  virtual std::size_t RootLength(const std::string& path) const = 0;
  virtual bool GetOwnPath(std::string* path) = 0;
  // False under the Unicode-path condition: the path has no usable ANSI form.
  virtual bool CanOpenAnsiForm(const std::string& path) = 0;
  virtual std::unique_ptr<CArchiveFile> OpenArchive(const std::string& path) = 0;
  virtual bool GetTempBase(std::string* path) = 0;
  // The TEMP folder inside the all-users application data folder (not created here).
  virtual bool GetCommonTempFolder(std::string* path) = 0;
  // The base tried when the temporary folder cannot be used ("c:\temp" on Windows).
  virtual std::string FallbackTempBase() const = 0;
  virtual bool GetCurrentDir(std::string* path) = 0;
  virtual bool SetCurrentDir(const std::string& path) = 0;
  virtual EPathKind GetPathKind(const std::string& path) = 0;
  // An ordinary folder with the default access rights.
  virtual bool MakeDir(const std::string& path) = 0;
  // A folder only the current user (and, on Windows, Administrators and SYSTEM) may write
  // to; created in one step, never an existing one and never through a link.
  virtual ECreateDir CreatePrivateDir(const std::string& path) = 0;
  // A folder shared by all users that only Administrators and SYSTEM may change (Users may
  // read and execute); created in one step, never an existing one.
  virtual ECreateDir CreateSharedDir(const std::string& path) = 0;
  virtual CFolderFacts ExamineFolder(const std::string& path) = 0;
  // Removes the stale folder `folder` when it is a real folder (examined through a handle
  // that does not follow a reparse point) that holds nothing but the file `name`: the file
  // first, then the folder. Nothing is removed anywhere else, and a folder holding anything
  // more is left as it is. True when the folder is gone.
  virtual bool RemoveStaleFolder(const std::string& folder, const std::string& name) = 0;
  virtual bool RemoveDir(const std::string& path) = 0;  // only an empty folder
  virtual bool RemoveFile(const std::string& path) = 0;
  virtual bool QueryFreeSpace(const std::string& folder, std::uint64_t* bytes) = 0;
  // A symbolic link to a file.
  virtual bool CreateFileLink(const std::string& link, const std::string& target) = 0;
  // Removes the items in the given order once the last started engine has ended (Windows:
  // at the next restart). Removes them at once when no engine was started.
  virtual void ScheduleRemoval(const std::vector<std::string>& paths) = 0;

  // --- Memory -----------------------------------------------------------------------------
  // A buffer of `size` bytes, or nullptr when it cannot be had.
  virtual std::unique_ptr<unsigned char[]> Allocate(std::uint64_t size) {
    // One byte more, so that an empty buffer is a real allocation too.
    if (!FitsInAddressSpace(0, size, SIZE_MAX)) return nullptr;
    return std::unique_ptr<unsigned char[]>(
        new (std::nothrow) unsigned char[static_cast<std::size_t>(size) + 1]);
  }

  // --- Engine -----------------------------------------------------------------------------
  // The string form (S-1-...) of the security identifier of the process token's user.
  virtual bool GetUserSid(std::string* sid) = 0;
  virtual EStartResult StartProcess(const CEngineCommand& command,
                                    std::unique_ptr<CEngineProcess>* process) = 0;

  // --- User -------------------------------------------------------------------------------
  virtual void ShowDebugBox(const std::string& caption, const std::string& text) = 0;
  virtual void ShowErrorBox(const std::string& caption, const std::string& text) = 0;
  virtual void Pause(unsigned milliseconds) = 0;
};

}  // namespace vgsetup
