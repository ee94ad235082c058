#!/usr/bin/env bash
# Installs what is missing, builds, and protects the bundled sample images.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
bash scripts/build.sh >/dev/null
out=demo-site
mkdir -p "$out"
for f in samples/*; do
  name=$(basename "$f")
  build/bin/vellagard protect "$f" "$out/${name%.*}.class"
  echo "wrote $out/${name%.*}.class ($(stat -c %s "$out/${name%.*}.class") bytes) from $f"
done
