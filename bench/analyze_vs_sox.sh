#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Batch analysis against sox, like for like: both read every sample of a
# 44.1 kHz mono file through consecutive transforms, without overlap.
#   - zorvane-cli analyze --all --size N --overlap 0 --csv (N = 1024, 4096,
#     8192): consecutive blocks of N samples (the printout says how many
#     blocks and samples it covered);
#   - sox spectrogram -y 513: 1024-point transforms stepping through the
#     whole input; -y 1025: 2048 points, the largest power of two sox allows
#     (it takes at most 1200 rows), the reference for the larger sizes.
# Each command's processor time (user + system of the process) is the least
# of ROUNDS rounds, the commands taking turns within a round; its peak
# resident memory is shown for a one-minute and a MINUTES-minute file, so
# that memory flat with the file's length shows. The load average before and
# after is printed with the figures. The goal: Zorvane at most 0.3 times
# sox's processor time.
#   bench/analyze_vs_sox.sh [ZORVANE_CLI] [MINUTES] [ROUNDS]
set -euo pipefail
cli=${1:-$(dirname "$0")/../build/zorvane-cli}
minutes=${2:-10}
rounds=${3:-5}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
for m in 1 "$minutes"; do
  sox -n -r 44100 -b 16 -c 1 "$work/long$m.wav" synth "$((m * 60))" sine 440 sine 3000 \
    remix 1,2 gain -6 2>/dev/null ||
    sox -n -r 44100 -b 16 -c 1 "$work/long$m.wav" synth "$((m * 60))" sine 440 gain -6
done
"$cli" analyze "$work/long$minutes.wav" --all --size 1024 --overlap 0 |
  sed -n 's/^\(Blocks\|Samples\) analysed/zorvane-cli --size 1024: &/p'

echo "load average before: $(cut -d' ' -f1-3 /proc/loadavg)"
/usr/bin/python3 - "$cli" "$work" "$minutes" "$rounds" <<'EOF'
import os, subprocess, sys

cli, work, minutes, rounds = sys.argv[1], sys.argv[2], int(sys.argv[3]), int(sys.argv[4])

def zorvane(size, m):
    return [cli, "analyze", f"{work}/long{m}.wav", "--all", "--size", str(size), "--overlap", "0",
            "--csv", f"{work}/out.csv"]

def sox(rows, m):
    return ["sox", f"{work}/long{m}.wav", "-n", "spectrogram", "-y", str(rows),
            "-o", f"{work}/spectrogram.png"]

runs = {}
for m in (1, minutes):
    for size in (1024, 4096, 8192):
        runs[(m, f"zorvane-cli --size {size}")] = zorvane(size, m)
    for rows in (513, 1025):
        runs[(m, f"sox spectrogram -y {rows}")] = sox(rows, m)

cpu = {key: float("inf") for key in runs}
rss = {key: 0 for key in runs}
for _ in range(rounds):
    for key, command in runs.items():
        child = subprocess.Popen(command, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        _, status, usage = os.wait4(child.pid, 0)
        if status != 0:
            sys.exit(f"{' '.join(command)} failed")
        cpu[key] = min(cpu[key], usage.ru_utime + usage.ru_stime)
        rss[key] = max(rss[key], usage.ru_maxrss)

reference = {1024: "sox spectrogram -y 513", 4096: "sox spectrogram -y 1025",
             8192: "sox spectrogram -y 1025"}
print(f"{'minutes':>7}  {'command':<26} {'cpu_s':>7} {'peak_rss_kB':>11}  ratio to sox")
for (m, name), seconds in cpu.items():
    ratio = ""
    if name.startswith("zorvane"):
        size = int(name.split()[-1])
        ratio = f"{seconds / cpu[(m, reference[size])]:.3f} (against {reference[size][4:]})"
    print(f"{m:>7}  {name:<26} {seconds:>7.3f} {rss[(m, name)]:>11}  {ratio}")
EOF
echo "load average after: $(cut -d' ' -f1-3 /proc/loadavg)"
