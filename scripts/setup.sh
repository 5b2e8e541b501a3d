#!/usr/bin/env bash
# Installs the Debian packages the build and the tests need. Skips apt entirely when
# everything is already there, so repeated runs (and CI) stay fast.
set -euo pipefail
packages=(
  cmake g++ make
  googletest libgtest-dev libbenchmark-dev
  libcli11-dev nlohmann-json3-dev
  pkg-config libftdi1-dev
  qt6-base-dev qt6-base-dev-tools qt6-charts-dev libgl-dev
  xvfb xauth
)
# The libFuzzer targets (fuzz/) need clang: scripts/setup.sh --fuzz adds it.
if [ "${1:-}" = "--fuzz" ]; then
  packages+=(clang libclang-rt-14-dev)
fi
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  SUDO=""
  [ "$(id -u)" -ne 0 ] && SUDO="sudo"
  echo "setup: installing ${missing[*]}"
  $SUDO apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq "${missing[@]}"
fi
