#ifndef UNICODE
#define UNICODE
#endif
#ifndef _UNICODE
#define _UNICODE
#endif
#ifndef _WIN32_WINNT
#define _WIN32_WINNT 0x0601
#endif
#include "platform/win32_platform.h"

// windows.h first: the other system headers build on it.
#include <windows.h>

#include <aclapi.h>
#include <sddl.h>
#include <shellapi.h>
#include <shlobj.h>

#include <cstdint>
#include <cstring>
#include <cwchar>
#include <new>

namespace vgsetup {

namespace {

constexpr DWORD kPathRoomW = MAX_PATH;  // 260, the room of the launcher's path fields
constexpr DWORD kLoadLibrarySearchSystem32 = 0x00000800;

std::wstring Wide(const std::string& utf8) {
  if (utf8.empty()) return std::wstring();
  const int n =
      MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
  if (n <= 0) return std::wstring();
  std::wstring w(static_cast<std::size_t>(n), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), &w[0], n);
  return w;
}

std::string Utf8(const wchar_t* wide, int length = -1) {
  if (!wide || length == 0) return std::string();
  const int n = WideCharToMultiByte(CP_UTF8, 0, wide, length, nullptr, 0, nullptr, nullptr);
  if (n <= 0) return std::string();
  std::string s(static_cast<std::size_t>(n), '\0');
  WideCharToMultiByte(CP_UTF8, 0, wide, length, &s[0], n, nullptr, nullptr);
  if (length < 0 && !s.empty() && s.back() == '\0') s.pop_back();
  return s;
}

// The ANSI (thread code page) form of a path, or empty text when the path has none.
//
// WideCharToMultiByte with flags 0 does not turn every character outside the code page
// into '?': it maps many of them best-fit to a similar character ("\u0101" to 'a', the
// fraction slash to '/', the full-width reverse solidus to '\\'), so the result can name
// another, existing file or folder. The conversion is therefore asked to map nothing
// best-fit and to report any character it had to replace; such a path has no ANSI form.
std::string Ansi(const std::string& utf8) {
  const std::wstring w = Wide(utf8);
  if (w.empty()) return std::string();
  DWORD flags = WC_NO_BEST_FIT_CHARS;
  BOOL replaced = FALSE;
  BOOL* replacedOut = &replaced;
  int n =
      WideCharToMultiByte(CP_THREAD_ACP, flags, w.c_str(), -1, nullptr, 0, nullptr, replacedOut);
  if (n <= 0 && GetLastError() == ERROR_INVALID_PARAMETER) {
    // A code page that takes neither (UTF-8 as the system's ANSI code page): it holds every
    // character, so nothing is replaced.
    flags = 0;
    replacedOut = nullptr;
    n = WideCharToMultiByte(CP_THREAD_ACP, flags, w.c_str(), -1, nullptr, 0, nullptr, nullptr);
  }
  if (n <= 0 || replaced) return std::string();
  std::string a(static_cast<std::size_t>(n), '\0');
  if (WideCharToMultiByte(CP_THREAD_ACP, flags, w.c_str(), -1, &a[0], n, nullptr, replacedOut) !=
          n ||
      replaced) {
    return std::string();
  }
  a.pop_back();  // the terminating zero
  return a;
}

// Administrators or SYSTEM.
bool IsSystemSid(PSID sid) {
  return sid && IsValidSid(sid) &&
         (IsWellKnownSid(sid, WinBuiltinAdministratorsSid) ||
          IsWellKnownSid(sid, WinLocalSystemSid));
}

// Whether an access list gives anyone but Administrators and SYSTEM a right to delete or
// rename the folder or what is in it, or to change its access list or owner. No list at
// all gives everyone everything.
bool OthersMayReplace(const ACL* dacl) {
  if (!dacl) return true;
  constexpr DWORD kReplacing = DELETE | WRITE_DAC | WRITE_OWNER | FILE_DELETE_CHILD | GENERIC_ALL;
  for (DWORD i = 0; i < dacl->AceCount; ++i) {
    void* entry = nullptr;
    if (!GetAce(const_cast<ACL*>(dacl), i, &entry)) return true;
    const auto* header = static_cast<const ACE_HEADER*>(entry);
    if (header->AceFlags & INHERIT_ONLY_ACE) continue;  // for what is made inside, not this
    if (header->AceType == ACCESS_DENIED_ACE_TYPE) continue;
    if (header->AceType != ACCESS_ALLOWED_ACE_TYPE) return true;  // not understood: unsafe
    const auto* allowed = static_cast<const ACCESS_ALLOWED_ACE*>(entry);
    PSID trustee = const_cast<DWORD*>(&allowed->SidStart);
    if ((allowed->Mask & kReplacing) && !IsSystemSid(trustee)) return true;
  }
  return false;
}

// A folder made in one step with the access list `sddl`, protected from inheriting more.
ECreateDir CreateDirWithAccessList(const std::string& path, const std::wstring& sddl) {
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(sddl.c_str(), SDDL_REVISION_1,
                                                            &descriptor, nullptr)) {
    return ECreateDir::kFailed;
  }
  SECURITY_ATTRIBUTES attributes = {sizeof attributes, descriptor, FALSE};
  const BOOL created = CreateDirectoryW(Wide(path).c_str(), &attributes);
  const DWORD error = GetLastError();
  LocalFree(descriptor);
  if (created) return ECreateDir::kCreated;
  return error == ERROR_ALREADY_EXISTS ? ECreateDir::kExists : ECreateDir::kFailed;
}

