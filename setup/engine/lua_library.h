// The Lua library, loaded at run time from "lua5.3.dll" beside the engine by its full
// path (never through the library search path), and its functions as this engine uses
// them. Include this header instead of lua.h: after it, the usual API names (lua_settop,
// luaL_checklstring, and the macros built on them) call into the loaded library.
#pragma once

#include <string>

extern "C" {
#include "lauxlib.h"
#include "lua.h"
#include "lualib.h"
}

namespace vgengine {

// clang-format off
#define VG_LUA_FUNCTIONS(X) \
  X(luaL_newstate) X(lua_close) X(luaL_requiref) X(luaopen_base) X(luaopen_table) \
  X(luaopen_string) X(luaopen_math) X(luaopen_utf8) X(luaL_loadbufferx) X(lua_pcallk) \
  X(lua_settop) X(lua_gettop) X(lua_pushcclosure) X(lua_setglobal) X(lua_setfield) \
  X(lua_getfield) X(lua_createtable) X(lua_pushstring) X(lua_pushlstring) X(lua_pushinteger) \
  X(lua_pushboolean) X(lua_pushnil) X(lua_pushvalue) X(lua_tolstring) X(lua_toboolean) \
  X(lua_tointegerx) X(lua_type) X(luaL_checklstring) X(luaL_optlstring) X(luaL_checkinteger) \
  X(luaL_optinteger) X(luaL_checktype) X(luaL_error) X(lua_rawseti) X(lua_isinteger) \
  X(luaL_traceback) X(luaL_setfuncs) X(lua_error) X(luaL_checkstack)
// clang-format on

struct LuaLibrary {
#define VG_LUA_MEMBER(name) decltype(&::name) name = nullptr;
  VG_LUA_FUNCTIONS(VG_LUA_MEMBER)
#undef VG_LUA_MEMBER
};

extern LuaLibrary g_lua;

// Loads the library from `path` and looks up every function; on failure returns false
// and sets `error` to a sentence naming the file and what was missing.
bool LoadLuaLibrary(const std::wstring& path, std::wstring* error);

}  // namespace vgengine

#ifndef VG_LUA_LIBRARY_IMPL
#define luaL_newstate vgengine::g_lua.luaL_newstate
#define lua_close vgengine::g_lua.lua_close
#define luaL_requiref vgengine::g_lua.luaL_requiref
#define luaopen_base vgengine::g_lua.luaopen_base
#define luaopen_table vgengine::g_lua.luaopen_table
#define luaopen_string vgengine::g_lua.luaopen_string
#define luaopen_math vgengine::g_lua.luaopen_math
#define luaopen_utf8 vgengine::g_lua.luaopen_utf8
#define luaL_loadbufferx vgengine::g_lua.luaL_loadbufferx
#define lua_pcallk vgengine::g_lua.lua_pcallk
#define lua_settop vgengine::g_lua.lua_settop
#define lua_gettop vgengine::g_lua.lua_gettop
#define lua_pushcclosure vgengine::g_lua.lua_pushcclosure
#define lua_setglobal vgengine::g_lua.lua_setglobal
#define lua_setfield vgengine::g_lua.lua_setfield
#define lua_getfield vgengine::g_lua.lua_getfield
#define lua_createtable vgengine::g_lua.lua_createtable
#define lua_pushstring vgengine::g_lua.lua_pushstring
#define lua_pushlstring vgengine::g_lua.lua_pushlstring
#define lua_pushinteger vgengine::g_lua.lua_pushinteger
#define lua_pushboolean vgengine::g_lua.lua_pushboolean
#define lua_pushnil vgengine::g_lua.lua_pushnil
#define lua_pushvalue vgengine::g_lua.lua_pushvalue
#define lua_tolstring vgengine::g_lua.lua_tolstring
#define lua_toboolean vgengine::g_lua.lua_toboolean
#define lua_tointegerx vgengine::g_lua.lua_tointegerx
#define lua_type vgengine::g_lua.lua_type
#define luaL_checklstring vgengine::g_lua.luaL_checklstring
#define luaL_optlstring vgengine::g_lua.luaL_optlstring
#define luaL_checkinteger vgengine::g_lua.luaL_checkinteger
#define luaL_optinteger vgengine::g_lua.luaL_optinteger
#define luaL_checktype vgengine::g_lua.luaL_checktype
#define luaL_error vgengine::g_lua.luaL_error
#define lua_rawseti vgengine::g_lua.lua_rawseti
#define lua_isinteger vgengine::g_lua.lua_isinteger
#define luaL_traceback vgengine::g_lua.luaL_traceback
#define luaL_setfuncs vgengine::g_lua.luaL_setfuncs
#define lua_error vgengine::g_lua.lua_error
#define luaL_checkstack vgengine::g_lua.luaL_checkstack
#endif
