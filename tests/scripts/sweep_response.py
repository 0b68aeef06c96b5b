#!/usr/bin/env python3
"""The swept response through the remote control over the cable's simulated
device under test (virtual time), read in dB through the scale labels: a
Butterworth low-pass at 5 kHz, a +6 dB peaking section at 2 kHz, and a
calibrated pass that reads flat. Usage: sweep_response.py ZORVANE_CLI"""
import math
import os
import statistics
import subprocess
import sys
import tempfile

CLI = sys.argv[1]
RATE, SIZE, POINTS = 44100, 1024, 512
HZ_PER_BIN = RATE / SIZE
failures = []


def tone(c):
    """The tone of sweep point c with the default window and 512 points: the
    bin at display point c + 1 (the frequency window spans bins 1 to 512)."""
    return int(1 + (c + 1) * 511 / 512) * HZ_PER_BIN


def nearest_point(hz):
    return min(range(1, POINTS + 1), key=lambda c: abs(tone(c) - hz))


def run(audio, commands):
    """Runs a script; returns what `state` and `get` printed, by name."""
    script = "\n".join(commands + ["get Ref_0.Caption", "get Ref_10.Caption"] +
                       [f"state SweepTracePixels[{c}]" for c in range(1, POINTS + 1)] + ["quit"])
    with tempfile.TemporaryDirectory() as work:
        path = os.path.join(work, "sweep.zvs")
        with open(path, "w") as f:
            f.write(script + "\n")
        env = dict(os.environ, XDG_CONFIG_HOME=work)
        done = subprocess.run([CLI, "script", "--audio=" + audio, path], capture_output=True,
                              text=True, env=env, timeout=300)
    if done.returncode != 0 or "message" in done.stdout:
        sys.exit(f"FAIL {audio}: exit {done.returncode}\n{done.stdout}{done.stderr}")
    values = {}
    for line in done.stdout.splitlines():
        if " = " in line:
            name, value = line.split(" = ", 1)
            values[name] = value
    trace = [int(values[f"SweepTracePixels[{c}]"]) for c in range(1, POINTS + 1)]
    # The labels count decibels downwards from the top: 200 pixels from Ref_0 to Ref_10.
    db_per_pixel = (float(values["Ref_10.Caption"]) - float(values["Ref_0.Caption"])) / 200
    for c, h in enumerate(trace, 1):
        if not 0 <= h <= 199:
            failures.append(f"{audio}: point {c} at height {h} is off the plot")
    return trace, db_per_pixel


def check(what, got, want, tolerance=1.0, unit="dB"):
    ok = abs(got - want) <= tolerance
    print(f"{'ok  ' if ok else 'FAIL'} {what}: {got:+.2f} {unit}, expected {want:+.2f} +- {tolerance}")
    if not ok:
        failures.append(what)


SWEEP = ["set ProcessGainTrackBar 6", "click SweepBtn", "click SweepStartBtn", "wait 60000"]

# Butterworth low-pass at 5000 Hz: the response of 1 / (s^2 + sqrt2 s + 1),
# about 0, -3, -12.3 and -24.1 dB at 1, 5, 10 and 20 kHz.
trace, dbpp = run("loopback:lowpass=5000/0.707", SWEEP)
ref = nearest_point(1000)
def butterworth(f):
    return -10 * math.log10(1 + (f / 5000) ** 4)
for hz in (1000, 5000, 10000, 20000):
    c = nearest_point(hz)
    f = tone(c)
    want = butterworth(f) - butterworth(tone(ref))
    got = (trace[c - 1] - trace[ref - 1]) * dbpp
    check(f"low-pass, point {c} ({f:.1f} Hz)", got, want)

# Peaking section: +6 dB at 2000 Hz, 12 dB of headroom before the input.
trace, dbpp = run("loopback:gain=-12,peak=2000/2/6", SWEEP)
# The highest pixels of the trace; their middle point is the peak.
highest = [c for c in range(1, POINTS + 1) if trace[c - 1] == max(trace)]
top = highest[len(highest) // 2]
rest = statistics.median(trace)
check("peak over the median", (trace[top - 1] - rest) * dbpp, 6.0)
check("peak frequency", tone(top), 2000, 2 * HZ_PER_BIN, "Hz")

# Calibration: one pass over the chain records it, the next reads flat.
trace, dbpp = run("loopback:gain=-6", [
    "set ProcessGainTrackBar 6", "click SweepBtn", "click SwpCal1", "click SweepStartBtn",
    "wait 60000", "click SweepStartBtn", "wait 60000"
])
check("calibrated pass, spread of points 2..512", max(trace[1:]) - min(trace[1:]), 0, 1, "pixels")

if failures:
    sys.exit("failed: " + "; ".join(failures))
print("swept responses as expected")
