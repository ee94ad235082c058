#!/usr/bin/env bash
# Cross-builds minizip's zip reader (unzip.c, ioapi.c) as a static library for Windows with
# MinGW-w64 from Debian's minizip source package, against the zlib of Debian's
# libz-mingw-w64-dev, once, and caches the result outside the work tree.
#
#   scripts/build-minizip-mingw.sh i686-w64-mingw32|x86_64-w64-mingw32
#
# Prints the install prefix on its last line: lib/libminizip.a, include/minizip/*.h.
# The cache key holds Debian's version, the triplet and the options.
set -euo pipefail
triplet=${1:?usage: build-minizip-mingw.sh TRIPLET}
case "$triplet" in i686-w64-mingw32|x86_64-w64-mingw32) ;; *) echo "unknown triplet $triplet" >&2; exit 2;; esac
# shellcheck source=scripts/lib/debian-source.sh
. "$(dirname "$0")/lib/debian-source.sh"

[ -f "/usr/$triplet/include/zlib.h" ] || { echo "build-minizip-mingw: zlib for $triplet missing (install libz-mingw-w64-dev)" >&2; exit 1; }
cflags=(-O2 -DNDEBUG -DNOUNCRYPT)
cache_root=${VG_CACHE_DIR:-$HOME/.cache/vellagard}
hash=$(printf '%s\n' "${cflags[@]}" | sha1sum | cut -c1-10)
version=$(vg_debian_version libminizip-dev)
prefix="$cache_root/minizip-$version-$triplet-$hash"

# One build at a time per cache entry: a second run (another checkout, a parallel
# stage) waits here and then finds the finished build.
mkdir -p "$cache_root"
exec 9>"$cache_root/minizip-$triplet.lock"
flock 9

if [ -f "$prefix/.complete" ]; then
  echo "$prefix"
  exit 0
fi

echo "build-minizip-mingw: building minizip $version for $triplet into $prefix" >&2
src="$cache_root/src-minizip"
vg_debian_source minizip "$src"

build="$cache_root/build-minizip-$triplet-$hash"
rm -rf "$build" "$prefix"
mkdir -p "$build" "$prefix/lib" "$prefix/include/minizip"
for name in unzip ioapi; do
  "$triplet-gcc" "${cflags[@]}" -c "$src/$name.c" -o "$build/$name.o"
done
"$triplet-ar" rcs "$prefix/lib/libminizip.a" "$build/unzip.o" "$build/ioapi.o"
cp "$src"/{unzip.h,ioapi.h} "$prefix/include/minizip/"
touch "$prefix/.complete"
rm -rf "$build"
echo "$prefix"
