#!/usr/bin/env bash
# Installs every Debian and npm package the build, the demo and the tests need.
# Idempotent: when everything is present it only checks and returns.
set -euo pipefail
cd "$(dirname "$0")/.."

PKGS=(
  build-essential cmake ninja-build pkg-config git
  libgtest-dev libgmock-dev libbenchmark-dev libcli11-dev
  clang clang-format libclang-rt-14-dev shellcheck
  imagemagick
  libwxgtk3.2-dev xvfb xauth xdotool x11-apps
  chromium nodejs
  firefox-esr webkit2gtk-driver
  g++-mingw-w64-i686 g++-mingw-w64-x86-64 libz-mingw-w64-dev wine wine64 dpkg-dev lintian
  python3 hyperfine time
)

missing=()
for p in "${PKGS[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done

# npm comes with the nodejs package of NodeSource's builds, and separately with Debian's.
command -v npm >/dev/null 2>&1 || missing+=(npm)

if [ ${#missing[@]} -gt 0 ]; then
  echo "install-deps: installing ${missing[*]}"
  SUDO=""; [ "$(id -u)" -eq 0 ] || SUDO="sudo"
  export DEBIAN_FRONTEND=noninteractive
  $SUDO apt-get update -qq
  $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

# Browser test drivers (pinned by package-lock.json): playwright-core, puppeteer-core and
# selenium-webdriver drive the browsers Debian installs; none of them downloads one.
if [ -f package.json ]; then
  if [ ! -d node_modules ] || [ package-lock.json -nt node_modules/.package-lock.json ]; then
    npm ci --no-audit --no-fund --loglevel=error
  fi
fi
