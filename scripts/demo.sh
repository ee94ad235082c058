#!/usr/bin/env bash
# Installs what is missing, builds, and converts the bundled sample images into a demo
# site in demo-site/: a page per image (Targeted link style) and a slideshow page.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
bash scripts/build.sh >/dev/null
out=demo-site
vellagard=build/bin/vellagard

"$vellagard" convert --yes --verbose -o "$out" --style link --border 4 --background 1F2A44 samples
"$vellagard" convert --yes -o "$out" --style slideshow --delay 1500 --border 4 --background 1F2A44 samples >/dev/null

# A plain index so the demo opens on a list of the pages.
{
  echo '<!DOCTYPE html><html><head><meta charset="utf-8"><title>Vellagard demo</title></head><body>'
  echo '<h1>Vellagard demo site</h1><ul>'
  for page in "$out"/*.html; do
    name=$(basename "$page")
    [ "$name" = index.html ] && continue
    echo "<li><a href=\"$name\">$name</a></li>"
  done
  echo '</ul></body></html>'
} > "$out/index.html"

echo
echo "Wrote $(find "$out" -mindepth 1 -maxdepth 1 | wc -l) files into $out/:"
ls -l "$out"
echo
echo "To view it, serve the folder on this machine and open the address in a browser:"
echo "  (cd $out && python3 -m http.server 8000 --bind 127.0.0.1)   # then http://127.0.0.1:8000/"
