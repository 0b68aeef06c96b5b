#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# End-to-end: the readouts through the sound card read what they read from
# the file. numpy makes the signals (tests/readouts/readouts_sink.py): a tone
# with H2 at -60 dBc, H3 at -70 dBc and noise at -90 dBFS, one at THD -90 dB
# with 16-bit dither, a pure dithered sine, a clipped sine and a 1 kHz tone.
# paplay plays each into the PulseAudio null sink "zloop" (scripts/
# start-pulse.sh) while zorvane-cli's remote control runs the analyzer on the
# sink's monitor at 8192 points and reads the readouts averaged over 40
# blocks; `zorvane-cli analyze --distortion` reads the same file. Every
# figure must agree within 0.2 dB, the clipped sine must be flagged and the
# others not, and the 1 kHz tone must read -6 dBFS in the 1 kHz third-octave
# band within 0.2 dB. Exits 77 (skipped) when no server with the zloop sink
# is reachable or numpy and scipy are missing.
set -uo pipefail

cli=${1:?usage: pulse_readouts.sh ZORVANE_CLI}
here=$(cd "$(dirname "$0")" && pwd)
helper="$here/../readouts/readouts_sink.py"
. "$here/common.sh"
require_zloop paplay
/usr/bin/python3 -c 'import numpy, scipy' 2>/dev/null || skip "python3-numpy or python3-scipy is missing"

player=""
on_exit() { [ -n "$player" ] && kill "$player" 2>/dev/null && wait "$player" 2>/dev/null; }
start_session

/usr/bin/python3 "$helper" script > "$work/readouts.zvs"
failures=0
for name in $(/usr/bin/python3 "$helper" make "$work"); do
  "$cli" analyze "$work/$name.wav" --all --size 8192 --distortion --bands third \
    --csv "$work/$name.csv" > "$work/$name.file" 2> /dev/null
  paplay -d zloop "$work/$name.wav" &
  player=$!
  sleep 1
  "$cli" script --audio=system "$work/readouts.zvs" > "$work/$name.live" 2> "$work/$name.err"
  rc=$?
  kill "$player" 2>/dev/null
  wait "$player" 2>/dev/null
  player=""
  if [ $rc -ne 0 ] || grep -q '^message' "$work/$name.live"; then
    echo "FAIL $name: zorvane-cli ended with $rc or showed a message"
    sed "s/^/  stderr: /" "$work/$name.err"
    failures=$((failures + 1))
    continue
  fi
  /usr/bin/python3 "$helper" judge "$name" "$work/$name.live" "$work/$name.file" \
    "$work/$name.csv" || failures=$((failures + 1))
done

require_sink_rate
if [ $failures -ne 0 ]; then
  echo "$failures signal(s) failed"
  exit 1
fi
echo "the readouts through the sound card agree with the files"
