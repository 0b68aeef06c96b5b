#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Zorvane.cfg as an ordinary user finds it: a file of mode 000 (cannot be
# read) or 0444 (cannot be written), holding a waterfall at 8192 points, in
# a folder everyone may write, keeps its contents and mode through a start
# and a quit of zorvane-cli script, which changes a setting before it quits;
# the 0444 one is read. Run as the user nobody when started as root.
set -uo pipefail
cli=${1:?usage: settings_permissions.sh ZORVANE_CLI}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
chmod 755 "$work"
cp "$cli" "$work/zorvane-cli" && chmod 755 "$work/zorvane-cli"  # the build may be closed to others
as_user=()
[ "$(id -u)" -eq 0 ] && as_user=(setpriv --reuid=nobody --regid=nogroup --clear-groups)
failures=0

mkdir -p "$work/conf/zorvane" && : > "$work/conf/zorvane/Zorvane.cfg"
printf 'click Waterfall1\nclick N81921\nquit\n' |
  XDG_CONFIG_HOME="$work/conf" "$work/zorvane-cli" script --audio=loopback > /dev/null 2>&1
cfg="$work/conf/zorvane/Zorvane.cfg"
cp "$cfg" "$work/before"
chmod 777 "$work/conf/zorvane"
for mode in 000 444; do
  cp "$work/before" "$cfg" && chmod "$mode" "$cfg"
  got=$(printf 'state DisplayMode\nstate TransformSize\nclick Frequency1\nclick N10241\nquit\n' |
    XDG_CONFIG_HOME="$work/conf" "${as_user[@]}" "$work/zorvane-cli" script --audio=loopback 2>&1)
  read_ok=yes
  [ "$mode" = 444 ] && ! grep -q '^DisplayMode = 3$' <<< "$got" && read_ok=no
  if ! cmp -s "$cfg" "$work/before" || [ $((8#$(stat -c %a "$cfg"))) -ne $((8#$mode)) ] ||
     [ "$read_ok" = no ] || ! grep -q '^terminated$' <<< "$got"; then
    echo "FAIL mode $mode: now $(stat -c %a "$cfg"), $(cmp -s "$cfg" "$work/before" && echo same || echo changed) contents; the run said:"
    sed 's/^/  /' <<< "$got"
    failures=$((failures + 1))
  else
    echo "ok   mode $mode: contents and mode kept${as_user:+ (run as nobody)}"
  fi
done
[ $failures -eq 0 ]
