#!/usr/bin/env python3
"""Writes Tavinor's factory presets into resources/presets/<Category>/<Name>.tnprst.

The presets are product data; this script only keeps their values readable
(milliseconds, decibels, hertz, percent) and checks every value against
resources/parameters.xml before anything is written, so a renamed parameter or
a misspelt choice fails here instead of being dropped silently when a user
loads the preset.

A preset holds what the processor stores in a preset: every line setting of the
four lines (except the knob positions, which follow the millisecond times, and
freeze, which is a performance switch) and the globals from MOD 1 to the output
gain, by name, in id order, version "1.1".

Run from anywhere:  python3 tools/factory-presets/make_factory_presets.py
It also rewrites tools/factory-presets/update-1.1.txt, the presets that are new
in 1.1 and therefore go into the update archive.
"""

import math
import os
import shutil
import sys
import xml.dom.minidom

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.normpath(os.path.join(HERE, "..", ".."))
PARAMETERS = os.path.join(ROOT, "resources", "parameters.xml")
OUT = os.path.join(ROOT, "resources", "presets")
UPDATE_LIST = os.path.join(HERE, "update-1.1.txt")

AUTHOR = "Orv Group"
# A non-empty owner id that no user has: the author rewrite of the preset
# settings page leaves presets of other owners alone.
OWNER_ID = "orv-factory"
VERSION = "1.1"

# Template k left out of presets: knob positions (derived from the ms times)
# and freeze.
NOT_STORED = {13, 14, 25, 26, 40}


# ---------------------------------------------------------------- parameter set

class Param:
    def __init__(self, e):
        self.id = int(e.getAttribute("index"))
        self.name = e.getAttribute("name")
        self.type = e.getAttribute("type") or "float"
        self.value = e.getAttribute("value")
        self.min = e.getAttribute("min")
        self.max = e.getAttribute("max")
        self.items = e.getAttribute("enum").split(";") if self.type == "enum" else []

    def check(self, text):
        t = self.type
        if t == "enum":
            if text not in self.items:
                raise ValueError("%s: '%s' is not one of %s" % (self.name, text, self.items))
        elif t in ("state",):
            if text not in ("on", "off"):
                raise ValueError("%s: '%s' is not on/off" % (self.name, text))
        elif t == "int":
            v = int(text)
            if not int(self.min) <= v <= int(self.max):
                raise ValueError("%s: %d outside %s..%s" % (self.name, v, self.min, self.max))
        elif t == "float":
            v = float(text)
            if not float(self.min) <= v <= float(self.max):
                raise ValueError("%s: %s outside %s..%s" % (self.name, text, self.min, self.max))
        else:
            raise ValueError("%s: type %s is not expected in a preset" % (self.name, t))


def load_parameters():
    doc = xml.dom.minidom.parse(PARAMETERS)
    return {p.id: p for p in (Param(e) for e in doc.getElementsByTagName("param"))}


PARAMS = load_parameters()
TEMPLATE = {p.name: p for p in PARAMS.values() if p.id <= 46}
GLOBAL = {p.name: p for p in PARAMS.values() if 47 <= p.id <= 91}


# ---------------------------------------------------------------- value helpers

def num(x):
    """Short decimal text; the parameters read it back as the same float."""
    s = ("%.4f" % x).rstrip("0").rstrip(".")
    return "0" if s in ("-0", "") else s


def level_db(db):
    # Line level: x = -0.5625 / (v - 1.125) - 0.5, 0 dB at 0.75.
    x = 10.0 ** (db / 20.0)
    return num(1.125 - 0.5625 / (x + 0.5))


def feedback(percent):
    # f = 2v - 1
    return num((percent / 100.0 + 1.0) / 2.0)


def balance(pan):
    # pan -1 (left only) .. +1 (right only); balance = 2v.
    return num(0.5 + pan * 0.5)


def cutoff_hz(hz):
    # Display law of the cutoff: (2^(v * 119.58941144 / 12) * 22 - 22) * 1.003276 Hz.
    return num(12.0 * math.log2(hz / 1.003276 / 22.0 + 1.0) / 119.58941144)


def resonance_q(q):
    # Q = 1 + 7 r
    return num((q - 1.0) / 7.0)


