#!/usr/bin/env bash
# Runs one Windows program under Wine in a prefix of its own, the
# repository's build/windows-deps/wine-prefix/, made on first use, with
# Wine's own diagnostics off; the program's output and exit status are its
# own. It is the emulator of cmake/MinGW.cmake, so CTest runs every Windows
# test through it.
#
# usage: wine-run.sh PROGRAM [ARGUMENT...]
set -euo pipefail
repository=$(cd "$(dirname "$0")/.." && pwd)
# Wine takes the ANSI code page from the locale: one fixed locale gives the
# tests code page 1252, whatever the developer's language.
export WINEPREFIX=$repository/build/windows-deps/wine-prefix WINEDEBUG=-all \
  WINEDLLOVERRIDES="mscoree,mshtml=" LC_ALL=C.UTF-8
wine=$(command -v wine64 || command -v wine || echo /usr/lib/wine/wine64)
# Two tests may start at once; the first makes the prefix, the other waits.
# The prefix has no display: Wine's null driver, so that Wine tries neither
# X11 nor Wayland, whose library complains on the program's standard error
# where XDG_RUNTIME_DIR is not set.
mkdir -p "$WINEPREFIX"
(
  flock 9
  if [ ! -f "$WINEPREFIX/.complete" ]; then
    "$wine" wineboot --init >/dev/null 2>&1
    "$wine" reg add 'HKCU\Software\Wine\Drivers' /v Graphics /d null /f \
      >/dev/null 2>&1
    wineserver=$(command -v wineserver || echo /usr/lib/wine/wineserver64)
    "$wineserver" --wait
    touch "$WINEPREFIX/.complete"
  fi
) 9>"$WINEPREFIX/.lock"
exec "$wine" "$@"
