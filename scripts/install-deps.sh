#!/usr/bin/env bash
# Installs the Debian packages that building and testing need. Does nothing
# when every package is already there.
set -euo pipefail

packages=(
  cmake
  ccache
  g++
  make
  pkg-config
  clang-format-14
  libgtest-dev
  libgmock-dev
  libbenchmark-dev
  libcli11-dev
  libtomlplusplus-dev
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
  python3
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
  g++-mingw-w64-x86-64-posix
  wine64
  googletest
  locales
)

# The Windows tests run under these locales, which give Wine its ANSI code
# page (1252, 1251, 932) and its file names' encoding.
locales_needed=(en_US.UTF-8 ru_RU.UTF-8 ja_JP.UTF-8)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

locales_missing=()
if command -v locale >/dev/null 2>&1; then
  available=$(locale -a 2>/dev/null | tr 'A-Z' 'a-z' | sed 's/utf-8/utf8/')
  for l in "${locales_needed[@]}"; do
    normalised=$(echo "$l" | tr 'A-Z' 'a-z' | sed 's/utf-8/utf8/')
    grep -qx "$normalised" <<<"$available" || locales_missing+=("$l")
  done
else
  locales_missing=("${locales_needed[@]}")
fi

if [ ${#missing[@]} -eq 0 ] && [ ${#locales_missing[@]} -eq 0 ]; then
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

if [ ${#missing[@]} -gt 0 ]; then
  echo "install-deps: installing ${missing[*]}" >&2
  export DEBIAN_FRONTEND=noninteractive
  $SUDO apt-get update -q
  $SUDO apt-get install -y -q --no-install-recommends "${missing[@]}"
fi

if [ ${#locales_missing[@]} -gt 0 ]; then
  echo "install-deps: generating the locales ${locales_missing[*]}" >&2
  for l in "${locales_missing[@]}"; do
    $SUDO sed -i "s/^# *\($l UTF-8\)/\1/" /etc/locale.gen
    grep -q "^$l UTF-8" /etc/locale.gen || echo "$l UTF-8" | $SUDO tee -a /etc/locale.gen >/dev/null
  done
  $SUDO locale-gen
fi