def preamp_db(db):
    # Preamp gain 10^(48 v / 20): 0 to +48 dB.
    return num(db / 48.0)


def od_gain(gain):
    # Overdrive output gain = -0.175 v / (v - 1.2) + 0.125, from 0.125 to 1.0.
    y = gain - 0.125
    return num(1.2 * y / (y + 0.175))


def color(c):
    # Colour = 2v^2 + v - 1, -1 .. 2; solve for v >= 0.
    return num((-1.0 + math.sqrt(1.0 + 8.0 * (1.0 + c))) / 4.0)


def offset(o):
    # Stereo offset control: 0.5 none, 0 delays the right output and 1 the left
    # one by half the left time.
    return num(o)


def lfo_hz(hz):
    # Free rate = exp(3.258840824040285 v) * 1.5947651006752834 - 1.494765100692059
    return num(math.log((hz + 1.494765100692059) / 1.5947651006752834) / 3.258840824040285)


def phase_deg(deg):
    return num(deg / 180.0)


def output_db(db):
    # Output gain 4 g^2, 0 dB at 0.5.
    return num(math.sqrt(10.0 ** (db / 20.0) / 4.0))


def threshold_db(db):
    # Limiter threshold (1 - v) * -24 dB.
    return num(1.0 + db / 24.0)


def detector_db(db):
    # Detector thresholds 10^(-64 v / 20).
    return num(-db / 64.0)


def onoff(b):
    return "on" if b else "off"


SCALES = {"": "Full", "d": "Dotted", "t": "Triplet"}


def note(text):
    """'3/16' -> (3, 16, 'Full'); '1/8d' dotted; '1/4t' triplet."""
    scale = ""
    if text[-1] in "dt":
        text, scale = text[:-1], text[-1]
    n, d = text.split("/")
    return int(n), int(d), SCALES[scale]


def is_note(t):
    return isinstance(t, str)


# ---------------------------------------------------------------- one line

def line(time="1/4", right=None, fb=30, level=0.0, pan=0.0, mute=False,
         pre=0, pre_right=None, input_mode="L/R", swap=False, mono=False,
         filt="Off", cutoff=2500, q=1.4, filt_post=False, filt_loop=False,
         drive=False, drive_db=12, drive_color=0.0, drive_gain=0.25,
         spread=0.5, source="MOD 1", log_scale=False,
         time_mod=0.0, cutoff_mod=0.0, tremolo=0.0):
    """Values of one line by template name. Times are note texts ('3/16',
    '1/8d', '1/4t') for tempo sync or numbers in milliseconds for free time;
    a missing right time joins the channels. The pre-delay works the same way
    (0 = none)."""
    v = {}
    v["Mute"] = onoff(mute)
    v["Balance"] = balance(pan)
    v["Level"] = level_db(level)
    v["Input Mode"] = input_mode
    v["Swap Channels"] = onoff(swap)
    v["Mono Input"] = onoff(mono)
    v["Filter Mode"] = "Post Overdrive" if filt_post else "Pre Overdrive"
    v["Filter Feedback Loop"] = onoff(filt_loop)
    v["Filter Cutoff"] = cutoff_hz(cutoff)
    v["Filter Resonance"] = resonance_q(q)
    v["Filter Type"] = filt
    stage(v, "Delay", time, right, minimum_numerator=1)
    stage(v, "Pre-delay", pre, pre_right, minimum_numerator=0)
    v["Overdrive"] = onoff(drive)
    v["Overdrive Preamp"] = preamp_db(drive_db)
    v["Overdrive Color"] = color(drive_color)
    v["Overdrive Gain"] = od_gain(drive_gain)
    v["Feedback"] = feedback(fb)
    v["Stereo Offset"] = offset(spread)
    v["Modulation Source"] = source
    v["Modulation Scale"] = "Logarithmic" if log_scale else "Linear"
    v["Time Modulation Depth"] = num(time_mod)
    v["Cutoff Modulation Depth"] = num(cutoff_mod)
    v["Tremolo Depth"] = num(tremolo)
    return v


