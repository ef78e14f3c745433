#!/usr/bin/env bash
# Kill sweep: a HotSync each way through the stand-in HotSync Manager (the
# hotsync host, which runs the conduit in its own process) is killed with
# SIGKILL at the 1st, 2nd, 3rd, ... call of one file-changing system call,
# until a run of that call completes without the kill firing; then the same
# for the next call. strace does the kill as the call is entered, so the
# killed call itself never happens.
#
#   bash scripts/kill-sweep.sh
#
# The calls swept: openat, write, close, rename, renameat, unlinkat, mkdir,
# fchmod and sendfile, which a HotSync makes today (creating and writing the
# temporary files and the log, putting them in place, the backup copy and
# the pruning of old backups), and pwrite64, writev, renameat2, unlink,
# ftruncate, fsync and fdatasync, which it does not make yet and which cost
# one unkilled run each.
#
# The directions: desktop overwrites handheld (sync --type 3, from the
# sample Cameras.txt over the sample LenfolDB.pdb, with five earlier backups
# so that the oldest is pruned) and handheld overwrites desktop (sync --type
# 2, from the sample LenfolDB.pdb over the sample Cameras.txt, which differs
# from it). Every killed run starts from the same copy of that direction's
# HotSync directory. After it:
#   - Cameras.txt and LenfolDB.pdb are each the old file or the new one (what
#     an unkilled run from the same start writes), byte for byte; the .pdb
#     header's creation, modification and backup dates and its modification
#     number (bytes 36 to 51) are left out of the comparison;
#   - every backup is a whole copy of the old or the new LenfolDB.pdb;
#   - the next HotSync in the same direction exits 0, logs "HotSync
#     completed" as its last line and leaves the new files (or, when the
#     killed run had already put the new LenfolDB.pdb in place, what a second
#     unkilled HotSync gives: an import hands out new record IDs), and as
#     many backups as an unkilled run.
# Each call is also counted in an unkilled traced run: a sweep that kills at
# fewer calls means the injection did not fire or the HotSync is not
# deterministic, and fails too. Files a kill leaves behind beyond those of an
# unkilled run are listed at the end.
#
# BUILD_DIR=DIR uses (and builds) that build directory instead of the
# default preset's build/default. A failing case keeps the HotSync
# directory it left in the printed scratch directory.
set -euo pipefail
cd "$(dirname "$0")/.."

source scripts/host-root.sh

bash scripts/deps.sh strace
build_host
started=$SECONDS

all_calls=(openat write close rename renameat unlinkat mkdir fchmod sendfile
           pwrite64 writev renameat2 unlink ftruncate fsync fdatasync)
calls=()
for c in "${all_calls[@]}"; do
  # Names this architecture lacks (rename, unlink, mkdir on arm64) are skipped.
  if strace -qq -o /dev/null -e trace="$c" true 2>/dev/null; then calls+=("$c"); fi
done

scratch="$(mktemp -d /tmp/lenfol-kill-sweep.XXXXXX)"
root="$scratch/HotSync"
export HOTSYNC_ROOT="$root"
user="Kill Sweep"
user_dir="$root/KillSweep"
txt="$user_dir/Lenfol/Cameras.txt"
pdb="$user_dir/handheld/LenfolDB.pdb"
log="$user_dir/hotsync.log"

make_root "$root" "$user" "$user_dir"
cp samples/Cameras.txt "$txt"
cp samples/LenfolDB.pdb "$pdb"
cp -a "$root" "$scratch/start-2"
mkdir "$user_dir/backup"
for i in 1 2 3 4 5; do cp samples/LenfolDB.pdb "$user_dir/backup/LenfolDB-20200101-00000$i.pdb"; done
cp -a "$root" "$scratch/start-3"

restore() { rm -rf "$root" && cp -a "$scratch/start-$1" "$root"; }
same_pdb() { cmp -s -n 36 "$1" "$2" && cmp -s -i 52 "$1" "$2"; }
backups() {
  [ ! -d "$user_dir/backup" ] || find "$user_dir/backup" -maxdepth 1 -name 'LenfolDB-*.pdb' | sort
}
# The files of the HotSync directory, with the random part of temporary
# names and the time stamp of backups made the same in every run.
files() {
  find "$root" -type f -printf '%P\n' |
    sed -E 's/\.tmp[[:alnum:]]{6}$/.tmpXXXXXX/; s/-[0-9]{8}-[0-9]{6}(-[0-9]+)?\.pdb/-STAMP.pdb/' | sort -u
}