// What a handle that was opened without following a reparse point stands for.
EPathKind KindOfHandle(HANDLE handle) {
  BY_HANDLE_FILE_INFORMATION info;
  if (!GetFileInformationByHandle(handle, &info)) return EPathKind::kOther;
  if (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) return EPathKind::kLink;
  if (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) return EPathKind::kDirectory;
  return EPathKind::kOther;
}

// GetProcAddress gives a FARPROC; the detour through a plain function pointer type is
// the documented way to convert it without a cast warning.
template <typename Fn>
Fn ProcAs(FARPROC proc) {
  return reinterpret_cast<Fn>(reinterpret_cast<void (*)(void)>(proc));
}

std::wstring SystemDirectory() {
  wchar_t dir[kPathRoomW];
  const UINT n = GetSystemDirectoryW(dir, kPathRoomW);
  if (n == 0 || n >= kPathRoomW) return std::wstring();
  std::wstring s(dir, n);
  if (s.back() != L'\\') s += L'\\';
  return s;
}

class CWin32Archive : public CArchiveFile {
 public:
  explicit CWin32Archive(HANDLE file) : m_hFile(file) {}
  ~CWin32Archive() override { CloseHandle(m_hFile); }

  bool Read(std::uint64_t offset, void* buffer, std::size_t size, std::size_t* got) override {
    *got = 0;
    LARGE_INTEGER position;
    position.QuadPart = static_cast<LONGLONG>(offset);
    if (offset > 0x7FFFFFFFFFFFFFFFull ||
        !SetFilePointerEx(m_hFile, position, nullptr, FILE_BEGIN)) {
      return false;
    }
    auto* out = static_cast<unsigned char*>(buffer);
    while (*got < size) {
      const std::size_t left = size - *got;
      const DWORD chunk = left > (1u << 30) ? (1u << 30) : static_cast<DWORD>(left);
      DWORD n = 0;
      if (!ReadFile(m_hFile, out + *got, chunk, &n, nullptr)) return false;
      if (n == 0) break;  // end of file
      *got += n;
    }
    return true;
  }

  bool GetSize(std::uint64_t* size) override {
    LARGE_INTEGER li;
    if (!GetFileSizeEx(m_hFile, &li) || li.QuadPart < 0) return false;
    *size = static_cast<std::uint64_t>(li.QuadPart);
    return true;
  }

