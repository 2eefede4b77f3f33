#!/usr/bin/env bash
# Installs whatever the build and the tests need and is not yet installed.
# Safe to run again: packages already present are not touched, and apt is
# only called when something is missing.  Needs root (or sudo) for apt.
set -euo pipefail

packages=(
  build-essential cmake ninja-build clang libclang-rt-14-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  qt6-base-dev qt6-base-dev-tools
  libsqlite3-dev sqlite3 libcurl4-openssl-dev
  dbus dbus-x11 python3 poppler-utils
  clang-format ccache
  desktop-file-utils libglib2.0-bin shared-mime-info lintian dpkg-dev file
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  echo "setup: all packages present"
  exit 0
fi

echo "setup: installing ${missing[*]}"
SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
