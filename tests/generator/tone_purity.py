#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""The generator's triangle and square as `zorvane-cli tone` writes them,
judged by numpy: over one loop (found as the shortest stretch the file
repeats) the mean lies within 1 LSB of zero and the highest and lowest
samples within 1 LSB of each other's size; the triangle's spectrum holds
nothing above -60 dBc but its harmonics and their aliases (the odd ones, up
to the 101st, 80 dB down).
Usage: tone_purity.py ZORVANE_CLI"""
import os
import subprocess
import sys
import tempfile
import wave

import numpy as np

CLI = sys.argv[1]
RATE = 44100
FREQUENCIES = (100.0, 440.0, 1000.0, 2000.01, 5000.0, 10000.0, 15000.0)


def tone(waveform, hz, work):
    path = os.path.join(work, f"{waveform}.wav")
    subprocess.run([CLI, "tone", "--waveform", waveform, "--freq", str(hz), "--seconds", "1",
                    path], check=True, capture_output=True)
    with wave.open(path) as w:
        return np.frombuffer(w.readframes(w.getnframes()), dtype="<i2").astype(float)


def loop_of(x):
    """The loop: the shortest length after which the file repeats itself."""
    for n in range(15, 11026):
        if np.array_equal(x[n:2 * n], x[:n]):
            return x[:n]
    sys.exit("no loop found")


def spur_dbc(loop, hz):
    """The strongest component that is neither a harmonic nor an alias of one,
    in dB below the fundamental, from the loop played over and over (as the
    device plays it)."""
    x = np.tile(loop, 1 + (1 << 18) // len(loop))
    spectrum = np.abs(np.fft.rfft(x * np.hanning(len(x))))
    freqs = np.fft.rfftfreq(len(x), 1 / RATE)
    db = 20 * np.log10(spectrum / spectrum.max() + 1e-20)
    own = freqs < 15  # the bottom bins hold the window's own skirt of zero frequency
    for k in range(1, 102, 2):
        alias = (k * hz) % RATE
        own |= np.abs(freqs - min(alias, RATE - alias)) < 15
    return db[~own].max(), freqs[~own][db[~own].argmax()]


failures = []
print("waveform   Hz         DC LSB  peaks          spur dBc  at Hz")
with tempfile.TemporaryDirectory() as work:
    for waveform in ("triangle", "square"):
        for hz in FREQUENCIES:
            loop = loop_of(tone(waveform, hz, work))
            dc, top, bottom = loop.mean(), loop.max(), loop.min()
            spur, at = spur_dbc(loop, hz) if waveform == "triangle" else (float("nan"), 0.0)
            ok = abs(dc) <= 1 and abs(top + bottom) <= 1 and not spur > -60
            print(f"{'ok  ' if ok else 'FAIL'} {waveform:8s} {hz:8.2f} {dc:+7.2f}  "
                  f"{top:+6.0f}/{bottom:+6.0f}  {spur:7.1f}  {at:8.1f}")
            if not ok:
                failures.append(f"{waveform} at {hz} Hz")
if failures:
    sys.exit("failed: " + ", ".join(failures))
print("triangle and square clean")
