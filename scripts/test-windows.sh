#!/usr/bin/env bash
# The Windows build: installs what is missing, cross-builds the mingw preset
# (build/mingw/bin: Lenfol.dll, installer.exe, uninstaller.exe) and runs its
# tests, the Wine ones in a 32-bit Wine prefix of the build (build/mingw/wine,
# made once). Screenshots of the real-window check land in build/mingw/artifacts.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/deps-windows.sh
cmake --preset mingw >/dev/null
cmake --build --preset mingw -j2

export LENSFOLIO_WINEPREFIX="$PWD/build/mingw/wine/prefix"
source crossbuild/wine/env.sh
# One Wine server for the whole run: each program then starts in a second
# instead of bringing Wine's services up again.
mkdir -p "$(dirname "$WINEPREFIX")"
bash crossbuild/wine/run.sh cmd /c exit 0 >/dev/null 2>&1 || true
(wineserver -p >/dev/null 2>&1 &)
trap 'wineserver -k >/dev/null 2>&1 || true' EXIT
ctest --preset mingw -j2
