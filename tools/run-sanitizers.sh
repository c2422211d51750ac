#!/usr/bin/env bash
# Builds everything again with the sanitizers and runs the tests under them:
# the whole suite with AddressSanitizer and UndefinedBehaviorSanitizer in
# build-asan/, the thread-heavy programs (the VST wrapper, the test host and
# the plug-in as a host loads it, label "threads") with ThreadSanitizer in
# build-tsan/. The allocation-counting test is left out of both: it replaces
# the allocator, as the sanitizers do. Run after tools/setup.sh.
#
#   bash tools/run-sanitizers.sh [asan|tsan|all]
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."
which=${1:-all}
jobs=$(nproc)
root=$(pwd)

build() {
    local dir=$1 sanitizers=$2
    cmake -S . -B "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTAVINOR_SANITIZERS="$sanitizers" \
        > "$dir-configure.log" 2>&1 || { cat "$dir-configure.log"; exit 1; }
    rm -f "$dir-configure.log"
    cmake --build "$dir" -j"$jobs"
}

if [ "$which" = asan ] || [ "$which" = all ]; then
    build build-asan address,undefined
    export ASAN_OPTIONS="detect_leaks=1:halt_on_error=1"
    export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
    (cd build-asan && xvfb-run -a ctest --output-on-failure -j"$jobs")
fi

if [ "$which" = tsan ] || [ "$which" = all ]; then
    build build-tsan thread
    export TSAN_OPTIONS="halt_on_error=1:second_deadlock_stack=1:suppressions=$root/tools/sanitizers/tsan.supp"
    (cd build-tsan && xvfb-run -a ctest -L threads --output-on-failure -j"$jobs")
fi
