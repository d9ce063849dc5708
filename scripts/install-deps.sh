#!/usr/bin/env bash
# Installs the build and test dependencies with apt-get when any is missing.
set -euo pipefail
packages=(build-essential cmake ninja-build ccache pkg-config
          libgtest-dev libgmock-dev libbenchmark-dev libcli11-dev nlohmann-json3-dev
          nettle-dev libssl-dev srecord binutils
          clang libclang-rt-14-dev
          qt6-base-dev fonts-dejavu-core xvfb xauth dpkg-dev
          python3 lintian man-db
          g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64 googletest wine64)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  SUDO=""
  [ "$(id -u)" -ne 0 ] && SUDO=sudo
  $SUDO apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
