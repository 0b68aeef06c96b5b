#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# End-to-end: the analyzer runs for 30 seconds in real time on the PulseAudio
# null sink's monitor (scripts/start-pulse.sh) at 44,100 Hz with 1024-point
# transforms, mono, while the same zorvane-cli process plays a tone into the
# sink. The PortAudio input counts the frames that arrived while no capture
# buffer was queued; zorvane-cli prints that count on standard error at the
# end. The run passes when no buffer was lost and the analyzer still follows
# the tone at the end (changed from 1000 to 3000 Hz two seconds before).
# Exits 77 (skipped) when no server with the zloop sink is reachable.
set -uo pipefail

cli=${1:?usage: pulse_analyzer_overruns.sh ZORVANE_CLI}

here=$(cd "$(dirname "$0")" && pwd)
. "$here/common.sh"
require_zloop parec

start_session

cat > "$work/run.zvs" << 'EOF'
click N441001
click N10241
click Mic1
key FrequencyDisplay \b\b\b\b\b\b\b\b1000\r
click OutputBtn
click StartBtn
wait 28000
key FrequencyDisplay \b\b\b\b\b\b\b\b3000\r
wait 2000
state SampleRate
state TransformSize
state CaptureChannels
get PeakFreq.Caption
click StartBtn
click OutputBtn
quit
EOF

out=$("$cli" script --audio=system "$work/run.zvs" 2> "$work/err")
rc=$?
echo "$out"
cat "$work/err"
failures=0
if [ $rc -ne 0 ] || echo "$out" | grep -q '^message'; then
  echo "FAIL zorvane-cli ended with $rc or showed a message"
  failures=$((failures + 1))
fi
for field in "SampleRate = 44100" "TransformSize = 1024" "CaptureChannels = 1"; do
  echo "$out" | grep -qx "$field" || { echo "FAIL expected $field"; failures=$((failures + 1)); }
done
# Within one bin of the tone: 44100 / 1024 Hz.
peak=$(echo "$out" | sed -n 's/^PeakFreq.Caption = //p')
if ! awk -v p="$peak" 'BEGIN { d = p - 3000; if (d < 0) d = -d; exit !(p != "" && d <= 44100 / 1024) }'; then
  echo "FAIL the analyzer's peak at the end is '$peak', not the 3000 Hz tone"
  failures=$((failures + 1))
fi
overruns=$(sed -n 's/^zorvane-cli: input overruns: //p' "$work/err")
if [ -z "$overruns" ]; then
  echo "FAIL zorvane-cli printed no overrun count"
  failures=$((failures + 1))
elif [ "$overruns" != 0 ]; then
  echo "FAIL $overruns overrun(s): capture buffers were lost"
  failures=$((failures + 1))
fi

require_sink_rate
if [ $failures -ne 0 ]; then
  echo "$failures check(s) failed"
  exit 1
fi
echo "30 s of analysis at 44100 Hz, 1024 points: no capture buffer lost"
