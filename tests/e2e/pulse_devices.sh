#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# End-to-end choice of devices: two more PulseAudio null sinks, "zdev_a" and
# "zdev_b". Through PortAudio (--audio=portaudio) they are reached through
# ALSA devices defined in an .asoundrc in the test's own home (a "type pulse"
# PCM for each sink and each monitor, with a hint so that PortAudio lists
# them); through the PulseAudio backend by their own names. Either way
# zorvane-cli must list them, play its tone into sink A when told to, and its
# analyzer must find the tone on A's monitor and not on B's. Devices that refuse every format (PCMs of a sink
# that does not exist) must give the generator's and the analyzer's
# described failures when they are chosen, never a crash. A name that
# matches nothing ends the program with status 1 and the candidates listed.
# Exits 77 (skipped) when no server with the zloop sink is reachable.
set -uo pipefail

cli=${1:?usage: pulse_devices.sh ZORVANE_CLI}

here=$(cd "$(dirname "$0")" && pwd)
. "$here/common.sh"
require_zloop parec

# The server and its cookie, found before the home changes.
server=$(LC_ALL=C pactl info | sed -n 's/^Server String: //p')
cookie=""
for c in "${XDG_CONFIG_HOME:-$HOME/.config}/pulse/cookie" "$HOME/.pulse-cookie"; do
  [ -r "$c" ] && cookie=$c && break
done

work=$(mktemp -d)
modules=()
keeper=""
cleanup() {
  [ -n "$keeper" ] && kill "$keeper" 2>/dev/null && wait "$keeper" 2>/dev/null
  for m in "${modules[@]}"; do pactl unload-module "$m" 2>/dev/null; done
  rm -rf "$work"
}
trap cleanup EXIT

for sink in zdev_a zdev_b; do
  m=$(pactl load-module module-null-sink "sink_name=$sink" rate=44100) || {
    echo "FAIL could not add the null sink $sink"
    exit 1
  }
  modules+=("$m")
  pactl set-sink-volume "$sink" 100% 100%
  pactl set-sink-mute "$sink" 0
done

mkdir -p "$work/home/.config"
{
  for sink in zdev_a zdev_b; do
    printf 'pcm.%s_out {\n  type pulse\n  device %s\n  hint { show on description "Zorvane test sink %s" }\n}\n' \
      "$sink" "$sink" "$sink"
    printf 'pcm.%s_in {\n  type pulse\n  device %s.monitor\n  hint { show on description "Zorvane test monitor %s" }\n}\n' \
      "$sink" "$sink" "$sink"
  done
  printf 'pcm.zgone_%s {\n  type pulse\n  device %s\n  hint { show on description "No such sink" }\n}\n' \
    out zdev_nosuch in zdev_nosuch.monitor
} > "$work/home/.asoundrc"

# A short latency on A's monitor, so that the tone reaches it at once.
parec -d zdev_a.monitor --format=u8 --rate=8000 --channels=1 --raw --latency-msec=10 \
  > "$work/keeper.raw" &
keeper=$!

# zorvane-cli in the fresh home: only the .asoundrc names the devices, and
# the streams go where they are sent, not to zloop.
run() {
  env -u PULSE_SINK -u PULSE_SOURCE HOME="$work/home" XDG_CONFIG_HOME="$work/home/.config" \
    PULSE_SERVER="$server" ${cookie:+PULSE_COOKIE="$cookie"} "$cli" "$@"
}

failures=0
fail() {
  echo "FAIL $*"
  failures=$((failures + 1))
}

# listed AUDIO NAME...: `devices --audio=AUDIO` lists every NAME.
listed() {
  local audio=$1 list name
  shift
  list=$(run devices --audio="$audio" 2> "$work/devices.err")
  echo "$list" | sed "s/^/  devices ($audio): /"
  for name in "$@"; do
    echo "$list" | grep -q " $name\$\| $name  " || fail "zorvane-cli devices does not list $name"
  done
  [ $failures -eq 0 ] || { cat "$work/devices.err"; exit 1; }
}
listed portaudio zdev_a_out zdev_a_in zdev_b_out zdev_b_in
listed pulse zdev_a zdev_a.monitor zdev_b zdev_b.monitor

