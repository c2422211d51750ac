#!/usr/bin/env bash
# Builds and installs the plug-in, then runs it.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."
bash tools/setup.sh
echo
echo "Built:"
find build -maxdepth 3 -type f \( -name 'Tavinor.so' -o -name 'libtavinor.a' -o -name '*_tests' \) -printf '  %p\n' | sort
