#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The SCPI server through the PulseAudio null sink "zloop": PyVISA sets a
# tone, starts the analyzer and fetches the spectrum from zorvane-cli serve
# playing into the sink and listening to its monitor (tests/scpi/pyvisa_e2e.py
# --pulse). Exits 77 (skipped) when no server with the zloop sink is reachable.
set -uo pipefail

cli=${1:?usage: pulse_scpi.sh ZORVANE_CLI}
here=$(cd "$(dirname "$0")" && pwd)
. "$here/common.sh"
require_zloop parec
/usr/bin/python3 -c "import pyvisa, pyvisa_py" 2>/dev/null || skip "PyVISA is not installed"
start_session
/usr/bin/python3 "$here/../scpi/pyvisa_e2e.py" "$cli" --pulse
status=$?
require_sink_rate
exit $status
