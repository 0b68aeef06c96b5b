#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Processor time of the window with the analyzer running (44,100 Hz, 1024
# points), on the built-in loopback cable and on a sound card: a PulseAudio
# server of the script's own with a null sink, never a server anyone else
# uses. Rounds alternate between the two (the order flips every round) and
# the medians are reported: the window's share of a core on each, the
# server's share while the window runs on it, and the ratio of the two
# windows' shares. Shares are the processes' user + system time (all their
# threads) over the measured seconds, read from /proc.
#
#   bench/live_window_cpu.sh [ZORVANE [SECONDS [ROUNDS]]]   (build/zorvane, 20 s, 3 rounds)
#
# Environment: ZORVANE_BENCH_CARD is the --audio value for the sound card
# (system, the default, or a backend it names); ZORVANE_BENCH_PIPEWIRE=1 also measures
# on PipeWire's PulseAudio service, started headless in folders of its own
# (needs pipewire, pipewire-pulse, wireplumber and dbus-run-session).
#
# zorvane-cli from the same folder tells where the START button is. Needs
# Xvfb, xdotool and PulseAudio (scripts/deps.sh installs them).
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
bin="$(realpath "${1:-$root/build/zorvane}")"
seconds="${2:-20}"
rounds="${3:-3}"
cli="$(dirname "$bin")/zorvane-cli"
for tool in Xvfb xdotool pulseaudio pactl; do
  command -v "$tool" >/dev/null || { echo "live_window_cpu: $tool is not installed" >&2; exit 1; }
done

