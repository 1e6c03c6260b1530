#!/usr/bin/env bash
# Installs the Debian packages that building and testing need. Does nothing
# when every package is already there.
set -euo pipefail

packages=(
  cmake
  g++
  make
  pkg-config
  clang-format-14
  libgtest-dev
  libgmock-dev
  libbenchmark-dev
  libcli11-dev
  sqlite3
  postgresql
  mariadb-server
  mariadb-client
  time
  qt6-base-dev
  qt6-svg-dev
  libgl-dev
  fonts-dejavu-core
  xvfb
  xauth
  x11-utils
  dbus
  at-spi2-core
  python3-pyatspi
  imagemagick
  libcurl4-openssl-dev
  libcpp-httplib-dev
  zlib1g-dev
  openssl
  libpcre2-dev
  desktop-file-utils
  appstream
  man-db
  dpkg-dev
  file
  libsystemd-dev
  libssl-dev
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

if [ "$(id -u)" -ne 0 ]; then
  if command -v sudo >/dev/null 2>&1; then
    SUDO=sudo
  else
    echo "install-deps: root is needed to install: ${missing[*]}" >&2
    exit 1
  fi
else
  SUDO=
fi

echo "install-deps: installing ${missing[*]}" >&2
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -q
$SUDO apt-get install -y -q --no-install-recommends "${missing[@]}"
