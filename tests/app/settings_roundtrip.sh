#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Settings through two runs of zorvane-cli script on one prepared settings
# folder ($XDG_CONFIG_HOME/zorvane/Zorvane.cfg): what the first run sets in
# the waterfall, the frequency and the time display comes back in the
# second; the file is 196 bytes; a folder without the file gets none.
set -uo pipefail
cli=${1:?usage: settings_roundtrip.sh ZORVANE_CLI}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
run() { XDG_CONFIG_HOME="$work/$1" "$cli" script --audio=loopback 2>/dev/null; }
expect() {  # NAME EXPECTED-OUTPUT ACTUAL-OUTPUT
  if [ "$2" != "$3" ]; then
    echo "FAIL $1"; diff <(echo "$2") <(echo "$3") | sed 's/^/  /'; failures=$((failures + 1))
  else
    echo "ok   $1"
  fi
}

# The waterfall, with markers, note mode and sweep settings.
mkdir -p "$work/a/zorvane" && : > "$work/a/zorvane/Zorvane.cfg"
run a << 'EOF2' > /dev/null
click N220501
click N40961
click Mkr2Btn
set Mkr2ScrollBar 300
click Lime1
click ModeBtn
click NoteUpBtn
click WaveformBtn
click SweepBtn
click N128
click On2
click Waterfall1
quit
EOF2
size=$(stat -c %s "$work/a/zorvane/Zorvane.cfg")
expect "written file is 196 bytes" 196 "$size"
got=$(run a << 'EOF2'
state DisplayMode
state SampleRate
state TransformSize
get Mkr2Btn.Caption
get Mkr2Freq.Caption
state TraceColorIndex
get ModeBtn.Caption
state NoteIndex
state Waveform
get SweepBtn.Caption
state SweepPoints
state SweepLoop
get Ref_1.Caption
quit
EOF2
)
expect "waterfall round trip" "DisplayMode = 3
SampleRate = 22050
TransformSize = 4096
Mkr2Btn.Caption = ON
Mkr2Freq.Caption = 6468
TraceColorIndex = 2
ModeBtn.Caption = MUSIC
NoteIndex = 11
Waveform = 1
SweepBtn.Caption = SWP
SweepPoints = 128
SweepLoop = 1
Ref_1.Caption =   ---
terminated" "$got"

# The time display: LINEAR, 5 dB per division, two buttons disabled, its own
# rate, size, gain and offset.
mkdir -p "$work/b/zorvane" && : > "$work/b/zorvane/Zorvane.cfg"
run b << 'EOF2' > /dev/null
click TimeDisplay
click N80001
click N20481
set ProcessGainTrackBar 12
set RefScrollBar 260
quit
EOF2
got=$(run b << 'EOF2'
state DisplayMode
state SampleRate
state TransformSize
get ProcessGainTrackBar.Position
get RefScrollBar.Position
get VerticalBtn.Caption
get VerticalResBtn.Caption
get VerticalBtn.Enabled
get HorizontalBtn.Enabled
quit
EOF2
)
expect "time display round trip" "DisplayMode = 2
SampleRate = 8000
TransformSize = 2048
ProcessGainTrackBar.Position = 12
RefScrollBar.Position = 260
VerticalBtn.Caption = LINEAR
VerticalResBtn.Caption = 5 dB
VerticalBtn.Enabled = false
HorizontalBtn.Enabled = false
terminated" "$got"

# No settings file: none is made.
mkdir -p "$work/c/zorvane"
printf 'click N40961\nquit\n' | run c > /dev/null
expect "no file made where none was" "" "$(ls -A "$work/c/zorvane")"

[ $failures -eq 0 ] || exit 1
