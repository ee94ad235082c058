#!/usr/bin/env bash
# Checks the tree's formatting and lint, quickly and without building anything:
#   - C++ sources (*.cpp, *.h) against .clang-format (clang-format 14, Debian 12's), except
#     the files still listed in scripts/style-pending.txt;
#   - every shell script with shellcheck;
#   - every text file against .editorconfig's basics: UTF-8, LF line ends, a final newline,
#     no trailing white space, no tabs (Makefiles excepted).
# Files are those git knows of plus new ones it does not ignore. Prints each problem with
# its file and line, and fails if there is any.
#
#   bash scripts/check-style.sh --fix   formats every C++ source in place instead, deletes
#                                        the pending list, then checks as above.
set -euo pipefail
cd "$(dirname "$0")/.."
clang_format=${CLANG_FORMAT:-clang-format-14}
pending=scripts/style-pending.txt

# The files git knows of (and new ones it does not ignore) that exist in the work tree.
files() {
  local f
  git ls-files --cached --others --exclude-standard -- "$@" | while read -r f; do
    if [ -f "$f" ]; then printf '%s\n' "$f"; fi
  done
}

if [ "${1:-}" = "--fix" ]; then
  files '*.cpp' '*.h' | xargs -r -d '\n' "$clang_format" -i
  rm -f "$pending"
  echo "check-style: formatted $(files '*.cpp' '*.h' | wc -l) C++ files"
elif [ $# -gt 0 ]; then
  echo "usage: bash scripts/check-style.sh [--fix]" >&2
  exit 2
fi

failed=0
fail() { echo "check-style: $*" >&2; failed=1; }

# C++ formatting.
cpp=()
if [ -f "$pending" ]; then
  mapfile -t cpp < <(files '*.cpp' '*.h' | grep -vxF -f <(grep -v '^#' "$pending") || true)
else
  mapfile -t cpp < <(files '*.cpp' '*.h')
fi
if [ ${#cpp[@]} -gt 0 ] && ! "$clang_format" --dry-run -Werror "${cpp[@]}"; then
  fail "C++ formatting differs from .clang-format (see above); 'bash scripts/check-style.sh --fix' formats"
fi

# Shell scripts: every *.sh and the CI entry point.
mapfile -t scripts < <(files '*.sh' .ci/run)
if ! shellcheck -x "${scripts[@]}"; then
  fail "shellcheck found problems (see above)"
fi

# Text files (a file with a NUL byte is binary, as git takes it).
if ! files | python3 -c '
import re, sys
bad = 0
def report(path, line, what):
    global bad
    bad = 1
    print(f"{path}:{line}: {what}" if line else f"{path}: {what}", file=sys.stderr)
for path in sys.stdin.read().splitlines():
    data = open(path, "rb").read()
    if b"\0" in data[:8000]:
        continue
    try:
        text = data.decode("utf-8")
    except UnicodeDecodeError as e:
        report(path, data[:e.start].count(b"\n") + 1, "not UTF-8")
        continue
    tabs_allowed = re.search(r"(^|/)Makefile[^/]*$|\.mk$|\.md$", path)  # Markdown may show a make rule
    for n, line in enumerate(text.split("\n"), 1):
        if line.endswith("\r"):
            report(path, n, "CR LF line end (the tree uses LF)")
        if line.rstrip("\r") != line.rstrip("\r").rstrip(" \t"):
            report(path, n, "trailing white space")
        if "\t" in line and not tabs_allowed:
            report(path, n, "tab (indent with spaces)")
    if text and not text.endswith("\n"):
        report(path, 0, "no newline at the end")
sys.exit(bad)
'; then
  fail "text files break .editorconfig's rules (see above)"
fi

if [ "$failed" -ne 0 ]; then exit 1; fi
echo "check-style: ${#cpp[@]} C++ files formatted, ${#scripts[@]} shell scripts clean, text files clean"
