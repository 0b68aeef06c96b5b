#!/usr/bin/python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""The log sweep measurement over the cable's simulated devices, checked
against references it does not share: steady tones played through the same
cable (zorvane-cli playrec) and analysed here with numpy, the filters'
analog responses, the delay and the polynomial's harmonics computed from
their definitions. Prints the figures as a table.
Usage: log_sweep_cable.py ZORVANE_CLI (exit 77 without numpy and scipy)."""
import os
import re
import subprocess
import sys
import tempfile

try:
    import numpy as np
    from scipy.io import wavfile
except ImportError:
    print("skipped: needs numpy and scipy (scripts/deps.sh)")
    sys.exit(77)

CLI = sys.argv[1]
RATE = 44100
work = tempfile.mkdtemp()
failures = []
rows = []


def check(what, got, limit, unit="dB"):
    ok = got <= limit
    rows.append(f"| {what} | {got:.3f} {unit} | {limit} {unit} | {'ok' if ok else 'FAIL'} |")
    if not ok:
        failures.append(what)


def run(*args):
    done = subprocess.run([CLI, *args], capture_output=True, text=True, timeout=600)
    if done.returncode != 0:
        sys.exit(f"FAIL {' '.join(args)}: exit {done.returncode}\n{done.stderr}")
    return done.stdout


def measure(chain, *extra, level=-6):
    csv = os.path.join(work, "response.csv")
    out = run("measure", "--audio=loopback:" + chain, "--from", "10", "--to", "22000",
              "--level", str(level), "--csv", csv, *extra)
    delay = float(re.search(r"delay: (\S+) ms \((\S+) samples\)", out).group(2))
    return np.genfromtxt(csv, delimiter=",", names=True), delay


def fit(x, hz, harmonics=1):
    """Amplitudes of hz and its harmonics in x, by least squares."""
    t = np.arange(len(x)) / RATE
    cols = [np.ones_like(t)]
    for k in range(1, harmonics + 1):
        cols += [np.sin(2 * np.pi * k * hz * t), np.cos(2 * np.pi * k * hz * t)]
    c = np.linalg.lstsq(np.array(cols).T, x, rcond=None)[0]
    return np.hypot(c[1::2], c[2::2])


def tones(chain, freqs, level=-6, harmonics=1, seconds=0.3, settle=0.1):
    """Steady tones through the cable: the gain of each (or its harmonics'
    amplitudes re the fundamental)."""
    a = 10 ** (level / 20)
    n, ramp = int(seconds * RATE), int(0.005 * RATE)
    env = np.ones(n)
    env[:ramp] = env[-ramp:][::-1] = 0.5 - 0.5 * np.cos(np.pi * np.arange(ramp) / ramp)
    t = np.arange(n) / RATE
    play = np.concatenate([a * env * np.sin(2 * np.pi * f * t) for f in freqs]).astype(np.float32)
    src, dst = os.path.join(work, "tones.wav"), os.path.join(work, "capture.wav")
    wavfile.write(src, RATE, play)
    run("playrec", "--audio=loopback:" + chain, src, dst)
    _, rec = wavfile.read(dst)
    out = []
    for i, f in enumerate(freqs):
        seg = rec[i * n + int(settle * RATE):(i + 1) * n - ramp]
        amps = fit(seg.astype(np.float64), f, harmonics)
        out.append(amps[0] / a if harmonics == 1 else amps[1:] / amps[0])
    return np.array(out)


def analog(kind, f, f0, q=0.70710678, db=0.0):
    s = 1j * f / f0
    if kind == "lowpass":
        return 1 / (s * s + s / q + 1)
    if kind == "highpass":
        return s * s / (s * s + s / q + 1)
    g = 10 ** (db / 40)
    return (s * s + s * g / q + 1) / (s * s + s / (g * q) + 1)


TARGETS = [20, 31.5, 50, 80, 125, 200, 315, 500, 800, 1250, 2000, 3150, 4000, 5000, 6300, 8000,
           10000, 12500, 15000]

# Filters: the sweep against tones at the same frequencies, and against the
# analog prototype.
for chain, kind, args, gain in [("lowpass=5000/0.707", "lowpass", (5000, 0.707), 0),
                                ("highpass=100", "highpass", (100,), 0),
                                ("gain=-12,peak=2000/2/6", "peak", (2000, 2, 6), -12)]:
    r, _ = measure(chain)
    f, mag = r["frequency_hz"], r["magnitude_db"]
    bins = [int(np.argmin(abs(f - x))) for x in TARGETS]
    steady = 20 * np.log10(tones(chain, f[bins]))
    check(f"{chain}: sweep vs tones, 20 Hz - 15 kHz", np.max(abs(mag[bins] - steady)), 0.1)
    ideal = 20 * np.log10(abs(analog(kind, f, *args))) + gain
    for top, limit in [(5000, 0.1), (10000, 0.3)]:
        band = (f >= 20) & (f <= top)
        check(f"{chain}: sweep vs analog, 20 Hz - {top // 1000} kHz",
              np.max(abs(mag[band] - ideal[band])), limit)

# A pure delay: found within a sample, and the phase flat once it is removed.
r, delay = measure("delay=12.3")
check("delay=12.3: delay found vs 542.43 samples", abs(delay - 12.3e-3 * RATE), 1.0, "samples")
band = (r["frequency_hz"] >= 20) & (r["frequency_hz"] <= 10000)
check("delay=12.3: phase to 10 kHz", np.max(abs(r["phase_deg"][band])), 2.0, "deg")

# The polynomial: y = x + A2 x^2 + A3 x^3 at -6 dBFS.
a2, a3, amp = 0.02, 0.05, 10 ** (-6 / 20)
fundamental = amp + 0.75 * a3 * amp ** 3
truth = {"h2_db": 20 * np.log10(a2 * amp ** 2 / 2 / fundamental),
         "h3_db": 20 * np.log10(a3 * amp ** 3 / 4 / fundamental)}
dist = os.path.join(work, "distortion.csv")
measure("poly=0.02/0.05", "--distortion", dist)
d = np.genfromtxt(dist, delimiter=",", names=True)
band = (d["frequency_hz"] >= 50) & (d["frequency_hz"] <= 5000)
for h, want in truth.items():
    check(f"poly: {h[:2].upper()} vs {want:.2f} dB, 50 Hz - 5 kHz",
          np.max(abs(d[h][band] - want)), 0.5)
at = int(np.argmin(abs(d["frequency_hz"] - 1000)))
steady = tones("poly=0.02/0.05", [d["frequency_hz"][at]], harmonics=5, seconds=1.0)[0]
thd = 20 * np.log10(np.sqrt(np.sum(steady ** 2)))
check(f"poly: THD at 1 kHz {d['thd_db'][at]:.2f} vs tone {thd:.2f} dB", abs(d["thd_db"][at] - thd),
      0.5)

# Noise: each doubling of the repeats lowers the noise in the response by
# 3 dB. The noise is what the noisy response differs by from the clean one.
clean, _ = measure("gain=0")
h0 = 10 ** (clean["magnitude_db"] / 20) * np.exp(1j * np.radians(clean["phase_deg"]))
band = (clean["frequency_hz"] >= 100) & (clean["frequency_hz"] <= 15000)
levels = []
for repeats in (1, 2, 4, 8):
    r, _ = measure("noise=-50", "--repeat", str(repeats))
    h = 10 ** (r["magnitude_db"] / 20) * np.exp(1j * np.radians(r["phase_deg"]))
    levels.append(10 * np.log10(np.mean(abs(h - h0)[band] ** 2)))
    rows.append(f"| noise=-50: noise in the response, {repeats} repeat(s) | {levels[-1]:.2f} dB | | |")
for n, (a, b) in zip((2, 4, 8), zip(levels, levels[1:])):
    check(f"noise=-50: drop from {n // 2} to {n} repeats, off 3 dB by", abs((a - b) - 3.0), 1.0)

print("| check | measured | limit | |\n|---|---|---|---|")
print("\n".join(rows))
if failures:
    sys.exit("failed: " + "; ".join(failures))
print("log sweep over the cable as expected")