# hotsync_ok TYPE OUT: one unkilled HotSync; fails unless it reports success.
hotsync_ok() {
  "$bin/hotsync" sync --user "$user" --type "$1" >"$2" 2>&1 || return 1
  [ "$(tail -n 1 "$log")" = "$(printf '101\tHotSync completed')" ] || return 1
}

# Reference runs: ref-T-new is what one HotSync leaves, ref-T-again what a
# second one after it leaves.
declare -A expected_calls
for t in 2 3; do
  restore "$t"
  cp "$txt" "$scratch/ref-$t-old.txt"
  cp "$pdb" "$scratch/ref-$t-old.pdb"
  trace_set="$(IFS=,; echo "${calls[*]}")"
  strace -f -qq -o "$scratch/ref-$t.trace" -e trace="$trace_set" \
    "$bin/hotsync" sync --user "$user" --type "$t" >"$scratch/ref-$t.out" 2>&1 ||
    { echo "kill-sweep: the unkilled HotSync type $t failed:"; cat "$scratch/ref-$t.out"; exit 1; }
  for c in "${calls[@]}"; do
    expected_calls[$t.$c]="$(grep -cE "^([0-9]+ +)?$c\(" "$scratch/ref-$t.trace" || true)"
  done
  restore "$t"
  hotsync_ok "$t" "$scratch/ref-$t.out" ||
    { echo "kill-sweep: the unkilled HotSync type $t failed:"; cat "$scratch/ref-$t.out"; exit 1; }
  cp "$txt" "$scratch/ref-$t-new.txt"
  cp "$pdb" "$scratch/ref-$t-new.pdb"
  files >"$scratch/ref-$t.files"
  backups | wc -l >"$scratch/ref-$t.backups"
  hotsync_ok "$t" "$scratch/ref-$t.out" ||
    { echo "kill-sweep: a second HotSync type $t failed:"; cat "$scratch/ref-$t.out"; exit 1; }
  cp "$txt" "$scratch/ref-$t-again.txt"
  cp "$pdb" "$scratch/ref-$t-again.pdb"
done
same_pdb "$scratch/ref-3-old.pdb" "$scratch/ref-3-new.pdb" &&
  { echo "kill-sweep: the import left LenfolDB.pdb as it was; nothing to tell apart"; exit 1; }
cmp -s "$scratch/ref-2-old.txt" "$scratch/ref-2-new.txt" &&
  { echo "kill-sweep: the export left Cameras.txt as it was; nothing to tell apart"; exit 1; }

# check_killed T: what a killed run of type T left; sets `had` to the
# reference (new or again) the next HotSync must end in.
check_killed() {
  local t="$1" b
  [ -f "$txt" ] || { problem="Cameras.txt is missing"; return 1; }
  cmp -s "$txt" "$scratch/ref-$t-old.txt" || cmp -s "$txt" "$scratch/ref-$t-new.txt" ||
    { problem="Cameras.txt is neither the old nor the new file"; return 1; }
  [ -f "$pdb" ] || { problem="LenfolDB.pdb is missing"; return 1; }
  if same_pdb "$pdb" "$scratch/ref-$t-old.pdb"; then
    had=new
  elif same_pdb "$pdb" "$scratch/ref-$t-new.pdb"; then
    had=again
  else
    problem="LenfolDB.pdb is neither the old nor the new database"; return 1
  fi
  check_backups "$t"
}

check_backups() {
  local b
  while read -r b; do
    [ -n "$b" ] || continue
    same_pdb "$b" "$scratch/ref-$1-old.pdb" || same_pdb "$b" "$scratch/ref-$1-new.pdb" ||
      { problem="backup ${b##*/} is not a whole copy of LenfolDB.pdb"; return 1; }
  done < <(backups)
}

# check_next T: the next HotSync of type T, unkilled, after a killed one.
check_next() {
  local t="$1"
  hotsync_ok "$t" "$scratch/next.out" ||
    { problem="the next HotSync failed: $(tail -n 3 "$scratch/next.out" | tr '\n' ' ')"; return 1; }
  cmp -s "$txt" "$scratch/ref-$t-$had.txt" ||
    { problem="after the next HotSync Cameras.txt is not the $had file"; return 1; }
  same_pdb "$pdb" "$scratch/ref-$t-$had.pdb" ||
    { problem="after the next HotSync LenfolDB.pdb is not the $had database"; return 1; }
  check_backups "$t" || return 1
  [ "$(backups | wc -l)" = "$(cat "$scratch/ref-$t.backups")" ] ||
    { problem="after the next HotSync there are $(backups | wc -l) backups, not $(cat "$scratch/ref-$t.backups")"; return 1; }
}

declare -A killed=() left=() stays=()
# count_left ARRAY T: counts the files beyond those of an unkilled run.
count_left() {
  local -n seen="$1"
  local extra
  while read -r extra; do seen[$extra]=$(( ${seen[$extra]:-0} + 1 )); done \
    < <(files | comm -13 "$scratch/ref-$2.files" -)
}
faults=()
direction() { [ "$1" = 3 ] && echo "desktop-to-handheld" || echo "handheld-to-desktop"; }

# sweep T CALL: kills at call 1, 2, ... until a run completes.
sweep() {
  local t="$1" c="$2" n=1 rc extra where
  while :; do
    restore "$t"
    rc=0
    # In braces with stderr redirected, so that bash's "Killed" notice goes too.
    { strace -f -qq -o /dev/null -e trace="$c" -e inject="$c":signal=KILL:when="$n" \
        "$bin/hotsync" sync --user "$user" --type "$t" >"$scratch/killed.out" 2>&1; } 2>/dev/null || rc=$?
    where="$(direction "$t"), $c call $n"
    if [ "$rc" -eq 0 ]; then break; fi
    problem=""
    if [ "$rc" -ne 137 ]; then
      problem="the run ended with status $rc instead of being killed: $(tail -n 2 "$scratch/killed.out" | tr '\n' ' ')"
    elif check_killed "$t"; then
      count_left left "$t"
      check_next "$t" && count_left stays "$t"
    fi
    if [ -n "$problem" ]; then
      faults+=("$where: $problem (kept in $scratch/fault-$t-$c-$n)")
      cp -a "$root" "$scratch/fault-$t-$c-$n"
      echo "!! $where: $problem"
      killed[$t.$c]="$n?"
      return
    fi
    n=$((n + 1))
  done
  killed[$t.$c]=$((n - 1))
  where="$(direction "$t"), $c"
  if [ "$((n - 1))" -ne "${expected_calls[$t.$c]}" ]; then
    faults+=("$where: killed at $((n - 1)) calls but an unkilled HotSync makes ${expected_calls[$t.$c]}")
    echo "!! ${faults[-1]}"
  fi
  # The run that completed must have done the whole HotSync.
  if [ "$(tail -n 1 "$log")" != "$(printf '101\tHotSync completed')" ] ||
     ! cmp -s "$txt" "$scratch/ref-$t-new.txt" || ! same_pdb "$pdb" "$scratch/ref-$t-new.pdb"; then
    faults+=("$where: the unkilled run did not leave the new files")
    echo "!! ${faults[-1]}"
  fi
}

for t in 3 2; do
  echo "== $(direction "$t"): hotsync sync --type $t"
  for c in "${calls[@]}"; do sweep "$t" "$c"; done
done

echo
printf '%-10s %20s %20s\n' "call" "desktop-to-handheld" "handheld-to-desktop"
total3=0 total2=0
for c in "${calls[@]}"; do
  printf '%-10s %20s %20s\n' "$c" "${killed[3.$c]}" "${killed[2.$c]}"
  total3=$((total3 + ${killed[3.$c]%\?})); total2=$((total2 + ${killed[2.$c]%\?}))
done
printf '%-10s %20s %20s\n' "killed" "$total3" "$total2"
if [ "${#left[@]}" -gt 0 ]; then
  echo "files beyond an unkilled run's: after how many kills, and still after the next HotSync"
  for f in "${!left[@]}"; do echo "  $f: ${left[$f]}, ${stays[$f]:-0}"; done | sort
fi
echo "time: $((SECONDS - started)) s"

if [ "${#faults[@]}" -ne 0 ]; then
  echo "kill-sweep: FAILED"
  printf '  %s\n' "${faults[@]}"
  exit 1
fi
rm -rf "$scratch"
echo "kill-sweep: every killed HotSync left old or new files and the next one succeeded"
