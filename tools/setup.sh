#!/usr/bin/env bash
# Installs what the build needs on a fresh Debian 12 machine (as root), then
# configures and builds everything into build/. Run by the two entry
# scripts; safe to run again, ccache keeps rebuilds short.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."

packages=(cmake g++ make pkg-config ccache juce-modules-source libgtest-dev
          xvfb xauth fonts-dejavu-core zip unzip)
missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
    export DEBIAN_FRONTEND=noninteractive
    apt-get update -qq
    apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

jobs=$(nproc)
cmake -S . -B build -DCMAKE_BUILD_TYPE=Release > build-configure.log 2>&1 || { cat build-configure.log; exit 1; }
rm -f build-configure.log
cmake --build build -j"$jobs"
