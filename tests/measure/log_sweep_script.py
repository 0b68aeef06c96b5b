#!/usr/bin/python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""The remote control's measure commands over the cable: a measurement that
runs while later commands run nested in it (as they do in a sweep), its
numbers against the files it writes, refusals as messages, and a stop from
inside it.
Usage: log_sweep_script.py ZORVANE_CLI (exit 77 without numpy)."""
import os
import subprocess
import sys
import tempfile

try:
    import numpy as np
except ImportError:
    print("skipped: needs numpy (scripts/deps.sh)")
    sys.exit(77)

CLI = sys.argv[1]
failures = []


def expect(what, ok, detail=""):
    print(f"{'ok  ' if ok else 'FAIL'} {what} {detail}")
    if not ok:
        failures.append(what)


with tempfile.TemporaryDirectory() as work:
    csv, dist = os.path.join(work, "r.csv"), os.path.join(work, "d.csv")
    script = f"""
measure get State
measure start --from 10 --to 22000 --seconds 1
wait 3000
measure get State
measure get DelayMs
measure at 5000
measure distortion 1000
measure save csv {csv}
measure save distortion {dist}
measure start --to 30000
click OutputBtn
measure start --to 20000
click OutputBtn
measure start --seconds 2 --repeat 4
wait 1000
measure get State
measure stop
wait 100
measure get State
measure at 5000
measure save frd {work}/none/r.frd
"""
    path = os.path.join(work, "m.zvs")
    with open(path, "w") as f:
        f.write(script)
    env = dict(os.environ, XDG_CONFIG_HOME=work)
    done = subprocess.run([CLI, "script", "--audio=loopback:lowpass=5000/0.707,poly=0.02/0.05",
                           path], capture_output=True, text=True, env=env, timeout=300)
    out = done.stdout.splitlines()
    print(done.stdout, done.stderr)
    states = [line.split(" = ")[1] for line in out if line.startswith("measure.State")]
    expect("states before, after, during and after a stop",
           states == ["idle", "done", "running", "stopped"], str(states))
    r = np.genfromtxt(csv, delimiter=",", names=True)
    at = [line for line in out if line.startswith("measure at 5000")]
    hz, mag, phase, _ = map(float, at[0].split(" = ")[1].split())
    i = int(np.argmin(abs(r["frequency_hz"] - 5000)))
    expect("measure at 5000 reads the file's row", abs(r["frequency_hz"][i] - hz) < 1e-3 and
           abs(r["magnitude_db"][i] - mag) < 1e-3 and abs(r["phase_deg"][i] - phase) < 1e-2,
           at[0])
    expect("a stopped measurement keeps the last result", at[1] == at[0], at[1])
    d = np.genfromtxt(dist, delimiter=",", names=True)
    line = [x for x in out if x.startswith("measure distortion 1000")][0]
    values = list(map(float, line.split(" = ")[1].split()))
    j = int(np.argmin(abs(d["frequency_hz"] - 1000)))
    expect("measure distortion 1000 reads the file's row",
           np.allclose(values, [d[n][j] for n in d.dtype.names], atol=1e-3, equal_nan=True), line)
    messages = [x for x in out if x.startswith("message")]
    expect("refusals are messages naming the problem", messages == [
        "message [Log Sweep Measurement] the end frequency must not lie above half the rate "
        "(22050 Hz)",
        "message [Log Sweep Measurement] Switch the output off before measuring"], str(messages))
    expect("a file that cannot be written is the script's error",
           done.returncode == 1 and "cannot write " + work + "/none/r.frd" in done.stderr and
           not os.path.exists(work + "/none"), done.stderr)

if failures:
    sys.exit("failed: " + "; ".join(failures))
print("measure commands as expected")
