#!/usr/bin/env bash
# Installs the Debian packages the build needs (only the ones that are missing).
set -euo pipefail
packages=(cmake ninja-build g++ libfmt-dev libcli11-dev libgtest-dev libgmock-dev libbenchmark-dev qt6-base-dev qt6-svg-dev)
missing=()
for p in "${packages[@]}"; do
  dpkg -s "$p" >/dev/null 2>&1 || missing+=("$p")
done
if ((${#missing[@]})); then
  sudo_cmd=()
  [ "$(id -u)" -eq 0 ] || sudo_cmd=(sudo)
  export DEBIAN_FRONTEND=noninteractive
  "${sudo_cmd[@]}" apt-get update -qq
  "${sudo_cmd[@]}" apt-get install -y -qq "${missing[@]}"
fi