def stage(v, prefix, left, right, minimum_numerator):
    join = right is None
    if join:
        right = left
    if is_note(left) != is_note(right):
        raise ValueError("%s: both channels must be synced or both free" % prefix)
    synced = is_note(left)
    v[prefix + " Tempo Sync"] = onoff(synced)
    v[prefix + " Join Channels"] = onoff(join)
    if synced:
        for side, t in (("Left", left), ("Right", right)):
            n, d, scale = note(t)
            if n < minimum_numerator:
                raise ValueError("%s %s numerator %d" % (prefix, side, n))
            v["%s %s Numerator" % (prefix, side)] = str(n)
            v["%s %s Denominator" % (prefix, side)] = str(d)
            v["%s %s Rhythmic Scale" % (prefix, side)] = scale
        # Free times stay at values near the synced ones at 120 bpm, so that
        # switching sync off keeps the echo in the same place.
        v[prefix + " Left Time (ms)"] = num(ms_at_120(left))
        v[prefix + " Right Time (ms)"] = num(ms_at_120(right))
    else:
        v[prefix + " Left Time (ms)"] = num(left)
        v[prefix + " Right Time (ms)"] = num(right)
        # Keep the synced choice musical for when sync is switched on.
        default_n = 3 if minimum_numerator else 0
        for side in ("Left", "Right"):
            v["%s %s Numerator" % (prefix, side)] = str(default_n)
            v["%s %s Denominator" % (prefix, side)] = "16"
            v["%s %s Rhythmic Scale" % (prefix, side)] = "Full"


def ms_at_120(t):
    n, d, scale = note(t)
    factor = {"Full": 1.0, "Dotted": 1.5, "Triplet": 2.0 / 3.0}[scale]
    return min(2000.0 * n / d * factor, 1000.0)


# ---------------------------------------------------------------- modulators

def mod(kind="LFO", sync=False, scale="Full", hz=0.7, rate="1/1", wave="Sine",
        invert=False, phase=90, attack=0.0, decay=0.5, sustain=0.5, hold=0.2,
        release=0.5, sensitivity=0.5, f_attack=0.0, f_release=0.5,
        retrigger="None", speed=0.5, on_db=-19.2, off_db=-28.8):
    return {
        "Type": kind, "Retrigger Mode": retrigger, "Detector Speed": num(speed),
        "Detector On Threshold": detector_db(on_db),
        "Detector Off Threshold": detector_db(off_db),
        "Tempo Sync": onoff(sync), "Rhythmic Scale": scale,
        "Frequency": lfo_hz(hz), "Rate": rate, "Waveform": wave,
        "Invert": onoff(invert), "Stereo Phase": phase_deg(phase),
        "Envelope Attack": num(attack), "Envelope Decay": num(decay),
        "Envelope Sustain": num(sustain), "Envelope Hold": num(hold),
        "Envelope Release": num(release),
        "Follower Sensitivity": num(sensitivity),
        "Follower Attack": num(f_attack), "Follower Release": num(f_release),
    }


def master(wet=35, out=0.0, limiter=False, threshold=0.0, routing="Parallel",
           mod1=None, mod2=None):
    v = {}
    for m, values in ((1, mod1 or mod()), (2, mod2 or mod(wave="Triangle", hz=0.38))):
        for k, x in values.items():
            v["MOD %d %s" % (m, k)] = x
    v["Limiter"] = onoff(limiter)
    v["Limiter Threshold"] = threshold_db(threshold)
    v["Dry/Wet"] = num(wet / 100.0)
    v["Routing"] = routing
    v["Output Gain"] = output_db(out)
    return v


# A line that takes no part: muted, but set to a plain echo so that unmuting it
# gives something useful.
def spare(time="3/8"):
    return line(time=time, fb=25, level=-3.0, mute=True)


# ---------------------------------------------------------------- the presets

PRESETS = []


def preset(category, name, lines, globals_, since="1.0"):
    while len(lines) < 4:
        lines = lines + [spare()]
    PRESETS.append((category, name, lines, globals_, since))


# Echoes: one line, the basic tempo-synced and free echoes.
preset("Echoes", "Quarter Note Echo",
       [line("1/4", fb=30, filt="Low Pass", cutoff=9000, q=1.0)],
       master(wet=30))
preset("Echoes", "Dotted Eighth Lead",
       [line("1/8d", fb=40, filt="Low Pass", cutoff=7000, q=1.0, filt_loop=True)],
       master(wet=28))
