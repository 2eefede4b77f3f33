#!/usr/bin/env bash
# Installs what is missing, builds everything and runs every test twice:
# once in the plain build (build/) and once more with AddressSanitizer and
# UndefinedBehaviorSanitizer (build-asan/, clang, with the fuzz targets run
# for a bounded time).  Exits non-zero when any test fails.
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
cd "$here"
bash scripts/setup.sh
bash scripts/check-format.sh

jobs="$(nproc)"
# A test that hangs fails after this many seconds instead of holding up the
# whole run; tests that need longer set their own TIMEOUT.
timeout=600
export QT_QPA_PLATFORM=offscreen

bash scripts/build.sh build -DCMAKE_BUILD_TYPE=RelWithDebInfo
(cd build && ctest --output-on-failure --timeout "$timeout" -j "$jobs" -LE fuzz)

bash scripts/build.sh build-asan -DCMAKE_BUILD_TYPE=Debug \
  -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
  -DXB_SANITIZE=ON -DXB_FUZZ=ON -DXB_BENCH=OFF
export ASAN_OPTIONS="detect_leaks=1:abort_on_error=1"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
(cd build-asan && ctest --output-on-failure --timeout "$timeout" -j "$jobs")
