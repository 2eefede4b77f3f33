#!/usr/bin/env bash
# Installs what is missing, builds, and runs the console program on the
# bundled sample database.
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
cd "$here"
bash scripts/setup.sh
bash scripts/build.sh build -DCMAKE_BUILD_TYPE=RelWithDebInfo
echo "built:"
find build -maxdepth 2 -type f -perm -u+x \( -name Rimbal -o -name Dorvex \) | sort