preset("Echoes", "Triplet Bounce",
       [line("1/8t", "1/4t", fb=35)],
       master(wet=30))
preset("Echoes", "Slapback",
       [line(95, fb=8, level=-1.5, mono=True, filt="Low Pass", cutoff=4500, q=1.0)],
       master(wet=32))
preset("Echoes", "Ping Pong Eighths",
       # Both channels at a quarter, the right one half a quarter later:
       # repeats alternate left and right every eighth.
       [line("1/4", fb=45, mono=True, spread=0.0)],
       master(wet=30))
preset("Echoes", "Haas Wide Echo",
       [line("1/4", fb=30, pre=0, pre_right=14)],
       master(wet=30))
preset("Echoes", "Mid Side Echo",
       [line("1/4", "3/8", fb=35, input_mode="M/S")],
       master(wet=32))
preset("Echoes", "Long Free Echo",
       [line(850, 910, fb=50, filt="Low Pass", cutoff=5000, q=1.0, filt_loop=True)],
       master(wet=30), since="1.1")

# Rhythmic: several lines and every routing.
preset("Rhythmic", "Four Tap Parallel",
       [line("1/8", fb=10, pan=-0.6),
        line("1/4", fb=10, pan=0.6, level=-2.0),
        line("3/8", fb=10, pan=-0.6, level=-4.0),
        line("1/2", fb=15, pan=0.6, level=-6.0, swap=True)],
       master(wet=35))
preset("Rhythmic", "Dotted Against Straight",
       [line("1/8d", fb=35, pan=-0.7),
        line("1/4", fb=30, pan=0.7, level=-2.0)],
       master(wet=33))
preset("Rhythmic", "Offbeat Pre-delay",
       # The synced pre-delay moves the whole echo pattern onto the offbeat.
       [line("1/4", fb=35, pre="1/8")],
       master(wet=30))
preset("Rhythmic", "Triplet Pre-delay Shuffle",
       [line("1/4", fb=30, pre="1/8t", pan=-0.4),
        line("1/4", fb=30, pre="1/4t", pan=0.4, level=-2.0)],
       master(wet=30))
preset("Rhythmic", "Serial Cascade",
       # In series the echoes of each line are echoed again by the next.
       [line("1/16", fb=20), line("1/8", fb=20), line("3/16", fb=20),
        line("1/4", fb=25, filt="Low Pass", cutoff=6000, q=1.0)],
       master(wet=30, routing="Serial"))
preset("Rhythmic", "Tapped Serial Steps",
       # Every line adds an eighth and is heard on its own: a falling staircase
       # of taps moving across the stereo field.
       [line("1/8", fb=0, pan=-0.8, level=-1.0),
        line("1/8", fb=0, pan=0.8, level=-1.0, filt="High Pass", cutoff=300, q=1.0),
        line("1/8", fb=0, pan=-0.4, level=-1.0, filt="High Pass", cutoff=600, q=1.0),
        line("1/8", fb=30, pan=0.4, level=-1.0, filt="Band Pass", cutoff=1500, q=1.2)],
       master(wet=35, routing="Tapped Serial"))
preset("Rhythmic", "Mixed 1 Groove",
       [line("1/16", fb=0), line("1/4", fb=30, pan=-0.5),
        line("3/8", fb=25, pan=0.5, level=-2.0),
        line("1/2d", fb=20, level=-5.0, filt="Low Pass", cutoff=3000, q=1.0)],
       master(wet=32, routing="Mixed 1"))
preset("Rhythmic", "Mixed 2 Call and Answer",
       [line("1/8", fb=15, pan=-0.7), line("3/16", fb=15, pan=0.7, level=-2.0),
        line("1/4t", fb=20, level=-4.0), line("1/2", fb=20, level=-6.0)],
       master(wet=32, routing="Mixed 2"))
preset("Rhythmic", "Mixed 3 Twin Chains",
       [line("1/16", fb=20), line("1/8d", fb=35, pan=-0.6),
        line("1/16t", fb=20), line("1/4", fb=35, pan=0.6)],
       master(wet=30, routing="Mixed 3"))
