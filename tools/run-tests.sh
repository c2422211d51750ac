#!/usr/bin/env bash
# Builds everything and runs the whole test suite (windows go to a virtual X server).
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."
bash tools/setup.sh
cd build
xvfb-run -a ctest --output-on-failure -j"$(nproc)"
