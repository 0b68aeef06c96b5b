#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# End-to-end: the log sweep through PortAudio over the PulseAudio null sink
# "zloop" (scripts/start-pulse.sh) with a real LADSPA filter in between: a
# module-ladspa-sink running the single-band parametric equalizer of
# swh-plugins (+6 dB at 1 kHz, one octave) into zloop. The measured
# magnitude must lie within 0.3 dB of stepped tones made by sox, played
# through the same sink with paplay and recorded from its monitor with parec,
# from 50 Hz to 15 kHz. Exits 77 (skipped) without the server, the tools or
# the plugin.
set -uo pipefail

cli=${1:?usage: pulse_log_sweep.sh ZORVANE_CLI}
python=${2:-/usr/bin/python3}

here=$(cd "$(dirname "$0")" && pwd)
. "$here/common.sh"
require_zloop parec paplay sox
plugin=/usr/lib/ladspa/single_para_1203.so
[ -f "$plugin" ] || skip "the LADSPA plugin $plugin is not installed (swh-plugins)"
"$python" -c "import numpy, scipy" 2>/dev/null || skip "$python has no numpy and scipy"

module=""
on_exit() { [ -n "$module" ] && pactl unload-module "$module" 2>/dev/null; }
start_session
module=$(pactl load-module module-ladspa-sink sink_name=zladspa sink_master=zloop \
           plugin=single_para_1203 label=singlePara control=6,1000,1) ||
  { echo "FAIL could not load module-ladspa-sink"; exit 1; }
pactl set-sink-volume zladspa 100%
pactl set-sink-mute zladspa 0
export PULSE_SINK=zladspa PULSE_SOURCE=zloop.monitor

# The sweep, twice if the first lost samples (a loaded machine); its wall
# time (devices opened, played, recorded, analysed, file written) is
# reported against the sweep's length.
for attempt in 1 2; do
  start=$(date +%s.%N)
  "$cli" measure --audio=system --from 20 --to 20000 --seconds 2 --level -12 \
    --csv "$work/sweep.csv" > "$work/measure.out" 2> "$work/measure.err" && break
  cat "$work/measure.err"
  [ $attempt = 2 ] && { echo "FAIL zorvane-cli measure"; exit 1; }
done
end=$(date +%s.%N)
cat "$work/measure.out"
length=$(sed -n 's/.* in \([0-9.]*\) s,.*/\1/p' "$work/measure.out")
inside=$(sed -n 's/^time: \([0-9.]*\) s$/\1/p' "$work/measure.out")
awk -v a="$start" -v b="$end" -v l="$length" -v m="$inside" 'BEGIN {
  printf "measurement %.3f s, whole program %.3f s, for a %.3f s sweep: ratios %.2f and %.2f\n",
         m, b - a, l, m / l, (b - a) / l }'

# Stepped tones by sox: 0.4 s each at -12 dBFS, through the same sink.
freqs="50 80 125 200 315 500 800 1000 1250 2000 3150 5000 8000 12500 15000"
tones=()
for f in $freqs; do
  sox -n -r 44100 -c 1 -b 16 "$work/t$f.wav" synth 0.4 sine "$f" vol -12dB || exit 1
  tones+=("$work/t$f.wav")
done
sox -n -r 44100 -c 1 -b 16 "$work/lead.wav" trim 0 0.3
sox "$work/lead.wav" "${tones[@]}" "$work/lead.wav" "$work/steps.wav" || exit 1
parec -d zloop.monitor --rate=44100 --channels=1 --format=float32le --file-format=wav \
  --latency-msec=20 "$work/capture.wav" &
recorder=$!
sleep 0.5
paplay -d zladspa "$work/steps.wav"
sleep 0.8
kill -INT $recorder; wait $recorder 2>/dev/null
require_sink_rate

"$python" -W ignore - "$work" $freqs <<'PY'
import sys, numpy as np
from scipy.io import wavfile
work, freqs = sys.argv[1], [float(f) for f in sys.argv[2:]]
rate, played = wavfile.read(work + "/steps.wav")
_, rec = wavfile.read(work + "/capture.wav")
played = played.astype(float) / 32768
rec = rec.astype(float).ravel()
lead, step = int(0.3 * rate), int(0.4 * rate)
# The capture lines up with the file where the first tone starts.
onset = int(np.argmax(abs(rec) > 0.5 * np.max(abs(rec[: len(rec) // 3]))))
first = int(np.argmax(abs(played) > 0.5 * np.max(abs(played[: lead + step]))))
shift = onset - first

def amplitude(x, f):
    t = np.arange(len(x)) / rate
    a = np.array([np.sin(2 * np.pi * f * t), np.cos(2 * np.pi * f * t), np.ones_like(t)]).T
    c = np.linalg.lstsq(a, x, rcond=None)[0]
    return np.hypot(c[0], c[1])

sweep = np.genfromtxt(work + "/sweep.csv", delimiter=",", names=True)
worst, failed = 0.0, False
print("| Hz | sox tones dB | log sweep dB | difference |\n|---|---|---|---|")
for i, f in enumerate(freqs):
    a, b = lead + i * step + int(0.1 * rate), lead + (i + 1) * step - int(0.05 * rate)
    tone = 20 * np.log10(amplitude(rec[a + shift:b + shift], f) / amplitude(played[a:b], f))
    j = int(np.argmin(abs(sweep["frequency_hz"] - f)))
    # Between the two bins around f, on a straight line.
    got = np.interp(f, sweep["frequency_hz"][j - 1:j + 2], sweep["magnitude_db"][j - 1:j + 2])
    worst = max(worst, abs(got - tone))
    print(f"| {f:g} | {tone:+.3f} | {got:+.3f} | {got - tone:+.3f} |")
ok = worst <= 0.3
print(f"{'ok  ' if ok else 'FAIL'} log sweep within {worst:.3f} dB of the sox tones (limit 0.3 dB)")
sys.exit(0 if ok else 1)
PY
