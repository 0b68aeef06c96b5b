#!/usr/bin/env bash
# Batch analysis against sox, like for like: both read every sample of a
# ten-minute 44.1 kHz mono file through 1024-point transforms.
#   - zorvane-cli analyze --all --size 1024: consecutive blocks of 1024
#     samples (the printout says how many blocks and samples it covered);
#   - sox spectrogram -y 513: 1024-point transforms (513 rows), its columns
#     made of transforms stepping through the whole input.
# Prints the CPU time (user + system, best of three) of each and their
# ratio (the goal: Zorvane at most half of sox's time).
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

zargs=(analyze "$work/long.wav" --all --size 1024 --overlap 0 --csv "$work/out.csv")
"$cli" "${zargs[@]}" | sed -n 's/^\(Blocks\|Samples\) analysed/zorvane-cli: &/p'
z=$(cpu "$cli" "${zargs[@]}")
s=$(cpu sox "$work/long.wav" -n spectrogram -y 513 -o "$work/spectrogram.png")
echo "zorvane-cli analyze --all --size 1024: ${z} s CPU"
echo "sox spectrogram -y 513:                ${s} s CPU"
awk -v z="$z" -v s="$s" 'BEGIN { if (s > 0) printf "ratio zorvane / sox: %.3f\n", z / s }'
