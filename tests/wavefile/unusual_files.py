#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""What is not a WAV file the analyzer can read, through `zorvane-cli analyze`
and the remote control's file dialog: a named pipe, a folder, a device node, a
file nobody may read, a header of 64 MiB of empty chunks, and (remote control
only; analyze's batch reading is tested with it) a file cut short while it
plays. Each must be refused within a second
with a message naming the problem, and analyze must end with status 1.
Prints the table of what each entrance said.

usage: unusual_files.py ZORVANE_CLI
"""
import os
import shutil
import struct
import subprocess
import sys
import tempfile
import threading
import time

LIMIT = 1.0  # seconds from the open (or the cut) to the message
NOBODY = ["setpriv", "--reuid=nobody", "--regid=nogroup", "--clear-groups"]


def header(data_bytes):
    fmt = struct.pack("<4sIHHIIHH", b"fmt ", 16, 1, 1, 44100, 88200, 2, 16)
    return b"RIFF" + struct.pack("<I", 0) + b"WAVE" + fmt + b"data" + struct.pack("<I", data_bytes)


def prepare(work):
    """(name, path, words of the message, runs as nobody) per case."""
    fifo = os.path.join(work, "pipe.wav")
    os.mkfifo(fifo)
    folder = os.path.join(work, "folder.wav")
    os.mkdir(folder)
    locked = os.path.join(work, "locked.wav")
    with open(locked, "wb") as f:
        f.write(header(88200) + bytes(88200))
    os.chmod(locked, 0)
    empty_chunks = os.path.join(work, "empty_chunks.wav")
    with open(empty_chunks, "wb") as f:
        f.write(header(0)[:36])  # RIFF, WAVE and the format chunk, then 64 MiB of zeros
        f.truncate(36 + (64 << 20))
    return [
        ("named pipe", fifo, "is a named pipe", False),
        ("folder", folder, "is a folder", False),
        ("device node", "/dev/zero", "is a device", False),
        # Root reads any file: the refusal is the ordinary user's.
        ("no permission (mode 000)", locked, "Permission denied", os.geteuid() == 0),
        ("64 MiB of empty chunks", empty_chunks, "more than 4096 chunks", False),
    ]


def run(command, stdin=None, timeout=20):
    start = time.monotonic()
    try:
        p = subprocess.run(command, input=stdin, capture_output=True, text=True, timeout=timeout)
    except subprocess.TimeoutExpired:  # hung: killed
        p = subprocess.CompletedProcess(command, -9, "", "(hung)")
    return p, time.monotonic() - start


def cut_while_playing(cli, work):
    """The remote control plays a 2 GiB file that is cut to 100 bytes once it plays."""
    path = os.path.join(work, "cut.wav")
    with open(path, "wb") as f:
        f.write(header(0x7FFF0000))
        f.truncate(44 + 0x7FFF0000)  # sparse: nothing on the disk
    script = "dialog %s\nclick OpenWavefile1\nclick WaveFile1\nclick N50ms2\nclick StartBtn\n" \
             "state AnalyzerActive\nwait 86400000\nquit\n" % path
    proc = subprocess.Popen([cli, "script", "--audio=loopback"], stdin=subprocess.PIPE, stdout=subprocess.PIPE,
                            stderr=subprocess.DEVNULL, text=True)
    proc.stdin.write(script)
    proc.stdin.close()
    lines = []
    playing = threading.Event()

    def read():
        for line in proc.stdout:
            lines.append((time.monotonic(), line.strip()))
            if line.startswith("AnalyzerActive = 1"):
                playing.set()

    reader = threading.Thread(target=read)
    reader.start()
    try:
        if not playing.wait(20):
            return None, 0.0, "never played: " + " | ".join(l for _, l in lines)
        time.sleep(0.3)
        cut = time.monotonic()
        os.truncate(path, 100)
        proc.wait(20)
    except subprocess.TimeoutExpired:
        return None, 0.0, "never ended: " + " | ".join(l for _, l in lines)
    finally:
        if proc.poll() is None:
            proc.kill()
            proc.wait()
        reader.join()
    said = [(t - cut, l) for t, l in lines if l.startswith("message")]
    if not said:
        return None, 0.0, "no message: " + " | ".join(l for _, l in lines)
    return said[0][1], said[0][0], None


def main():
    cli = sys.argv[1]
    failures = 0
    with tempfile.TemporaryDirectory(prefix="zorvane-special-") as work:
        os.chmod(work, 0o755)
        # A copy nobody may run (the build folder may be closed to others).
        own = os.path.join(work, "zorvane-cli")
        shutil.copy(cli, own)
        os.chmod(own, 0o755)
        print("%-26s %-14s %-6s %s" % ("input", "entrance", "secs", "what it said"))
        for name, path, words, as_nobody in prepare(work):
            prefix = NOBODY if as_nobody else []
            analyze, took_a = run(prefix + [own, "analyze", path])
            remote, took_r = run(prefix + [own, "script", "--audio=loopback"],
                                 "dialog %s\nclick OpenWavefile1\nquit\n" % path)
            said_r = next((l for l in remote.stdout.splitlines() if l.startswith("message")), "")
            for entrance, said, took, ok in (
                    ("analyze", analyze.stderr.strip(), took_a, analyze.returncode == 1),
                    ("remote", said_r, took_r, remote.returncode == 0)):
                verdict = "ok  " if ok and words in said and took < LIMIT else "FAIL"
                failures += verdict == "FAIL"
                print("%s %-26s %-9s %5.3f  %s" % (verdict, name, entrance, took, said))
        said, took, problem = cut_while_playing(own, work)
        ok = problem is None and "cut short" in said and took < LIMIT
        failures += not ok
        print("%s %-26s %-9s %5.3f  %s" % ("ok  " if ok else "FAIL", "cut short while playing",
                                            "remote", took, problem or said))
    if failures:
        print("%d case(s) failed" % failures)
        sys.exit(1)


if __name__ == "__main__":
    main()
