#!/usr/bin/env bash
# Tavinor against LSP's slap-back delay: installs Debian's lsp-plugins-vst
# when it is missing (as root; without it the benchmark times Tavinor alone),
# builds the plug-in and the benchmark into build/, and runs it pinned to two
# cores (CORES, 6,7 by default). Arguments go to tavinor_peer_bench:
#   tools/bench/run-peer-bench.sh --seconds 5 --repeats 5
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/../.."

if ! dpkg-query -W -f='${Status}' lsp-plugins-vst 2>/dev/null | grep -q "install ok installed"; then
    export DEBIAN_FRONTEND=noninteractive
    { apt-get update -qq && apt-get install -y -qq --no-install-recommends lsp-plugins-vst; } \
        || echo "lsp-plugins-vst could not be installed"
fi
cmake --build build -j6 --target TavinorPlugin tavinor_peer_bench
exec taskset -c "${CORES:-6,7}" build/tools/bench/tavinor_peer_bench "$@"
