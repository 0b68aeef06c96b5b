#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# End-to-end: levels read off the plot are the true levels. sox makes tones
# at known levels, paplay plays them into the PulseAudio null sink "zloop"
# (scripts/start-pulse.sh), and zorvane-cli analyzes the sink's monitor at
# 44,100 and 8000 Hz with every transform size (levels.py writes the script
# and judges the result):
#   - three bin-centred tones at -6, -20 and -40 dBFS read their level
#     differences within 0.5 dB on the trace (through the scale labels) and
#     within the readout's one-decibel step on the cursor readout;
#   - tones that fall anywhere between the bins read the same level within
#     1 dB at all four sizes, and the loudest one's frequency within 0.15 bin;
#   - a bin-centred -6 dBFS tone at 8000 and 11,025 Hz (where the capture
#     buffer holds just the block) leaves the floor empty: no bin further
#     than 6 bins from it reads more than 3 dB above the median of those bins.
# Exits 77 (skipped) when no server with the zloop sink is reachable.
set -uo pipefail

cli=${1:?usage: pulse_levels.sh ZORVANE_CLI}
here=$(cd "$(dirname "$0")" && pwd)
. "$here/common.sh"
require_zloop parec paplay sox python3

player=""
on_exit() { [ -n "$player" ] && kill "$player" 2>/dev/null && wait "$player" 2>/dev/null; }
start_session

# make_tones FILE FREQ:DBFS:ROLE...: a 44,100 Hz 16-bit mono WAV holding the
# sum of the tones.
make_tones() {
  local file=$1 t freq db
  shift
  local -a parts=() mix=()
  for t in "$@"; do
    IFS=: read -r freq db _ <<< "$t"
    sox -n -r 44100 -b 16 -c 1 "$work/part$((${#parts[@]})).wav" synth 40 sine "$freq" gain "$db"
    parts+=("$work/part$((${#parts[@]})).wav")
    mix+=(-v 1 "${parts[-1]}")  # summed at their own levels, not scaled down
  done
  if [ ${#parts[@]} -eq 1 ]; then mv "${parts[0]}" "$file"; else sox -m "${mix[@]}" "$file"; fi
  rm -f "${parts[@]}"
}

failures=0
# run NAME RATE TONES...: plays the tones while one zorvane-cli run reads them.
run() {
  local name=$1 rate=$2
  shift 2
  make_tones "$work/$name.wav" "$@"
  python3 "$here/levels.py" script "$rate" "$@" > "$work/$name.zvs"
  paplay -d zloop "$work/$name.wav" &
  player=$!
  sleep 0.5
  "$cli" script --audio=system "$work/$name.zvs" > "$work/$name.out" 2> "$work/$name.err"
  local rc=$?
  kill "$player" 2>/dev/null
  wait "$player" 2>/dev/null
  player=""
  echo "$name:"
  if [ $rc -ne 0 ] || grep -q '^message' "$work/$name.out"; then
    echo "FAIL $name: zorvane-cli ended with $rc or showed a message"
    sed "s/^/  stderr: /" "$work/$name.err"
    failures=$((failures + 1))
    return
  fi
  python3 "$here/levels.py" judge "$rate" "$work/$name.out" "$@" || failures=$((failures + 1))
}

# Multiples of the bin width at every size: 44100/1024 Hz and 8000/1024 Hz.
run steps-44100 44100 1033.59375:-6:step 2024.12109375:-20:step 3014.6484375:-40:step
run steps-8000 8000 1000:-6:step 1500:-20:step 2000:-40:step
# 1000 Hz falls between the bins at 44,100 Hz (0.22, 0.44, 0.88 and 0.76 of a
# bin); 2993.115 Hz half-way at 1024 points; at 8000 Hz 999.512 Hz half-way at
# 8192 points, 1503.1 Hz anywhere.
run places-44100 44100 1000:-20:place 2993.115234375:-26:place
run places-8000 8000 999.51171875:-20:place 1503.1:-26:place
# Bin-centred at every size: 1000 Hz at 8000 Hz, 93 x 11025 / 1024 Hz at 11,025 Hz.
run floor-8000 8000 1000:-6:floor
run floor-11025 11025 1001.2939453125:-6:floor

require_sink_rate
if [ $failures -ne 0 ]; then
  echo "$failures run(s) failed"
  exit 1
fi
echo "all levels as expected"
