# shellcheck shell=bash
# Fetches and unpacks a Debian source package once, for the cross-built libraries.
#
#   . scripts/lib/debian-source.sh
#   vg_debian_source PACKAGE DEST     unpacks PACKAGE's source into DEST (kept when present)
#   vg_debian_version BINARY          Debian's version of BINARY, usable in a cache key
#
# Needs a deb-src entry for the suite this machine uses; adds one when there is none.

vg_debian_version() {
  local v
  v=$(apt-cache show --no-all-versions "$1" 2>/dev/null | sed -n 's/^Version: //p' | head -1)
  v=${v:-unknown}
  echo "${v//[:+~]/_}"
}

vg_debian_source() {
  local package=$1 dest=$2
  [ -d "$dest" ] && return 0
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
  rm -rf "$dest.tmp" && mkdir -p "$dest.tmp"
  (cd "$dest.tmp" && apt-get source -qq "$package" >/dev/null)
  local dir
  dir=$(find "$dest.tmp" -maxdepth 1 -mindepth 1 -type d -name "$package-*" | head -1)
  [ -n "$dir" ] || { echo "no source of $package unpacked" >&2; return 1; }
  mkdir -p "$(dirname "$dest")" && mv "$dir" "$dest" && rm -rf "$dest.tmp"
}
