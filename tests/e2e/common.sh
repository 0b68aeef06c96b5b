# SPDX-License-Identifier: GPL-3.0-or-later
# Shared by the end-to-end scripts (sourced): the checks that skip a test
# when the sound server it needs is missing, and a recorder that keeps the
# null sink's latency short.

# Ends the test as skipped (CTest's SKIP_RETURN_CODE).
skip() { echo "skipped: $*"; exit 77; }

# require_zloop TOOL...: the tools, a reachable PulseAudio server and its
# "zloop" null sink (scripts/start-pulse.sh), else the test is skipped. The
# program's streams then go to that sink and its monitor whatever the
# server's defaults, at full volume on both sides.
require_zloop() {
  local tool
  for tool in pactl "$@"; do
    command -v "$tool" >/dev/null || skip "$tool is not installed"
  done
  pactl info >/dev/null 2>&1 || skip "no PulseAudio server (scripts/start-pulse.sh starts one)"
  pactl list short sinks | awk '{print $2}' | grep -qx zloop ||
    skip "the PulseAudio server has no zloop sink"
  export PULSE_SINK=zloop PULSE_SOURCE=zloop.monitor
  # The server and its cookie, named explicitly: what the tests start with a
  # settings folder or home of their own still reaches this server.
  if [ -z "${PULSE_SERVER:-}" ]; then
    PULSE_SERVER=$(LC_ALL=C pactl info | sed -n 's/^Server String: //p')
    export PULSE_SERVER
  fi
  if [ -z "${PULSE_COOKIE:-}" ]; then
    local c
    for c in "${XDG_CONFIG_HOME:-$HOME/.config}/pulse/cookie" "$HOME/.pulse-cookie"; do
      if [ -r "$c" ]; then
        export PULSE_COOKIE="$c"
        break
      fi
    done
  fi
  pactl set-sink-volume zloop 100% 100%
  pactl set-sink-mute zloop 0
}

# The null sink's rate now ("44100").
sink_rate() {
  LC_ALL=C pactl list sinks | awk '/^Sink #/ {s = 0} /Name: zloop$/ {s = 1}
    s && /Sample Spec[a-z]*:/ {sub(/Hz.*/, ""); print $NF; exit}'
}

# require_sink_rate: fails the test unless the sink runs at 44,100 Hz, the
# rate scripts/start-pulse.sh pins. Called once the test's streams are up
# (the first stream is what could switch it) and again at the end.
require_sink_rate() {
  local rate
  rate=$(sink_rate)
  if [ "$rate" != 44100 ]; then
    echo "FAIL the zloop sink runs at ${rate:-an unknown rate} Hz, not 44100 Hz: the test would measure the server's resampling (start the server with scripts/start-pulse.sh)"
    exit 1
  fi
}

# hold_short_latency FILE: a null sink that no client asks for a short
# latency renders up to two seconds ahead, so a tone that starts then reaches
# the monitor only up to two seconds later. This recorder asks for 10 ms and
# keeps the sink's blocks short until it is killed; its pid is left in
# $keeper. Returns once its data flows.
hold_short_latency() {
  parec -d zloop.monitor --format=u8 --rate=8000 --channels=1 --raw --latency-msec=10 > "$1" &
  keeper=$!
  for _ in $(seq 500); do
    [ -s "$1" ] && return 0
    sleep 0.01
  done
  echo "FAIL parec recorded nothing from zloop.monitor"
  return 1
}

# start_session: a work folder in $work and the latency keeper of
# hold_short_latency, both gone when the script ends (after the script's own
# on_exit, when it defines one); then checks the sink's rate.
start_session() {
  work=$(mktemp -d)
  keeper=""
  trap 'declare -F on_exit >/dev/null && on_exit
        [ -n "$keeper" ] && kill "$keeper" 2>/dev/null && wait "$keeper" 2>/dev/null
        rm -rf "$work"' EXIT
  hold_short_latency "$work/keeper.raw" || exit 1
  require_sink_rate
}
