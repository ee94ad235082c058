#!/usr/bin/env bash
# Formatting and lint: C++ against .clang-format, shellcheck, .editorconfig's basics.
set -euo pipefail
cd "$(dirname "$0")/../.."
bash scripts/check-style.sh
