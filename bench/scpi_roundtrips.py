#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Round trips to zorvane-cli serve through PyVISA (pure-Python backend):
for SECONDS (default 60), *OPC? and FETC:SPEC? in turn while the analyzer
runs on a 1 kHz tone; prints queries per second and the round-trip times.
Usage: scpi_roundtrips.py ZORVANE_CLI [--seconds S] [--real] [--audio=A]"""
import argparse
import os
import re
import statistics
import subprocess
import tempfile
import threading
import time

import pyvisa

ap = argparse.ArgumentParser()
ap.add_argument("cli")
ap.add_argument("--seconds", type=float, default=60)
ap.add_argument("--real", action="store_true", help="spectra as 32-bit float blocks")
ap.add_argument("--audio", default="loopback")
args = ap.parse_args()

with tempfile.TemporaryDirectory() as work:
    proc = subprocess.Popen([args.cli, "serve", "--audio=" + args.audio, "--listen", "127.0.0.1:0"],
                            env=dict(os.environ, XDG_CONFIG_HOME=work),
                            stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, text=True)
    port, ready = [], threading.Event()

    def read():
        for line in proc.stderr:
            m = re.search(r"listening on .*:(\d+)", line)
            if m:
                port.append(int(m.group(1)))
                ready.set()
        ready.set()

    threading.Thread(target=read, daemon=True).start()
    ready.wait(20)
    try:
        inst = pyvisa.ResourceManager("@py").open_resource(
            f"TCPIP::127.0.0.1::{port[0]}::SOCKET", read_termination="\n",
            write_termination="\n", timeout=10000)
        inst.write("SOUR:FREQ 1000;:OUTP ON;:INIT")
        inst.write("FORM REAL,32" if args.real else "FORM ASC")
        fetch = ((lambda: inst.query_binary_values("FETC:SPEC?", datatype="f", is_big_endian=True))
                 if args.real else (lambda: inst.query_ascii_values("FETC:SPEC?")))
        bins = len(fetch())
        times = {"*OPC?": [], "FETC:SPEC?": []}
        end = time.perf_counter() + args.seconds
        while time.perf_counter() < end:
            t = time.perf_counter()
            assert inst.query("*OPC?") == "1"
            u = time.perf_counter()
            assert len(fetch()) == bins
            v = time.perf_counter()
            times["*OPC?"].append(u - t)
            times["FETC:SPEC?"].append(v - u)
        total = sum(len(x) for x in times.values())
        spent = sum(sum(x) for x in times.values())
        print(f"{args.seconds:.0f} s, audio {args.audio}, spectra {'REAL,32' if args.real else 'ASCII'}"
              f" ({bins} bins): {total / spent:.0f} queries/s")
        print("| query | count | per second | median ms | 99th percentile ms |")
        print("|---|---|---|---|---|")
        for name, x in times.items():
            q = statistics.quantiles(x, n=100)
            print(f"| {name} | {len(x)} | {len(x) / sum(x):.0f} | {statistics.median(x) * 1000:.3f}"
                  f" | {q[98] * 1000:.3f} |")
        inst.write("ABOR")
        inst.close()
    finally:
        proc.terminate()
        proc.wait()