# analyze NAME AUDIO OUTPUT INPUT SEEN|UNSEEN: the tone of 1000 Hz into sink
# A, the analyzer on the INPUT device.
analyze() {
  local name=$1 audio=$2 output=$3 input=$4 expect=$5 out rc
  printf '%s\n' "click N441001" "click Mic1" "click OutputBtn" \
    'key FrequencyDisplay \b\b\b\b\b\b\b\b1000\r' "click StartBtn" "wait 2500" \
    "get PeakFreq.Caption" "wait 1500" "get PeakFreq.Caption" "click StartBtn" \
    "click OutputBtn" "quit" > "$work/$name.zvs"
  out=$(run script --audio="$audio" --output-device="$output" --input-device="$input" \
    "$work/$name.zvs" 2> "$work/$name.err")
  rc=$?
  echo "$out" | sed "s/^/  $name: /"
  if [ $rc -ne 0 ] || echo "$out" | grep -q '^message'; then
    fail "$name: zorvane-cli ended with $rc or showed a message"
    sed "s/^/  $name stderr: /" "$work/$name.err"
    return
  fi
  grep -q "$output" "$work/$name.err" && grep -q "$input" "$work/$name.err" ||
    fail "$name: the devices in use are not the ones chosen: $(head -1 "$work/$name.err")"
  local peak
  peak=$(echo "$out" | sed -n 's/^PeakFreq.Caption = //p' | tail -1)
  # Within one bin (44100 / 1024 Hz) of the tone, or not.
  if awk -v p="$peak" 'BEGIN { d = p - 1000; if (d < 0) d = -d; exit !(p ~ /^[0-9.]+$/ && d <= 44100 / 1024) }'; then
    [ "$expect" = seen ] && echo "ok   $name: peak $peak Hz" || fail "$name: the tone ($peak Hz) on a sink nothing plays into"
  else
    [ "$expect" = unseen ] && echo "ok   $name: no tone (peak $peak)" || fail "$name: peak $peak Hz, not the 1000 Hz tone"
  fi
}

analyze matching portaudio zdev_a_out zdev_a_in seen
analyze other portaudio zdev_a_out zdev_b_in unseen
analyze pulse_matching pulse zdev_a zdev_a.monitor seen
analyze pulse_other pulse zdev_a zdev_b.monitor unseen

# refused NAME OPTION SCRIPT MESSAGE: the chosen device refuses the format;
# the first message must be the described one, and the program must end.
refused() {
  local name=$1 option=$2 steps=$3 message=$4 out rc first
  printf "$steps" > "$work/$name.zvs"
  out=$(run script --audio=portaudio "$option" "$work/$name.zvs" 2> "$work/$name.err")
  rc=$?
  first=$(echo "$out" | grep -m1 '^message')
  if [ $rc -gt 1 ] || [ "$first" != "message [Wave Device Message] $message" ] ||
     ! echo "$out" | grep -qx terminated; then
    fail "$name: status $rc, output: $out"
    sed "s/^/  $name stderr: /" "$work/$name.err"
  else
    echo "ok   $name: $first"
  fi
}
refused refused_output --output-device=zgone_out 'quit\n' "Could not handle the output WAVE format"
refused refused_input --input-device=zgone_in 'click StartBtn\nwait 1000\nquit\n' \
  "Could not open the input wave device"

# A name that matches nothing, or more than one device.
for audio in portaudio pulse; do
  out=$(run script --audio=$audio --input-device=zdev_c < /dev/null 2>&1)
  rc=$?
  [ $rc -eq 1 ] && echo "$out" | grep -q "no input device matches 'zdev_c'.*zdev_b" &&
    echo "ok   unknown name ($audio): $out" || fail "an unknown name gave status $rc: $out"
  out=$(run script --audio=$audio --output-device=zdev_ < /dev/null 2>&1)
  rc=$?
  [ $rc -eq 1 ] && echo "$out" | grep -q "matches more than one output device" &&
    echo "ok   ambiguous name ($audio): $out" || fail "an ambiguous name gave status $rc: $out"
done

if [ $failures -ne 0 ]; then
  echo "$failures check(s) failed"
  exit 1
fi
echo "all checks as expected"