preset("Rhythmic", "Mixed 4 Stereo Ladders",
       [line("1/8", fb=10, pan=-0.8), line("1/8", fb=20, pan=-0.3, level=-2.0),
        line("3/16", fb=10, pan=0.8), line("3/16", fb=20, pan=0.3, level=-2.0)],
       master(wet=32, routing="Mixed 4"), since="1.1")
preset("Rhythmic", "Mixed 5 Echo Stack",
       [line("1/16", fb=15), line("1/16d", fb=15), line("1/8", fb=40, pan=-0.4),
        line("1/4t", fb=30, pan=0.4, level=-2.0)],
       master(wet=30, routing="Mixed 5"), since="1.1")
preset("Rhythmic", "Mixed 6 Three Taps and a Tail",
       [line("1/8", fb=0, pan=-0.6), line("1/8", fb=0, pan=0.6, level=-1.0),
        line("1/8", fb=20, level=-2.0),
        line("1/2d", fb=45, level=-6.0, filt="Low Pass", cutoff=2500, q=1.0, filt_loop=True)],
       master(wet=33, routing="Mixed 6"), since="1.1")

# Modulation: the two modulators as LFO, envelope and peak follower.
preset("Modulation", "Tape Wow",
       # Logarithmic time-modulation scale keeps the wow audible on long times.
       [line("3/8", "1/4d", fb=45, time_mod=0.22, log_scale=True,
             filt="Low Pass", cutoff=3500, q=1.0, filt_loop=True,
             drive=True, drive_db=9, drive_gain=0.35, drive_color=-0.3)],
       master(wet=30, mod1=mod(wave="Sine", hz=0.6, phase=30)))
preset("Modulation", "Chorus Echo",
       [line(24, 31, fb=10, time_mod=0.2, level=-1.0),
        line("3/8", fb=30, level=-3.0, source="MOD 2", time_mod=0.22,
             log_scale=True)],
       master(wet=40, mod1=mod(wave="Sine", hz=0.8, phase=90),
              mod2=mod(wave="Triangle", hz=0.3, phase=180)))
preset("Modulation", "Tremolo Repeats",
       [line("1/4", fb=45, tremolo=0.8)],
       master(wet=35, mod1=mod(sync=True, rate="1/16", wave="Square", phase=0)))
preset("Modulation", "Triplet Tremolo Echo",
       [line("1/8d", fb=40, tremolo=0.7)],
       master(wet=33, mod1=mod(sync=True, rate="1/8", scale="Triplet",
                               wave="Triangle", phase=0)))
preset("Modulation", "Filter Sweep Echo",
       [line("1/4", "3/8", fb=50, filt="Band Pass", cutoff=500, q=3.5,
             cutoff_mod=0.45, level=-5.0, source="MOD 2")],
       master(wet=35, mod2=mod(sync=True, rate="2/1", wave="Triangle", phase=90)))
preset("Modulation", "Random Drift",
       [line(420, 560, fb=55, time_mod=0.3, cutoff_mod=0.2,
             filt="Low Pass", cutoff=4000, q=1.0)],
       master(wet=30, mod1=mod(wave="Random", hz=2.5, phase=180)))
preset("Modulation", "Envelope Swell",
       # Each new note restarts a slow envelope on the echo's tremolo: the
       # repeats fade in behind the playing instead of masking it.
       [line("1/4", "3/8", fb=45, tremolo=1.0)],
       master(wet=40, mod1=mod(kind="Envelope", attack=0.45, decay=0.55,
                               sustain=0.8, hold=0.3, release=0.5,
                               retrigger="Input Level", speed=0.4,
                               on_db=-24, off_db=-36)),
       since="1.1")
preset("Modulation", "MIDI Triggered Wobble",
       # MIDI notes on any channel (C-5 by default, set in the retrigger
       # window) restart the synced saw, so the filter wobble locks to them.
       [line("1/8", fb=45, filt="Low Pass", cutoff=600, q=4.0, cutoff_mod=0.6,
             filt_loop=True, level=-3.0)],
       master(wet=40, mod1=mod(sync=True, rate="1/8", wave="Saw Down", phase=0,
                               retrigger="MIDI Note")),
       since="1.1")
