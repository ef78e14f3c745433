#!/usr/bin/env bash
# valgrind memcheck of one whole HotSync each way through the stand-in
# HotSync Manager (the hotsync host) and the conduit it loads: desktop
# overwrites handheld from the sample Cameras.txt, then handheld overwrites
# desktop from the sample LenfolDB.pdb. Fails on any memory error, on any
# definitely or indirectly lost block, and on a file descriptor left open.
#
#   bash scripts/memcheck.sh
#
# BUILD_DIR=DIR uses (and builds) that build directory instead of the
# default preset's build/default. The valgrind logs stay in the printed
# scratch directory when a run fails.
set -euo pipefail
cd "$(dirname "$0")/.."

source scripts/host-root.sh

bash scripts/deps.sh valgrind
build_host

scratch="$(mktemp -d /tmp/lenfol-memcheck.XXXXXX)"
export HOTSYNC_ROOT="$scratch/HotSync"
user="Memcheck User"
user_dir="$HOTSYNC_ROOT/MemcheckUser"
make_root "$HOTSYNC_ROOT" "$user" "$user_dir"

failed=0
# memcheck NAME ARGS...: one host run under valgrind.
memcheck() {
  local name="$1"; shift
  local log="$scratch/$name.valgrind"
  echo "== $name: hotsync $*"
  if ! valgrind --quiet --tool=memcheck --leak-check=full --show-leak-kinds=definite,indirect \
       --errors-for-leak-kinds=definite,indirect --error-exitcode=1 --track-fds=yes \
       --log-file="$log" "$bin/hotsync" "$@" >"$scratch/$name.out" 2>&1; then
    echo "!! $name: valgrind found errors or leaks (or the HotSync failed):"
    cat "$scratch/$name.out" "$log" | head -60
    failed=1
    return
  fi
  # At exit only what the host inherited may be open; valgrind names where
  # every other descriptor was opened.
  local leaked
  leaked="$(awk '/Open file descriptor/ { fd = $0; getline; if ($0 !~ /inherited from parent/) print fd }' "$log")"
  if [ -n "$leaked" ]; then
    echo "!! $name: file descriptors left open:"
    echo "$leaked"
    failed=1
    return
  fi
  echo "   no errors, no leaks, no open files ($(grep -cv '^$' "$scratch/$name.out") lines of output)"
}

cp samples/Cameras.txt "$user_dir/Lenfol/Cameras.txt"
memcheck desktop-to-handheld sync --user "$user" --type 3
[ -s "$user_dir/handheld/LenfolDB.pdb" ] || { echo "!! the import left no LenfolDB.pdb"; failed=1; }

cp samples/LenfolDB.pdb "$user_dir/handheld/LenfolDB.pdb"
memcheck handheld-to-desktop sync --user "$user" --type 2
lines="$(wc -l <"$user_dir/Lenfol/Cameras.txt")"
[ "$lines" -gt 0 ] || { echo "!! the export left an empty Cameras.txt"; failed=1; }

if [ "$failed" -ne 0 ]; then
  echo "memcheck: FAILED; logs in $scratch"
  exit 1
fi
rm -rf "$scratch"
echo "memcheck: both HotSyncs clean ($lines lines exported)"
