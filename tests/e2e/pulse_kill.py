#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""The sound server killed under a running instrument.

For each scenario (the analyzer running, a sweep running, the generator's
tone playing while its waveform changes) this starts a PulseAudio server of
its own (never the one the other tests share), runs `zorvane-cli script
--audio=AUDIO` against it (system: the PulseAudio backend, the server being
there; portaudio: PortAudio through ALSA's pulse plug-in), and kills the
server by its pid at a random moment once the scenario runs. Every run must show a "Wave Device Message"
and end within two seconds of the kill; a run that does not end within its
time-out fails (it would have hung).

The log sweep measurement is killed the same way, half as often: through
the remote control (`measure start`), where the measurement's own message
must name the sound card within the same two seconds and the instrument
must still answer afterwards, and through `zorvane-cli measure`, which must
end with status 1 and that message, its file not written. A fifth as often
the server is frozen (SIGSTOP) under the measurement instead: a server that
stops answering leaves PortAudio's calls blocked for ever, and the
measurement must still fail, once its recording has stood still for three
seconds, within the same two seconds more (a killed server that PortAudio
sees as a silent one is given that time too). Prints one line per run and the
slowest answer per scenario.

usage: pulse_kill.py ZORVANE_CLI [RUNS_PER_SCENARIO [AUDIO]]
Exits 77 (skipped) without pulseaudio.
"""
import os
import random
import shutil
import signal
import subprocess
import sys
import tempfile
import threading
import time

# Seconds from the kill to the message and the end (a sanitizer build is
# given longer through ZORVANE_KILL_LIMIT).
ANSWER_LIMIT = float(os.environ.get("ZORVANE_KILL_LIMIT", 2.0))
RUN_TIMEOUT = 15.0  # a run still going by then has hung

HERE = os.path.dirname(os.path.abspath(__file__))
START = os.path.join(HERE, "..", "..", "scripts", "start-pulse.sh")
STOP = os.path.join(HERE, "..", "..", "scripts", "stop-pulse.sh")

# Each script prints "clock = ..." once it runs; the kill follows.
SCRIPTS = {
    "analysis": ["click OutputBtn", "click StartBtn", "wait 300", "clock", "wait 30000"],
    "sweep": ["click SweepBtn", "click SweepStartBtn", "clock", "wait 30000"],
    "tone": ["click OutputBtn", "wait 300", "clock"] + ["click WaveformBtn", "wait 100"] * 300,
    # The commands after "measure start" run while it measures; the wait
    # outlasts the four-second sweep and a stalled recording's three seconds,
    # so the state is asked for once the measurement has failed.
    "measure-script": ["measure start --seconds 4", "clock", "wait 8000",
                       "measure get State", "measure get Status"],
    "measure-script-frozen": ["measure start --seconds 4", "clock", "wait 8000",
                              "measure get State", "measure get Status"],
}
# The measurement from the command line: killed once it has said which
# devices it uses.
MEASURE_CLI = ["measure", "--audio=system", "--seconds", "4"]
SCENARIOS = list(SCRIPTS) + ["measure-cli", "measure-cli-frozen"]
# How long a measurement's recording may stand still before it fails.
STALL = 3.0
STALLED = "delivered nothing for"
MESSAGE = "message [Wave Device Message]"
MEASURE_FAILED = "The measurement failed: the sound "


class Server:
    """A PulseAudio server in its own folders, started by scripts/start-pulse.sh."""

    def __init__(self, root):
        self.env = dict(os.environ)
        for name in ("PULSE_SERVER", "PULSE_COOKIE", "PULSE_SINK", "PULSE_SOURCE"):
            self.env.pop(name, None)
        run = os.path.join(root, "run")
        self.env.update(
            ZORVANE_PULSE_STATE=os.path.join(root, "state"),
            PULSE_RUNTIME_PATH=run,
            XDG_RUNTIME_DIR=os.path.join(root, "xdg"),
            HOME=os.path.join(root, "home"),
        )
        for d in (run, self.env["XDG_RUNTIME_DIR"], self.env["HOME"]):
            os.makedirs(d, mode=0o700, exist_ok=True)
        # A client must not start a server of its own once this one is gone.
        client = os.path.join(root, "client.conf")
        with open(client, "w") as f:
            f.write("autospawn = no\n")
        self.env["PULSE_CLIENTCONFIG"] = client
        subprocess.run([START], env=self.env, check=True, stdout=subprocess.DEVNULL)
        with open(os.path.join(self.env["ZORVANE_PULSE_STATE"], "pid")) as f:
            self.pid = int(f.read())
        self.env["PULSE_SERVER"] = "unix:" + os.path.join(run, "native")
        self.env["PULSE_SINK"] = "zloop"
        self.env["PULSE_SOURCE"] = "zloop.monitor"

    def kill(self, sig=signal.SIGKILL):
        os.kill(self.pid, sig)

    def stop(self):
        try:
            os.kill(self.pid, signal.SIGKILL)  # a frozen server ignores the polite stop
        except ProcessLookupError:
            pass
        subprocess.run([STOP], env=self.env, stdout=subprocess.DEVNULL)


def judge(scenario, after, status, root):
    """What is wrong with a run's output after the kill, or None."""
    text = " | ".join(l for _, l in after)
    if scenario.startswith("measure-cli"):
        failed = [l for _, l in after if l.startswith("zorvane-cli: the measurement failed: ")]
        if status != 1 or not failed or MEASURE_FAILED.lower() not in failed[0]:
            return "exit status %d: %s" % (status, text)
        if os.path.exists(os.path.join(root, "response.csv")):
            return "a file was written: " + text
        return None
    if status != 0:
        return "exit status %d: %s" % (status, text)
    if "terminated" not in (l for _, l in after):
        return "no end: " + text
    if scenario.startswith("measure-script"):
        if not any(l.startswith("message [") and MEASURE_FAILED in l for _, l in after):
            return "no measurement message naming the sound device: " + text
        if "measure.State = failed" not in (l for _, l in after):
            return "the instrument did not answer after the failure: " + text
        return None
    if not any(l.startswith(MESSAGE) for _, l in after):
        return "no device message: " + text
    return None


def run_once(cli, audio, scenario, delay, root):
    """One run: (verdict or None, seconds from the kill to the answer, first message)."""
    server = Server(root)
    if scenario.startswith("measure-cli"):
        command = [cli] + MEASURE_CLI + ["--csv", os.path.join(root, "response.csv")]
        started = "zorvane-cli: audio: sound card"
    else:
        script = os.path.join(root, "script.zvs")
        with open(script, "w") as f:
            f.write("\n".join(SCRIPTS[scenario] + ["quit"]) + "\n")
        command = [cli, "script", "--audio=" + audio, script]
        started = "clock = "
    lines = []  # (time, line)
    proc = subprocess.Popen(command, env=server.env, stdout=subprocess.PIPE,
                            stderr=subprocess.STDOUT, text=True)
    running = threading.Event()

    def read():
        for line in proc.stdout:
            lines.append((time.monotonic(), line.rstrip("\n")))
            if line.startswith(started):
                running.set()

    reader = threading.Thread(target=read)
    reader.start()
    try:
        if not running.wait(RUN_TIMEOUT):
            return "never started: " + " | ".join(l for _, l in lines), 0.0, None
        time.sleep(delay)
        killed = time.monotonic()
        frozen = scenario.endswith("-frozen")
        server.kill(signal.SIGSTOP if frozen else signal.SIGKILL)
        try:
            proc.wait(RUN_TIMEOUT)
        except subprocess.TimeoutExpired:
            proc.kill()
            proc.wait()
            reader.join()
            return "hung (killed after %.0f s)" % RUN_TIMEOUT, RUN_TIMEOUT, None
        ended = time.monotonic() - killed
        reader.join()
        after = [(t - killed, l) for t, l in lines if t >= killed]
        verdict = judge(scenario, after, proc.returncode, root)
        if verdict:
            return verdict, ended, None
        # The answer is the message, and the end unless the instrument goes
        # on after it (the script's measurement keeps waiting for its wait).
        said = [(t, l) for t, l in after
                if l.startswith("message [") or l.startswith("zorvane-cli: the measurement")]
        answered = said[0][0] if scenario.startswith("measure-script") else ended
        # A killed server sometimes leaves PortAudio waiting on ALSA without an
        # error, as a frozen one does: the stalled recording ends it then.
        stalled = frozen or STALLED in said[0][1]
        if answered > ANSWER_LIMIT + (STALL if stalled else 0.0):
            return "answered after %.2f s: %s" % (answered, " | ".join(l for _, l in after)), \
                answered, None
        return None, answered, said[0][1]
    finally:
        if proc.poll() is None:
            proc.kill()
            proc.wait()
        server.stop()


def main():
    if len(sys.argv) < 2:
        sys.exit(__doc__)
    cli = sys.argv[1]
    runs = int(sys.argv[2]) if len(sys.argv) > 2 else 10
    audio = sys.argv[3] if len(sys.argv) > 3 else "system"
    if not shutil.which("pulseaudio") or not shutil.which("pactl"):
        print("skipped: pulseaudio is not installed")
        sys.exit(77)
    seed = int(os.environ.get("ZORVANE_KILL_SEED", time.time()))
    rng = random.Random(seed)
    print("seed %d (ZORVANE_KILL_SEED repeats it)" % seed)
    failures = 0
    # ZORVANE_KILL_ONLY=name,name runs those scenarios alone.
    only = [n for n in os.environ.get("ZORVANE_KILL_ONLY", "").split(",") if n]
    for scenario in [n for n in SCENARIOS if not only or n in only]:
        # The measurement's duplex is PortAudio's whatever the device
        # library: once is enough.
        if scenario.startswith("measure") and audio != "system" and not only:
            continue
        slowest = 0.0
        share = 5 if scenario.endswith("-frozen") else 2 if scenario.startswith("measure") else 1
        for i in range(max(1, runs // share)):
            delay = rng.uniform(0.3, 2.5)
            with tempfile.TemporaryDirectory(prefix="zorvane-kill-") as root:
                verdict, ended, message = run_once(cli, audio, scenario, delay, root)
            slowest = max(slowest, ended)
            if verdict:
                failures += 1
                print("FAIL %s run %d (killed %.2f s in): %s" % (scenario, i + 1, delay, verdict))
            else:
                print("ok   %s run %d (killed %.2f s in): answered %.3f s after the kill; %s"
                      % (scenario, i + 1, delay, ended, message))
        print("%s: slowest answer %.3f s" % (scenario, slowest))
    if failures:
        print("%d run(s) failed" % failures)
        sys.exit(1)


if __name__ == "__main__":
    main()
