#!/usr/bin/env bash
# Batch analysis against sox: the CPU time of `zorvane-cli analyze --all
# --csv` over a ten-minute 44.1 kHz mono file, and of `sox FILE -n
# spectrogram` over the same file, measured in one run. Prints both and
# their ratio (the goal: Zorvane at most half of sox's time).
#   bench/analyze_vs_sox.sh [ZORVANE_CLI] [MINUTES]
set -euo pipefail
cli=${1:-$(dirname "$0")/../build/zorvane-cli}
minutes=${2:-10}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
sox -n -r 44100 -b 16 -c 1 "$work/long.wav" synth "$((minutes * 60))" sine 440 sine 3000 \
  remix 1,2 gain -6 2>/dev/null ||
  sox -n -r 44100 -b 16 -c 1 "$work/long.wav" synth "$((minutes * 60))" sine 440 gain -6

# cpu COMMAND...: user + system seconds of the command, the best of three.
cpu() {
  local best="" t
  for _ in 1 2 3; do
    t=$( { TIMEFORMAT='%U %S'; time "$@" > /dev/null 2>&1; } 2>&1 | awk '{printf "%.3f", $1 + $2}')
    if [ -z "$best" ] || awk -v a="$t" -v b="$best" 'BEGIN { exit !(a < b) }'; then best=$t; fi
  done
  echo "$best"
}

z=$(cpu "$cli" analyze "$work/long.wav" --all --csv "$work/out.csv")
s=$(cpu sox "$work/long.wav" -n spectrogram -o "$work/spectrogram.png")
echo "zorvane-cli analyze --all --csv: ${z} s CPU"
echo "sox spectrogram:                 ${s} s CPU"
awk -v z="$z" -v s="$s" 'BEGIN { if (s > 0) printf "ratio zorvane / sox: %.3f\n", z / s }'
