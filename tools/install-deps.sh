#!/usr/bin/env bash
# Installs every Debian package that building, running and testing Dorvanta needs.
# Skips the work when everything is present already.
set -euo pipefail

packages=(
  cmake g++ make pkg-config
  qt6-base-dev qt6-base-dev-tools libgl-dev
  libsqlite3-dev sqlite3
  libxxhash-dev
  libpq-dev postgresql
  libjpeg-dev
  googletest libgtest-dev libgmock-dev libbenchmark-dev
  python3 python3-pyftpdlib python3-openssl
  vsftpd openssl
  # the libraries of ProFTPD and Pure-FTPd, which the tests unpack from their packages
  libmemcached11 libmemcachedutil2 libpcre2-posix3 libsodium23 libhiredis0.14
  libssl-dev
  fonts-liberation
  xvfb xauth
  poppler-utils curl
  dpkg-dev file desktop-file-utils
  # tools/fuzz.sh: clang and its libFuzzer runtime
  clang libclang-rt-14-dev
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

SUDO=""
if [ "$(id -u)" -ne 0 ]; then
  SUDO="sudo"
fi
echo "Installing: ${missing[*]}"
$SUDO apt-get update
DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y --no-install-recommends "${missing[@]}"
