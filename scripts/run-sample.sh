#!/usr/bin/env bash
# Installs what is missing, builds, makes the bundled sample databases when
# they are not there yet (from samples/sample.sql, one of each SQLite
# generation) and runs the console program Rimbal on them.
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
cd "$here"
bash scripts/setup.sh
bash scripts/build.sh build -DCMAKE_BUILD_TYPE=RelWithDebInfo
echo "built:"
find build -maxdepth 2 -type f -perm -u+x \( -name Rimbal -o -name Dorvex \) | sort

rimbal="$here/build/cli/Rimbal"
script="$here/samples/sample.sql"

# Makes the sample database FILE with the Rimbal option CREATE.  The file is
# built under a temporary name and moved into place only when complete, so
# an interrupted run never leaves a half-made sample behind.
make_sample() {
  local create="$1" file="$2"
  [ -f "$file" ] && return 0
  local partial="$file.partial"
  rm -f "$partial" "$partial-journal"
  "$rimbal" "$create" "$partial" "$(cat "$script")"
  mv "$partial" "$file"
  echo "made $file"
}
make_sample --create "$here/samples/sample3.db"
make_sample --create2 "$here/samples/sample2.db"

echo
echo "== Rimbal --query samples/sample3.db (SQLite 3.x)"
"$rimbal" --query "$here/samples/sample3.db" \
  "SELECT name, kind, radius_km, moons FROM planet ORDER BY radius_km DESC"
echo "== Rimbal --query samples/sample2.db (SQLite 2.x)"
"$rimbal" --query "$here/samples/sample2.db" \
  "SELECT planet, moon, radius_km FROM planet_moons ORDER BY planet, moon"
echo "== Rimbal --query-one samples/sample2.db"
"$rimbal" --query-one "$here/samples/sample2.db" "SELECT count(*) FROM moon"

# With a display, the viewer opens both samples, one window each; it keeps
# running after this script ends.
dorvex="$here/build/viewer/ui/Dorvex"
if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
  echo "== Dorvex samples/sample3.db samples/sample2.db"
  nohup "$dorvex" "$here/samples/sample3.db" "$here/samples/sample2.db" >/dev/null 2>&1 &
else
  echo "== no display: start the viewer with"
  echo "   $dorvex samples/sample3.db samples/sample2.db"
fi
