#!/usr/bin/env bash
# Cross-builds a static wxWidgets for Windows (wxMSW) from Debian's wxwidgets3.2 source
# package with MinGW-w64, once, and caches the installed result outside the work tree.
#
#   scripts/build-wxmsw.sh i686-w64-mingw32|x86_64-w64-mingw32
#
# Prints the install prefix on its last line. A cached build is reused when the version,
# the triplet and the options match; the key of the cache folder includes all three.
set -euo pipefail
triplet=${1:?usage: build-wxmsw.sh TRIPLET}
case "$triplet" in i686-w64-mingw32|x86_64-w64-mingw32) ;; *) echo "unknown triplet $triplet" >&2; exit 2;; esac
# shellcheck source=scripts/lib/debian-source.sh
. "$(dirname "$0")/lib/debian-source.sh"

options=(
  --host="$triplet" --disable-shared --enable-unicode --disable-debug --enable-optimise
  --without-libpng --without-libjpeg --without-libtiff --without-zlib --without-expat
  --without-libxpm --without-liblzma --without-opengl --without-regex
  --disable-webview --disable-stc --disable-richtext --disable-propgrid --disable-ribbon
  --disable-aui --disable-xrc --disable-html --disable-mediactrl --disable-sound
  --disable-debugreport --disable-svg --disable-webrequest --disable-secretstore
  --disable-sockets --disable-ipc --disable-fs_inet --disable-protocol --disable-url
  --disable-tests --disable-sys-libs
)
cache_root=${VG_CACHE_DIR:-$HOME/.cache/vellagard}
hash=$(printf '%s\n' "${options[@]}" | sha1sum | cut -c1-10)

# The version comes from Debian's package so the key changes when Debian updates it.
version=$(vg_debian_version libwxgtk3.2-dev)
prefix="$cache_root/wxmsw-$version-$triplet-$hash"

# One build at a time per cache entry: a second run (another checkout, a parallel
# stage) waits here and then finds the finished build.
mkdir -p "$cache_root"
exec 9>"$cache_root/wxmsw-$triplet.lock"
flock 9

if [ -f "$prefix/.complete" ]; then
  echo "$prefix"
  exit 0
fi

echo "build-wxmsw: building wxMSW $version for $triplet into $prefix (about half an hour)" >&2
work="$cache_root/src-wxwidgets3.2"
vg_debian_source wxwidgets3.2 "$work/src"

build="$cache_root/build-wxmsw-$triplet-$hash"
rm -rf "$build" "$prefix"
mkdir -p "$build"
cd "$build"
"$work/src/configure" --prefix="$prefix" "${options[@]}" >configure.log 2>&1 ||
  { tail -30 configure.log >&2; exit 1; }
nice make -j"$(nproc)" >make.log 2>&1 || { tail -40 make.log >&2; exit 1; }
make install >install.log 2>&1 || { tail -20 install.log >&2; exit 1; }
touch "$prefix/.complete"
cd / && rm -rf "$build"
echo "$prefix"
