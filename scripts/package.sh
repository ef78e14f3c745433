#!/usr/bin/env bash
# Installs what is missing, builds the Windows deliverables (mingw preset,
# Release) and writes the release packages into build/package/ with CPack:
#   Lensfolio-<version>-win32.zip   Lenfol.dll, installer.exe, uninstaller.exe, README.txt
#   Lensfolio-<version>-src.tar.gz  the files git tracks
# The file lists come from the install rules and cmake/cpack_project.cmake.
set -euo pipefail
cd "$(dirname "$0")/.."
out="$PWD/build/package"

bash scripts/deps.sh git g++-mingw-w64-i686-win32 binutils-mingw-w64-i686
cmake --preset mingw >/dev/null
cmake --build --preset mingw -j2 --target Lenfol installer uninstaller >/dev/null
cpack --config build/mingw/CPackConfig.cmake -D CPACK_OUTPUT_FILE_PREFIX="$out"

cmake --preset default >/dev/null
cpack --config build/default/CPackSourceConfig.cmake -D CPACK_OUTPUT_FILE_PREFIX="$out"
