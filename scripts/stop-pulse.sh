#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Undoes scripts/start-pulse.sh: stops the PulseAudio server it started (by
# its pid, never by name) or removes the null sink it added to a server that
# was already running. Does nothing when start-pulse.sh did neither.
set -uo pipefail

# Running, and not a zombie left for a parent that never reaps it.
alive() {
  kill -0 "$1" 2>/dev/null && [ "$(awk '{print $3}' "/proc/$1/stat" 2>/dev/null)" != Z ]
}

state="${ZORVANE_PULSE_STATE:-${TMPDIR:-/tmp}/zorvane-pulse-$(id -u)}"

if [ -f "$state/module" ]; then
  pactl unload-module "$(cat "$state/module")" 2>/dev/null || true
  rm -f "$state/module"
  echo "stop-pulse: removed the zloop sink"
fi

if [ -f "$state/pid" ]; then
  pid=$(cat "$state/pid")
  rm -f "$state/pid"
  # Only the server we started: a reused pid belongs to someone else.
  if [ -r "/proc/$pid/comm" ] && [ "$(cat "/proc/$pid/comm")" = pulseaudio ]; then
    kill -TERM "$pid"
    for _ in $(seq 50); do
      alive "$pid" || break
      sleep 0.1
    done
    alive "$pid" && kill -KILL "$pid"
    echo "stop-pulse: stopped PulseAudio (pid $pid)"
  fi
fi
exit 0
