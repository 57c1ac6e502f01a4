#!/usr/bin/env bash
# Installs the Debian packages that building and testing Tarnis needs.
# Does nothing when every package is already present; runs apt-get update only
# when something is missing.
set -euo pipefail

packages=(
  build-essential
  cmake
  ninja-build
  pkg-config
  libgtest-dev
  libgmock-dev
  libbenchmark-dev
  nlohmann-json3-dev
  libcli11-dev
  libembree-dev
  libtbb-dev
  libassimp-dev
  libpng-dev
  libopenexr-dev
  libjpeg62-turbo-dev
  clang
  libclang-rt-14-dev
  gettext
  ghostscript
  slurmctld
  slurmd
  slurm-client
  munge
  qt6-base-dev
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

echo "install-deps: installing ${missing[*]}"
sudo=""
if [ "$(id -u)" -ne 0 ]; then sudo="sudo"; fi
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -q
# The farm test starts its own Slurm and munge daemons in a temporary folder;
# the packages' services are not started (or enabled) by installing them.
policy=/usr/sbin/policy-rc.d
if [ ! -e "$policy" ]; then
  printf '#!/bin/sh\nexit 101\n' | $sudo tee "$policy" >/dev/null
  $sudo chmod +x "$policy"
  trap '$sudo rm -f "$policy"' EXIT
fi
$sudo apt-get install -y -q --no-install-recommends "${missing[@]}"
