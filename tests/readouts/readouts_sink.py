#!/usr/bin/python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""The sound-card half of the readouts' end-to-end test (tests/e2e/
pulse_readouts.sh): the signals, the remote-control script that reads the
readouts while a signal plays into the null sink, and the judgement that the
live readouts agree with `zorvane-cli analyze` on the same file.

  readouts_sink.py make DIR            writes the signals as DIR/NAME.wav, prints the names
  readouts_sink.py script              prints the remote-control script
  readouts_sink.py judge NAME LIVE FILE BANDS
        LIVE: the script's output; FILE: analyze --distortion's; BANDS: its
        third-octave CSV. Prints a table; exits 1 when a figure differs by
        more than 0.2 dB or the live readout is flagged (the clipped signal
        must be).
"""
import sys
from pathlib import Path

import numpy as np

sys.path.insert(0, str(Path(__file__).resolve().parent))
import signals  # noqa: E402

SECONDS = 16
SIZE = 8192
AVERAGE = 40  # 40 blocks of 8192 points: 7.4 s of the 10 s the script waits
BANDS = 29    # third-octave bands at 44,100 Hz and 8192 points: 25 Hz .. 16 kHz
NAMES = ("fundamental_hz", "fundamental_dbfs", "thd_db", "thdn_db", "sinad_db", "snr_db",
         "enob_bits", "noise_floor_dbfs", "h2_dbc", "h3_dbc", "harmonics_used",
         "distortion_status", "readout_blocks")
# The figures compared, for each signal (the others sit in the noise).
CASES = {
    "harmonics": ("fundamental_dbfs", "thd_db", "h2_dbc", "h3_dbc", "thdn_db", "sinad_db",
                  "snr_db", "noise_floor_dbfs"),
    "thd90": ("fundamental_dbfs", "thd_db", "h2_dbc", "h3_dbc", "thdn_db", "sinad_db", "snr_db",
              "noise_floor_dbfs"),
    "pure": ("fundamental_dbfs", "thdn_db", "sinad_db", "snr_db", "noise_floor_dbfs"),
    "clipped": (),
    "tone1k": ("fundamental_dbfs",),
}


def make(folder):
    made = {
        "harmonics": signals.tone(SECONDS, 997, -3, {2: -60, 3: -70}, noise_dbfs=-90),
        "thd90": signals.tone(SECONDS, 997, -3, {2: -93, 3: -93}, dither=True, seed=2),
        "pure": signals.tone(SECONDS, 997, -1, dither=True, seed=3),
        "clipped": signals.tone(SECONDS, 997, 3, clip=True),
        "tone1k": signals.tone(SECONDS, 1000, -6, dither=True, seed=4),
    }
    for name, samples in made.items():
        signals.write_wav(Path(folder) / f"{name}.wav", samples)
        print(name)


def script():
    lines = [f"click N{SIZE}1", f"readout average {AVERAGE}", "readout bands third",
             "click StartBtn", "wait 10000"]
    lines += [f"state {name}" for name in NAMES]
    lines += [f"state band_center_hz[{i}]" for i in range(BANDS)]
    lines += [f"state band_level_dbfs[{i}]" for i in range(BANDS)]
    lines += ["click StartBtn", "quit"]
    print("\n".join(lines))


def judge(name, live_path, file_path, bands_path):
    live = signals.parse_figures(Path(live_path).read_text())
    ours = signals.parse_figures(Path(file_path).read_text())
    failures = []
    print(f"{name}: {live.get('readout_blocks')} blocks live, status {live.get('distortion_status')}")
    print(f"  {'figure':<18}{'sound card':>12}{'file':>12}")
    for figure in CASES[name]:
        print(f"  {figure:<18}{live[figure]:12.3f}{ours[figure]:12.3f}")
        if not abs(live[figure] - ours[figure]) <= 0.2:
            failures.append(f"{figure} {live[figure]:.3f} live, {ours[figure]:.3f} from the file")
    expected = "clipping" if name == "clipped" else "ok"
    if live.get("distortion_status") != expected:
        failures.append(f"status {live.get('distortion_status')}, not {expected}")
    if live.get("readout_blocks") != AVERAGE:
        failures.append(f"{live.get('readout_blocks')} blocks in the live average")
    if name == "tone1k":
        centres = [live[f"band_center_hz[{i}]"] for i in range(BANDS)]
        at = int(np.argmin(np.abs(np.log(np.array(centres) / 1000))))
        level = live[f"band_level_dbfs[{at}]"]
        rows = np.loadtxt(bands_path, delimiter=",", skiprows=1)
        from_file = rows[np.argmin(np.abs(rows[:, 0] - centres[at])), 1]
        print(f"  {'1 kHz band':<18}{level:12.3f}{from_file:12.3f}")
        if not (abs(level - from_file) <= 0.2 and abs(level + 6) <= 0.2):
            failures.append(f"1 kHz band {level:.3f} live, {from_file:.3f} from the file")
    for f in failures:
        print(f"FAIL {name}: {f}")
    return 1 if failures else 0


if __name__ == "__main__":
    command = sys.argv[1] if len(sys.argv) > 1 else ""
    if command == "make":
        make(sys.argv[2])
    elif command == "script":
        script()
    elif command == "judge":
        sys.exit(judge(*sys.argv[2:6]))
    else:
        sys.exit(__doc__)
