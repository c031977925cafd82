#!/usr/bin/env bash
# Installs what a fresh Debian machine lacks to build and test the installer.
# Idempotent: when every package is present it does nothing at all.
# Extra package names given as arguments are installed too (the benchmarks'
# tools, which the build and the tests do not need).
set -euo pipefail

packages=(
  g++-mingw-w64-x86-64-posix mingw-w64-tools libz-mingw-w64-dev lzma-dev
  wine64 xvfb xauth x11-apps imagemagick python3-pytest openssl
  cmake ninja-build googletest unicode-data rapidjson-dev
  clang-16 libclang-rt-16-dev llvm-16 zlib1g-dev libssl-dev libpixman-1-dev libcairo2-dev
  "$@"
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done

if ((${#missing[@]})); then
  echo "bootstrap: installing ${missing[*]}"
  sudo_cmd=()
  [ "$(id -u)" -eq 0 ] || sudo_cmd=(sudo)
  "${sudo_cmd[@]}" apt-get update -q
  DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -q --no-install-recommends "${missing[@]}"
fi
