#!/usr/bin/env bash
# The Lensfolio demo: builds the default preset, then runs HotSyncs both ways
# through the stand-in HotSync Manager in a fresh scratch HotSync directory,
# and last one in the wrong direction, undone with hotsync restore.
#
#   bash scripts/demo.sh
#
# BUILD_DIR=DIR uses (and builds) that build directory instead of the
# default preset's build/default. PREFIX=DIR builds nothing and runs the
# same steps with an installed Lensfolio (cmake --install ... --prefix DIR):
# DIR/bin/hotsync, the setup programs of DIR/lib/lensfolio and the samples
# of DIR/share/lensfolio.
set -euo pipefail
cd "$(dirname "$0")/.."
repo="$PWD"
samples="$repo/samples"

section() { printf '\n\033[1m== %s ==\033[0m\n' "$*"; }
# Cameras.txt is Windows-1252 text; show it as the terminal's text, one
# camera per line with its columns separated by " | ".
print_cameras() {
  iconv -f WINDOWS-1252 -t UTF-8//TRANSLIT "$1" 2>/dev/null | sed 's/\t/ | /g' || sed 's/\t/ | /g' "$1"
}

if [ -n "${PREFIX:-}" ]; then
  section "The installed Lensfolio"
  prefix="$(cd "$PREFIX" && pwd)"
  bin="$prefix/lib/lensfolio"
  hotsync="$prefix/bin/hotsync"
  samples="$prefix/share/lensfolio"
  echo "hotsync $("$hotsync" --version) in $prefix"
else
  section "Build"
  bash scripts/deps.sh
  if [ -n "${BUILD_DIR:-}" ]; then
    build="$BUILD_DIR"
    cmake -S . -B "$build" >/dev/null
    cmake --build "$build" -j2 >/dev/null
  else
    build="$repo/build/default"
    cmake --preset default >/dev/null
    cmake --build --preset default -j"$(nproc)" >/dev/null
  fi
  bin="$(cd "$build/bin" && pwd)"
  echo "Built into $bin"
  hotsync="$bin/hotsync"
fi

section "A fresh HotSync directory"
scratch="$(mktemp -d)"
export HOTSYNC_ROOT="$scratch/HotSync"
"$hotsync" init --user "Ada Lovelace"
user_dir="$HOTSYNC_ROOT/AdaLovelace"

section "Installer (answering Yes, then OK)"
if [ -x "$bin/installer" ]; then
  (cd "$bin" && HOTSYNC_ANSWERS=yes,ok ./installer)
else
  # Until the installer is built, register the conduit the way it would.
  echo "(no installer in this build: registering the conduit directly)"
  mkdir -p "$user_dir/Lenfol/Conduit"
  cp "$bin/Lenfol.dll" "$user_dir/Lenfol/Conduit/"
  printf '[LnFo]\nconduitType = 1\ncreatorName = %s\npcDirectory = Lenfol\npcFileName = Camera.txt\ntitle = Lensfolio\nremoteFile = LenfolDB\n' \
    "$user_dir/Lenfol/Conduit/Lenfol.dll" >"$HOTSYNC_ROOT/conduits.ini"
  echo "$bin/Lenfol.prc" >"$user_dir/install.queue"
fi
"$hotsync" conduits

section "Desktop overwrites handheld"
cp "$samples/Cameras.txt" "$user_dir/Lenfol/Cameras.txt"
"$hotsync" check "$user_dir/Lenfol/Cameras.txt"
"$hotsync" sync --type 3

section "The handheld's LenfolDB"
"$hotsync" show LenfolDB

section "A week later: the handheld has changed"
echo "The handheld now holds the sample LenfolDB.pdb: the Leica M6 marked private, the"
echo "Canon AE-1 rated 7, the Praktica MTL 5 deleted, a Nikon F3 added."
cp "$samples/LenfolDB.pdb" "$user_dir/handheld/LenfolDB.pdb"
"$hotsync" sync --type 2 --dry-run

section "Handheld overwrites desktop"
"$hotsync" sync --type 2

section "Cameras.txt now"
print_cameras "$user_dir/Lenfol/Cameras.txt"

section "The HotSync log"
"$hotsync" log

section "A HotSync in the wrong direction"
echo "Ada adds a Leica M4 to Cameras.txt, meaning to send it to the handheld,"
echo "but runs handheld overwrites desktop, which puts the handheld's list over it."
printf 'Leica M4\tLeica Camera\tRangefinder\t1967\t1975\tThe M3 simplified: rewind crank, quick loading.\t35mm\tLeica M\t1 500 \200\t1\t9\tN\t1\tY\tN\n' \
  >>"$user_dir/Lenfol/Cameras.txt"
"$hotsync" sync --type 2
grep -q '^Leica M4' "$user_dir/Lenfol/Cameras.txt" || echo "The Leica M4 is gone from Cameras.txt."

section "Undo it: hotsync restore"
"$hotsync" restore --list
"$hotsync" restore --dry-run
"$hotsync" restore
print_cameras "$user_dir/Lenfol/Cameras.txt" | grep '^Leica M4'
echo "Now the direction Ada meant:"
"$hotsync" sync --type 3

section "Done"
echo "The scratch HotSync directory stays for a look around: $HOTSYNC_ROOT"
echo "Try: HOTSYNC_ROOT=$HOTSYNC_ROOT $hotsync configure"
