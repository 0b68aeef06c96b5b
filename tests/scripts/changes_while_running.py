#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Generator changes while the analyzer runs never pile loops on the stack.

Every frequency or waveform change with the output on restarts a running
analyzer. Through the remote control over the cable: 2,000 frequency
confirmations and 200 waveform clicks while the analyzer runs, in bursts
with no time between them and with waits that let the loop reach every point
of its cycle, and now and then a block length chosen between a change and
the loop's next turn. The loop must stay one level deep throughout, the last tone
must be the one the analyzer shows afterwards, and STOP must end the run for
good. Usage: changes_while_running.py ZORVANE_CLI"""
import os
import random
import subprocess
import sys
import tempfile

CLI = sys.argv[1]
BIN = 44100 / 1024
rng = random.Random(20)
SIZES = ["N81921", "N10241", "N40961", "N20481", "N81921", "N10241"]

script = ["key FrequencyDisplay \\b\\b\\b\\b\\b1000\\r", "click OutputBtn", "click StartBtn",
          "wait 300"]
tones = []
for i in range(2000):
    tones.append(round(rng.uniform(100.0, 15000.0), 1))
    script += [f"set FrequencyDisplay {tones[-1]}", "key FrequencyDisplay \\r"]
    if i % 25 == 12:
        # Up or down from the length the loop's buffers were queued at.
        script.append(f"click {SIZES[(i // 25) % len(SIZES)]}")
    if i % 10 == 9:
        script.append("click WaveformBtn")
    # Bursts of up to a few changes, then a wait of 0 to 60 ms.
    if rng.random() < 0.4:
        script.append(f"wait {rng.randrange(0, 61)}")
    if i % 100 == 99:
        script.append("state AnalyzerLoopDepth")
# The last tone lies far from the one before it, so a block from before the
# change cannot pass for one after it.
last = round(tones[-1] + 2000.0 if tones[-1] < 8000 else tones[-1] - 2000.0, 1)
script += ["click N10241", f"set FrequencyDisplay {last}", "key FrequencyDisplay \\r", "wait 500",
           "state AnalyzerLoopDepth", "state AnalyzerActive", "state Waveform",
           "get PeakFreq.Caption", "click StopBtn", "wait 500", "state AnalyzerLoopDepth",
           "state AnalyzerActive", "state CaptureDeviceOpen", "get StartBtn.Caption", "quit"]

with tempfile.TemporaryDirectory() as work:
    path = os.path.join(work, "s.zvs")
    with open(path, "w") as f:
        f.write("\n".join(script) + "\n")
    try:
        done = subprocess.run([CLI, "script", "--audio=loopback", path], capture_output=True,
                              text=True, env=dict(os.environ, XDG_CONFIG_HOME=work), timeout=60)
    except subprocess.TimeoutExpired:
        print("FAIL the script did not end within 60 s (it takes about one)")
        sys.exit(1)

lines = done.stdout.splitlines()
depths = [int(l.split(" = ")[1]) for l in lines if l.startswith("AnalyzerLoopDepth = ")]
values = {}
for l in lines:
    if " = " in l:
        values.setdefault(l.split(" = ")[0], []).append(l.split(" = ", 1)[1])
failures = []
if done.returncode != 0 or not lines or lines[-1] != "terminated":
    failures.append(f"exit {done.returncode}, last line {lines[-1:]}, stderr {done.stderr[-500:]}")
elif len(depths) != 22 or depths[:21] != [1] * 21 or depths[21] != 0:
    failures.append(f"loop depths while running and after STOP: {depths}")
else:
    peak = float(values["PeakFreq.Caption"][0])
    if values["Waveform"] != ["0"] or abs(peak - last) > BIN / 2:
        failures.append(f"last tone {last} Hz (sine), the analyzer shows {peak} Hz, "
                        f"waveform {values['Waveform']}")
    if values["AnalyzerActive"] != ["1", "0"] or values["CaptureDeviceOpen"] != ["0"]:
        failures.append(f"running then stopped: AnalyzerActive {values['AnalyzerActive']}, "
                        f"CaptureDeviceOpen {values['CaptureDeviceOpen']}")
    if values["StartBtn.Caption"] != ["START"]:
        failures.append(f"START caption after STOP: {values['StartBtn.Caption']}")
for f in failures:
    print("FAIL", f)
sys.exit(1 if failures else 0)
