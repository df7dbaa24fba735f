#!/usr/bin/env bash
# Installs the Debian packages Linesift needs to build, test and run.
# Idempotent and non-interactive; run as root (or through sudo).
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config
  qt6-base-dev libgl-dev
  libboost-regex-dev libicu-dev libtinyxml2-dev
  zlib1g-dev libbz2-dev liblzma-dev libzstd-dev  # compressed files (gzip, bzip2, xz, zstd)
  libgtest-dev libgmock-dev libbenchmark-dev
  clang-format
  desktop-file-utils dpkg-dev file
  gzip bzip2 xz-utils zstd  # the tests make compressed files with these tools
  clang libclang-rt-dev  # the fuzz targets: clang with its libFuzzer and sanitizer runtimes
)

missing=()
for p in "${packages[@]}"; do
  status=$(dpkg-query -W -f='${Status}' "$p" 2>/dev/null || true)
  [[ "$status" == "install ok installed" ]] || missing+=("$p")
done

if ((${#missing[@]})); then
  SUDO=""
  if [[ $(id -u) -ne 0 ]]; then SUDO="sudo"; fi
  echo "setup: installing ${missing[*]}"
  $SUDO apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
