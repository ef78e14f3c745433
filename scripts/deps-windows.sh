#!/usr/bin/env bash
# Installs what the Windows build and its Wine tests need, if anything is
# missing: MinGW-w64 for 32-bit Windows, 32-bit Wine (i386 packages), Xvfb,
# xdotool and ImageMagick for the real-window check, GoogleTest's sources, and
# the locales whose ANSI code pages the Wine tests run in (Wine takes the code
# page from the locale: 1252, 1250, 1251 and 932).
# On a kernel that runs no 32-bit programs, 32-bit Wine runs through
# qemu-user (crossbuild/wine/setup-i386.sh).
set -euo pipefail
cd "$(dirname "$0")/.."

sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
if ! dpkg --print-foreign-architectures | grep -qx i386; then
  $sudo dpkg --add-architecture i386
fi
bash scripts/deps.sh cmake make g++-mingw-w64-i686-win32 binutils-mingw-w64-i686 googletest \
  wine wine32:i386 xvfb xauth xdotool imagemagick qemu-user-static gcc locales
bash crossbuild/wine/setup-i386.sh

wanted=()
for name in en_US cs_CZ ru_RU ja_JP; do
  locale -a 2>/dev/null | grep -qx "$name.utf8" || wanted+=("$name.UTF-8 UTF-8")
done
if [ ${#wanted[@]} -gt 0 ]; then
  echo "Generating locales: ${wanted[*]}"
  printf '%s\n' "${wanted[@]}" | $sudo tee -a /etc/locale.gen >/dev/null
  $sudo locale-gen >/dev/null
fi
