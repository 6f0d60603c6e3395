#!/usr/bin/env bash
# Runs one Windows program under Wine in the prefix PREFIX, made on first
# use, with Wine's own diagnostics off; the program's output and exit status
# are its own. CTest runs every Windows test through this script.
#
# usage: wine-run.sh PREFIX PROGRAM [ARGUMENT...]
set -euo pipefail
export WINEPREFIX=$1 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
shift
wine=$(command -v wine64 || command -v wine || echo /usr/lib/wine/wine64)
# Two tests may start at once; the first makes the prefix, the other waits.
mkdir -p "$WINEPREFIX"
(
  flock 9
  if [ ! -f "$WINEPREFIX/system.reg" ]; then
    "$wine" wineboot --init >/dev/null 2>&1
    wineserver=$(command -v wineserver || echo /usr/lib/wine/wineserver64)
    "$wineserver" --wait
  fi
) 9>"$WINEPREFIX/.lock"
exec "$wine" "$@"
