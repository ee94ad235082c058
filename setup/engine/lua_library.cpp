#define VG_LUA_LIBRARY_IMPL
#include "lua_library.h"

#include <windows.h>

namespace vgengine {

LuaLibrary g_lua;

bool LoadLuaLibrary(const std::wstring& path, std::wstring* error) {
  // A full path: the loader takes this file and no other, wherever the search path points.
  HMODULE module = LoadLibraryExW(path.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
  if (!module) {
    const DWORD code = GetLastError();
    *error = L"Cannot load the Lua library " + path +
             (code == ERROR_FILE_NOT_FOUND || code == ERROR_PATH_NOT_FOUND
                  ? L": the file is missing."
                  : L": it is damaged or not made for this kind of Windows (error " +
                        std::to_wstring(code) + L").");
    return false;
  }
  LuaLibrary lib;
  std::wstring missing;
#define VG_LUA_RESOLVE(name)                                   \
  lib.name = reinterpret_cast<decltype(lib.name)>(             \
      reinterpret_cast<void*>(GetProcAddress(module, #name))); \
  if (!lib.name) missing += (missing.empty() ? L"" : L", ") + std::wstring(L"" #name);
  VG_LUA_FUNCTIONS(VG_LUA_RESOLVE)
#undef VG_LUA_RESOLVE
  if (!missing.empty()) {
    *error = L"The Lua library " + path + L" lacks " + missing + L"; it is not Lua 5.3.";
    FreeLibrary(module);
    return false;
  }
  g_lua = lib;
  return true;
}

}  // namespace vgengine
