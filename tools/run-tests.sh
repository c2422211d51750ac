#!/usr/bin/env bash
# Builds everything and runs the whole test suite (windows go to a virtual X
# server), the DAW test in Ardour among it.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."
bash tools/setup.sh
# The DAW test (tools/daw/daw-test.sh) drives Debian's Ardour, each export
# under gdb.
missing=()
for p in ardour gdb; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
    export DEBIAN_FRONTEND=noninteractive
    apt-get update -qq
    apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
cd build
xvfb-run -a ctest --output-on-failure -j"$(nproc)"
