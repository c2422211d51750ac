#!/usr/bin/env bash
# The DAW test: Tavinor in Ardour 7 (Debian's "ardour"), driven headless by
# its Lua session tool on the dummy backend and exported by its command-line
# exporter, as a musician's session would use it:
#   1. a session with one stereo track and a recorded take, whose files get a
#      known signal (an impulse on each channel); Tavinor on the track, its
#      parameters set through Ardour's plug-in API; saved
#   2. exported: the dry impulses and their echoes where the settings put
#      them, as loud as the settings make them (the dry/wet, output gain,
#      level, balance and feedback the parameters hold, within 0.05 dB) and
#      as our own host renders them (within 0.1 dB)
#   3. loaded again: all 128 parameters and the chunk as they were; exported
#      again: the same render, sample for sample
#   4. a factory preset loaded through Ardour's preset API: the parameters and
#      the render as our own host gives them for that preset's chunk
#   5. the limiter switched on through the plug-in API: the latency Ardour
#      reads is the dry path's delay, and its export makes up for it
# Everything happens in a temporary folder (its own HOME and XDG folders, the
# plug-in copied into a folder of its own named by LXVST_PATH); the user's
# folders are not touched. Every program that loads the plug-in runs with a
# heap check (HeapGuard.cpp), and every export under gdb (watch-export.py):
# an export that Ardour's own faults spoil is made again only when it shows
# their signature, and any other crash, abort or hang shows its backtraces
# and fails the test. Run after tools/setup.sh; installs ardour and gdb when
# they are missing (as root). Takes about half a minute.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/../.."
root=$PWD
build=${TAVINOR_BUILD:-$root/build}

if ! command -v ardour7-lua > /dev/null || ! command -v ardour7-export > /dev/null || ! command -v gdb > /dev/null; then
    export DEBIAN_FRONTEND=noninteractive
    apt-get update -qq
    apt-get install -y -qq --no-install-recommends ardour gdb
fi
for program in "$build/Tavinor.so" "$build/tools/testhost/tavinor_host" "$build/tools/demo/tavinor_demo" \
               "$build/tools/daw/tavinor_daw_check" "$build/tools/daw/libtavinor_heap_guard.so"; do
    [ -e "$program" ] || { echo "daw-test: $program is not built (run tools/setup.sh)"; exit 1; }
done
check="$build/tools/daw/tavinor_daw_check"

work=$(mktemp -d /tmp/tavinor-daw-XXXXXX)
[ -n "${DAW_KEEP:-}" ] || trap 'rm -rf "$work"' EXIT
export HOME="$work/home" XDG_CONFIG_HOME="$work/home/.config" XDG_DATA_HOME="$work/home/.local/share" \
       XDG_CACHE_HOME="$work/home/.cache"