preset("Modulation", "Touch Wah Echo",
       # The peak follower opens the band-pass with the playing dynamics.
       [line("3/16", "1/4", fb=40, filt="Band Pass", cutoff=350, q=4.0,
             cutoff_mod=0.7, level=-6.0)],
       master(wet=38, mod1=mod(kind="Peak Follower", sensitivity=0.6,
                               f_attack=0.05, f_release=0.45)))

# Filter and Drive.
preset("Filter and Drive", "Dark Tape Echo",
       [line("3/8", fb=55, filt="Low Pass", cutoff=2200, q=1.0, filt_loop=True,
             drive=True, drive_db=12, drive_gain=0.3, drive_color=-0.4,
             time_mod=0.22, log_scale=True)],
       master(wet=30, mod1=mod(hz=0.45)), since="1.1")
preset("Filter and Drive", "Telephone Echo",
       [line("1/4", fb=40, filt="Band Pass", cutoff=1500, q=2.5, filt_post=True,
             drive=True, drive_db=18, drive_gain=0.25, level=-4.0)],
       master(wet=35))
preset("Filter and Drive", "High Pass Drift",
       # Each repeat loses more low end in the loop and drifts away upwards.
       [line("1/4d", "1/4", fb=65, filt="High Pass", cutoff=700, q=1.0,
             filt_loop=True)],
       master(wet=32), since="1.1")
preset("Filter and Drive", "Lo-Fi Crunch",
       [line("1/8", "3/16", fb=45, drive=True, drive_db=30, drive_gain=0.2,
             drive_color=0.8, filt="Low Pass", cutoff=3000, q=1.5,
             filt_post=True)],
       master(wet=30))
preset("Filter and Drive", "Resonant Repeats",
       [line("3/16", fb=50, filt="Low Pass", cutoff=1200, q=5.0, filt_loop=True,
             level=-4.0)],
       master(wet=30), since="1.1")

# Ambient and Freeze: long feedback made to be frozen with the freeze switch.
preset("Ambient and Freeze", "Freeze Ready Pad",
       [line(780, 830, fb=92, filt="Low Pass", cutoff=6000, q=1.0,
             filt_loop=True, time_mod=0.25, log_scale=True, level=-3.0)],
       master(wet=50, mod1=mod(hz=0.25, phase=90)))
preset("Ambient and Freeze", "Frozen Texture",
       [line(640, fb=80, pan=-0.7, time_mod=0.25, log_scale=True),
        line(755, fb=80, pan=0.7, time_mod=0.25, log_scale=True, source="MOD 2"),
        line(890, fb=82, pan=-0.3, level=-2.0, filt="Low Pass", cutoff=4000, q=1.0),
        line(970, fb=82, pan=0.3, level=-2.0, filt="Low Pass", cutoff=3000, q=1.0)],
       master(wet=45, out=-3.0, limiter=True, threshold=-1.0,
              mod1=mod(hz=0.2), mod2=mod(wave="Triangle", hz=0.13)))
preset("Ambient and Freeze", "Serial Cloud",
       # Short unrelated times in series smear the echoes into a wash.
       [line(37, 41, fb=55, time_mod=0.25), line(53, 59, fb=55, time_mod=0.25),
        line(79, 83, fb=60, source="MOD 2", time_mod=0.25),
        line(113, 127, fb=65, source="MOD 2", time_mod=0.3,
             filt="Low Pass", cutoff=5000, q=1.0, filt_loop=True)],
       master(wet=40, limiter=True, threshold=-1.0, routing="Serial",
              mod1=mod(hz=0.35), mod2=mod(wave="Triangle", hz=0.21)))
preset("Ambient and Freeze", "Half Speed Haze",
       [line("1/2", "1/2d", fb=70, filt="Low Pass", cutoff=3500, q=1.0,
             filt_loop=True, time_mod=0.3, log_scale=True, pre=30, pre_right=45)],
       master(wet=40, mod1=mod(hz=0.3)))

# Limiter: feedback that would run away, held by the look-ahead limiter.
preset("Limiter", "Endless Dub",
       # Full feedback through a low-pass in the loop: the repeats hardly fade
       # and build up; the limiter keeps the sum in check.
       [line("3/8", fb=100, filt="Low Pass", cutoff=1800, q=1.0, filt_loop=True,
             drive=True, drive_db=6, drive_gain=0.5, cutoff_mod=0.3)],
       master(wet=40, limiter=True, threshold=-3.0, mod1=mod(hz=0.15)))
