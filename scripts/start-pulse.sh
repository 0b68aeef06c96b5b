#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Starts a PulseAudio server for the end-to-end tests: a null sink "zloop"
# that is the default output, its monitor "zloop.monitor" the default input.
# The sink runs at 44,100 Hz and stays there: a server switches an idle sink
# to its alternate rate (48,000 Hz) when the first stream asks for a rate
# that divides it (8000 Hz does), and the tests would then measure the
# server's resampling instead of the program. The server started here has
# 44,100 Hz as its alternate rate too (a daemon.conf of its own).
# PortAudio reaches it through ALSA's "default" device, which the ALSA pulse
# plugin (libasound2-plugins) routes to a running PulseAudio server, so no
# ALSA configuration is written.
#
# Idempotent: with the sink already there it does nothing. When a server that
# this script did not start is running (a desktop session), only the null
# sink is added to it, and the defaults are left alone; the tests name the
# sink themselves. Prints the server's pid file. scripts/stop-pulse.sh undoes
# exactly what this did.
set -euo pipefail

state="${ZORVANE_PULSE_STATE:-${TMPDIR:-/tmp}/zorvane-pulse-$(id -u)}"
mkdir -p "$state"

for tool in pulseaudio pactl; do
  command -v "$tool" >/dev/null || { echo "start-pulse: $tool is not installed" >&2; exit 1; }
done

# The directory of the server's socket holds its pid file.
pid_file() {
  local server
  server=$(LC_ALL=C pactl info 2>/dev/null | sed -n 's/^Server String: //p')
  server=${server#unix:}
  [ -n "$server" ] && echo "$(dirname "$server")/pid"
}

has_sink() { pactl list short sinks 2>/dev/null | awk '{print $2}' | grep -qx zloop; }

if pactl info >/dev/null 2>&1; then
  if has_sink; then
    echo "start-pulse: PulseAudio already running with the zloop sink; pid file $(pid_file)"
    exit 0
  fi
  module=$(pactl load-module module-null-sink sink_name=zloop rate=44100)
  echo "$module" > "$state/module"
  echo "start-pulse: added the zloop sink (module $module) to the running PulseAudio; pid file $(pid_file)"
  exit 0
fi

# Refused for root only with --system; a per-user server as root works with
# --system=false (it warns, and runs).
printf 'default-sample-rate = 44100\nalternate-sample-rate = 44100\n' > "$state/daemon.conf"
PULSE_CONFIG="$state/daemon.conf" \
pulseaudio --daemonize=yes --system=false --exit-idle-time=-1 -n \
  --load="module-null-sink sink_name=zloop rate=44100" --load=module-native-protocol-unix \
  --log-target="newfile:$state/pulseaudio.log"

for _ in $(seq 100); do
  pactl info >/dev/null 2>&1 && has_sink && break
  sleep 0.1
done
if ! has_sink; then
  echo "start-pulse: PulseAudio did not come up (see $state/pulseaudio.log)" >&2
  exit 1
fi
pidfile=$(pid_file)
pid=$(cat "$pidfile")
echo "$pid" > "$state/pid"
echo "start-pulse: PulseAudio started, pid $pid; pid file $pidfile"
