// The setup launcher's extractor: finds the payload in the launcher's own file, writes the
// setup engine and the Lua library into a fresh temporary folder, starts the engine and
// cleans up after it.
//
// One object lives through all attempts of a launcher run; each attempt (Run) calls the
// steps in order and stops at the first non-zero result. Every step returns a launcher
// result code and, on failure, leaves one fixed English text in m_szError; only the main
// flow shows it. All operating-system calls go through the CLauncherPlatform.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "core/bounded_text.h"
#include "platform/launcher_platform.h"

namespace vgsetup {

// Launcher result codes; also the launcher's exit code. Any other value is the engine's own
// exit code.
enum : int {
  kResultOk = 0,
  kResultCancelled = 5,  // the user declined to let the engine run; no message
  kResultOpenArchive = 50,
  kResultAllocBuffer = 51,
  kResultNoDataSegment = 52,  // also a header that ends before the total size
  kResultNoSetupSize = 53,
  kResultReadPayload = 54,  // memory or read failures for the engine and the Lua library
  kResultWriteFile = 55,    // writing the two files, or starting the engine
  kResultTempFolder = 56,
  kResultDiskSpace = 57,
  kResultNoLuaSize = 58,
};

// The texts of the failures, shown unchanged under "Launcher Error".
namespace text {
constexpr const char* kOpenArchive = "Unable to open archive file";
constexpr const char* kAllocBuffer = "Unable to allocate memory buffer";
constexpr const char* kNoDataSegment = "Could not find data segment";
constexpr const char* kNoMultiSegment = "Could not find multi-segment indicator";
constexpr const char* kNoCompression = "Could not find compression type indicator";
constexpr const char* kNoTotalSize = "Could not find total size indicator";
constexpr const char* kNoSetupSize = "Could not find setup size";
constexpr const char* kAllocMemory = "Failed to alloc memory.";
constexpr const char* kReadEngine = "Failed to read setup engine";
constexpr const char* kOpenEngine = "Unable to open setup file";
constexpr const char* kWriteEngine = "Unable to write to setup file.";
constexpr const char* kReadLua = "Failed to read Lua DLL";
constexpr const char* kOpenLua = "Unable to open Lua DLL file";
constexpr const char* kWriteLua = "Unable to write to Lua file.";
constexpr const char* kNoLuaSize = "Could not find Lua DLL file size";
constexpr const char* kUnicodeMultiSegment =
    "Cannot start a multi-segment setup from a path containing Unicode characters.";
constexpr const char* kNoTempFolder =
    "Could not determine a temp directory name. Try running setup.exe /T:<Path>";
constexpr const char* kDiskSpace = "You must have at least 2MB of free space on your TEMP drive!";
constexpr const char* kStartEngine = "Could not start the setup";
}  // namespace text

constexpr const char* kEngineFileName = "qvsetup.exe";
constexpr const char* kLuaFileName = "lua5.3.dll";
constexpr const char* kTempFolderPrefix = "_qv_kb_temp";
constexpr std::uint64_t kMinimumFreeSpace = 2000000;  // 2 MB in decimal units
// Numbered temporary folders tried before giving up.
constexpr int kMaxTempFolderNumber = 10000;

// Process-wide flags. g_bUnicodePath: the launcher's own path has no usable ANSI form (set by
// LocateDataSegment, never cleared). g_bDebug: the "/~DBG" switch.
extern bool g_bUnicodePath;
extern bool g_bDebug;

// The values the engine is handed besides the launcher's own command line.
struct CHandOffValues {
  std::uint64_t nDataOffset = 0;  // where the setup data begins
  std::string strArchivePath;     // the launcher's file, or a link that stands for it
  std::uint32_t nCompressionType = 0;
  std::uint64_t nTotalSize = 0;
  std::string strUserSid;  // empty when unknown: the argument is left out
};

// The engine's argument string and the same arguments one by one (without the quote
// characters of the string): the launcher's command line `commandLine`, made of the
// elements `commandArgs`, then the hand-off arguments. A command line that leaves no room
// for the hand-off within the 2,048 characters of the string is left out. False when the
// hand-off alone does not fit; the outputs are then left as they were.
bool BuildEngineArguments(const std::string& commandLine,
                          const std::vector<std::string>& commandArgs, const CHandOffValues& values,
                          std::string* text, std::vector<std::string>* arguments);

class CSetupExtractor {
 public:
  explicit CSetupExtractor(CLauncherPlatform& platform);
  virtual ~CSetupExtractor();
  CSetupExtractor(const CSetupExtractor&) = delete;
  CSetupExtractor& operator=(const CSetupExtractor&) = delete;

