#include "script_api.h"

#include <windows.h>
#include <objbase.h>
#include <shlobj.h>
#include <shobjidl.h>

#include <stdexcept>

#include "archive_rules.h"
#include "lua_library.h"

namespace vgengine {

namespace {

// The engine runs one script at a time on one thread.
EngineContext* g_context = nullptr;

// Failures inside the functions below are thrown as ScriptError and turned into a Lua
// error by Wrap once every C++ object of the call is gone, as Lua's errors jump over C++
// frames.
struct ScriptError : std::runtime_error {
  using std::runtime_error::runtime_error;
};

std::string Narrow(const std::wstring& text) { return WideToUtf8(text); }

std::string SystemError(DWORD code) {
  wchar_t* text = nullptr;
  FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, code, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
  std::wstring message = text ? text : L"";
  if (text) LocalFree(text);
  while (!message.empty() && (message.back() == L'\n' || message.back() == L'\r' ||
                              message.back() == L' ' || message.back() == L'.')) {
    message.pop_back();
  }
  if (message.empty()) message = L"error " + std::to_wstring(code);
  return Narrow(message);
}

std::string Text(lua_State* L, int index, const char* what) {
  if (lua_type(L, index) != LUA_TSTRING && lua_type(L, index) != LUA_TNUMBER) {
    throw ScriptError(std::string("argument ") + std::to_string(index) + " (" + what +
                      ") must be a string");
  }
  std::size_t n = 0;
  const char* s = lua_tolstring(L, index, &n);
  return std::string(s, n);
}

std::wstring Path(lua_State* L, int index) {
  const std::string text = Text(L, index, "path");
  const std::wstring wide = Utf8ToWide(text);
  if (wide.empty()) throw ScriptError("argument " + std::to_string(index) + " is not a UTF-8 path");
  return wide;
}

bool OptionalFlag(lua_State* L, int index) { return lua_toboolean(L, index) != 0; }

void PushText(lua_State* L, const std::wstring& text) {
  const std::string s = Narrow(text);
  lua_pushlstring(L, s.data(), s.size());
}

// What `path` is: 0 nothing, 1 a file, 2 a folder.
int Kind(const std::wstring& path) {
  const DWORD a = GetFileAttributesW(path.c_str());
  if (a == INVALID_FILE_ATTRIBUTES) return 0;
  return (a & FILE_ATTRIBUTE_DIRECTORY) ? 2 : 1;
}

std::wstring TempBeside(const std::wstring& path) {
  return path + L".vgnew" + std::to_wstring(GetCurrentProcessId());
}

// Puts a completed temporary file in place of `path`.
void Commit(const std::wstring& temp, const std::wstring& path) {
  if (!MoveFileExW(temp.c_str(), path.c_str(),
                   MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    const DWORD code = GetLastError();
    DeleteFileW(temp.c_str());
    throw ScriptError("cannot write " + Narrow(path) + ": " + SystemError(code));
  }
}

class OutFile {
 public:
  explicit OutFile(const std::wstring& path) : m_path(path), m_temp(TempBeside(path)) {
    m_file = CreateFileW(m_temp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                         FILE_ATTRIBUTE_NORMAL, nullptr);
    if (m_file == INVALID_HANDLE_VALUE) {
      throw ScriptError("cannot write " + Narrow(path) + ": " + SystemError(GetLastError()));
    }
  }
  ~OutFile() {
    if (m_file != INVALID_HANDLE_VALUE) {
      CloseHandle(m_file);
      DeleteFileW(m_temp.c_str());
    }
  }
  bool Write(const char* data, std::size_t size) {
    DWORD written = 0;
    if (!WriteFile(m_file, data, static_cast<DWORD>(size), &written, nullptr) || written != size) {
      m_error = GetLastError();
      return false;
    }
    return true;
  }
  void Finish() {
    if (m_error) throw ScriptError("cannot write " + Narrow(m_path) + ": " + SystemError(m_error));
    const BOOL flushed = FlushFileBuffers(m_file);
    const DWORD code = GetLastError();
    CloseHandle(m_file);
    m_file = INVALID_HANDLE_VALUE;
    if (!flushed) {
      DeleteFileW(m_temp.c_str());
      throw ScriptError("cannot write " + Narrow(m_path) + ": " + SystemError(code));
    }
    Commit(m_temp, m_path);
  }

 private:
  std::wstring m_path, m_temp;
  HANDLE m_file = INVALID_HANDLE_VALUE;
  DWORD m_error = 0;
};

HKEY RootOf(const std::wstring& key, std::wstring* subKey) {
  const std::size_t slash = key.find(L'\\');
  const std::wstring root = key.substr(0, slash);
  *subKey = slash == std::wstring::npos ? std::wstring() : key.substr(slash + 1);
  if (subKey->empty())
    throw ScriptError("registry key " + Narrow(key) + " names no key below its root");
  if (root == L"HKLM" || root == L"HKEY_LOCAL_MACHINE") return HKEY_LOCAL_MACHINE;
  if (root == L"HKCU" || root == L"HKEY_CURRENT_USER") return HKEY_CURRENT_USER;
  throw ScriptError("registry key " + Narrow(key) + " must begin with HKLM\\ or HKCU\\");
}

// --- the functions of the `setup` table -------------------------------------------------

int Folder(lua_State* L) {
  const std::string name = Text(L, 1, "folder name");
  if (name == "Temp") {
    wchar_t buf[MAX_PATH + 1];
    const DWORD n = GetTempPathW(MAX_PATH + 1, buf);
    if (n == 0 || n > MAX_PATH) throw ScriptError("no temporary folder");
    std::wstring path(buf, n);
    if (path.size() > 3 && path.back() == L'\\') path.pop_back();
    PushText(L, path);
    return 1;
  }
  int id = -1;
  if (name == "ProgramFiles") id = CSIDL_PROGRAM_FILES;
  else if (name == "CommonPrograms") id = CSIDL_COMMON_PROGRAMS;
  else if (name == "Programs") id = CSIDL_PROGRAMS;
  else if (name == "CommonAppData") id = CSIDL_COMMON_APPDATA;
  else throw ScriptError("unknown folder " + name);
  wchar_t buf[MAX_PATH];
  if (FAILED(SHGetFolderPathW(nullptr, id | CSIDL_FLAG_CREATE, nullptr, SHGFP_TYPE_CURRENT, buf))) {
    throw ScriptError("cannot find the folder " + name);
  }
  PushText(L, buf);
  return 1;
}

int Entries(lua_State* L) {
  if (!g_context->archive) throw ScriptError("there is no setup data when uninstalling");
  const auto& entries = g_context->archive->Entries();
  lua_createtable(L, static_cast<int>(entries.size()), 0);
  int i = 0;
  for (const ArchiveEntry& e : entries) {
    lua_createtable(L, 0, 3);
    lua_pushlstring(L, e.name.data(), e.name.size());
    lua_setfield(L, -2, "name");
    lua_pushinteger(L, static_cast<lua_Integer>(e.size));
    lua_setfield(L, -2, "size");
    lua_pushboolean(L, e.folder);
    lua_setfield(L, -2, "folder");
    lua_rawseti(L, -2, ++i);
  }
  return 1;
}

// extract(entry, destination [, label]): writes one file of the setup data; advances the
// progress window by its bytes when label is given. Returns false when the user cancelled.
int Extract(lua_State* L) {
  if (!g_context->archive) throw ScriptError("there is no setup data when uninstalling");
  const std::string name = Text(L, 1, "entry");
  const std::wstring target = Path(L, 2);
  const bool withProgress = lua_type(L, 3) == LUA_TSTRING;
  const std::wstring label = withProgress ? Utf8ToWide(Text(L, 3, "label")) : std::wstring();
  const double base = static_cast<double>(lua_tointegerx(L, 4, nullptr));
  const double total = static_cast<double>(lua_tointegerx(L, 5, nullptr));
  OutFile out(target);
  std::wstring error;
  double done = base;
  bool cancelled = false;
  const bool ok = g_context->archive->Read(
      name,
      [&](const char* data, std::size_t size) {
        if (!out.Write(data, size)) return false;
        done += static_cast<double>(size);
        if (withProgress && !g_context->ui->Progress(done, total, label)) {
          cancelled = true;
          return false;
        }
        return true;
      },
      &error);
  if (cancelled) {
    lua_pushboolean(L, 0);
    return 1;
  }
  if (!ok && !error.empty()) throw ScriptError(Narrow(error));
  out.Finish();
  lua_pushboolean(L, 1);
  return 1;
}

int ReadEntry(lua_State* L) {
  if (!g_context->archive) throw ScriptError("there is no setup data when uninstalling");
  const std::string name = Text(L, 1, "entry");
  std::string data;
  std::wstring error;
  const bool ok = g_context->archive->Read(
      name,
      [&](const char* p, std::size_t n) {
        if (data.size() + n > kMaxScriptSize) return false;
        data.append(p, n);
        return true;
      },
      &error);
  if (!ok) throw ScriptError(error.empty() ? name + " is larger than 1 MiB" : Narrow(error));
  lua_pushlstring(L, data.data(), data.size());
  return 1;
}

int Exists(lua_State* L) {
  const int kind = Kind(Path(L, 1));
  if (kind == 0) lua_pushnil(L);
  else lua_pushstring(L, kind == 1 ? "file" : "folder");
  return 1;
}

int FileSize(lua_State* L) {
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (!GetFileAttributesExW(Path(L, 1).c_str(), GetFileExInfoStandard, &data)) {
    lua_pushnil(L);
    return 1;
  }
  lua_pushinteger(L,
                  static_cast<lua_Integer>((static_cast<std::uint64_t>(data.nFileSizeHigh) << 32) |
                                           data.nFileSizeLow));
  return 1;
}

// make_dirs(path): creates the folder and any missing parents; returns the folders it
// created, outermost first.
int MakeDirs(lua_State* L) {
  const std::wstring path = Path(L, 1);
  std::size_t start = 0;
  if (path.size() >= 3 && path[1] == L':' && path[2] == L'\\') {
    start = 3;
  } else if (path.compare(0, 2, L"\\\\") == 0) {
    const std::size_t server = path.find(L'\\', 2);
    const std::size_t share = server == std::wstring::npos ? server : path.find(L'\\', server + 1);
    if (share == std::wstring::npos) throw ScriptError("not a folder path: " + Narrow(path));
    start = share + 1;
  } else {
    throw ScriptError("not a full folder path: " + Narrow(path));
  }
  std::vector<std::wstring> created;
  while (start <= path.size()) {
    std::size_t slash = path.find(L'\\', start);
    if (slash == std::wstring::npos) slash = path.size();
    const std::wstring prefix = path.substr(0, slash);
    if (slash > start) {
      const int kind = Kind(prefix);
      if (kind == 1)
        throw ScriptError("cannot make the folder " + Narrow(path) + ": " + Narrow(prefix) +
                          " is a file");
      if (kind == 0) {
        if (!CreateDirectoryW(prefix.c_str(), nullptr)) {
          const DWORD code = GetLastError();
          for (auto it = created.rbegin(); it != created.rend(); ++it)
            RemoveDirectoryW(it->c_str());
          throw ScriptError("cannot make the folder " + Narrow(prefix) + ": " + SystemError(code));
        }
        created.push_back(prefix);
      }
    }
    start = slash + 1;
  }
  lua_createtable(L, static_cast<int>(created.size()), 0);
  for (std::size_t i = 0; i < created.size(); ++i) {
    PushText(L, created[i]);
    lua_rawseti(L, -2, static_cast<lua_Integer>(i + 1));
  }
  return 1;
}

int Result(lua_State* L, bool ok, const std::wstring& what) {
  if (ok) {
    lua_pushboolean(L, 1);
    return 1;
  }
  const std::string message = "cannot " + Narrow(what) + ": " + SystemError(GetLastError());
  lua_pushnil(L);
  lua_pushlstring(L, message.data(), message.size());
  return 2;
}

int RemoveFile(lua_State* L) {
  const std::wstring path = Path(L, 1);
  if (Kind(path) == 0) {
    lua_pushboolean(L, 1);  // already gone
    return 1;
  }
  SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
  return Result(L, DeleteFileW(path.c_str()) != 0, L"remove " + path);
}

int RemoveDir(lua_State* L) {
  const std::wstring path = Path(L, 1);
  if (Kind(path) == 0) {
    lua_pushboolean(L, 1);
    return 1;
  }
  return Result(L, RemoveDirectoryW(path.c_str()) != 0, L"remove the folder " + path);
}

int ApiMoveFile(lua_State* L) {
  const std::wstring from = Path(L, 1), to = Path(L, 2);
  return Result(L, MoveFileExW(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING) != 0,
                L"move " + from + L" to " + to);
}

int ApiCopyFile(lua_State* L) {
  const std::wstring from = Path(L, 1), to = Path(L, 2);
  const std::wstring temp = TempBeside(to);
  if (!CopyFileW(from.c_str(), temp.c_str(), FALSE)) {
    const DWORD code = GetLastError();
    DeleteFileW(temp.c_str());
    throw ScriptError("cannot copy " + Narrow(from) + " to " + Narrow(to) + ": " +
                      SystemError(code));
  }
  Commit(temp, to);
  return 0;
}

int WriteTextFile(lua_State* L) {
  const std::wstring path = Path(L, 1);
  const std::string text = Text(L, 2, "text");
  OutFile out(path);
  out.Write(text.data(), text.size());
  out.Finish();
  return 0;
}

int ReadTextFile(lua_State* L) {
  const std::wstring path = Path(L, 1);
  HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return Result(L, false, L"read " + path);
  std::string data;
  char buf[65536];
  DWORD got = 0;
  bool ok = true;
  while ((ok = ReadFile(file, buf, sizeof buf, &got, nullptr) != 0) && got > 0) {
    if (data.size() + got > kMaxScriptSize) {
      CloseHandle(file);
      throw ScriptError(Narrow(path) + " is larger than 1 MiB");
    }
    data.append(buf, got);
  }
  CloseHandle(file);
  if (!ok) return Result(L, false, L"read " + path);
  lua_pushlstring(L, data.data(), data.size());
  return 1;
}

// shortcut(link, target, {arguments=, folder=, icon=, description=})
int Shortcut(lua_State* L) {
  const std::wstring link = Path(L, 1), target = Path(L, 2);
  std::wstring arguments, folder, icon, description;
  if (lua_type(L, 3) == LUA_TTABLE) {
    const char* fields[] = {"arguments", "folder", "icon", "description"};
    std::wstring* values[] = {&arguments, &folder, &icon, &description};
    for (int i = 0; i < 4; ++i) {
      lua_getfield(L, 3, fields[i]);
      if (lua_type(L, -1) == LUA_TSTRING) *values[i] = Utf8ToWide(lua_tolstring(L, -1, nullptr));
      lua_settop(L, -2);
    }
  }
  IShellLinkW* shell = nullptr;
  HRESULT hr = CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                reinterpret_cast<void**>(&shell));
  if (FAILED(hr))
    throw ScriptError("cannot make shortcuts here (error " + std::to_string(hr) + ")");
  shell->SetPath(target.c_str());
  if (!arguments.empty()) shell->SetArguments(arguments.c_str());
  if (!folder.empty()) shell->SetWorkingDirectory(folder.c_str());
  if (!icon.empty()) shell->SetIconLocation(icon.c_str(), 0);
  if (!description.empty()) shell->SetDescription(description.c_str());
  IPersistFile* file = nullptr;
  hr = shell->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file));
  const std::wstring temp = link + L".vgnew.lnk";
  if (SUCCEEDED(hr)) {
    hr = file->Save(temp.c_str(), TRUE);
    file->Release();
  }
  shell->Release();
  if (FAILED(hr)) {
    DeleteFileW(temp.c_str());
    throw ScriptError("cannot write the shortcut " + Narrow(link) + " (error " +
                      std::to_string(hr) + ")");
  }
  Commit(temp, link);
  return 0;
}

