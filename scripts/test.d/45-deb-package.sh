#!/usr/bin/env bash
# The Debian package: builds it (target `package`), checks its control fields, its file
# list (owners, modes, stripped programs, nothing of the launcher or the tests) and
# lintian's verdict; runs the programs from an unpacked tree (dpkg-deb -x); installs it
# with dpkg -i, converts the samples with /usr/bin/vellagard and compares the result
# with the build tree's own, starts /usr/bin/vellagard-converter on a private Xvfb
# display; then removes and purges it and checks that none of its files are left.
# Installing needs root (CI runs as root on a throwaway machine); elsewhere it goes
# through sudo. VG_BUILD_DIR names another build folder.
set -euo pipefail
cd "$(dirname "$0")/../.."
build=${VG_BUILD_DIR:-build}
fail() { echo "45-deb-package: $*" >&2; exit 1; }
SUDO=""; [ "$(id -u)" -eq 0 ] || SUDO="sudo"

[ -f "$build/CMakeCache.txt" ] || fail "$build is not configured; build the project first (scripts/build.sh)"
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:[A-Z]*=//p' "$build/CMakeCache.txt")
arch=$(dpkg --print-architecture)
deb="$build/package/vellagard_${version}_${arch}.deb"
rm -f "$deb"
cmake --build "$build" --target package >"$build/package-build.log" 2>&1 ||
  { cat "$build/package-build.log" >&2; fail "cmake --build $build --target package failed"; }
[ -f "$deb" ] || fail "the package build did not write $deb"
echo "    built $deb"

work=$(mktemp -d)
installed_here=0
. scripts/lib/xvfb.sh
cleanup() {
  stop_xvfb
  # A failed run must not leave the package on the machine.
  if [ "$installed_here" = 1 ]; then $SUDO dpkg --purge vellagard >/dev/null 2>&1 || true; fi
  rm -rf "$work"
}
trap cleanup EXIT

# dpkg waits for no one: another apt-get on the machine makes it fail at once on its
# lock, so a lock failure is retried for a while.
dpkg_locked() {
  local out
  for _ in $(seq 1 60); do
    if out=$($SUDO dpkg "$@" 2>&1); then return 0; fi
    if ! grep -q 'lock' <<<"$out"; then echo "$out" >&2; return 1; fi
    sleep 5
  done
  echo "$out" >&2
  return 1
}

# --- control fields
field() { dpkg-deb -f "$deb" "$1"; }
[ "$(field Package)" = vellagard ] || fail "Package is '$(field Package)'"
[ "$(field Version)" = "$version" ] || fail "Version is '$(field Version)', the project's is $version"
[ "$(field Architecture)" = "$arch" ] || fail "Architecture is '$(field Architecture)'"
depends=$(field Depends)
# Computed by dpkg-shlibdeps from the programs: the C library and the window toolkit.
for lib in libc6 'libstdc\+\+6' 'libwxgtk3\.2'; do
  grep -Eq "(^|, )${lib}[^,]* \(>= " <<<"$depends" || fail "Depends lacks $lib: $depends"
done
echo "    Depends: $depends"

# --- file list: exactly what a user needs, owned by root, modes 0755 and 0644
dpkg-deb -c "$deb" >"$work/contents"
awk '{print $6}' "$work/contents" | sed 's|^\./|/|; s|/$||' | grep -v '^$' | sort >"$work/paths"
expected=(
  /usr/bin/vellagard /usr/bin/vellagard-converter
  /usr/share/vellagard/template.html /usr/share/vellagard/vgi.js
  /usr/share/applications/vellagard-converter.desktop
  /usr/share/man/man1/vellagard.1.gz /usr/share/man/man1/vellagard-converter.1.gz
  /usr/share/doc/vellagard/copyright /usr/share/doc/vellagard/changelog.gz
  /usr/share/lintian/overrides/vellagard
)
for size in 16 24 32 48 64 128 256; do
  expected+=("/usr/share/icons/hicolor/${size}x${size}/apps/vellagard-converter.png")
done
for p in "${expected[@]}"; do
  grep -qxF "$p" "$work/paths" || fail "the package lacks $p"
done
# Nothing else but the folders that hold them.
while read -r p; do
  printf '%s\n' "${expected[@]}" | grep -qxF "$p" && continue
  printf '%s\n' "${expected[@]}" | grep -q "^$p/" && continue
  fail "the package holds $p, which it should not"
done <"$work/paths"
while read -r mode owner _ _ _ path _; do
  [ "$owner" = root/root ] || fail "$path is owned by $owner"
  case "$mode:$path" in
    drwxr-xr-x:*) ;;
    -rwxr-xr-x:./usr/bin/*) ;;
    -rw-r--r--:./usr/share/*) ;;
    *) fail "$path has mode $mode" ;;
  esac
done <"$work/contents"

# --- the programs from an unpacked tree: they find their files in ../share/vellagard
dpkg-deb -x "$deb" "$work/unpacked"
for exe in vellagard vellagard-converter; do
  if readelf -S "$work/unpacked/usr/bin/$exe" | grep -Eq '\.(symtab|debug_info)'; then
    fail "/usr/bin/$exe is not stripped"
  fi
done
gzip -t "$work/unpacked/usr/share/man/man1/"*.gz "$work/unpacked/usr/share/doc/vellagard/changelog.gz"
# The manual page names every command and every option that --help lists.
manual=$(zcat "$work/unpacked/usr/share/man/man1/vellagard.1.gz" | sed 's/\\-/-/g')
for cmd in "" convert list protect unprotect; do
  help=$("$build/bin/vellagard" $cmd --help)
  for opt in $cmd $(grep -oE '^ +(-[a-z],)?--[a-z-]+' <<<"$help" | sed 's/.*,//; s/^ *//'); do
    grep -qF -- "$opt" <<<"$manual" || fail "vellagard(1) does not describe ${cmd:+$cmd }$opt"
  done
