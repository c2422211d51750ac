# Runs one of Ardour's exports under gdb (gdb -batch -x watch-export.py
# --args [env ...] /bin/sh ardour7-export ...) and says what became of it,
# by its exit status:
#   0  the export ran through
#   3  Ardour stopped it with its start-of-export deadlock (the DAW test
#      tries such an export again): the main thread waits for the butler in
#      Session::start_audio_export, holding the process lock, while the
#      butler waits for that lock in Session::butler_transport_work; seen so
#      at two looks in a row, neither thread in a frame of ours
#   1  anything else: a crash or abort (the heap check's among them), any
#      other signal, a hang of another kind, an export that fails on its
#      own, or one that mixes with Ardour's AVX-512F routines, which the DAW
#      test tells it not to use (they write past their buffers)
# The export's output goes to DAW_EXPORT_LOG; what was seen (and the
# backtraces of every thread when it did not run through) to gdb's output.
# DAW_PLUGIN is our plug-in as Ardour loads it: a frame in it is ours.
import os
import re
import signal
import subprocess
import time

import gdb

PLUGIN = os.path.realpath(os.environ["DAW_PLUGIN"])
LOG = os.environ["DAW_EXPORT_LOG"]
# An export takes a few seconds: the first look comes well after that, and
# two looks in a row must see the deadlock.
FIRST_LOOK = 20.0
LOOK_EVERY = 10.0
GIVE_UP = 180.0
CRASHES = ("SIGABRT", "SIGSEGV", "SIGBUS", "SIGFPE", "SIGILL", "SIGSYS", "SIGTRAP")
# Ardour's mixing routine for AVX-512F, which overruns its buffers.
AVX512F_MIXING = "x86_avx512f_mix_buffers_no_gain"
# Where a waiting thread sits below the frame that waits.
WAITING_LIBRARIES = ("libc.so", "libglib-2.0.so", "libpthread.so")


def say(text):
    print("watch-export: " + text, flush=True)


def frames(thread):
    """The thread's frames, newest first, as (function, library) pairs."""
    thread.switch()
    result = []
    frame = gdb.newest_frame()
    while frame is not None and len(result) < 200:
        library = gdb.solib_name(frame.pc())
        result.append((frame.name() or "", os.path.realpath(library) if library else ""))
        try:
            frame = frame.older()
        except gdb.error:
            break
    return result


def ours(stack):
    return any(library == PLUGIN for _, library in stack)


def waits_in(stack, function, caller=None):
    """The thread waits below `function` (called from `caller`): every newer
    frame is in the C or glib library."""
    for i, (name, library) in enumerate(stack):
        if name.startswith(function):
            return caller is None or (i + 1 < len(stack) and stack[i + 1][0].startswith(caller))
        if not os.path.basename(library).startswith(WAITING_LIBRARIES):
            return False
    return False


def threads():
    return sorted(gdb.selected_inferior().threads(), key=lambda t: t.num)


def ardour_deadlock():
    inferior = gdb.selected_inferior()
    main = butler = None
    for thread in threads():
        stack = frames(thread)
        if thread.ptid[1] == inferior.pid:
            main = stack
        elif any(name.startswith("ARDOUR::Butler::thread_work") for name, _ in stack):
            butler = stack
    return (main is not None and butler is not None and not ours(main) and not ours(butler)
            and waits_in(main, "ARDOUR::Butler::wait_until_finished", "ARDOUR::Session::start_audio_export")
            and waits_in(butler, "ARDOUR::Session::butler_transport_work"))


def backtraces():
    print(gdb.execute("thread apply all bt", to_string=True), flush=True)


def finish(status):
    os.killpg(watchdog.pid, signal.SIGKILL)
    watchdog.wait()
    if gdb.selected_inferior().pid != 0:
        gdb.execute("kill")
    gdb.execute("quit %d" % status)


gdb.execute("set pagination off")
gdb.execute("set confirm off")
gdb.execute("set print thread-events off")
gdb.execute("set width 0")
gdb.execute("handle all nostop noprint pass")
gdb.execute("handle SIGINT stop print nopass")
gdb.execute("handle %s stop print pass" % " ".join(CRASHES[:-1]))

stops = []
gdb.events.stop.connect(lambda event: stops.append(getattr(event, "stop_signal", None)))
gdb.execute("set breakpoint pending on")
gdb.execute("break " + AVX512F_MIXING, to_string=True)
avx512f_mixing = gdb.breakpoints()[-1]
exits = []
gdb.events.exited.connect(lambda event: exits.append(getattr(event, "exit_code", None)))

# The program's own output to the log, its arguments as given to gdb.
arguments = re.search(r'"(.*)"\.\s*$', gdb.execute("show args", to_string=True), re.S).group(1)
gdb.execute("set args %s > %s 2>&1" % (arguments, LOG.replace(" ", "\\ ")))
gdb.execute("starti")
started = time.monotonic()
pid = gdb.selected_inferior().pid
# The looks: an interrupt that stops the program for gdb, never passed on.
watchdog = subprocess.Popen(["sh", "-c", "sleep %g; while kill -INT %d 2> /dev/null; do sleep %g; done"
                             % (FIRST_LOOK, pid, LOOK_EVERY)], start_new_session=True)
deadlocked_looks = 0
while True:
    stops.clear()
    gdb.execute("continue")
    if exits or gdb.selected_inferior().pid == 0:
        status = exits[-1] if exits else None
        if status == 0:
            say("the export ran through")
            finish(0)
        say("the export ended with status %s" % status)
        finish(1)
    stop_signal = stops[-1] if stops else None
    elapsed = time.monotonic() - started
    if stop_signal == "SIGINT":
        if ardour_deadlock():
            deadlocked_looks += 1
            if deadlocked_looks == 2:
                say("Ardour's start-of-export deadlock after %.0f s: its main thread waits for its butler in "
                    "Session::start_audio_export while the butler waits for the process lock" % elapsed)
                backtraces()
                finish(3)
        else:
            deadlocked_looks = 0
        if elapsed >= GIVE_UP:
            say("the export did not finish in %.0f s, and not in Ardour's deadlock" % elapsed)
            backtraces()
            finish(1)
        continue
    if avx512f_mixing.hit_count > 0:
        say("Ardour mixes with %s although ARDOUR_FPU_FLAGS says the processor has no AVX-512F" % AVX512F_MIXING)
        finish(1)
    stack = frames(gdb.selected_thread())
    say("the export stopped on %s%s" % (stop_signal, ", in a frame of ours" if ours(stack) else ""))
    backtraces()
    finish(1)
