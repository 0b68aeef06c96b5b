#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# End-to-end through the analyzer's live input: one zorvane-cli process plays
# a sine into the PulseAudio null sink "zloop" (scripts/start-pulse.sh) and,
# at the same time, analyzes the sink's monitor with the analyzer (START),
# reading the peak frequency as the window shows it (PeakFreq) and as the
# state holds it. Each reading must lie within one bin (rate / 1024) of the
# tone playing, at 44,100 and 22,050 Hz, for the mono, left and right inputs.
# The tone, rate and channel are also changed while the analyzer runs (the
# input is reopened), so a reading left over from before a change fails.
# For the left and right inputs the sink plays the tone on one side only:
# the selected side must show the tone, the other one must not.
# Exits 77 (skipped) when no server with the zloop sink is reachable.
set -uo pipefail

cli=${1:?usage: pulse_analyzer.sh ZORVANE_CLI}

here=$(cd "$(dirname "$0")" && pwd)
. "$here/common.sh"
require_zloop parec

# The other end-to-end tests expect both sides at full volume.
on_exit() { pactl set-sink-volume zloop 100% 100%; }
start_session

size=1024
failures=0

# analyze NAME LEFT RIGHT STEP...: plays the sink's two sides at the volumes
# LEFT and RIGHT, and runs one zorvane-cli process with the generator on
# through these steps:
#   rate HZ      the rate menu item (44100 or 22050)
#   channel ITEM the channel menu item (Mic1 mono, Left1, Right1)
#   tone HZ      the frequency typed into the entry, confirmed with Enter
#   start        START
#   seen HZ      waits, then the peak must lie within one bin of HZ
#   unseen HZ    waits, then the peak must lie more than one bin from HZ
analyze() {
  local name=$1 left=$2 right=$3
  shift 3
  local script="$work/$name.zvs" rate=44100 started=0 step what value
  local -a checks=()
  pactl set-sink-volume zloop "$left" "$right"
  {
    echo "click N$((size))1"
    echo "click OutputBtn"
    for step in "$@"; do
      read -r what value <<< "$step"
      case $what in
        rate) echo "click N${value}1"; rate=$value ;;
        channel) echo "click $value" ;;
        # Eight backspaces clear whatever the entry holds ("22050.0" at most).
        tone) printf 'key FrequencyDisplay \\b\\b\\b\\b\\b\\b\\b\\b%s\\r\n' "$value" ;;
        start) echo "click StartBtn"; started=1 ;;
        seen | unseen)
          # The first reading gives the streams time to come up.
          if [ ${#checks[@]} -eq 0 ]; then echo "wait 2000"; else echo "wait 1500"; fi
          echo "state SampleRate"
          echo "get PeakFreq.Caption"
          echo "state PeakFrequency"
          checks+=("$what $value $rate")
          ;;
        *) echo "analyze: unknown step $step" >&2; exit 2 ;;
      esac
    done
    [ $started = 1 ] && echo "click StartBtn"
    echo "click OutputBtn"
    echo "quit"
  } > "$script"

  local out rc
  out=$("$cli" script --audio=system "$script" 2> "$work/$name.err")
  rc=$?
  echo "$out" | sed "s/^/  $name: /"
  if [ $rc -ne 0 ] || echo "$out" | grep -q '^message'; then
    echo "FAIL $name: zorvane-cli ended with $rc or showed a message"
    sed "s/^/  $name stderr: /" "$work/$name.err"
    failures=$((failures + 1))
    return
  fi
  # Three lines per reading: the rate in force, the caption, the state.
  local -a rates captions states
  mapfile -t rates < <(echo "$out" | sed -n 's/^SampleRate = //p')
  mapfile -t captions < <(echo "$out" | sed -n 's/^PeakFreq.Caption = //p')
  mapfile -t states < <(echo "$out" | sed -n 's/^PeakFrequency = //p')
  if [ ${#captions[@]} -ne ${#checks[@]} ] || [ ${#states[@]} -ne ${#checks[@]} ] ||
     [ ${#rates[@]} -ne ${#checks[@]} ]; then
    echo "FAIL $name: expected ${#checks[@]} readings"
    failures=$((failures + 1))
    return
  fi
  local i tone before=$failures
  for i in "${!checks[@]}"; do
    read -r what tone rate <<< "${checks[$i]}"
    local verdict
    verdict=$(awk -v what="$what" -v tone="$tone" -v rate="$rate" -v size="$size" \
        -v got_rate="${rates[$i]}" -v caption="${captions[$i]}" -v state="${states[$i]}" 'BEGIN {
      bin = rate / size
      if (got_rate != rate) { print "the rate in force is " got_rate; exit }
      dc = caption - tone; if (dc < 0) dc = -dc
      ds = state - tone; if (ds < 0) ds = -ds
      if (what == "seen" && (caption !~ /^[0-9]+\.[0-9]$/ || dc > bin || ds > bin))
        print "peak " caption " (state " state "), not within " bin " Hz of " tone
      if (what == "unseen" && dc <= bin)
        print "peak " caption " is the tone " tone " of the silent side"
    }')
    if [ -n "$verdict" ]; then
      echo "FAIL $name reading $((i + 1)) ($what $tone Hz at $rate Hz): $verdict"
      failures=$((failures + 1))
    else
      echo "ok   $name reading $((i + 1)): $what $tone Hz at $rate Hz, peak ${captions[$i]}"
    fi
  done
  [ $failures -ne $before ] && sed "s/^/  $name stderr: /" "$work/$name.err"
  return 0
}

# Mono: both rates, and a change of tone and of rate while running.
analyze mono 100% 100% "rate 44100" "channel Mic1" "tone 1000" start "seen 1000" \
  "tone 3000" "seen 3000" "rate 22050" "seen 3000" "tone 1000" "seen 1000"
# The tone on the left side only.
analyze left 100% 0% "rate 44100" "channel Left1" "tone 3000" start "seen 3000" \
  "channel Right1" "unseen 3000" "channel Left1" "rate 22050" "tone 1000" "seen 1000"
# The tone on the right side only.
analyze right 0% 100% "rate 22050" "channel Right1" "tone 3000" start "seen 3000" \
  "channel Left1" "unseen 3000" "channel Right1" "rate 44100" "tone 1000" "seen 1000"

require_sink_rate
if [ $failures -ne 0 ]; then
  echo "$failures reading(s) failed"
  exit 1
fi
echo "all readings as expected"
