#!/usr/bin/env bash
# Checks the install rules and the Debian package of the build tree given
# as the only argument: an install into a temporary prefix and the unpacked
# package each give a tree from which Rimbal runs; the desktop files are in
# place exactly when the viewer is (and install on their own as the
# component "desktop"); only a live install writes cache files; the package
# states its dependencies, ships no cache file, resolves with apt and
# passes lintian without errors.
set -euo pipefail
build="$(cd "$1" && pwd)"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

fail() { echo "install-check: $*" >&2; exit 1; }

desktop_files=(
  share/applications/dorvex.desktop
  share/applications/dorvex-state.desktop
  share/mime/packages/dorvex.xml
  share/icons/hicolor/scalable/apps/dorvex.svg
  share/icons/hicolor/scalable/mimetypes/application-x-dorvex-state.svg
  share/icons/hicolor/scalable/mimetypes/application-x-dorvex-document.svg
  share/dbus-1/services/org.xbsoftware.Dorvex.service
)

# Installs the build into prefix $2 with DESTDIR $1 (may be empty) and
# further cmake --install options.
install_into() {
  local destdir="$1" prefix="$2"
  shift 2
  DESTDIR="$destdir" cmake --install "$build" --prefix "$prefix" "$@" >"$work/install.log" 2>&1 ||
    { cat "$work/install.log"; fail "cmake --install $* failed"; }
}

# Runs Rimbal from the tree below $1 on a new database.
check_rimbal() {
  local bin="$1/bin/Rimbal" db="$work/check-$RANDOM.db"
  [ -x "$bin" ] || fail "no Rimbal in $1"
  "$bin" --create "$db" "create table t(a); insert into t values(42)" >/dev/null 2>&1 ||
    fail "Rimbal from $1 cannot create a database"
  [ "$("$bin" --query-one "$db" "select a from t" 2>/dev/null)" = 42 ] ||
    fail "Rimbal from $1 gives a wrong answer"
}

# Checks that every desktop file is below $1 and the service starts $2.
check_desktop_files() {
  for f in "${desktop_files[@]}"; do [ -f "$1/$f" ] || fail "missing $1/$f"; done
  grep -qx "Exec=$2 --automation" "$1/share/dbus-1/services/org.xbsoftware.Dorvex.service" ||
    fail "the D-Bus service does not start $2"
  if command -v desktop-file-validate >/dev/null; then
    desktop-file-validate "$1/share/applications/dorvex.desktop" \
      "$1/share/applications/dorvex-state.desktop" || fail "desktop entries do not validate"
  fi
}

# Checks that no desktop file is below $1.
check_no_desktop_files() {
  for f in "${desktop_files[@]}"; do [ ! -e "$1/$f" ] || fail "$1/$f without the viewer"; done
}

# A live install into a prefix: files in place, caches refreshed.
prefix="$work/prefix dir"
install_into "" "$prefix"
check_rimbal "$prefix"
viewer=no
if [ -x "$prefix/bin/Dorvex" ]; then viewer=yes; fi
desktop_prefix="$prefix"
if [ "$viewer" = no ]; then
  check_no_desktop_files "$prefix"
  desktop_prefix="$work/desktop prefix"
  install_into "" "$desktop_prefix" --component desktop
fi
check_desktop_files "$desktop_prefix" "$desktop_prefix/bin/Dorvex"
if command -v update-mime-database >/dev/null; then
  [ -f "$desktop_prefix/share/mime/mime.cache" ] || fail "a live install did not refresh the MIME cache"
fi

# A staged install (DESTDIR) writes no cache.
install_into "$work/stage" /opt/xb
install_into "$work/stage" /opt/xb --component desktop
check_desktop_files "$work/stage/opt/xb" /opt/xb/bin/Dorvex
[ -z "$(find "$work/stage" -name '*.cache')" ] || fail "a staged install wrote cache files"

# The Debian package.
(cd "$work" && cpack --config "$build/CPackConfig.cmake" -B "$work/pkg" >"$work/cpack.log" 2>&1) ||
  { cat "$work/cpack.log"; fail "cpack failed"; }
deb="$(ls "$work"/pkg/*.deb)"
dpkg-deb --info "$deb" >"$work/info"
depends="$(grep '^ Depends:' "$work/info")" || fail "the package has no dependencies"
dpkg-deb -c "$deb" | awk '{print $6}' >"$work/contents"
expected=(bin/Rimbal bin/RimbalRows)
if [ "$viewer" = yes ]; then expected+=(bin/Dorvex "${desktop_files[@]}"); fi
for f in "${expected[@]}"; do
  grep -qx "./usr/$f" "$work/contents" || fail "the package lacks /usr/$f"
done
if grep -E '\.cache$|/mime/(globs2?|magic|aliases|subclasses|types|icons|generic-icons|treemagic|XMLnamespaces|version)$|/mime/application/' \
    "$work/contents"; then
  fail "the package ships cache files"
fi
dpkg-deb -x "$deb" "$work/unpacked"
# Every library a packaged program needs comes from a dependency.
needed="$(for f in "$work"/unpacked/usr/bin/*; do objdump -p "$f" | awk '/NEEDED/ {print $2}'; done)"
for pair in libsqlite3.so.0:libsqlite3-0 libcurl.so.4:libcurl4 libQt6Widgets.so.6:libqt6widgets6 \
    libQt6DBus.so.6:libqt6dbus6 libstdc++.so.6:libstdc++6; do
  if grep -qx "${pair%%:*}" <<<"$needed"; then
    grep -q "${pair#*:}" <<<"$depends" || fail "the package does not depend on ${pair#*:}: $depends"
  fi
done
grep -qx libsqlite3.so.0 <<<"$needed" || fail "no packaged program needs libsqlite3"
check_rimbal "$work/unpacked/usr"
if [ "$viewer" = yes ]; then
  check_desktop_files "$work/unpacked/usr" /usr/bin/Dorvex
else
  check_no_desktop_files "$work/unpacked/usr"
fi

# apt resolves the package's dependencies (simulated: nothing is installed).
if command -v apt-get >/dev/null; then
  apt-get install -s "$deb" >"$work/apt" 2>&1 || { cat "$work/apt"; fail "apt cannot install the package"; }
fi

if command -v lintian >/dev/null; then
  lintian --tag-display-limit 0 "$deb" >"$work/lintian" 2>&1 || true
  cat "$work/lintian"
  if grep -q '^E:' "$work/lintian"; then fail "lintian reports errors"; fi
fi
echo "install-check: all good ($(basename "$deb"), viewer: $viewer)"
