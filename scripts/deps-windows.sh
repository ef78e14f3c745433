#!/usr/bin/env bash
# Installs what the Windows build and its Wine tests need, if anything is
# missing: MinGW-w64 for 32-bit Windows, 32-bit Wine (i386 packages), Xvfb,
# xdotool and ImageMagick for the real-window check, GoogleTest's sources.
# On a kernel that runs no 32-bit programs, 32-bit Wine runs through
# qemu-user (windows/wine/setup-i386.sh).
set -euo pipefail
cd "$(dirname "$0")/.."

sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
if ! dpkg --print-foreign-architectures | grep -qx i386; then
  $sudo dpkg --add-architecture i386
fi
bash scripts/deps.sh cmake make g++-mingw-w64-i686-posix binutils-mingw-w64-i686 googletest \
  wine wine32:i386 xvfb xauth xdotool imagemagick qemu-user-static gcc
bash windows/wine/setup-i386.sh
