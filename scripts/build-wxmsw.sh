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
version=$(apt-cache show --no-all-versions libwxgtk3.2-dev 2>/dev/null | sed -n 's/^Version: //p' | head -1)
version=${version:-unknown}
prefix="$cache_root/wxmsw-${version//[:+~]/_}-$triplet-$hash"

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
if [ ! -d "$work/src" ]; then
  # Source package: needs a deb-src entry for the suite this machine uses.
  if ! grep -rqs '^Types:.*deb-src' /etc/apt/sources.list.d/ && ! grep -qs '^deb-src' /etc/apt/sources.list; then
    cat > /etc/apt/sources.list.d/vellagard-src.sources <<SRC
Types: deb-src
URIs: http://deb.debian.org/debian
Suites: bookworm bookworm-updates
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg
SRC
    apt-get update -qq
  fi
  command -v dpkg-source >/dev/null || apt-get install -y -qq dpkg-dev >/dev/null
  rm -rf "$work.tmp" && mkdir -p "$work.tmp"
  (cd "$work.tmp" && apt-get source -qq wxwidgets3.2 >/dev/null)
  dir=$(find "$work.tmp" -maxdepth 1 -mindepth 1 -type d -name 'wxwidgets3.2-*' | head -1)
  mkdir -p "$work" && mv "$dir" "$work/src" && rm -rf "$work.tmp"
fi

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
