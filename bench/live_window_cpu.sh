#!/usr/bin/env bash
# Processor time of the window over a fixed run: first idle, then with the
# analyzer running on the built-in loopback (44,100 Hz, 1024 points), on a
# virtual X screen. Reads the process's user + system time from /proc.
#
#   bench/live_window_cpu.sh [ZORVANE [SECONDS]]    (default build/zorvane, 30 s)
#
# zorvane-cli from the same folder tells where the START button is. Needs
# Xvfb and xdotool (scripts/deps.sh installs both).
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
bin="$(realpath "${1:-$root/build/zorvane}")"
seconds="${2:-30}"
cli="$(dirname "$bin")/zorvane-cli"
for tool in Xvfb xdotool; do
  command -v "$tool" >/dev/null || { echo "live_window_cpu: $tool is not installed" >&2; exit 1; }
done

work="$(mktemp -d)"
display=":$((200 + RANDOM % 500))"
pids=()
cleanup() {
  for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done
  rm -rf "$work"
}
trap cleanup EXIT
Xvfb "$display" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
pids+=($!)
export DISPLAY="$display" XDG_CONFIG_HOME="$work"
for _ in $(seq 50); do xdotool getmouselocation >/dev/null 2>&1 && break; sleep 0.1; done

"$bin" --audio=loopback >/dev/null 2>&1 &
app=$!
pids=("$app" "${pids[@]}")
window="$(xdotool search --sync --name "Zorvane Function-Sweep Generator" | head -1)"
sleep 2

hz="$(getconf CLK_TCK)"
ticks() { awk '{print $14 + $15}' "/proc/$app/stat"; }
measure() {
  local before after
  before="$(ticks)"
  sleep "$seconds"
  after="$(ticks)"
  awk -v a="$before" -v b="$after" -v hz="$hz" -v s="$seconds" \
    'BEGIN { printf "%.2f %% of a core (%.2f s of processor time in %d s)\n", 100 * (b - a) / hz / s, (b - a) / hz, s }'
}

echo "idle window:      $(measure)"

# The START button, from the form's geometry: inside the window's 4-pixel
# frame, below the 19-pixel menu bar.
read -r left top width height < <(printf 'get StartBtn.Left\nget StartBtn.Top\nget StartBtn.Width\nget StartBtn.Height\n' |
  "$cli" script --audio=loopback 2>/dev/null | awk '{printf "%s ", $3} END {print ""}')
eval "$(xdotool getwindowgeometry --shell "$window")"
xdotool mousemove "$((X + left + width / 2 + 4))" "$((Y + top + height / 2 + 23))" click 1
sleep 1
echo "analyzer running: $(measure)"
if [ -n "${ZORVANE_SCREENSHOT:-}" ]; then import -window root "$ZORVANE_SCREENSHOT"; fi