mkdir -p "$XDG_CONFIG_HOME" "$work/vst"
cp "$build/Tavinor.so" "$work/vst/"
export LXVST_PATH="$work/vst"
export DAW_SCRIPTS="$root/tools/daw" DAW_SESSION_DIR="$work/echoes" DAW_SESSION_NAME=echoes
export DAW_PRESET_LABEL="Dotted Eighth Lead"
session_file="$DAW_SESSION_DIR/$DAW_SESSION_NAME.ardour"
failed=0
step() { echo; echo "== $*"; }
# Every program that loads the plug-in (Ardour's scanner, its Lua tool, its
# exporter, our host) runs with our heap check preloaded
# (tools/daw/HeapGuard.cpp): each block has a header before it and guard
# bytes after it, checked when it is freed and, for every block still
# alive, when the program exits. A plug-in that writes past a block in some
# of its instances so fails every run in which it does, and not only where
# glibc happens to trip over the damage.
heap_checked=(env LD_PRELOAD="$build/tools/daw/libtavinor_heap_guard.so")
# Ardour 7 before 8.5 has a heap overrun of its own: on a processor with
# AVX-512F its mixing routine for that width steps 8 (or 4) frames at a time
# without checking that as many remain, and writes up to 7 samples past its
# destination, which the heap check would catch. Ardour takes the
# processor's features from ARDOUR_FPU_FLAGS when it is set (its bits:
# flush-to-zero 1, denormals-are-zero 2, SSE 4, SSE2 8): given those of
# every x86-64, it mixes with its SSE routines, which stay inside their
# buffers. The watcher fails an export that mixes with the AVX-512F ones all
# the same. No abort is Ardour's then: every one fails the test.
export ARDOUR_FPU_FLAGS=15
host() {
    "${heap_checked[@]}" "$build/tools/testhost/tavinor_host" "$@" \
        || { echo "DAW test: our host failed: $1" >&2; exit 1; }
}
echo "Ardour mixes with its SSE routines; every program that loads the plug-in runs with the heap check"
# Ardour 7.3 has two faults of its own that spoil an export now and then,
# with its own plug-ins in place of Tavinor as well; such an export is made
# again, known by its signature:
# - a deadlock at the start of an export (one export in 50 to 100, more
#   under load): its main thread waits for its butler in
#   Session::start_audio_export, holding the process lock the butler waits
#   for in Session::butler_transport_work (tools/daw/watch-export.py);
# - one export in 25 to 50, with any plug-in on the track, comes out 16
#   samples early as a whole and otherwise bit for bit right
#   (tavinor_daw_check's status 3: the render fails its check, and passes it
#   moved 16 samples later).
# Any other crash, abort or hang fails the test, with every thread's
# backtrace, and so does any other shift.
# More than two in one run of the test are not taken for Ardour's.
export DAW_PLUGIN="$work/vst/Tavinor.so"
ardour_faults=0
ardour_fault() {
    if [ "$ardour_faults" -eq 2 ]; then
        echo "DAW test: a third export spoilt by what looks like Ardour's fault"
        exit 1
    fi
    ardour_faults=$((ardour_faults + 1))
    echo "($1: the export once more)"
}
export_session() {
    local out=$1 log=$2
    while true; do
        local status=0
        DAW_EXPORT_LOG="$log" gdb -q -batch -nx -iex "set debuginfod enabled off" -x "$root/tools/daw/watch-export.py" \
            --args "${heap_checked[@]}" /bin/sh "$(command -v ardour7-export)" -b float -o "$out" \
            "$DAW_SESSION_DIR" "$DAW_SESSION_NAME" > "$log.gdb" 2>&1 || status=$?
        if [ "$status" -eq 0 ]; then return 0; fi
        if [ "$status" -ne 3 ]; then
            cat "$log" "$log.gdb"
            echo "DAW test: ardour7-export failed"
            exit 1
        fi
        grep "^watch-export:" "$log.gdb"
        ardour_fault "Ardour's start-of-export deadlock"
    done
}
# An export and the check of its render (CHECK ARGUMENTS..., the export's
# file among them): a render Ardour shifted as a whole is exported again.
export_and_check() {
    local what=$1 out=$2 log=$3
    shift 3
    while true; do
        export_session "$out" "$log"
        local status=0
        "$check" "$@" || status=$?
        if [ "$status" -ne 3 ]; then
            [ "$status" -eq 0 ] || fail "$what"
            return 0
        fi
        ardour_fault "Ardour shifted the whole export"
    done
}
# ardour7-lua ends well even when its script fails: its log tells.
lua() {
    local script=$1 log=$2
    if ! timeout -s KILL 300 "${heap_checked[@]}" ardour7-lua "$root/tools/daw/$script" > "$log" 2>&1 \
       || grep -q "^Error:" "$log"; then
        cat "$log"
        echo
        echo "DAW test: $script failed"
        exit 1
    fi
}
fail() { echo "FAIL: $*"; failed=1; }

# Ardour's own scanner indexes the plug-in, as its window does on discovery.
# Its index keeps the plug-in's time to the second and is taken as out of
# date by a plug-in changed later within that second: the copy gets a whole
# second.
step "Ardour's scanner indexes Tavinor"
touch -d "@$(( $(date +%s) - 2 ))" "$work/vst/Tavinor.so"
LD_LIBRARY_PATH=/usr/lib/ardour7 "${heap_checked[@]}" /usr/lib/ardour7/ardour-vst-scanner -q "$work/vst/Tavinor.so"

# Dry/Wet 60/40, output gain -1.8 dB, line 1 at -4.9 dB, balance 40/60 and
# feedback +50 %: the dry impulses and three echoes of each.
settings="0=0.4 1=0.45 5=0.6 6=0.4 7=0.75"
step "session: a stereo track, a recorded take, Tavinor with the test's settings"
DAW_SET="$settings" DAW_PARAMETERS="$work/parameters-1.txt" lua create-session.lua "$work/create.log"
for setting in $settings; do
    awk -v i="${setting%=*}" -v v="${setting#*=}" '$1 == i { d = $2 - v; ok = d > -1e-6 && d < 1e-6 } END { exit !ok }' \
        "$work/parameters-1.txt" || fail "host parameter ${setting%=*} is not ${setting#*=} in Ardour"
