#!/usr/bin/python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""The readouts of `zorvane-cli analyze` on WAV files made by numpy, against
numpy's own figures for the same samples (signals.py) and against what the
signals were made of:

  - 997 Hz at -3 dBFS with H2 at -60 dBc, H3 at -70 dBc and white noise at
    -90 dBFS: THD within 0.2 dB of -59.59 dB, H2 and H3 within 0.3 dB, THD+N
    and SNR within 0.5 dB of numpy's, plain and A-weighted, at 8192 and 1024
    points;
  - the same tone with H2 and H3 at -93 dBc (THD -90 dB), 16-bit with TPDF
    dither: THD within 1 dB, THD+N and SNR within 0.5 dB of numpy's;
  - a pure 16-bit sine with TPDF dither: SINAD within 1 dB of the theory for
    its level (1/4 of a step squared of noise, spread evenly to half the
    rate, counted over 20 Hz - 20 kHz);
  - what cannot be trusted says so: a clipped sine, silence, a tone whose
    harmonics lie above half the rate, a tone too low for the block; a sine
    at full scale that is not clipped is not flagged;
  - third-octave bands of pink noise at 8192 points flat within 0.5 dB from
    31.5 Hz to 16 kHz and within 0.3 dB of numpy's bands of the whole file; a
    1 kHz tone in the 1 kHz band within 0.2 dB, 60 dB above its neighbours;
    band middles a tenth of a decade apart (a third of one for octaves), with
    1 kHz a middle for odd fractions and an edge for even ones.

