#!/usr/bin/env bash
# Runs one Windows program under Wine in the project's prefix, making the
# prefix first if needed, and exits with the program's exit code.
#   crossbuild/wine/run.sh PROGRAM.exe [ARG ...]
set -euo pipefail
source "$(dirname "$0")/env.sh"

mkdir -p "$(dirname "$WINEPREFIX")"
# Tests run in parallel; the first one makes the prefix, the others wait.
exec 9>"$WINEPREFIX.lock"
flock 9
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  echo "Making the Wine prefix $WINEPREFIX (once)" >&2
  wine wineboot -i >/dev/null 2>&1 || true
  wineserver -w
  [ -f "$WINEPREFIX/system.reg" ] || { echo "wineboot failed for $WINEPREFIX" >&2; exit 1; }
fi
# A server that stays between programs saves the start-up of each one.
wineserver -p30 >/dev/null 2>&1 || true
flock -u 9
exec wine "$@"