  // Read into memory in one piece, then written in one piece: nothing is created unless
  // every byte could be read.
  EExtract ExtractTo(const std::string& path, const unsigned char* head, std::size_t headSize,
                     std::uint64_t offset, std::uint64_t size) override {
    // The buffer has one byte more than the file, so that an empty file is a real
    // allocation too; on 32-bit Windows that sum must not wrap to a tiny buffer.
    if (!FitsInAddressSpace(headSize, size, SIZE_MAX)) return EExtract::kNoMemory;
    const std::size_t total = headSize + static_cast<std::size_t>(size);
    std::unique_ptr<unsigned char[]> buffer(new (std::nothrow) unsigned char[total + 1]);
    if (!buffer) return EExtract::kNoMemory;
    if (headSize) std::memcpy(buffer.get(), head, headSize);
    std::size_t got = 0;
    if (!Read(offset, buffer.get() + headSize, total - headSize, &got) || got != total - headSize) {
      return EExtract::kReadFailed;
    }
    // Created through the ANSI form of the path, as the engine will open it: a folder the
    // engine could not use fails here already.
    const std::string ansi = Ansi(path);
    if (ansi.empty()) return EExtract::kOpenFailed;
    HFILE file = _lcreat(ansi.c_str(), 0);
    if (file == HFILE_ERROR) return EExtract::kOpenFailed;
    std::size_t done = 0;
    bool ok = true;
    while (done < total) {
      const std::size_t left = total - done;
      const UINT chunk = left > (1u << 30) ? (1u << 30) : static_cast<UINT>(left);
      const UINT written = _lwrite(file, reinterpret_cast<LPCCH>(buffer.get() + done), chunk);
      if (written == static_cast<UINT>(HFILE_ERROR) || written == 0) {
        ok = false;
        break;
      }
      done += written;
    }
    if (_lclose(file) == HFILE_ERROR) ok = false;
    return ok ? EExtract::kWritten : EExtract::kWriteFailed;
  }

 private:
  HANDLE m_hFile;
};

class CWin32Process : public CEngineProcess {
 public:
  explicit CWin32Process(HANDLE process) : m_hProcess(process) {}
  ~CWin32Process() override {
    if (m_hProcess) CloseHandle(m_hProcess);
  }

  // Waits without ever leaving the thread's message queue unserved.
  void Wait() override {
    if (!m_hProcess) return;
    for (;;) {
      const DWORD r = MsgWaitForMultipleObjects(1, &m_hProcess, FALSE, INFINITE, QS_ALLINPUT);
      if (r != WAIT_OBJECT_0 + 1) break;  // ended, or the wait failed
      MSG msg;
      while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
      }
    }
  }

  bool GetExitCode(std::uint32_t* code) override {
    DWORD exitCode = 0;
    if (!m_hProcess || !GetExitCodeProcess(m_hProcess, &exitCode)) return false;
    *code = exitCode;
    return true;
  }

 private:
  HANDLE m_hProcess;
};

}  // namespace

CWin32Platform::~CWin32Platform() { ReleasePreloadedLibraries(); }

bool CWin32Platform::HardenLibrarySearch() {
  typedef BOOL(WINAPI * SetDefaultDllDirectoriesFn)(DWORD);
  typedef BOOL(WINAPI * SetDllDirectoryWFn)(LPCWSTR);
  HMODULE kernel = GetModuleHandleW(L"kernel32.dll");
  if (!kernel) return false;
  auto setDefault =
      ProcAs<SetDefaultDllDirectoriesFn>(GetProcAddress(kernel, "SetDefaultDllDirectories"));
  if (setDefault && setDefault(kLoadLibrarySearchSystem32)) return false;

  // Older systems: take the current directory out of the search order and load the
  // libraries that would otherwise be looked for beside the launcher, by full path.
  auto setDllDirectory = ProcAs<SetDllDirectoryWFn>(GetProcAddress(kernel, "SetDllDirectoryW"));
  if (setDllDirectory) setDllDirectory(L"");
  const std::wstring system = SystemDirectory();
  if (system.empty()) return false;
  for (const wchar_t* name : {L"ntmarta.dll", L"PROPSYS.dll", L"Secur32.dll",
                              L"api-ms-win-downlevel-advapi32-l2-1-0.dll"}) {
    HMODULE module = LoadLibraryW((system + name).c_str());
    if (module) m_vPreloaded.push_back(module);
  }
  return true;
}