preset("Limiter", "Limited Slap",
       [line(110, fb=15, drive=True, drive_db=6, drive_gain=0.6)],
       master(wet=35, limiter=True, threshold=-6.0))
preset("Limiter", "Safe Feedback Wash",
       [line("1/4", fb=90, pan=-0.5, filt="Low Pass", cutoff=5000, q=1.0, filt_loop=True),
        line("3/8", fb=90, pan=0.5, filt="Low Pass", cutoff=4000, q=1.0, filt_loop=True)],
       master(wet=40, limiter=True, threshold=-1.0), since="1.1")


# ---------------------------------------------------------------- writing

def escape(s):
    return (s.replace("&", "&amp;").replace('"', "&quot;")
             .replace("<", "&lt;").replace(">", "&gt;").replace("'", "&apos;"))


def write_element(f, tag, attributes, indent, children=None):
    # The layout of the product's own XML writer (attributes wrapped after 60
    # characters), so that a factory preset saved again changes no more than
    # its values.
    f.write(" " * indent + "<" + tag)
    line_len = 0
    for name, value in attributes:
        if line_len > 60:
            f.write("\n" + " " * (indent + len(tag) + 1))
            line_len = 0
        text = ' %s="%s"' % (name, escape(value))
        f.write(text)
        line_len += len(text)
    if children:
        f.write(">")
        for child in children:
            f.write("\n")
            write_element(f, child[0], child[1], indent + 2)
        f.write("\n" + " " * indent + "</" + tag + ">")
    else:
        f.write("/>")


def entries(lines, globals_):
    out = []
    for name, value in globals_.items():
        p = GLOBAL[name]
        p.check(value)
        out.append((p.id, p.name, value))
    for index, values in enumerate(lines):
        if set(values) != set(p.name for p in TEMPLATE.values() if p.id not in NOT_STORED):
            raise ValueError("line %d does not set every stored setting" % (index + 1))
        for name, value in values.items():
            p = TEMPLATE[name]
            p.check(value)
            out.append((1000 * (index + 1) + p.id, "Line %d %s" % (index + 1, name), value))
    out.sort()
    ids = [e[0] for e in out]
    expected = list(range(47, 92))
    for n in range(1, 5):
        expected += [1000 * n + k for k in range(47) if k not in NOT_STORED]
    if ids != expected:
        raise ValueError("preset does not hold the stored parameter set")
    return out


def main():
    if os.path.isdir(OUT):
        shutil.rmtree(OUT)
    names = set()
    update = []
    for category, name, lines, globals_, since in PRESETS:
        if name in names:
            raise ValueError("duplicate preset name " + name)
        names.add(name)
        folder = os.path.join(OUT, category)
        os.makedirs(folder, exist_ok=True)
        children = [("param", [("name", n), ("value", v)]) for _, n, v in entries(lines, globals_)]
        # A preset file carries no "name": its name is its file name.
        header = [("application", "Tavinor"), ("category", category),
                  ("version", VERSION), ("author", AUTHOR), ("id", OWNER_ID)]
        path = os.path.join(folder, name + ".tnprst")
        with open(path, "w", encoding="utf-8", newline="\n") as f:
            f.write('<?xml version="1.0" encoding="UTF-8"?>\n\n')
            write_element(f, "Preset", header, 0, children)
            f.write("\n")
        if since == "1.1":
            update.append("%s/%s.tnprst" % (category, name))
    with open(UPDATE_LIST, "w", encoding="utf-8", newline="\n") as f:
        f.write("# Factory presets new in 1.1: the update archive for users of 1.0.\n")
        f.write("# Written by make_factory_presets.py; paths below resources/presets.\n")
        for u in update:
            f.write(u + "\n")
    print("%d presets in %d categories, %d new in 1.1"
          % (len(PRESETS), len(set(p[0] for p in PRESETS)), len(update)))


if __name__ == "__main__":
    try:
        main()
    except ValueError as e:
        print("error: %s" % e, file=sys.stderr)
        sys.exit(1)