work="$(mktemp -d)"
display=":$((200 + RANDOM % 500))"
pids=()
pulse_env=()
pw_pids=()
cleanup() {
  [ -f "$work/app" ] && kill "$(cat "$work/app")" 2>/dev/null
  for p in "${pw_pids[@]}"; do pkill -P "$p" 2>/dev/null || true; done
  for p in "${pids[@]}" "${pw_pids[@]}"; do kill "$p" 2>/dev/null || true; done
  if [ ${#pulse_env[@]} -gt 0 ]; then env "${pulse_env[@]}" "$root/scripts/stop-pulse.sh" >/dev/null; fi
  rm -rf "$work"
}
trap cleanup EXIT
Xvfb "$display" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
pids+=($!)
export DISPLAY="$display" XDG_CONFIG_HOME="$work/config"
for _ in $(seq 50); do xdotool getmouselocation >/dev/null 2>&1 && break; sleep 0.1; done

# The PulseAudio server: folders of its own, no autospawn once it is gone.
mkdir -p "$work/pulse/run" "$work/pulse/xdg" "$work/pulse/home"
chmod 700 "$work/pulse/run" "$work/pulse/xdg"
printf 'autospawn = no\n' >"$work/pulse/client.conf"
pulse_env=(ZORVANE_PULSE_STATE="$work/pulse/state" PULSE_RUNTIME_PATH="$work/pulse/run"
  XDG_RUNTIME_DIR="$work/pulse/xdg" HOME="$work/pulse/home" PULSE_CLIENTCONFIG="$work/pulse/client.conf")
env -u PULSE_SERVER "${pulse_env[@]}" "$root/scripts/start-pulse.sh" >/dev/null
pulse_pid="$(cat "$work/pulse/state/pid")"
card_env=("${pulse_env[@]}" PULSE_SERVER="unix:$work/pulse/run/native" PULSE_SINK=zloop
  PULSE_SOURCE=zloop.monitor)

# PipeWire's PulseAudio service, when asked for: pipewire, its session
# manager and pipewire-pulse on a runtime folder of their own, with a null
# sink loaded through the pulse protocol.
pw_env=()
if [ "${ZORVANE_BENCH_PIPEWIRE:-0}" = 1 ]; then
  for tool in pipewire pipewire-pulse wireplumber dbus-run-session; do
    command -v "$tool" >/dev/null || { echo "live_window_cpu: $tool is not installed" >&2; exit 1; }
  done
  mkdir -p "$work/pw/xdg" "$work/pw/home" && chmod 700 "$work/pw/xdg"
  pw_base=(XDG_RUNTIME_DIR="$work/pw/xdg" HOME="$work/pw/home" PIPEWIRE_RUNTIME_DIR="$work/pw/xdg")
  env "${pw_base[@]}" DBUS_SESSION_BUS_ADDRESS=disabled: pipewire >"$work/pw/pipewire.log" 2>&1 &
  pw_pids+=($!)
  sleep 0.5
  # The session manager links the streams; it needs a session bus of its own.
  env -u DISPLAY -u DBUS_SESSION_BUS_ADDRESS "${pw_base[@]}" dbus-run-session -- wireplumber \
    >"$work/pw/wireplumber.log" 2>&1 &
  pw_pids+=($!)
  env "${pw_base[@]}" pipewire-pulse >"$work/pw/pulse.log" 2>&1 &
  # The server's share is PipeWire's and its PulseAudio service's together.
  pw_pulse_pid="${pw_pids[0]},$!"
  pw_pids+=($!)
  pw_env=("${pw_base[@]}" PULSE_SERVER="unix:$work/pw/xdg/pulse/native"
    PULSE_CLIENTCONFIG="$work/pulse/client.conf" PULSE_SINK=zloop PULSE_SOURCE=zloop.monitor)
  for _ in $(seq 100); do env "${pw_env[@]}" pactl info >/dev/null 2>&1 && break; sleep 0.1; done
  env "${pw_env[@]}" pactl load-module module-null-sink sink_name=zloop rate=44100 >/dev/null
fi
# The window's peak resident memory at the end of each run goes with it.

hz="$(getconf CLK_TCK)"
# User + system ticks of the processes listed (pids joined by commas).
ticks() {
  local t=0 p
  for p in ${1//,/ }; do t=$((t + $(awk '{print $14 + $15}' "/proc/$p/stat"))); done
  echo "$t"
}
# The processes' processor time over `seconds`, in percent of a core: the
# window's first, then the sound server's (0 without one), then the window's
# peak resident memory in MB.
measure() {
  local app="$1" server="$2" a0 a1 s0=0 s1=0
  a0="$(ticks "$app")"
  [ "$server" = 0 ] || s0="$(ticks "$server")"
  sleep "$seconds"
  a1="$(ticks "$app")"
  [ "$server" = 0 ] || s1="$(ticks "$server")"
  local hwm
  hwm="$(awk '/^VmHWM/ { print $2 / 1024 }' "/proc/$app/status")"
  awk -v a="$((a1 - a0))" -v s="$((s1 - s0))" -v hz="$hz" -v t="$seconds" -v m="$hwm" \
    'BEGIN { printf "%.3f %.3f %.1f\n", 100 * a / hz / t, 100 * s / hz / t, m }'
}

# The START button, from the form's geometry: inside the window's 4-pixel
# frame, below the 19-pixel menu bar.
read -r left top width height < <(printf 'get StartBtn.Left\nget StartBtn.Top\nget StartBtn.Width\nget StartBtn.Height\n' |
  "$cli" script --audio=loopback 2>/dev/null | awk '{printf "%s ", $3} END {print ""}')

# One run: the window on `audio` (with the environment given after it), the
# analyzer started, `seconds` measured. Prints the two shares.
run() {
  local audio="$1" server="$2"
  shift 2
  env "$@" "$bin" --audio="$audio" >"$work/window.log" 2>&1 &
  local app=$!
  echo "$app" >"$work/app"
  local window
  window="$(xdotool search --sync --onlyvisible --pid "$app" --name "Zorvane Function-Sweep Generator" | head -1)"
  sleep 1
  eval "$(xdotool getwindowgeometry --shell "$window")"
  xdotool mousemove "$((X + left + width / 2 + 4))" "$((Y + top + height / 2 + 23))" click 1
  sleep 2
  measure "$app" "$server"
  if [ -n "${ZORVANE_SCREENSHOT:-}" ]; then import -window root "$ZORVANE_SCREENSHOT"; fi
  kill "$app"
  wait "$app" 2>/dev/null || true
  rm -f "$work/app"
}

median() { sort -g | awk '{v[NR] = $1} END {print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2}'; }

card="${ZORVANE_BENCH_CARD:-system}"
configs=(cable pulse)
[ ${#pw_env[@]} -gt 0 ] && configs+=(pipewire)
: >"$work/results"
for r in $(seq "$rounds"); do
  order=("${configs[@]}")
  if [ $((r % 2)) = 0 ]; then
    order=()
    for ((i = ${#configs[@]} - 1; i >= 0; i--)); do order+=("${configs[$i]}"); done
  fi
  for c in "${order[@]}"; do
    case "$c" in
      cable) shares="$(run loopback 0 XDG_CONFIG_HOME="$XDG_CONFIG_HOME")" ;;
      pulse) shares="$(run "$card" "$pulse_pid" "${card_env[@]}")" ;;
      pipewire) shares="$(run "$card" "$pw_pulse_pid" "${pw_env[@]}")" ;;
    esac
    read -r w s m <<<"$shares"
    echo "round $r $c: window $w %, server $s %, window's peak resident memory $m MB"
    echo "$c $shares" >>"$work/results"
  done
done

share() { awk -v c="$1" -v f="$2" '$1 == c {print $f}' "$work/results" | median; }
cable="$(share cable 2)"
echo "load average at the end: $(cut -d' ' -f1-3 /proc/loadavg)"
printf 'median of %d rounds of %d s, analyzer running at 44100 Hz / 1024:\n' "$rounds" "$seconds"
printf '  cable:        window %6.2f %% of a core, peak resident %5.1f MB\n' "$cable" "$(share cable 4)"
for c in "${configs[@]:1}"; do
  window="$(share "$c" 2)"
  server="$(share "$c" 3)"
  awk -v c="$c" -v w="$window" -v s="$server" -v k="$cable" -v m="$(share "$c" 4)" 'BEGIN {
    printf "  %-12s  window %6.2f %% of a core, server %5.2f %%; window / cable %.2f; peak resident %5.1f MB\n", c ":", w, s, (k > 0 ? w / k : 0), m }'
done