void CWin32Platform::ReleasePreloadedLibraries() {
  for (void* module : m_vPreloaded) FreeLibrary(static_cast<HMODULE>(module));
  m_vPreloaded.clear();
}

void CWin32Platform::ShowBusyCursor() { SetCursor(LoadCursorW(nullptr, IDC_WAIT)); }

void CWin32Platform::ReadCommandLine(std::string* text, std::vector<std::string>* argv) {
  // Read in UTF-16, so arguments with characters outside the ANSI code page arrive intact.
  const wchar_t* line = GetCommandLineW();
  text->clear();
  argv->clear();
  int count = 0;
  wchar_t** args = CommandLineToArgvW(line, &count);
  if (args) {
    for (int i = 0; i < count; ++i) argv->push_back(Utf8(args[i]));
    LocalFree(args);
  }
  // The text after the program name, as the C start-up code finds it.
  const wchar_t* p = line;
  if (*p == L'"') {
    ++p;
    while (*p && *p != L'"') ++p;
    if (*p == L'"') ++p;
  } else {
    while (*p && *p != L' ' && *p != L'\t') ++p;
  }
  while (*p == L' ' || *p == L'\t') ++p;
  *text = Utf8(p);
}

std::size_t CWin32Platform::RootLength(const std::string& path) const {
  return path.size() > 2 && path[1] == ':' ? 3 : 0;
}

bool CWin32Platform::GetOwnPath(std::string* path) {
  wchar_t buf[kPathRoomW];
  const DWORD n = GetModuleFileNameW(nullptr, buf, kPathRoomW);
  if (n == 0 || n >= kPathRoomW) return false;  // a cut path would name another file
  *path = Utf8(buf, static_cast<int>(n));
  return true;
}

bool CWin32Platform::CanOpenAnsiForm(const std::string& path) {
  const std::string ansi = Ansi(path);
  if (ansi.empty()) return false;
  HFILE file = _lopen(ansi.c_str(), OF_READ);
  if (file == HFILE_ERROR) return false;
  _lclose(file);
  return true;
}

