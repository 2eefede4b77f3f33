#!/usr/bin/env bash
# Configures (once) and builds one build tree.
#   scripts/build.sh DIR [cmake options...]
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
dir="$1"; shift
if [ ! -f "$dir/build.ninja" ]; then
  launcher=()
  if command -v ccache >/dev/null 2>&1; then
    launcher=(-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
  fi
  cmake -S "$here" -B "$dir" -G Ninja "${launcher[@]}" "$@"
fi
cmake --build "$dir" --parallel "$(nproc)"