done
samples=(samples/*)
"$build/bin/vellagard" convert -y -o "$work/from-build" "${samples[@]}" >/dev/null
"$work/unpacked/usr/bin/vellagard" convert -y -o "$work/from-unpacked" "${samples[@]}" >/dev/null
diff -r "$work/from-build" "$work/from-unpacked" >/dev/null ||
  fail "the unpacked vellagard writes other files than the build tree's"
# Without the viewer files the error names both places it looked in.
mv "$work/unpacked/usr/share/vellagard" "$work/moved-away"
status=0
"$work/unpacked/usr/bin/vellagard" convert -y -o "$work/nowhere" "${samples[0]}" 2>"$work/err" || status=$?
[ "$status" = 1 ] || fail "without its files, convert exited $status"
if ! grep -qF "$work/unpacked/usr/bin" "$work/err" || ! grep -qF "$work/unpacked/usr/share/vellagard" "$work/err"; then
  fail "the missing-files error does not name both places: $(cat "$work/err")"
fi
echo "    unpacked tree: converts like the build tree; names both places without its files"

# --- lintian: no errors; warnings are shown
if ! command -v lintian >/dev/null; then fail "lintian is missing (bash scripts/install-deps.sh)"; fi
status=0
lintian --fail-on error --display-info "$deb" >"$work/lintian" 2>&1 || status=$?
sed 's/^/    lintian: /' "$work/lintian"
[ "$status" = 0 ] || fail "lintian reports errors"

# --- installed with dpkg
if dpkg-query -W -f='${Status}' vellagard 2>/dev/null | grep -q 'ok installed'; then
  fail "a vellagard package is installed already; remove it first (dpkg -r vellagard)"
fi
installed_here=1
dpkg_locked -i "$deb" >/dev/null || fail "dpkg -i $deb failed"
dpkg -L vellagard | sort >"$work/owned"
[ "$(command -v vellagard)" = /usr/bin/vellagard ] || fail "vellagard on PATH is $(command -v vellagard)"
vellagard --version | grep -qxF "vellagard $version" || fail "vellagard --version: $(vellagard --version)"
/usr/bin/vellagard convert -y -o "$work/from-installed" "${samples[@]}" >/dev/null
diff -r "$work/from-build" "$work/from-installed" >/dev/null ||
  fail "the installed vellagard writes other files than the build tree's"
cmp -s "$work/from-installed/vgi.js" /usr/share/vellagard/vgi.js || fail "vgi.js is not the installed one"
# A page and a protected image file per sample, under the names the image list gives.
/usr/bin/vellagard list "${samples[@]}" | tail -n +2 >"$work/list"
[ "$(wc -l <"$work/list")" = "${#samples[@]}" ] || fail "vellagard list lists $(wc -l <"$work/list") images"
while IFS=$'\t' read -r _ file _ _ _ protected; do
  [ -s "$work/from-installed/${file%.*}.html" ] || fail "no page for $file"
  [ -s "$work/from-installed/$protected" ] || fail "no protected image file $protected for $file"
done <"$work/list"
/usr/bin/vellagard-converter --help | grep -q '^Usage: vellagard-converter' || fail "vellagard-converter --help"

# The desktop program starts from /usr/bin and shows its window.
mkdir -p "$work/home"
start_xvfb "$work"
env HOME="$work/home" XDG_CONFIG_HOME="$work/home/.config" NO_AT_BRIDGE=1 GDK_BACKEND=x11 \
  /usr/bin/vellagard-converter >"$work/converter.log" 2>&1 &
converter=$!
shown=0
for _ in $(seq 1 100); do
  if xdotool search --onlyvisible --name '^Vellagard Web Converter$' >/dev/null 2>&1; then shown=1; break; fi
  kill -0 "$converter" 2>/dev/null || break
  sleep 0.2
done
kill "$converter" 2>/dev/null || true
wait "$converter" 2>/dev/null || true
[ "$shown" = 1 ] || { cat "$work/converter.log" >&2; fail "the installed vellagard-converter showed no window"; }
stop_xvfb
echo "    installed: /usr/bin/vellagard converts the samples like the build tree; the window opens"

# --- removed and purged: nothing of the package is left
dpkg_locked -r vellagard >/dev/null || fail "dpkg -r vellagard failed"
dpkg_locked --purge vellagard >/dev/null || fail "dpkg --purge vellagard failed"
installed_here=0
dpkg-query -W -f='${Status}' vellagard 2>/dev/null | grep -Eq 'ok installed|config-files' &&
  fail "vellagard is still installed: $(dpkg-query -W -f='${Status}' vellagard)"
while read -r p; do
  # Shared folders such as /usr/bin stay; what only the package brought must go.
  if [ -e "$p" ] && ! [ -d "$p" ]; then fail "$p is left after purge"; fi
done <"$work/owned"
for d in /usr/share/vellagard /usr/share/doc/vellagard; do
  [ ! -e "$d" ] || fail "$d is left after purge"
done
echo "    removed and purged: nothing left"
