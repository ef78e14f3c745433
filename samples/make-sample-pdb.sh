#!/usr/bin/env bash
# Makes samples/LenfolDB.pdb with the project's own tools: the built hotsync
# runs the conduit (desktop overwrites handheld) on samples/Cameras.txt in a
# scratch HotSync directory.
#
# The sample stands for the handheld a week after that HotSync, so four
# edits are made to the list first, as if on the handheld:
#   - the Leica M6 is marked private,
#   - the Canon AE-1 got its shutter serviced: rating 6 -> 7,
#   - the Praktica MTL 5 was sold and deleted,
#   - a Nikon F3 was added (category 2, SLR).
# The demo (scripts/demo.sh) syncs this database back to the desktop.
#
# Usage: samples/make-sample-pdb.sh [BUILD_DIR]   (default: build/default)
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
build="$(cd "${1:-$here/../build/default}" && pwd)"
bin="$build/bin"
for f in hotsync Lenfol.dll; do
  [ -e "$bin/$f" ] || { echo "make-sample-pdb: $bin/$f is missing; build first" >&2; exit 2; }
done

scratch="$(mktemp -d)"
trap 'rm -rf "$scratch"' EXIT
export HOTSYNC_ROOT="$scratch/root"
"$bin/hotsync" init --user "Sample" >/dev/null
userdir="$HOTSYNC_ROOT/Sample"
mkdir -p "$userdir/Lenfol"
cat >"$HOTSYNC_ROOT/conduits.ini" <<EOF
[LnFo]
conduitType = 1
creatorName = $bin/Lenfol.dll
pcDirectory = Lenfol
pcFileName = Camera.txt
title = Lensfolio
remoteFile = LenfolDB
EOF

# Byte-wise on Windows-1252 text: TAB-separated, fifteen columns.
LC_ALL=C awk -F'\t' -v OFS='\t' '
  $1 == "Leica M6"       { $12 = "Y" }
  $1 == "Canon AE-1"     { $11 = "7" }
  $1 == "Praktica MTL 5" { next }
  { print }
  $1 == "Nikon FM2" {
    print "Nikon F3", "Nikon", "SLR", "1980", "2001",
          "Giugiaro design, aperture-priority automatic; the HP finder suits glasses.",
          "35mm", "Nikon F", "350 \200", "1", "8", "N", "2", "N", "N"
  }' "$here/Cameras.txt" >"$userdir/Lenfol/Cameras.txt"

"$bin/hotsync" sync --type 3 >/dev/null
cp "$userdir/handheld/LenfolDB.pdb" "$here/LenfolDB.pdb"
echo "Wrote $here/LenfolDB.pdb"
"$bin/hotsync" show "$here/LenfolDB.pdb" | head -3
