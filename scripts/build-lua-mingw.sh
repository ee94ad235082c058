#!/usr/bin/env bash
# Cross-builds the Lua 5.3 library "lua5.3.dll" (with its import library) for Windows with
# MinGW-w64 from Debian's lua5.3 source package, once, and caches the result outside the
# work tree.
#
#   scripts/build-lua-mingw.sh i686-w64-mingw32|x86_64-w64-mingw32
#
# Prints the install prefix on its last line: bin/lua5.3.dll, lib/liblua5.3.dll.a,
# include/*.h. A cached build is reused when Debian's version, the triplet and the options
# match; the key of the cache folder includes all three.
set -euo pipefail
triplet=${1:?usage: build-lua-mingw.sh TRIPLET}
case "$triplet" in i686-w64-mingw32|x86_64-w64-mingw32) ;; *) echo "unknown triplet $triplet" >&2; exit 2;; esac
# shellcheck source=scripts/lib/debian-source.sh
. "$(dirname "$0")/lib/debian-source.sh"

cflags=(-O2 -DNDEBUG -DLUA_BUILD_AS_DLL -DLUA_COMPAT_5_2)
ldflags=(-shared -static-libgcc -s)
cache_root=${VG_CACHE_DIR:-$HOME/.cache/vellagard}
hash=$(printf '%s\n' "${cflags[@]}" "${ldflags[@]}" | sha1sum | cut -c1-10)
version=$(vg_debian_version liblua5.3-dev)
prefix="$cache_root/lua5.3-$version-$triplet-$hash"

# One build at a time per cache entry: a second run (another checkout, a parallel
# stage) waits here and then finds the finished build.
mkdir -p "$cache_root"
exec 9>"$cache_root/lua5.3-$triplet.lock"
flock 9

if [ -f "$prefix/.complete" ]; then
  echo "$prefix"
  exit 0
fi

echo "build-lua-mingw: building Lua $version for $triplet into $prefix" >&2
src="$cache_root/src-lua5.3"
vg_debian_source lua5.3 "$src"

core=(lapi lcode lctype ldebug ldo ldump lfunc lgc llex lmem lobject lopcodes lparser lstate
      lstring ltable ltm lundump lvm lzio
      lauxlib lbaselib lbitlib lcorolib ldblib liolib lmathlib loslib lstrlib ltablib lutf8lib
      loadlib linit)
build="$cache_root/build-lua5.3-$triplet-$hash"
rm -rf "$build" "$prefix"
mkdir -p "$build" "$prefix/bin" "$prefix/lib" "$prefix/include"
objects=()
for name in "${core[@]}"; do
  "$triplet-gcc" "${cflags[@]}" -c "$src/src/$name.c" -o "$build/$name.o"
  objects+=("$build/$name.o")
done
"$triplet-gcc" "${ldflags[@]}" -o "$build/lua5.3.dll" "${objects[@]}" \
  -Wl,--out-implib,"$build/liblua5.3.dll.a"
cp "$build/lua5.3.dll" "$prefix/bin/"
cp "$build/liblua5.3.dll.a" "$prefix/lib/"
cp "$src"/src/{lua.h,luaconf.h,lualib.h,lauxlib.h,lua.hpp} "$prefix/include/"
touch "$prefix/.complete"
rm -rf "$build"
echo "$prefix"