usage: readouts_files.py ZORVANE_CLI
Prints the figures as tables; exits 1 when a check fails.
"""
import math
import subprocess
import sys
import tempfile
from pathlib import Path

import numpy as np

sys.path.insert(0, str(Path(__file__).resolve().parent))
import signals  # noqa: E402

CLI = sys.argv[1]
failures = []


def check(ok, what):
    if not ok:
        failures.append(what)
        print("FAIL", what)


def analyze(path, *options):
    run = subprocess.run([CLI, "analyze", str(path), "--all", *options], capture_output=True,
                         text=True)
    if run.returncode != 0:
        raise SystemExit(f"zorvane-cli failed on {path}: {run.stderr}")
    return signals.parse_figures(run.stdout), run.stderr


def table(title, rows):
    print(f"\n{title}")
    print(f"  {'figure':<18}{'zorvane':>12}{'numpy':>12}{'expected':>12}")
    for name, ours, theirs, expected in rows:
        cells = [f"{v:12.3f}" if isinstance(v, float) else f"{'':>12}" for v in (ours, theirs,
                                                                                  expected)]
        print(f"  {name:<18}{''.join(cells)}")


def distortion_case(work, name, samples, size, expected, thd_tolerance, weighting=False):
    path = work / f"{name}.wav"
    signals.write_wav(path, samples)
    options = ["--size", str(size), "--distortion"] + (["--weighting", "A"] if weighting else [])
    ours, err = analyze(path, *options)
    ref = signals.reference(samples, weighting=weighting)
    label = f"{name} at {size} points" + (", A-weighted" if weighting else "")
    rows = []
    for figure in ("fundamental_dbfs", "thd_db", "h2_dbc", "h3_dbc", "thdn_db", "sinad_db",
                   "snr_db", "noise_floor_dbfs"):
        rows.append((figure, ours[figure], ref[figure], expected.get(figure)))
    rows.append(("enob_bits", ours["enob_bits"], None, expected.get("enob_bits")))
    table(label, rows)
    check(err == "", f"{label}: flagged: {err.strip()}")
    check(abs(ours["fundamental_hz"] - ref["fundamental_hz"]) < 0.01,
          f"{label}: fundamental {ours['fundamental_hz']} Hz")
    check(abs(ours["fundamental_dbfs"] - ref["fundamental_dbfs"]) < 0.05,
          f"{label}: fundamental level")
    for figure, value in expected.items():
        tolerance = thd_tolerance if figure == "thd_db" else 0.3 if figure[0] == "h" else 1.0
        check(abs(ours[figure] - value) <= tolerance, f"{label}: {figure} {ours[figure]:.3f}")
    if "thd_db" in expected:
        check(abs(ours["thd_db"] - ref["thd_db"]) <= thd_tolerance, f"{label}: THD against numpy")
    for figure in ("thdn_db", "snr_db", "noise_floor_dbfs"):
        check(abs(ours[figure] - ref[figure]) <= 0.5, f"{label}: {figure} against numpy")
    check(ours["harmonics_used"] == 9, f"{label}: harmonics used {ours['harmonics_used']}")


def flags(work):
    cases = [
        ("clipped", signals.tone(3, 997, 3, clip=True), 4096, "Clipping"),
        ("full-scale", signals.tone(3, 997, 20 * math.log10(32767 / 32768)), 4096, None),
        ("silence", np.zeros(44100 * 2, dtype=np.int16), 4096, "No tone found"),
        ("15 kHz", signals.tone(3, 15000, -6, dither=True), 4096,
         "Tone too close to half the rate"),
        ("300 Hz at 1024", signals.tone(3, 300, -6, dither=True), 1024, "Tone too low"),
    ]
    print("\nreadouts that cannot be trusted")
    for name, samples, size, reason in cases:
        path = work / "flag.wav"
        signals.write_wav(path, samples)
        ours, err = analyze(path, "--size", str(size), "--distortion")
        print(f"  {name:<16} {err.strip() or 'trusted'}")
        if reason is None:
            check(err == "", f"{name}: flagged ({err.strip()})")
        else:
            check(reason in err, f"{name}: not flagged for {reason}")
    check(ours["harmonics_used"] == 0, "300 Hz at 1024: harmonics reported")


def bands(work):
    size = 8192
    samples = signals.pink(2400, size, -20)
    path = work / "pink.wav"
    signals.write_wav(path, samples)
    csv = work / "pink.csv"
    analyze(path, "--size", str(size), "--bands", "third", "--csv", str(csv))
    rows = np.loadtxt(csv, delimiter=",", skiprows=1)
    centres, levels = rows[:, 0], rows[:, 1]
    check(np.allclose(centres[1:] / centres[:-1], 10 ** 0.1, rtol=1e-5),
          "third-octave middles are not a tenth of a decade apart")
    span = (centres > 30) & (centres < 17000)
    numpy_levels = np.array(signals.band_levels(samples, signals.RATE, centres[span], 3))
    print("\npink noise, third-octave bands at 8192 points (dBFS)")
    for c, ours, theirs in zip(centres[span], levels[span], numpy_levels):
        print(f"  {c:10.1f} Hz {ours:10.3f} {theirs:10.3f}")
    flatness = levels[span].max() - levels[span].min()
    print(f"  flatness {flatness:.3f} dB over {span.sum()} bands")
    check(span.sum() == 28, f"{span.sum()} bands from 31.5 Hz to 16 kHz")
    check(flatness <= 0.5, f"pink noise bands not flat: {flatness:.3f} dB")
    check(np.max(np.abs(levels[span] - numpy_levels)) <= 0.3, "pink noise bands against numpy")

    tone = signals.tone(5, 1000, -6)
    signals.write_wav(path, tone)
    print("\n1 kHz at -6 dBFS, 8192 points")
    for fraction, per_octave in (("octave", 1), ("third", 3), ("sixth", 6), ("twelfth", 12)):
        analyze(path, "--size", str(size), "--bands", fraction, "--csv", str(csv))
        rows = np.loadtxt(csv, delimiter=",", skiprows=1)
        centres, levels = rows[:, 0], rows[:, 1]
        ratio = 10 ** (0.3 / per_octave)
        check(np.allclose(centres[1:] / centres[:-1], ratio, rtol=1e-5),
              f"{fraction}: middles not {ratio} apart")
        # An odd fraction has a band in the middle at 1 kHz, an even one an edge.
        at = np.argmin(np.abs(np.log(centres / 1000)))
        offset = math.log(centres[at] / 1000, ratio)
        check(abs(offset - (0 if per_octave % 2 else math.copysign(0.5, offset))) < 1e-4,
              f"{fraction}: 1 kHz lies {offset} bands from a middle")
        power = 10 ** (levels / 10)
        tone_bands = [at] if per_octave % 2 else sorted({at, at + (1 if offset < 0 else -1)})
        level = 10 * math.log10(power[tone_bands].sum())
        others = np.delete(levels, tone_bands)
        print(f"  {fraction:<8} band(s) {', '.join(f'{centres[i]:.1f}' for i in tone_bands)} Hz: "
              f"{level:.3f} dBFS, the loudest other band {others.max():.1f} dBFS")
        check(abs(level - (-6.0)) <= 0.2, f"{fraction}: 1 kHz band reads {level:.3f}")
        check(others.max() <= -66.0, f"{fraction}: another band reads {others.max():.1f}")


def main():
    with tempfile.TemporaryDirectory() as folder:
        work = Path(folder)
        harmonics = {2: -60, 3: -70}
        first = signals.tone(10, 997, -3, harmonics, noise_dbfs=-90)
        thd = 10 * math.log10(10 ** -6 + 10 ** -7)
        expected = {"fundamental_dbfs": -3.0, "thd_db": thd, "h2_dbc": -60.0, "h3_dbc": -70.0}
        for size, weighting in ((8192, False), (1024, False), (8192, True)):
            distortion_case(work, "H2 -60, H3 -70, noise -90", first, size, expected, 0.2,
                            weighting)

        low = signals.tone(10, 997, -3, {2: -93, 3: -93}, dither=True, seed=2)
        expected = {"thd_db": 10 * math.log10(2 * 10 ** -9.3), "h2_dbc": -93.0, "h3_dbc": -93.0}
        distortion_case(work, "H2, H3 -93, dithered", low, 8192, expected, 1.0)

        level = -1.0
        band = (20000 - 20) / (signals.RATE / 2)
        noise = 0.25 / (signals.FULL_SCALE ** 2 / 2) * band  # a quarter step squared
        sinad = 10 * math.log10((10 ** (level / 10) + noise) / noise)
        pure = signals.tone(10, 997, level, dither=True, seed=3)
        for size in (8192, 1024):
            distortion_case(work, "pure, dithered", pure, size,
                            {"sinad_db": sinad, "enob_bits": (sinad - 1.76 - level) / 6.02}, 1.0)
        flags(work)
        bands(work)
    if failures:
        print(f"\n{len(failures)} check(s) failed")
        return 1
    print("\nall readouts as expected")
    return 0


if __name__ == "__main__":
    sys.exit(main())
