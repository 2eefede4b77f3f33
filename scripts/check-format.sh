#!/usr/bin/env bash
# Checks that every C and C++ source of the tree is laid out as .clang-format
# says; prints the places that are not and exits non-zero.  Build trees and
# the 2.x fixture files are not sources.
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
cd "$here"
find . \( -path './build*' -o -path './.git' -o -path '*/fixtures' \) -prune -o \
  -type f \( -name '*.cpp' -o -name '*.h' -o -name '*.c' \) -print0 |
  xargs -0 clang-format --dry-run --Werror
echo "format: every source file follows .clang-format"