done
takes=("$DAW_SESSION_DIR/interchange/"*/audiofiles/*%L.wav)
"$check" signal "${takes[0]}" "${takes[0]/\%L.wav/%R.wav}" "$work/input.wav"
"$check" chunk "$session_file" > "$work/chunk-1.txt"

step "export: the impulses and their echoes"
host render "$work/vst/Tavinor.so" "$work/input.wav" "$work/ours-1.wav" --block 1024 --tempo 120 \
    $(printf -- '--param %s ' $settings) --tail 1 > /dev/null
export_and_check "the echoes in Ardour's export" "$work/export-1.wav" "$work/export-1.log" \
    echoes "$work/export-1.wav" "$work/ours-1.wav" "$work/parameters-1.txt"

step "the session loaded again: parameters and chunk"
DAW_PARAMETERS="$work/parameters-2.txt" lua reload-session.lua "$work/reload.log"
"$check" chunk "$session_file" > "$work/chunk-2.txt"
if cmp -s "$work/parameters-1.txt" "$work/parameters-2.txt"; then echo "all 128 parameters as they were"
else diff "$work/parameters-1.txt" "$work/parameters-2.txt" || true; fail "the parameters after the reload"; fi
if cmp -s "$work/chunk-1.txt" "$work/chunk-2.txt"; then echo "the chunk byte for byte as it was"
else fail "the chunk after the reload"; fi

step "exported again: the same render"
export_and_check "the second export" "$work/export-2.wav" "$work/export-2.log" \
    same "$work/export-1.wav" "$work/export-2.wav"

step "a factory preset through Ardour's preset API"
preset="$root/resources/presets/Echoes/$DAW_PRESET_LABEL.tnprst"
"$build/tools/demo/tavinor_demo" chunk "$preset" "$work/factory.chunk"
"$check" preset-chunk "$XDG_CONFIG_HOME/ardour7/presets/vst-1414942290" "$DAW_PRESET_LABEL" "$work/factory.chunk"
DAW_PARAMETERS="$work/parameters-3.txt" lua load-preset.lua "$work/preset.log"
host info "$work/vst/Tavinor.so" --chunk "$work/factory.chunk" | awk -F'\t' '$1 == "param" { print $2, $3 }' \
    > "$work/parameters-ours.txt"
if awk 'NR == FNR { ours[$1] = $2; next } { d = $2 - ours[$1]; if (d < -1e-5 || d > 1e-5) { print "parameter " $1 ": " $2 " in Ardour, " ours[$1] " here"; bad = 1 } } END { exit bad }' \
    "$work/parameters-ours.txt" "$work/parameters-3.txt"; then echo "all 128 parameters as our host reads them from the preset's chunk"
else fail "the parameters of the factory preset"; fi
host render "$work/vst/Tavinor.so" "$work/input.wav" "$work/ours-3.wav" --block 1024 --tempo 120 \
    --chunk "$work/factory.chunk" --tail 1 > /dev/null
export_and_check "the render of the factory preset" "$work/export-3.wav" "$work/export-3.log" \
    alike "$work/export-3.wav" "$work/ours-3.wav"

step "the limiter on (host parameter 3): the latency Ardour reads and makes up for"
DAW_SET="2=1" DAW_LATENCY="$work/latency.txt" DAW_PARAMETERS="$work/parameters-4.txt" \
    lua reload-session.lua "$work/limiter.log"
host render "$work/vst/Tavinor.so" "$work/input.wav" "$work/ours-4.wav" --block 1024 --tempo 120 \
    --chunk "$work/factory.chunk" --param 2=1 --tail 1 > /dev/null
export_and_check "the latency in Ardour" "$work/export-4.wav" "$work/export-4.log" \
    latency "$work/export-4.wav" "$work/ours-4.wav" "$(cat "$work/latency.txt")"

echo
if [ "$failed" -ne 0 ]; then echo "DAW test: FAILED"; exit 1; fi
echo "DAW test: passed"
