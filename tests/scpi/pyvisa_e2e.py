#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""zorvane-cli serve driven like a bench instrument: PyVISA with its pure-Python
backend over TCPIP::127.0.0.1::PORT::SOCKET (a free port the server picks).
A tone is set, the analyzer started and its spectrum fetched (as text and as
a block of floats): the peak must lie within one bin of the tone. Errors come
back with their standard numbers; a sweep is awaited with *OPC?. With --pulse
the sound goes through the PulseAudio null sink (tests/e2e/pulse_scpi.sh);
otherwise through the built-in cable, followed by the server's bounds (second
client, garbage, an overlong line, a client killed mid-command, 100
connections, an idle client), its file confinement and its bind address,
and the readouts and the log sweep over simulated devices whose truth is
known: the polynomial's harmonics from its definition, the low-pass filter's
response from scipy's analog prototype.
With --window ZORVANE the window (offscreen) serves the tone and spectrum
checks too.
Usage: pyvisa_e2e.py ZORVANE_CLI [--pulse] [--window ZORVANE]"""
import os
import re
import select
import signal
import socket
import subprocess
import sys
import tempfile
import math
import threading
import time

try:
    import pyvisa
except ImportError:
    print("skipped: PyVISA is not installed (scripts/deps.sh installs python3-pyvisa)")
    sys.exit(77)

CLI = sys.argv[1]
PULSE = "--pulse" in sys.argv
WINDOW = sys.argv[sys.argv.index("--window") + 1] if "--window" in sys.argv else None
failures = []
work = tempfile.mkdtemp(prefix="zorvane-scpi-")


def check(what, ok, detail=""):
    print(f"{'ok  ' if ok else 'FAIL'} {what}{': ' + str(detail) if detail else ''}")
    if not ok:
        failures.append(what)


class Server:
    """zorvane-cli serve on a port of its own choosing; stderr collected."""

    def __init__(self, *args, window=False, chain=""):
        env = dict(os.environ, XDG_CONFIG_HOME=work, QT_QPA_PLATFORM="offscreen")
        listen = [] if any(a.startswith("--listen") for a in args) else ["--listen", "127.0.0.1:0"]
        audio = ["--audio=system"] if PULSE else ["--audio=loopback" + (":" + chain if chain else "")]
        program = [WINDOW] if window else [CLI, "serve"]
        self.proc = subprocess.Popen([*program, *audio, *listen, *args], env=env,
                                     stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, text=True)
        self.lines = []
        self.port = None
        ready = threading.Event()

        def read():
            for line in self.proc.stderr:
                self.lines.append(line.rstrip())
                m = re.search(r"listening on .*:(\d+)", line)
                if m:
                    self.port = int(m.group(1))
                    ready.set()
            ready.set()

        threading.Thread(target=read, daemon=True).start()
        ready.wait(20)
        if self.port is None:
            self.stop()
            sys.exit(f"FAIL the server did not start: {self.lines}")

    def visa(self):
        rm = pyvisa.ResourceManager("@py")
        inst = rm.open_resource(f"TCPIP::127.0.0.1::{self.port}::SOCKET",
                                read_termination="\n", write_termination="\n", timeout=15000)
        return inst

    def raw(self):
        return socket.create_connection(("127.0.0.1", self.port), timeout=10)

    def stop(self):
        if self.proc.poll() is None:
            self.proc.send_signal(signal.SIGTERM)
            try:
                self.proc.wait(10)
            except subprocess.TimeoutExpired:
                self.proc.kill()
                self.proc.wait()


def error(inst):
    return inst.query("SYST:ERR?")


def spectrum_peak(inst, tone, label):
    """Fetches the spectrum as text and as floats; the peak within a bin of the tone."""
    rate = float(inst.query("SENS:RATE?"))
    size = float(inst.query("SENS:SIZE?"))
    levels = inst.query_ascii_values("FETC:SPEC?")
    freqs = inst.query_ascii_values("FETC:SPEC:FREQ?")
    check(f"{label}: {len(levels)} levels and frequencies, one per bin",
          len(levels) == len(freqs) == size / 2, f"{len(levels)}, {len(freqs)}")
    peak = freqs[max(range(len(levels)), key=lambda k: levels[k])]
    check(f"{label}: peak {peak:.1f} Hz within a bin ({rate / size:.1f} Hz) of {tone} Hz",
          abs(peak - tone) <= rate / size)
    inst.write("FORM REAL,32")
    block = inst.query_binary_values("FETC:SPEC?", datatype="f", is_big_endian=True)
    inst.write("FORM ASC")
    peak_block = freqs[max(range(len(block)), key=lambda k: block[k])]
    check(f"{label}: the float block has the same peak", abs(peak_block - tone) <= rate / size,
          f"{len(block)} values, peak {peak_block:.1f} Hz")


def tone_and_spectrum(server):
    inst = server.visa()
    idn = inst.query("*IDN?")
    check("*IDN? answers", idn.startswith("Zorvane,"), idn)
    inst.write("*RST;*CLS")
    inst.write("SOUR:FREQ 1000;FUNC SIN")
    inst.write("OUTP ON;:INIT")
    spectrum_peak(inst, 1000, "1000 Hz")
    # A change while running: what is fetched next is the new tone.
    inst.write("SOUR:FREQ 3 KHZ")
    spectrum_peak(inst, 3000, "3000 Hz after a change")
    check("SOUR:FREQ? and MEAS:FREQ? agree with the tone",
          inst.query("SOUR:FREQ?") == "3000" and abs(float(inst.query("MEAS:FREQ?")) - 3000) < 44)
    inst.write("FROB:NICATE 1")
    e = error(inst)
    check("SYST:ERR? numbers a bad command", e.startswith("-113,"), e)
    inst.write("SOUR:FREQ 30000")
    e = error(inst)
    check("a frequency out of range is -222", e.startswith("-222,"), e)
    inst.write("OUTP MAYBE")
    e = error(inst)
    check("an unknown choice is -224", e.startswith("-224,"), e)
    check("the queue is empty afterwards", error(inst) == '0,"No error"')
    check("compound headers continue the path",
          (inst.write("SOUR:FREQ 2000;FUNC SQU"), inst.query("SOUR:FREQ?;FUNC?"))[1] == "2000;SQU")
    inst.write("ABOR;:OUTP OFF;:SOUR:FUNC SIN")
    return inst


def sweep(inst):
    inst.write("FREQ:MODE SWE;:SWE:POIN 32;LOOP OFF;:INIT")
    start = time.time()
    done = inst.query("*OPC?")
    points = inst.query_ascii_values("FETC:SWE?")
    check("*OPC? waits for a sweep to end", done == "1" and len(points) == 32,
          f"{len(points)} points after {time.time() - start:.1f} s")
    inst.write("FREQ:MODE FIX")
    e = error(inst)
    check("no error from the sweep", e == '0,"No error"', e)


def distortion():
    """A full-scale 1 kHz sine through y = x + A2 x^2 + A3 x^3: harmonics of
    A2 A^2 / 2 and A3 A^3 / 4 against a fundamental of A + 3/4 A3 A^3."""
    a2, a3, amp = -0.02, -0.05, 1.0
    fundamental = amp + 0.75 * a3 * amp ** 3
    truth = [20 * math.log10(abs(a2) * amp ** 2 / 2 / fundamental),
             20 * math.log10(abs(a3) * amp ** 3 / 4 / fundamental)]
    server = Server(chain=f"poly={a2}/{a3}")
    inst = server.visa()
    inst.write("SENS:SIZE 4096;:SOUR:FREQ 1000;FUNC SIN;:DIST:AVER 4;:BAND OCT")
    inst.write("OUTP ON;:INIT")
    h = inst.query_ascii_values("FETC:DIST:HARM?")
    check(f"H2, H3 {h[0]:.2f}, {h[1]:.2f} dBc within 0.5 dB of {truth[0]:.2f}, {truth[1]:.2f}",
          len(h) == 9 and all(abs(h[k] - truth[k]) <= 0.5 for k in (0, 1)), h)
    figures = inst.query_ascii_values("FETC:DIST?")
    thd = 10 * math.log10(sum(10 ** (t / 10) for t in truth))
    check(f"FETC:DIST? has 20 figures, THD {figures[2]:.2f} within 0.5 dB of {thd:.2f}",
          len(figures) == 20 and abs(figures[2] - thd) <= 0.5, figures)
    check("the trust status is ok", inst.query("FETC:DIST:STAT?") == '"ok"')
    bands = inst.query_ascii_values("FETC:BAND?")
    at = min(range(0, len(bands), 2), key=lambda k: abs(math.log(bands[k] / 1000)))
    level = 20 * math.log10(fundamental)
    check(f"the 1 kHz octave band {bands[at + 1]:.2f} dBFS holds the fundamental, {level:.2f}",
          abs(bands[at + 1] - level) <= 0.2, bands[at:at + 2])
    inst.write("ABOR;:DIST:AVER 1000")
    check("an average beyond 100 is -222", error(inst).startswith("-222,"))
    inst.close()
    server.stop()


def log_sweep():
    """A log sweep of a 5 kHz second-order low-pass against scipy's analog
    response; bad settings refused; its file written inside --allow-files."""
    from scipy import signal
    folder = os.path.join(work, "sweep")
    os.makedirs(folder)
    server = Server("--allow-files", folder, chain="lowpass=5000/0.707")
    inst = server.visa()
    for bad in ("LOGS:STAR 0.5", "LOGS:STOP 30 KHZ", "LOGS:TIME 31", "LOGS:REP 0"):
        inst.write(bad)
        e = error(inst)
        check(f"{bad} is refused with -222", e.startswith("-222,"), e)
    inst.write("FETC:LOGS:DEL?")
    e = error(inst)
    check("no result before a measurement: -230", e.startswith("-230,"), e)
    inst.write("LOGS:STAR 20;STOP 20000;TIME 0.5;LEV -6 DBFS;REP 1;:INIT:LOGS")
    start = time.time()
    check("*OPC? waits for the measurement", inst.query("*OPC?") == "1"
          and inst.query("FETC:LOGS:STAT?") == "DONE", f"{time.time() - start:.1f} s")
    inst.write("FORM REAL,32")
    r = inst.query_binary_values("FETC:LOGS:RESP?", datatype="f", is_big_endian=True)
    inst.write("FORM ASC")
    freqs, mags = r[0::3], r[1::3]
    w0, q = 2 * math.pi * 5000, 0.707
    worst = 0.0
    for f in (100, 1000, 3000, 5000, 8000):
        k = min(range(len(freqs)), key=lambda i: abs(freqs[i] - f))
        _, h = signal.freqs([1], [1 / w0 ** 2, 1 / (q * w0), 1], worN=[2 * math.pi * freqs[k]])
        worst = max(worst, abs(mags[k] - 20 * math.log10(abs(h[0]))))
    check(f"the response against the analog low-pass: {worst:.3f} dB at most (0.3)",
          len(r) % 3 == 0 and worst <= 0.3, len(r))
    inst.write('MMEM:STOR:LOGS CSV,"response.csv"')
    e = error(inst)
    with open(os.path.join(folder, "response.csv")) as f:
        rows = sum(1 for _ in f) - 1
    check("MMEM:STOR:LOGS writes the response inside the folder",
          e == '0,"No error"' and rows == len(freqs), f"{e}, {rows} rows, {len(freqs)} points")
    inst.write('MMEM:STOR:LOGS IR,"../escape.wav"')
    e = error(inst)
    check("and refuses a path outside it", e.startswith("-257,"), e)
    inst.close()
    server.stop()


def bounds(server):
    inst = server.visa()
    other = server.raw()
    line = other.makefile("rb").readline().decode()
    check("a second client is refused with a message", "another client" in line, line.strip())
    other.close()
    # Garbage and an overlong line leave the instrument answering.
    inst.write_raw(bytes(range(1, 256)).replace(b"\n", b"") + b"\n")
    inst.write_raw(b"X" * 100000 + b"\n")
    check("garbage is refused and the instrument answers", inst.query("*IDN?").startswith("Zorvane"))
    errors = inst.query("SYST:ERR:ALL?")
    check("an overlong line is -363", "-363," in errors, errors[:120])
    inst.close()
    # A client killed in the middle of its command.
    killed = subprocess.Popen([sys.executable, "-c", f"""
