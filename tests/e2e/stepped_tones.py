#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""The reference of the end-to-end LADSPA sweep: sox's stepped tones, as
recorded from the filter sink's monitor, measured by numpy.

  stepped_tones.py make CSV OUT.wav      one tone per row of a sweep's
                                         exported data, TONE_MS each, after
                                         half a second of silence
  stepped_tones.py judge CSV TONES REC   the level of each tone of TONES
                                         (the CSV the tones were made from)
                                         in the recording REC (16-bit mono
                                         44,100 Hz) against the level the
                                         sweep of CSV read at its frequency

The judge aligns the recording on the first tone's onset and measures each
tone over its steady middle with a Hann-weighted projection on its own
frequency, at the place within a tone's length of where it is due that
gives the most (a recorder that drops a few milliseconds on a busy machine
moves the later tones), and compares the differences (sweep minus sox) with their
median: every row within 0.5 dB, but the first, those at half the rate and
next to it (a tone there meets its own mirror image in the analyzer's
window), and those more than 60 dB below the loudest tone (a 16-bit sink
and a peak-held spectrum see no deeper). Prints the worst rows."""
import statistics
import subprocess
import sys

import numpy as np

RATE = 44100
TONE_MS = 60
LEAD_S = 0.5


def rows(path):
    with open(path) as f:
        lines = f.read().split()
    if lines[0] != "frequency_hz,level_db":
        sys.exit(f"unexpected header {lines[0]!r}")
    return [tuple(float(v) for v in line.split(",")) for line in lines[1:]]


def make(csv, out):
    # The rate is the input's: synthesised at 44,100 Hz, not resampled to it.
    chain = ["sox", "-r", str(RATE), "-n", "-b", "16", "-c", "1", out, "synth", str(LEAD_S),
             "sine", "1000", "gain", "-200"]
    for hz, _ in rows(csv):
        chain += [":", "synth", str(TONE_MS / 1000), "sine", f"{hz:.6f}", "gain", "-12"]
    subprocess.run(chain, check=True)


def judge(csv, tones, raw):
    played = [hz for hz, _ in rows(tones)]
    x = np.fromfile(raw, dtype="<i2").astype(float)
    tone = int(RATE * TONE_MS / 1000)
    # The first tone's onset: the first 1 ms whose RMS passes a tenth of the
    # loudest millisecond's.
    ms = RATE // 1000
    rms = np.sqrt(np.convolve(x * x, np.ones(ms) / ms, mode="valid"))
    onsets = np.nonzero(rms > 0.1 * rms.max())[0]
    if len(onsets) == 0:
        sys.exit("FAIL the recording holds no tones")
    start = onsets[0]
    margin = tone // 4
    window = np.hanning(tone - 2 * margin)
    top = RATE / 2 - RATE / 1024
    sox_db = {}
    t = np.arange(len(window)) / RATE
    shifts = range(-tone, tone + 1, tone // 40)
    for k, hz in enumerate(played):
        probe = window * np.exp(-2j * np.pi * hz * t)
        amp = 0.0
        for shift in shifts:
            a = start + k * tone + margin + shift
            seg = x[max(a, 0):a + len(window)]
            if len(seg) == len(window):
                amp = max(amp, 2 * abs(np.dot(seg, probe)) / window.sum())
        sox_db[round(hz, 3)] = 20 * np.log10(max(amp, 1e-9) / 32768)
    floor = max(sox_db.values()) - 60
    diffs = []
    for k, (hz, level) in enumerate(rows(csv)):
        if k > 0 and hz < top and sox_db[round(hz, 3)] > floor:
            diffs.append((level - sox_db[round(hz, 3)], hz, level))
    offset = statistics.median(d for d, _, _ in diffs)
    worst = sorted(diffs, key=lambda d: -abs(d[0] - offset))
    for d, hz, level in worst[:3]:
        print(f"  {hz:8.1f} Hz: sweep {level:7.2f} dB, sox tone {level - d + offset:7.2f} dB "
              f"(after the median offset), {d - offset:+.2f} dB")
    deviation = abs(worst[0][0] - offset)
    print(f"{'ok  ' if deviation <= 0.5 else 'FAIL'} {len(diffs)} points within "
          f"{deviation:.2f} dB of sox's tones")
    return 0 if deviation <= 0.5 else 1


if __name__ == "__main__":
    if sys.argv[1] == "make":
        make(sys.argv[2], sys.argv[3])
        sys.exit(0)
    sys.exit(judge(sys.argv[2], sys.argv[3], sys.argv[4]))
