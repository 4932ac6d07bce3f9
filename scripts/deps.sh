#!/usr/bin/env bash
# Installs the Debian 12 packages the project needs, only when missing.
set -euo pipefail
packages=(cmake ninja-build g++ clang libclang-rt-14-dev qt6-base-dev qt6-base-dev-tools
          libgl-dev fonts-dejavu-core fonts-noto-cjk fonts-symbola xvfb xauth python3 ccache
          poppler-utils desktop-file-utils shared-mime-info libglib2.0-bin
          dpkg-dev help2man lintian)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if ((${#missing[@]})); then
  echo "Installing: ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
