#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Saving the settings onto a full file system leaves the old file intact:
# a small tmpfs holds the settings folder, filled to the last byte, and the
# instrument quits after changing a setting. Needs root for the mount;
# exits 77 (skipped) without it.
set -uo pipefail
cli=${1:?usage: full_disk.sh ZORVANE_CLI}
work=$(mktemp -d)
mnt="$work/fs"
mkdir -p "$mnt"
if ! mount -t tmpfs -o size=64k tmpfs "$mnt" 2>/dev/null; then
  rmdir "$mnt"; rm -rf "$work"
  echo "skipped: cannot mount a tmpfs here"
  exit 77
fi
trap 'umount "$mnt"; rm -rf "$work"' EXIT
mkdir -p "$mnt/zorvane"
: > "$mnt/zorvane/Zorvane.cfg"
printf 'click N20481\nquit\n' | XDG_CONFIG_HOME="$mnt" "$cli" script --audio=loopback > /dev/null 2>&1
cp "$mnt/zorvane/Zorvane.cfg" "$work/before"
[ "$(stat -c %s "$work/before")" = 196 ] || { echo "FAIL the first save wrote $(stat -c %s "$work/before") bytes"; exit 1; }
# Fill the file system.
dd if=/dev/zero of="$mnt/filler" bs=1k count=1000 2>/dev/null
[ "$(df --output=avail "$mnt" | tail -1)" -eq 0 ] || { echo "FAIL the tmpfs is not full"; exit 1; }
printf 'click N81921\nquit\n' | XDG_CONFIG_HOME="$mnt" "$cli" script --audio=loopback > /dev/null 2>&1
if ! cmp -s "$work/before" "$mnt/zorvane/Zorvane.cfg"; then
  echo "FAIL the settings file changed on a full file system ($(stat -c %s "$mnt/zorvane/Zorvane.cfg") bytes)"
  exit 1
fi
left=$(ls -A "$mnt/zorvane" | grep -v '^Zorvane.cfg$')
[ -z "$left" ] || { echo "FAIL left behind: $left"; exit 1; }
echo "a save onto a full file system left the old settings intact"