// reg_set(key, name, value): a string gives REG_SZ, an integer REG_DWORD.
int RegSet(lua_State* L) {
  std::wstring subKey;
  const std::wstring key = Utf8ToWide(Text(L, 1, "key"));
  HKEY root = RootOf(key, &subKey);
  const std::wstring name = Utf8ToWide(Text(L, 2, "value name"));
  HKEY handle = nullptr;
  LSTATUS status = RegCreateKeyExW(root, subKey.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr,
                                   &handle, nullptr);
  if (status != ERROR_SUCCESS) {
    throw ScriptError("cannot write the registry key " + Narrow(key) + ": " + SystemError(status));
  }
  if (lua_isinteger(L, 3)) {
    const lua_Integer v = lua_tointegerx(L, 3, nullptr);
    if (v < 0 || v > 0xFFFFFFFFll) {
      RegCloseKey(handle);
      throw ScriptError("registry number out of range");
    }
    const DWORD value = static_cast<DWORD>(v);
    status = RegSetValueExW(handle, name.c_str(), 0, REG_DWORD,
                            reinterpret_cast<const BYTE*>(&value), sizeof value);
  } else {
    if (lua_type(L, 3) != LUA_TSTRING) {
      RegCloseKey(handle);
      throw ScriptError("a registry value must be a string or an integer");
    }
    const std::wstring value = Utf8ToWide(lua_tolstring(L, 3, nullptr));
    status = RegSetValueExW(handle, name.c_str(), 0, REG_SZ,
                            reinterpret_cast<const BYTE*>(value.c_str()),
                            static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
  }
  RegCloseKey(handle);
  if (status != ERROR_SUCCESS) {
    throw ScriptError("cannot write " + Narrow(name) + " in " + Narrow(key) + ": " +
                      SystemError(status));
  }
  return 0;
}

int RegGet(lua_State* L) {
  std::wstring subKey;
  const std::wstring key = Utf8ToWide(Text(L, 1, "key"));
  HKEY root = RootOf(key, &subKey);
  const std::wstring name = Utf8ToWide(Text(L, 2, "value name"));
  HKEY handle = nullptr;
  if (RegOpenKeyExW(root, subKey.c_str(), 0, KEY_QUERY_VALUE, &handle) != ERROR_SUCCESS) {
    lua_pushnil(L);
    return 1;
  }
  DWORD type = 0, size = 0;
  std::vector<BYTE> data;
  LSTATUS status = RegQueryValueExW(handle, name.c_str(), nullptr, &type, nullptr, &size);
  if (status == ERROR_SUCCESS && size <= 65536) {
    data.resize(size + sizeof(wchar_t));
    status = RegQueryValueExW(handle, name.c_str(), nullptr, &type, data.data(), &size);
  }
  RegCloseKey(handle);
  if (status != ERROR_SUCCESS || data.empty()) {
    lua_pushnil(L);
  } else if (type == REG_DWORD && size == sizeof(DWORD)) {
    DWORD v;
    memcpy(&v, data.data(), sizeof v);
    lua_pushinteger(L, v);
  } else if (type == REG_SZ || type == REG_EXPAND_SZ) {
    std::wstring text(reinterpret_cast<const wchar_t*>(data.data()), size / sizeof(wchar_t));
    while (!text.empty() && text.back() == L'\0') text.pop_back();
    PushText(L, text);
  } else {
    lua_pushnil(L);
  }
  return 1;
}

int ApiRegDeleteKey(lua_State* L) {
  std::wstring subKey;
  const std::wstring key = Utf8ToWide(Text(L, 1, "key"));
  HKEY root = RootOf(key, &subKey);
  const LSTATUS status = RegDeleteKeyW(root, subKey.c_str());
  if (status == ERROR_SUCCESS || status == ERROR_FILE_NOT_FOUND) {
    lua_pushboolean(L, 1);
    return 1;
  }
  SetLastError(static_cast<DWORD>(status));
  return Result(L, false, L"remove the registry key " + key);
}

// progress(done, total, text): false once the user has cancelled.
int Progress(lua_State* L) {
  const double done = static_cast<double>(lua_tointegerx(L, 1, nullptr));
  const double total = static_cast<double>(lua_tointegerx(L, 2, nullptr));
  const std::wstring text = Utf8ToWide(Text(L, 3, "text"));
  lua_pushboolean(L, g_context->ui->Progress(done, total, text));
  return 1;
}

int ProgressClose(lua_State*) {
  g_context->ui->CloseProgress();
  return 0;
}

// message(text [, "info"|"error"|"question" [, silent_answer]])
int Message(lua_State* L) {
  const std::wstring text = Utf8ToWide(Text(L, 1, "text"));
  const std::string kind = lua_type(L, 2) == LUA_TSTRING ? Text(L, 2, "kind") : "info";
  MessageKind k = MessageKind::Info;
  if (kind == "error") k = MessageKind::Error;
  else if (kind == "question") k = MessageKind::Question;
  else if (kind != "info") throw ScriptError("unknown message kind " + kind);
  const bool silentAnswer = lua_type(L, 3) == LUA_TNONE ? true : OptionalFlag(L, 3);
  lua_pushboolean(L, g_context->ui->Message(text, k, silentAnswer));
  return 1;
}

int Log(lua_State* L) {
  g_context->ui->Log(Utf8ToWide(Text(L, 1, "text")));
  return 0;
}

int SetCaption(lua_State* L) {
  g_context->ui->SetCaption(Utf8ToWide(Text(L, 1, "caption")));
  return 0;
}

// remove_after_exit(path): a file or an empty folder that is in use while the engine runs
// (the uninstaller and its Lua library); removed, in the order given, once it has ended.
int RemoveAfterExit(lua_State* L) {
  std::wstring path = Path(L, 1);
  while (path.size() > 3 && path.back() == L'\\') path.pop_back();
  if (path.find(L'"') != std::wstring::npos)
    throw ScriptError("a path may not hold a double quote");
  g_context->removeAfterExit.push_back(path);
  return 0;
}

template <int (*F)(lua_State*)>
int Wrap(lua_State* L) {
  int results = 0;
  bool failed = false;
  try {
    results = F(L);
  } catch (const std::exception& e) {
    lua_pushstring(L, e.what());
    failed = true;
  }
  if (failed) return lua_error(L);
  return results;
}

int Traceback(lua_State* L) {
  const char* message = lua_tolstring(L, 1, nullptr);
  luaL_traceback(L, L, message ? message : "(an error without a message)", 1);
  return 1;
}

void SetText(lua_State* L, const char* field, const std::wstring& value) {
  PushText(L, value);
  lua_setfield(L, -2, field);
}

}  // namespace