  // Takes the launcher's command line (the text after the program name) and its arguments
  // (without the program name) as what the engine receives first. A command line of 2,048
  // characters or more is not passed on at all.
  void SetCommandLine(const std::string& text, const std::vector<std::string>& arguments);

  // One attempt: the steps below in order, then CleanUpFiles whatever the result.
  int Run();

  int LocateDataSegment();
  int PrepareTempFolder();
  int ExtractEngine();
  int ExtractLuaLibrary();
  int StartEngine();
  void CleanUpFiles();

  // Creates every missing folder of `path` (an absolute path) and appends a separator to it.
  // False when the path is not absolute, a folder cannot be created, or the separator does
  // not fit. Leaves the current directory changed; the caller restores it.
  bool CreateFolderPath(CPathText& path);

  CLongText m_szError;
  CLongText m_szArguments;
  CPathText m_szTempOverride;
  bool m_bMultiSegment = false;
  bool m_bWait = false;
  bool m_bEngineStarted = false;
  std::uint32_t m_nCompressionType = 0;
  std::uint64_t m_nTotalSize = 0;
  CPathText m_szArchivePath;
  CPathText m_szEnginePath;
  CPathText m_szTempLaunchPath;
  CPathText m_szLuaPath;
  std::unique_ptr<CArchiveFile> m_hArchive;
  std::uint64_t m_nOffset = 0;
  std::uint64_t m_nSetupSize = 0;
  std::uint32_t m_dwExitCode = 0;
  // The launcher's own arguments as separate elements, passed on ahead of the hand-off
  // arguments; empty whenever m_szArguments starts empty.
  std::vector<std::string> m_vArguments;

 private:
  int Fail(int result, const char* text);
  // Reads exactly `size` bytes at `offset`; false when fewer arrive.
  bool ReadExactly(std::uint64_t offset, void* buffer, std::size_t size);
  // Bytes of the launcher's file from `offset` to its end; 0 when unknown or past the end.
  std::uint64_t BytesLeftFrom(std::uint64_t offset);
  // The number search: a fresh numbered folder under `base` (which ends in a separator).
  // Fills `folder` and returns true when one was created and can be made the current directory.
  bool MakeNumberedFolder(const std::string& base, std::string* folder);
  // A base that other users can reach (the all-users TEMP folder, the last fallback) is
  // used only when it is a real folder that only Administrators and SYSTEM control, or one
  // made just now with such an access list. Creates it when it is missing.
  bool UseSharedBase(const std::string& folder);
  // Texts of the failures of one extracted file.
  struct CExtractTexts {
    const char* szRead;
    const char* szOpen;
    const char* szWrite;
  };
  // Writes the `size` bytes at m_nOffset to `path`, the first min(size, 2,000) of them
  // unscrambled when `scrambledHead` is set, and advances m_nOffset by `size` once the file
  // was tried. Memory and read failures return 54 and leave m_nOffset.
  int ExtractPayloadFile(const CPathText& path, std::uint64_t size, bool scrambledHead,
                         const CExtractTexts& texts);
  std::string WithSeparator(std::string path) const;

  CLauncherPlatform& m_platform;
  // The launcher's command line as given; m_szArguments is rebuilt from it on every attempt.
  std::string m_strCommandLine;
};

}  // namespace vgsetup
