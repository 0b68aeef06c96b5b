#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The bash completion of zorvane-cli against the built program: what it
# offers after each of a few command lines.
#   completion.sh COMPLETION_FILE ZORVANE_CLI
set -uo pipefail
source "$1"
bin="$(mktemp -d)"
trap 'rm -rf "$bin"' EXIT
ln -s "$(realpath "$2")" "$bin/zorvane-cli"
export PATH="$bin:$PATH"

failed=0
# expect WORDS... -- OFFERED: the last word is the one being completed.
expect() {
  local words=() want
  while [ "$1" != "--" ]; do words+=("$1"); shift; done
  shift
  want="$*"
  COMP_WORDS=(zorvane-cli "${words[@]}")
  COMP_CWORD=${#words[@]}
  COMPREPLY=()
  _zorvane_cli
  if [ "${COMPREPLY[*]}" != "$want" ]; then
    echo "zorvane-cli ${words[*]}<TAB>: offered '${COMPREPLY[*]}', expected '$want'"
    failed=1
  fi
}

expect an -- analyze
expect "" -- script serve devices tone record analyze measure playrec
expect --v -- --version
expect tone --wave -- --waveform
expect tone --waveform s -- sine square
expect analyze --hold = p -- peak
expect analyze x.wav --b -- --blocks --bmp --bins --bands
expect script --audio "" -- system loopback loopback:
expect record --channels "" -- 1 2
# A flag takes no value and a file name is left to bash.
expect analyze --all "" --
expect analyze --csv "" --
exit "$failed"