int RunScript(EngineContext& context, const std::string& script, const std::string& chunkName,
              std::wstring* error) {
  g_context = &context;
  lua_State* L = luaL_newstate();
  if (!L) {
    *error = L"not enough memory to start the script";
    return -1;
  }
  const struct {
    const char* name;
    lua_CFunction open;
  } libraries[] = {{"_G", luaopen_base},
                   {"table", luaopen_table},
                   {"string", luaopen_string},
                   {"math", luaopen_math},
                   {"utf8", luaopen_utf8}};
  for (const auto& lib : libraries) {
    luaL_requiref(L, lib.name, lib.open, 1);
    lua_settop(L, -2);
  }
  // No dofile, loadfile or require: scripts reach files only through `setup`, with
  // Unicode paths.
  for (const char* name : {"dofile", "loadfile", "require"}) {
    lua_pushnil(L);
    lua_setglobal(L, name);
  }
  const luaL_Reg functions[] = {{"folder", Wrap<Folder>},
                                {"entries", Wrap<Entries>},
                                {"extract", Wrap<Extract>},
                                {"read_entry", Wrap<ReadEntry>},
                                {"exists", Wrap<Exists>},
                                {"file_size", Wrap<FileSize>},
                                {"make_dirs", Wrap<MakeDirs>},
                                {"remove_file", Wrap<RemoveFile>},
                                {"remove_dir", Wrap<RemoveDir>},
                                {"move_file", Wrap<ApiMoveFile>},
                                {"copy_file", Wrap<ApiCopyFile>},
                                {"write_file", Wrap<WriteTextFile>},
                                {"read_file", Wrap<ReadTextFile>},
                                {"shortcut", Wrap<Shortcut>},
                                {"reg_set", Wrap<RegSet>},
                                {"reg_get", Wrap<RegGet>},
                                {"reg_delete_key", Wrap<ApiRegDeleteKey>},
                                {"progress", Wrap<Progress>},
                                {"progress_close", Wrap<ProgressClose>},
                                {"message", Wrap<Message>},
                                {"log", Wrap<Log>},
                                {"set_caption", Wrap<SetCaption>},
                                {"remove_after_exit", Wrap<RemoveAfterExit>},
                                {nullptr, nullptr}};
  lua_createtable(L, 0, 40);
  luaL_setfuncs(L, functions, 0);
  const CommandLine& cl = context.commandLine;
  lua_pushboolean(L, cl.silent);
  lua_setfield(L, -2, "silent");
  if (!cl.targetFolder.empty()) SetText(L, "target_folder", cl.targetFolder);
  SetText(L, "engine", context.enginePath);
  SetText(L, "engine_folder", context.engineFolder);
  SetText(L, "lua_library", context.luaPath);
  SetText(L, "log_file", context.ui->LogPath());
  lua_pushstring(L, context.archive ? "install" : "uninstall");
  lua_setfield(L, -2, "mode");
  lua_createtable(L, static_cast<int>(cl.args.size()), 0);
  for (std::size_t i = 0; i < cl.args.size(); ++i) {
    PushText(L, cl.args[i]);
    lua_rawseti(L, -2, static_cast<lua_Integer>(i + 1));
  }
  lua_setfield(L, -2, "args");
  lua_setglobal(L, "setup");

  lua_pushcclosure(L, Traceback, 0);
  int code = 0;
  const std::string chunk = "=" + chunkName;
  if (luaL_loadbufferx(L, script.data(), script.size(), chunk.c_str(), "t") != LUA_OK ||
      lua_pcallk(L, 0, 1, 1, 0, nullptr) != LUA_OK) {
    const char* message = lua_tolstring(L, -1, nullptr);
    *error = Utf8ToWide(message ? message : "unknown error");
    if (error->empty()) *error = L"an error whose message is not UTF-8";
    code = -1;
  } else if (lua_isinteger(L, -1)) {
    const lua_Integer v = lua_tointegerx(L, -1, nullptr);
    code = v < 0 || v > 255 ? 7 : static_cast<int>(v);
  } else if (lua_type(L, -1) != LUA_TNIL) {
    *error = L"the script returned something other than an exit code";
    code = -1;
  }
  lua_close(L);
  g_context = nullptr;
  return code;
}

}  // namespace vgengine
