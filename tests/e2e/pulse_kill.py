#!/usr/bin/env python3
"""The sound server killed under a running instrument.

For each scenario (the analyzer running, a sweep running, the generator's
tone playing while its waveform changes) this starts a PulseAudio server of
its own (never the one the other tests share), runs `zorvane-cli script
--audio=AUDIO` against it (system: the PulseAudio backend, the server being
there; portaudio: PortAudio through ALSA's pulse plug-in), and kills the server by its pid at a random
moment once the scenario runs. Every run must show a "Wave Device Message"
and end within two seconds of the kill; a run that does not end within its
time-out fails (it would have hung). Prints one line per run and the slowest
answer per scenario.

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

# Each scenario prints "clock = ..." once it runs; the kill follows.
SCENARIOS = {
    "analysis": ["click OutputBtn", "click StartBtn", "wait 300", "clock", "wait 30000"],
    "sweep": ["click SweepBtn", "click SweepStartBtn", "clock", "wait 30000"],
    "tone": ["click OutputBtn", "wait 300", "clock"] + ["click WaveformBtn", "wait 100"] * 300,
}


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

    def kill(self):
        os.kill(self.pid, signal.SIGKILL)

    def stop(self):
        subprocess.run([STOP], env=self.env, stdout=subprocess.DEVNULL)


def run_once(cli, audio, scenario, delay, root):
    """One run: (verdict or None, seconds from the kill to the end, first message)."""
    server = Server(root)
    script = os.path.join(root, "script.zvs")
    with open(script, "w") as f:
        f.write("\n".join(SCENARIOS[scenario] + ["quit"]) + "\n")
    lines = []  # (time, line)
    proc = subprocess.Popen([cli, "script", "--audio=" + audio, script], env=server.env,
                            stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True)
    running = threading.Event()

    def read():
        for line in proc.stdout:
            lines.append((time.monotonic(), line.rstrip("\n")))
            if line.startswith("clock = "):
                running.set()

    reader = threading.Thread(target=read)
    reader.start()
    try:
        if not running.wait(RUN_TIMEOUT):
            return "never started: " + " | ".join(l for _, l in lines), 0.0, None
        time.sleep(delay)
        killed = time.monotonic()
        server.kill()
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
        device = [t for t, l in after if l.startswith("message [Wave Device Message]")]
        text = " | ".join(l for _, l in after)
        if proc.returncode != 0:
            return "exit status %d: %s" % (proc.returncode, text), ended, None
        if not device or "terminated" not in (l for _, l in after):
            return "no device message and end: " + text, ended, None
        if ended > ANSWER_LIMIT:
            return "answered after %.2f s: %s" % (ended, text), ended, None
        return None, ended, next(l for _, l in after if l.startswith("message ["))
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
    for scenario in SCENARIOS:
        slowest = 0.0
        for i in range(runs):
            delay = rng.uniform(0.3, 2.5)
            with tempfile.TemporaryDirectory(prefix="zorvane-kill-") as root:
                verdict, ended, message = run_once(cli, audio, scenario, delay, root)
            slowest = max(slowest, ended)
            if verdict:
                failures += 1
                print("FAIL %s run %d (killed %.2f s in): %s" % (scenario, i + 1, delay, verdict))
            else:
                print("ok   %s run %d (killed %.2f s in): ended %.3f s after the kill; %s"
                      % (scenario, i + 1, delay, ended, message))
        print("%s: slowest answer %.3f s" % (scenario, slowest))
    if failures:
        print("%d run(s) failed" % failures)
        sys.exit(1)


if __name__ == "__main__":
    main()
