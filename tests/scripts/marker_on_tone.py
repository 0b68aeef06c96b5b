#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""A marker on the plot column where a tone peaks names the tone: through the
remote control over the cable, tones at 44,100 Hz are analysed at 1024 and
8192 points; the column with the highest display value is found, and the
marker set there, the pointer moved there and the exported row of that point
must each name the tone within half a display point (43.07 Hz; the readouts
truncate to whole hertz). Usage: marker_on_tone.py ZORVANE_CLI"""
import os
import subprocess
import sys
import tempfile

CLI = sys.argv[1]
HALF_POINT = 44100 / 1024 / 2
failures = []


def run(commands):
    with tempfile.TemporaryDirectory() as work:
        path = os.path.join(work, "s.zvs")
        with open(path, "w") as f:
            f.write("\n".join(c.replace("WORK", work) for c in commands) + "\nquit\n")
        done = subprocess.run([CLI, "script", "--audio=loopback", path], capture_output=True,
                              text=True, env=dict(os.environ, XDG_CONFIG_HOME=work), timeout=120)
        csv = os.path.join(work, "plot.csv")
        rows = open(csv).read().split()[1:] if os.path.exists(csv) else []
    values = dict(line.split(" = ", 1) for line in done.stdout.splitlines() if " = " in line)
    return values, rows


for size in (1024, 8192):
    for hz in (1000.0, 4321.7, 15003.2):
        # The cable's clock is virtual: both runs show the same frame.
        tone = [f"set FrequencyDisplay {hz}", "key FrequencyDisplay \\r", "click OutputBtn",
                f"click N{size}1", "click StartBtn", "wait 2000", "click StartBtn"]
        values, _ = run(tone + [f"state DisplayValues[{i}]" for i in range(511)])
        column = max(range(511), key=lambda i: float(values[f"DisplayValues[{i}]"]))
        values, rows = run(tone + [f"set Mkr1ScrollBar {column}", "click Mkr1Btn",
                                   "get Mkr1Freq.Caption",
                                   f"mouse move SpectrumBox left {column} 50",
                                   "get CursorFreq.Text", "dialog WORK/plot.csv",
                                   "click ExportData1"])
        readings = {"marker": float(values["Mkr1Freq.Caption"]),
                    "pointer": float(values["CursorFreq.Text"]),
                    "exported row": float(rows[column].split(",")[0])}
        for name, got in readings.items():
            ok = abs(got - hz) <= HALF_POINT + (0 if name == "exported row" else 1)
            print(f"{'ok  ' if ok else 'FAIL'} {size} points, {hz} Hz at column {column}: "
                  f"{name} {got}")
            if not ok:
                failures.append(f"{name} at {size} points for {hz} Hz")
if failures:
    sys.exit("failed: " + "; ".join(failures))
print("markers name the tones they stand on")
