#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Time from exec to the window's first paint, on a virtual X screen: on the
# built-in loopback cable and on the sound card (a PulseAudio server of the
# script's own with a null sink; once through each sound library). Rounds
# alternate between them and the medians are reported, with the load.
# The window tells when it has painted (ZORVANE_REPORT_FIRST_PAINT).
#
#   bench/startup_time.sh [ZORVANE [ROUNDS]]   (build/zorvane, 7 rounds)
#
# Also reports each run's peak resident memory (VmHWM) two seconds after the
# paint. Needs Xvfb and PulseAudio (scripts/deps.sh installs them).
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
bin="$(realpath "${1:-$root/build/zorvane}")"
rounds="${2:-7}"
for tool in Xvfb pulseaudio pactl; do
  command -v "$tool" >/dev/null || { echo "startup_time: $tool is not installed" >&2; exit 1; }
done

work="$(mktemp -d)"
display=":$((200 + RANDOM % 500))"
xvfb=""
mkdir -p "$work/run" "$work/xdg" "$work/home"
chmod 700 "$work/run" "$work/xdg"
printf 'autospawn = no\n' >"$work/client.conf"
pulse_env=(ZORVANE_PULSE_STATE="$work/state" PULSE_RUNTIME_PATH="$work/run"
  XDG_RUNTIME_DIR="$work/xdg" HOME="$work/home" PULSE_CLIENTCONFIG="$work/client.conf")
cleanup() {
  [ -f "$work/app" ] && kill "$(cat "$work/app")" 2>/dev/null
  [ -n "$xvfb" ] && kill "$xvfb" 2>/dev/null
  env "${pulse_env[@]}" "$root/scripts/stop-pulse.sh" >/dev/null
  rm -rf "$work"
}
trap cleanup EXIT
Xvfb "$display" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
export DISPLAY="$display"
for _ in $(seq 50); do [ -e "/tmp/.X11-unix/X${display#:}" ] && break; sleep 0.1; done
env -u PULSE_SERVER "${pulse_env[@]}" "$root/scripts/start-pulse.sh" >/dev/null
card_env=("${pulse_env[@]}" PULSE_SERVER="unix:$work/run/native" PULSE_SINK=zloop
  PULSE_SOURCE=zloop.monitor)

# One start on `audio`: prints the milliseconds to the first paint and the
# peak resident memory in MB.
start() {
  local audio="$1" t0 app painted ms hwm
  shift
  rm -rf "$work/config"
  t0="$(date +%s.%N)"
  env "$@" XDG_CONFIG_HOME="$work/config" ZORVANE_REPORT_FIRST_PAINT=1 "$bin" --audio="$audio" \
    >/dev/null 2>"$work/log" &
  app=$!
  echo "$app" >"$work/app"
  painted=""
  for _ in $(seq 1000); do
    painted="$(sed -n 's/^first paint at //p' "$work/log")"
    [ -n "$painted" ] && break
    sleep 0.01
  done
  ms="$(awk -v a="$t0" -v b="${painted:-0}" 'BEGIN { printf "%.0f", (b > 0 ? (b - a) * 1000 : -1) }')"
  sleep 2
  hwm="$(awk '/^VmHWM/ { printf "%.1f", $2 / 1024 }' "/proc/$app/status")"
  kill "$app"
  wait "$app" 2>/dev/null || true
  rm -f "$work/app"
  echo "$ms $hwm"
}

median() { sort -g | awk '{v[NR] = $1} END {print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2}'; }

configs=(loopback pulse portaudio)
: >"$work/results"
for r in $(seq "$rounds"); do
  for c in "${configs[@]}"; do
    case "$c" in
      loopback) read -r ms hwm < <(start loopback HOME="$work/home") ;;
      *) read -r ms hwm < <(start "$c" "${card_env[@]}") ;;
    esac
    echo "round $r $c: first paint after $ms ms, peak resident $hwm MB"
    echo "$c $ms $hwm" >>"$work/results"
  done
  configs=("${configs[@]:1}" "${configs[0]}")
done
echo "load average at the end: $(cut -d' ' -f1-3 /proc/loadavg)"
echo "median of $rounds rounds: exec to first paint, peak resident memory"
for c in loopback pulse portaudio; do
  printf '  %-10s %5.0f ms  %5.1f MB\n' "$c:" "$(awk -v c="$c" '$1 == c {print $2}' "$work/results" | median)" \
    "$(awk -v c="$c" '$1 == c {print $3}' "$work/results" | median)"
done