import socket, time
s = socket.create_connection(("127.0.0.1", {server.port}))
s.sendall(b"OUTP ON;:INIT\\nFETC:SPEC?\\nFETC:SPEC:FR")
time.sleep(30)"""])
    time.sleep(1.0)
    killed.send_signal(signal.SIGKILL)
    killed.wait()
    inst = None
    for _ in range(50):  # the server sees the connection close on its next poll
        try:
            inst = server.visa()
            if inst.query("*IDN?").startswith("Zorvane"):
                break
        except Exception:
            time.sleep(0.1)
    check("after a client killed mid-command the next one works",
          inst is not None and float(inst.query("FETC:FREQ?")) > 0)
    inst.write("ABOR;:OUTP OFF")
    inst.close()
    # A flood of queries whose answers are not read for a while: the server
    # stops reading (TCP holds the rest) and loses nothing.
    s, count = server.raw(), 200000
    sender = threading.Thread(target=lambda: s.sendall(b"*IDN?\n" * count))
    sender.start()
    time.sleep(2)
    f, answered = s.makefile("rb"), 0
    while answered < count and f.readline().startswith(b"Zorvane,"):
        answered += 1
    sender.join()
    check("a flood of queries is answered whole", answered == count, f"{answered} of {count}")
    f.close()
    s.close()
    start, ok = time.time(), 0
    for _ in range(100):
        s = server.raw()
        s.sendall(b"*OPC?\n")
        ok += s.makefile("rb").readline() == b"1\n"
        s.close()
    check("100 connect-disconnect cycles", ok == 100,
          f"{ok} answered in {time.time() - start:.2f} s")
    check("the server is still running", server.proc.poll() is None)


def idle():
    server = Server("--idle-timeout", "1")
    s = server.raw()
    s.sendall(b"*IDN?\n")
    s.makefile("rb").readline()
    readable, _, _ = select.select([s], [], [], 5)
    check("an idle client is dropped", readable and s.recv(1) == b"")
    server.stop()


def files():
    server = Server()
    inst = server.visa()
    inst.write('MMEM:STOR:IMAG "plot.png"')
    e = error(inst)
    check("writing a file without --allow-files is refused", e.startswith("-258,"), e)
    png = inst.query_binary_values("DISP:DATA? PNG", datatype="B", container=bytes)
    check("the plot comes back in the reply instead", png[:8] == b"\x89PNG\r\n\x1a\n", len(png))
    inst.close()
    server.stop()

    allowed = os.path.join(work, "allowed")
    outside = os.path.join(work, "outside")
    os.makedirs(allowed)
    os.makedirs(outside)
    os.symlink(outside, os.path.join(allowed, "away"))
    os.symlink(os.path.join(outside, "target.bmp"), os.path.join(allowed, "link.bmp"))
    server = Server("--allow-files", allowed)
    inst = server.visa()
    inst.write('MMEM:STOR:IMAG "plot.bmp"')
    check("with --allow-files a file is written inside the folder",
          error(inst) == '0,"No error"' and os.path.getsize(os.path.join(allowed, "plot.bmp")) > 54)
    for name in ("../escape.bmp", os.path.join(outside, "absolute.bmp"), "away/through.bmp",
                 "link.bmp"):
        inst.write(f'MMEM:STOR:IMAG "{name}"')
        e = error(inst)
        check(f"a path outside the folder is refused: {name}", e.startswith("-257,"), e)
    check("nothing was written outside", os.listdir(outside) == [], os.listdir(outside))
    inst.close()
    server.stop()


def bind_address():
    out = subprocess.run([CLI, "serve", "--help"], capture_output=True, text=True).stdout
    check("the default address is the loopback one", "127.0.0.1:5025" in out)
    server = Server("--listen", "0.0.0.0:0")
    check("a non-loopback address is warned about",
          any("warning" in l and "not a loopback" in l for l in server.lines), server.lines)
    server.stop()
    probe = socket.socket()
    try:
        probe.bind(("0.0.0.0", 5025))
        probe.close()
    except OSError:
        print("note: port 5025 is taken; the default bind is not tried")
        return
    server = Server("--listen", "127.0.0.1:5025") if False else None
    env = dict(os.environ, XDG_CONFIG_HOME=work)
    proc = subprocess.Popen([CLI, "serve", "--audio=loopback"], env=env,
                            stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, text=True)
    first = proc.stderr.readline() + proc.stderr.readline()
    proc.terminate()
    proc.wait()
    check("without --listen it listens on 127.0.0.1:5025 only",
          "listening on 127.0.0.1:5025" in first, first.strip())


try:
    server = Server()
    inst = tone_and_spectrum(server)
    sweep(inst)
    inst.close()
    if not PULSE:
        bounds(server)
    server.stop()
    if not PULSE:
        distortion()
        log_sweep()
        idle()
        files()
        bind_address()
    if WINDOW:
        print("-- the window")
        server = Server(window=True)
        inst = tone_and_spectrum(server)
        inst.write("FETC:LOGS:DEL?")
        e = error(inst)
        check("the window's log sweep is reached (no result yet: -230)", e.startswith("-230,"), e)
        inst.close()
        server.stop()
finally:
    subprocess.run(["rm", "-rf", work])

if failures:
    sys.exit(f"{len(failures)} check(s) failed")
print("all checks passed")
