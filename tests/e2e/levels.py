#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Writes the remote-control script of the level test and judges its output.

  levels.py script RATE TONES...       prints the script for one run
  levels.py judge RATE OUTPUT TONES... checks one run's output, prints a table

A tone is FREQ:DBFS:ROLE, ROLE "step" (one of the tones whose level
differences are checked: bin-centred, so every size reads them alike),
"place" (a tone anywhere between the bins, whose level must read the same at
every transform size) or "floor" (a bin-centred tone around which the
spectrum must be empty: no bin further than 6 bins from it may read more than
3 dB above the median of those bins, at every size). The first "place" tone
is the loudest of its file and gives the frequency readout.

The script runs the analyzer at RATE for each transform size, stops it, and
reads for every tone the trace's height at the tone's display point
(TracePixels around it), the peak frequency, and the cursor readout over
every row of the tone's column. A height h stands on row 199 - h; the scale
labels put 0 dB on row 0 and count 10 dB per 20 rows, so the level read off
the plot is -row / 2 dB. The cursor readout shows whole decibels.
"""
import re
import sys

SIZES = (1024, 2048, 4096, 8192)
PLOT_BASELINE = 199


def tones(args):
    out = []
    for t in args:
        freq, dbfs, role = t.split(":")
        out.append((float(freq), float(dbfs), role))
    return out


def column(freq, rate, size):
    """Display point of a frequency on the default window (1..512): point c
    stands at bin sf + c x 511 sf / 512."""
    sf = size // 1024
    step = 511 * sf / 512
    return round((freq * size / rate - sf) / step)


def tone_element(freq, rate, size):
    """The spectrum element of a bin-centred tone (element k holds bin k - 1)."""
    return round(freq * size / rate) + 1


def script(rate, tone_list):
    lines = [f"click N{rate}1"]
    for size in SIZES:
        block_ms = 1000 * size / rate
        lines += [f"click N{size}1", "click StartBtn", f"wait {int(max(1500, 3 * block_ms + 600))}",
                  "click StartBtn", "state TransformSize", "state PeakFrequency"]
        if any(role == "floor" for _, _, role in tone_list):
            lines += [f"state HoldSpectrum[{k}]" for k in range(1, size // 2 + 1)]
        for freq, _, _ in tone_list:
            c = column(freq, rate, size)
            lines += [f"state TracePixels[{x}]" for x in range(c - 2, c + 3)]
            for row in range(0, 200):
                lines += [f"mouse move SpectrumBox left {c} {row}", "get CursorAmpl.Text"]
    lines.append("quit")
    return "\n".join(lines) + "\n"


def judge(rate, text, tone_list):
    failures = []
    table = []
    frames = text.split("TransformSize = ")[1:]
    if len(frames) != len(SIZES):
        return [f"expected {len(SIZES)} frames, got {len(frames)}"], []
    readings = {}  # (freq, size) -> (label dB, cursor dB)
    peaks = {}
    for frame in frames:
        size = int(frame.split("\n", 1)[0])
        peaks[size] = float(re.search(r"PeakFrequency = ([-\d.e+]+)", frame).group(1))
        heights = {int(i): int(v) for i, v in re.findall(r"TracePixels\[(\d+)\] = (-?\d+)", frame)}
        spectrum = {int(k): float(v) / 2  # half decibels
                    for k, v in re.findall(r"HoldSpectrum\[(\d+)\] = ([-\d.e+]+)", frame)}
        for freq, dbfs, role in tone_list:
            if role != "floor":
                continue
            t = tone_element(freq, rate, size)
            rest = sorted(v for k, v in spectrum.items() if k >= 2 and abs(k - t) > 6)
            median, top = rest[len(rest) // 2], rest[-1]
            table.append(f"{rate} Hz {size:5d}: {freq:.3f} Hz at {dbfs:g} dBFS reads "
                         f"{spectrum[t]:.1f} dB; beyond 6 bins median {median:.1f}, "
                         f"highest {top:.1f} dB")
            if top > median + 3.0:
                failures.append(f"{size}: {top:.1f} dB beyond 6 bins of {freq} Hz, "
                                f"median {median:.1f} dB")
        cursor = [int(v) for v in re.findall(r"CursorAmpl\.Text = (-?\d+)", frame)]
        for n, (freq, _, _) in enumerate(tone_list):
            c = column(freq, rate, size)
            h = max(heights[x] for x in range(c - 2, c + 3))
            row = PLOT_BASELINE - h
            label_db = -row / 2
            readout = cursor[n * 200 + row] if 0 <= row < 200 else None
            readings[(freq, size)] = (label_db, readout)
            if readout is None:
                failures.append(f"{freq} Hz at {size}: the trace (row {row}) is off the plot")
            elif readout != -int(row * 100 / 200):
                failures.append(f"{freq} Hz at {size}: readout {readout} on row {row}")
    steps = [t for t in tone_list if t[2] == "step"]
    for size in SIZES:
        for (f1, d1, _), (f2, d2, _) in zip(steps, steps[1:]):
            want = d1 - d2
            l1, c1 = readings[(f1, size)]
            l2, c2 = readings[(f2, size)]
            if l1 is None or l2 is None or c1 is None or c2 is None:
                continue
            got_label, got_cursor = l1 - l2, c1 - c2
            table.append(f"{rate} Hz {size:5d}: {d1:g} vs {d2:g} dBFS: labels {got_label:5.1f} dB"
                         f" ({got_label - want:+.1f}), readout {got_cursor} dB ({got_cursor - want:+.1f})")
            if abs(got_label - want) > 0.5:
                failures.append(f"{size}: {d1:g}/{d2:g} dBFS read {got_label} dB apart on the trace")
            # The readout shows whole decibels (truncated): within its step.
            if abs(got_cursor - want) > 1.0:
                failures.append(f"{size}: {d1:g}/{d2:g} dBFS read {got_cursor} dB apart on the readout")
    for freq, dbfs, role in tone_list:
        if role != "place":
            continue
        levels = [readings[(freq, s)][0] for s in SIZES]
        spread = max(levels) - min(levels)
        table.append(f"{rate} Hz {freq:9.3f} Hz at {dbfs:g} dBFS: "
                     + ", ".join(f"{s}: {l:.1f}" for s, l in zip(SIZES, levels))
                     + f" dB (spread {spread:.1f})")
        if spread > 1.0:
            failures.append(f"{freq} Hz reads {levels} dB at the four sizes")
    place = [t for t in tone_list if t[2] == "place"]
    if place:
        freq = place[0][0]
        for size in SIZES:
            err = peaks[size] - freq
            bins = err / (rate / size)
            table.append(f"{rate} Hz {size:5d}: {freq:.3f} Hz read {peaks[size]:.1f} Hz"
                         f" ({err:+.2f} Hz, {bins:+.3f} bin)")
            if abs(bins) > 0.15:
                failures.append(f"{size}: peak {peaks[size]} Hz for {freq} Hz")
    return failures, table


def main():
    if sys.argv[1] == "script":
        sys.stdout.write(script(int(sys.argv[2]), tones(sys.argv[3:])))
        return 0
    rate = int(sys.argv[2])
    with open(sys.argv[3]) as f:
        text = f.read()
    failures, table = judge(rate, text, tones(sys.argv[4:]))
    for line in table:
        print("  " + line)
    for line in failures:
        print("FAIL " + line)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
