#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Measures a recorded tone and checks it against expectations.

Reads 16-bit little-endian PCM, either raw (--raw RATE CHANNELS) or a WAV
file (8-bit WAV scaled to 16 bits), finds the part where the signal is on (blocks of 10 ms above a level),
drops a margin at both ends and measures each channel of what is left:

  frequency  from the rising zero crossings (linearly interpolated)
  rms        as a fraction of full scale (32768)
  min / max  sample values
  gap        the largest deviation from the two-term recurrence a pure sine
             obeys, x[n+1] = 2 cos(w) x[n] - x[n-1], as a fraction of the
             peak: a lost, repeated or reordered stretch of samples shows up
             as a jump far above the noise of quantisation and resampling.

Prints one line per channel and exits 1 when a check fails, 2 when there is
nothing to measure.
"""
import argparse
import array
import math
import sys
import wave


def read_samples(args):
    if args.raw:
        rate, channels = args.raw
        with open(args.file, "rb") as f:
            data = f.read()
    else:
        with wave.open(args.file, "rb") as w:
            rate, channels, width = w.getframerate(), w.getnchannels(), w.getsampwidth()
            data = w.readframes(w.getnframes())
        if width == 1:
            # 8-bit WAV is unsigned around 128; scale it to the 16-bit range.
            samples = array.array("h", ((b - 128) * 256 for b in data))
            frames = len(samples) // channels
            return rate, [samples[c : frames * channels : channels] for c in range(channels)]
        if width != 2:
            sys.exit("tone_stats: only 8- and 16-bit files")
    samples = array.array("h")
    samples.frombytes(data[: len(data) // 2 * 2])
    if sys.byteorder != "little":
        samples.byteswap()
    frames = len(samples) // channels
    return rate, [samples[c : frames * channels : channels] for c in range(channels)]


def active_span(x, rate, level):
    block = max(1, rate // 100)
    on = []
    for start in range(0, len(x) - block + 1, block):
        s = x[start : start + block]
        on.append(math.sqrt(sum(v * v for v in s) / block) > level)
    if True not in on:
        return None
    first = on.index(True)
    last = len(on) - 1 - on[::-1].index(True)
    return first * block, (last + 1) * block


def rising_crossings(x):
    times = []
    for n in range(1, len(x)):
        a, b = x[n - 1], x[n]
        if a < 0 <= b:
            times.append(n - 1 + (-a) / (b - a))
    return times


def measure(x, rate):
    n = len(x)
    out = {
        "rms": math.sqrt(sum(v * v for v in x) / n) / 32768.0,
        "min": min(x),
        "max": max(x),
        "frequency": None,
        "gap": None,
        "gap_at": None,
    }
    t = rising_crossings(x)
    if len(t) >= 3:
        f = (len(t) - 1) * rate / (t[-1] - t[0])
        out["frequency"] = f
        c = 2.0 * math.cos(2.0 * math.pi * f / rate)
        peak = max(abs(out["min"]), abs(out["max"]), 1)
        worst = max(range(1, n - 1), key=lambda i: abs(x[i + 1] - c * x[i] + x[i - 1]))
        out["gap"] = abs(x[worst + 1] - c * x[worst] + x[worst - 1]) / peak
        out["gap_at"] = worst
    return out


def main():
    p = argparse.ArgumentParser()
    p.add_argument("file")
    p.add_argument("--raw", nargs=2, type=int, metavar=("RATE", "CHANNELS"))
    p.add_argument("--level", type=float, default=300.0, help="RMS of a 10 ms block that counts as on")
    p.add_argument("--margin", type=float, default=0.2, help="seconds dropped at both ends")
    p.add_argument("--min-seconds", type=float, default=0.5)
    p.add_argument("--label", default="")
    p.add_argument("--freq", type=float, help="expected frequency, Hz")
    p.add_argument("--freq-tol", type=float, default=1.0)
    p.add_argument("--rms", type=float, help="expected RMS, fraction of full scale")
    p.add_argument("--rms-tol", type=float, default=0.03, help="relative")
    p.add_argument("--min", type=int, dest="min_value", help="expected smallest sample")
    p.add_argument("--max", type=int, dest="max_value", help="expected largest sample")
    p.add_argument("--value-tol", type=int, default=0)
    p.add_argument("--max-gap", type=float, help="largest allowed recurrence deviation")
    args = p.parse_args()

    rate, chans = read_samples(args)
    failures = []
    for c, x in enumerate(chans):
        span = active_span(x, rate, args.level)
        name = f"{args.label} ch{c}".strip()
        if span is None:
            print(f"{name}: no signal in {len(x)} frames")
            sys.exit(2)
        margin = int(args.margin * rate)
        a, b = span[0] + margin, span[1] - margin
        if b - a < args.min_seconds * rate:
            print(f"{name}: only {(span[1] - span[0]) / rate:.3f} s of signal")
            sys.exit(2)
        m = measure(x[a:b], rate)
        freq = "-" if m["frequency"] is None else f"{m['frequency']:.3f}"
        gap = "-" if m["gap"] is None else f"{m['gap']:.4f}"
        print(f"{name}: {(b - a) / rate:.2f} s at {rate} Hz  frequency {freq} Hz  "
              f"rms {m['rms']:.4f} FS  min {m['min']}  max {m['max']}  gap {gap}")
        if args.freq is not None:
            if m["frequency"] is None or abs(m["frequency"] - args.freq) > args.freq_tol:
                failures.append(f"{name}: frequency {freq} Hz, expected {args.freq} +- {args.freq_tol}")
        if args.rms is not None and abs(m["rms"] - args.rms) > args.rms_tol * args.rms:
            failures.append(f"{name}: rms {m['rms']:.4f}, expected {args.rms:.4f} +- {args.rms_tol:.0%}")
        if args.min_value is not None and abs(m["min"] - args.min_value) > args.value_tol:
            failures.append(f"{name}: min {m['min']}, expected {args.min_value} +- {args.value_tol}")
        if args.max_value is not None and abs(m["max"] - args.max_value) > args.value_tol:
            failures.append(f"{name}: max {m['max']}, expected {args.max_value} +- {args.value_tol}")
        if args.max_gap is not None and (m["gap"] is None or m["gap"] > args.max_gap):
            at = "" if m["gap_at"] is None else f" at {(a + m['gap_at']) / rate:.4f} s"
            failures.append(f"{name}: recurrence deviation {gap} of the peak{at}, allowed {args.max_gap}")
    for f in failures:
        print("FAIL " + f)
    sys.exit(1 if failures else 0)


if __name__ == "__main__":
    main()