std::unique_ptr<CArchiveFile> CWin32Platform::OpenArchive(const std::string& path) {
  HANDLE file = CreateFileW(Wide(path).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return nullptr;
  return std::make_unique<CWin32Archive>(file);
}

bool CWin32Platform::GetTempBase(std::string* path) {
  wchar_t buf[kPathRoomW + 1];
  const DWORD n = GetTempPathW(kPathRoomW + 1, buf);
  if (n == 0 || n > kPathRoomW) return false;
  *path = Utf8(buf, static_cast<int>(n));
  return true;
}

bool CWin32Platform::GetCommonTempFolder(std::string* path) {
  wchar_t buf[kPathRoomW];
  if (SHGetFolderPathW(nullptr, CSIDL_COMMON_APPDATA, nullptr, SHGFP_TYPE_CURRENT, buf) != S_OK) {
    return false;
  }
  *path = Utf8(buf) + "\\TEMP";
  return true;
}

bool CWin32Platform::GetCurrentDir(std::string* path) {
  wchar_t buf[kPathRoomW];
  const DWORD n = GetCurrentDirectoryW(kPathRoomW, buf);
  if (n == 0 || n >= kPathRoomW) return false;
  *path = Utf8(buf, static_cast<int>(n));
  return true;
}

bool CWin32Platform::SetCurrentDir(const std::string& path) {
  return SetCurrentDirectoryW(Wide(path).c_str()) != FALSE;
}

EPathKind CWin32Platform::GetPathKind(const std::string& path) {
  const DWORD attributes = GetFileAttributesW(Wide(path).c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) {
    const DWORD error = GetLastError();
    return (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) ? EPathKind::kAbsent
                                                                            : EPathKind::kOther;
  }
  if (attributes & FILE_ATTRIBUTE_REPARSE_POINT) return EPathKind::kLink;  // links, junctions
  if (attributes & FILE_ATTRIBUTE_DIRECTORY) return EPathKind::kDirectory;
  return EPathKind::kOther;
}

bool CWin32Platform::MakeDir(const std::string& path) {
  return CreateDirectoryW(Wide(path).c_str(), nullptr) != FALSE;
}

ECreateDir CWin32Platform::CreatePrivateDir(const std::string& path) {
  // An elevated launcher starts a program from this folder: nobody but Administrators,
  // SYSTEM and the current user may write to it, or another user could plant a library
  // there for the engine to load. The list is protected from inheriting anything else.
  std::string user;
  const std::string owner = GetUserSid(&user) ? user : std::string("OW");
  return CreateDirWithAccessList(
      path, L"D:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;OICI;FA;;;" + Wide(owner) + L")");
}

ECreateDir CWin32Platform::CreateSharedDir(const std::string& path) {
  // Administrators and SYSTEM full control, Users read and execute (0x1200a9).
  return CreateDirWithAccessList(path,
                                 L"D:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;OICI;0x1200a9;;;BU)");
}

CFolderFacts CWin32Platform::ExamineFolder(const std::string& path) {
  CFolderFacts facts;
  // The owner and the access list are read through the same handle whose kind is
  // checked, so they belong to the folder itself, never to what a link points at.
  HANDLE folder =
      CreateFileW(Wide(path).c_str(), READ_CONTROL | FILE_READ_ATTRIBUTES,
                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                  FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
  if (folder == INVALID_HANDLE_VALUE) {
    const DWORD error = GetLastError();
    facts.kind = (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND)
                     ? EPathKind::kAbsent
                     : EPathKind::kOther;
    return facts;
  }
  facts.kind = KindOfHandle(folder);
  facts.bOthersMayReplace = true;
  if (facts.kind == EPathKind::kDirectory) {
    PSID owner = nullptr;
    PACL dacl = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (GetSecurityInfo(folder, SE_FILE_OBJECT,
                        OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION, &owner, nullptr,
                        &dacl, nullptr, &descriptor) == ERROR_SUCCESS) {
      facts.bOwnedBySystem = IsSystemSid(owner);
      facts.bOthersMayReplace = OthersMayReplace(dacl);
      LocalFree(descriptor);
    }
  }
  CloseHandle(folder);
  return facts;
}

bool CWin32Platform::RemoveStaleFolder(const std::string& folder, const std::string& name) {
  const std::wstring path = Wide(folder);
  // Opened without following a reparse point, and held without FILE_SHARE_DELETE: while
  // the handle is open nobody can rename the folder or put anything else in its place, so
  // the file deleted below lies inside the folder checked here. The folder itself is
  // removed through the same handle.
  HANDLE handle = CreateFileW(path.c_str(), DELETE | FILE_READ_ATTRIBUTES,
                              FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                              FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return false;
  bool removed = false;
  if (KindOfHandle(handle) == EPathKind::kDirectory) {
    DeleteFileW((path + L"\\" + Wide(name)).c_str());  // never follows a link it finds
    FILE_DISPOSITION_INFO disposition = {TRUE};        // fails unless the folder is empty
    removed = SetFileInformationByHandle(handle, FileDispositionInfo, &disposition,
                                         sizeof disposition) != FALSE;
  }
  CloseHandle(handle);
  return removed;
}

bool CWin32Platform::RemoveDir(const std::string& path) {
  return RemoveDirectoryW(Wide(path).c_str()) != FALSE;
}

bool CWin32Platform::RemoveFile(const std::string& path) {
  return DeleteFileW(Wide(path).c_str()) != FALSE;
}

bool CWin32Platform::QueryFreeSpace(const std::string& folder, std::uint64_t* bytes) {
  // The root is the first three characters ("C:\"); the product is taken in 64 bits.
  const std::wstring root = Wide(folder).substr(0, 3);
  DWORD sectorsPerCluster = 0, bytesPerSector = 0, freeClusters = 0, totalClusters = 0;
  if (!GetDiskFreeSpaceW(root.c_str(), &sectorsPerCluster, &bytesPerSector, &freeClusters,
                         &totalClusters)) {
    return false;
  }
  *bytes = static_cast<std::uint64_t>(sectorsPerCluster) * bytesPerSector * freeClusters;
  return true;
}

bool CWin32Platform::CreateFileLink(const std::string& link, const std::string& target) {
  return CreateSymbolicLinkW(Wide(link).c_str(), Wide(target).c_str(), 0) != FALSE;
}

void CWin32Platform::ScheduleRemoval(const std::vector<std::string>& paths) {
  for (const std::string& p : paths) {
    MoveFileExW(Wide(p).c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT | MOVEFILE_REPLACE_EXISTING);
  }
}

namespace {

// The string form (S-1-...) of a security identifier, by ConvertSidToStringSidW from the
// system's own Advapi32.dll, loaded by full path.
bool GetUserSidString(PSID user, std::string* sid) {
  typedef BOOL(WINAPI * ConvertSidToStringSidWFn)(PSID, LPWSTR*);
  const std::wstring system = SystemDirectory();
  HMODULE advapi = system.empty() ? nullptr : LoadLibraryW((system + L"Advapi32.dll").c_str());
  if (!advapi) return false;
  bool ok = false;
  auto convert = ProcAs<ConvertSidToStringSidWFn>(GetProcAddress(advapi, "ConvertSidToStringSidW"));
  LPWSTR text = nullptr;
  if (convert && convert(user, &text) && text) {
    *sid = Utf8(text);
    ok = true;
    LocalFree(text);
  }
  FreeLibrary(advapi);
  return ok;
}

}  // namespace

bool CWin32Platform::GetUserSid(std::string* sid) {
  HANDLE token = nullptr;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) return false;
  bool ok = false;
  const DWORD room = 16384;
  void* buffer = LocalAlloc(LPTR, room);
  DWORD needed = 0;
  if (buffer && GetTokenInformation(token, TokenUser, buffer, room, &needed)) {
    ok = GetUserSidString(static_cast<TOKEN_USER*>(buffer)->User.Sid, sid);
  }
  if (buffer) LocalFree(buffer);
  CloseHandle(token);
  return ok;
}

EStartResult CWin32Platform::StartProcess(const CEngineCommand& command,
                                          std::unique_ptr<CEngineProcess>* process) {
  const std::wstring file = Wide(command.strEnginePath);
  const std::wstring parameters = Wide(command.strArguments);
  SHELLEXECUTEINFOW info;
  ZeroMemory(&info, sizeof info);
  info.cbSize = sizeof info;
  info.fMask = SEE_MASK_NOCLOSEPROCESS;
  info.hwnd = nullptr;
  info.lpVerb = L"open";
  info.lpFile = file.c_str();
  info.lpParameters = parameters.c_str();
  info.lpDirectory = nullptr;
  info.nShow = SW_SHOWNORMAL;
  if (!ShellExecuteExW(&info)) {
    return GetLastError() == ERROR_CANCELLED ? EStartResult::kCancelled : EStartResult::kFailed;
  }
  // Without a process handle (the start was handed to a running program) there is nothing
  // to wait for and no exit code; the engine was started all the same, so no retry.
  *process = std::make_unique<CWin32Process>(info.hProcess);
  return EStartResult::kStarted;
}

void CWin32Platform::ShowDebugBox(const std::string& caption, const std::string& text) {
  MessageBoxW(nullptr, Wide(text).c_str(), Wide(caption).c_str(), MB_OK);
}

void CWin32Platform::ShowErrorBox(const std::string& caption, const std::string& text) {
  MessageBoxW(nullptr, Wide(text).c_str(), Wide(caption).c_str(), MB_ICONERROR);
}

void CWin32Platform::Pause(unsigned milliseconds) { ::Sleep(milliseconds); }

}  // namespace vgsetup
