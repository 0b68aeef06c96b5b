#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The generated manual pages: they render without a warning from man or
# groff, and every long option of every subcommand's --help is in them.
#   manpages.sh MAN_DIR PROGRAM...
set -uo pipefail
dir="$1"
shift
failed=0
for program in "$@"; do
  name="$(basename "$program")"
  page="$dir/$name.1"
  text="$(MANWIDTH=200 man --warnings -l "$page" 2>"$dir/$name.warnings" | col -b)"
  if [ -s "$dir/$name.warnings" ] || [ -z "$text" ]; then
    echo "$name(1) does not render cleanly:"
    cat "$dir/$name.warnings"
    failed=1
  fi
  subs="$("$program" --help | sed -n '/^Subcommands:/,/^$/s/^  \([a-z-]*\) .*/\1/p')"
  for sub in "" $subs; do
    for option in $("$program" $sub --help | grep -o -- '--[a-z][a-z-]*' | sort -u); do
      if ! grep -q -- "$option" <<<"$text"; then
        echo "$name(1) lacks ${sub:+$sub }$option"
        failed=1
      fi
    done
  done
done
exit "$failed"
