#!/usr/bin/env bash
# Installs, from Debian's packages, whatever the builds, the tests, the
# benchmarks and the screenshots need and the machine lacks. Quick when
# everything is present.
set -euo pipefail

packages=(
  # compilers and build
  g++ cmake make pkg-config clang libclang-rt-dev
  # tests and benchmarks
  googletest libgtest-dev libgmock-dev libbenchmark-dev curl time openssl python3
  # Windows build and its tests
  g++-mingw-w64-x86-64-posix wine wine64 xvfb x11-utils xdotool
  # Linux build's libraries
  libcurl4-openssl-dev libpcre2-dev libgtk-3-dev libssl-dev
  # screenshots with readable Chinese text
  fonts-wqy-microhei imagemagick
)

missing=()
for p in "${packages[@]}"; do
  status=$(dpkg-query -W -f='${Status}' "$p" 2>/dev/null || true)
  [[ "$status" == "install ok installed" ]] || missing+=("$p")
done

if ((${#missing[@]})); then
  echo "setup: installing ${missing[*]}"
  sudo=""
  [[ $(id -u) -eq 0 ]] || sudo="sudo"
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
