#!/usr/bin/env bash
# Kill sweep: a HotSync each way through the stand-in HotSync Manager (the
# hotsync host, which runs the conduit in its own process), and a restore,
# are killed with SIGKILL at the 1st, 2nd, 3rd, ... call of one
# file-changing system call, until a run of that call completes without the
# kill firing; then the same for the next call. strace does the kill as the
# call is entered, so the killed call itself never happens.
#
#   bash scripts/kill-sweep.sh
#
# The calls swept: openat, write, close, rename, renameat, unlinkat, unlink,
# mkdir, rmdir, fchmod and sendfile, which a HotSync or a restore makes today
# (creating and writing the temporary files and the log, putting them in
# place, the backup copies and their manifest, dropping backups), and
# pwrite64, writev, renameat2, ftruncate, fsync and fdatasync, which they do
# not make yet and which cost one unkilled run each.
#
# The cases: desktop overwrites handheld (sync --type 3, from the sample
# Cameras.txt over the sample LenfolDB.pdb, with five earlier backups so that
# the oldest is pruned); handheld overwrites desktop (sync --type 2, from the
# sample LenfolDB.pdb with a dirty mark and a deleted record, as a handheld
# leaves them, over the sample Cameras.txt, which differs from it); and the
# restore that undoes such a type 2 HotSync, with the backup of a type 3
# one before it. Every killed run starts from the same copy of that case's
# HotSync directory. After a killed HotSync:
#   - Cameras.txt and LenfolDB.pdb are each the old file or the new one (what
#     an unkilled run from the same start writes), byte for byte; the .pdb
#     header's creation, modification and backup dates and its modification
#     number (bytes 36 to 51) are left out of the comparison;
#   - every copy in a backup is a whole copy of the old or the new file, and
#     `restore --list` finds nothing wrong with any backup;
#   - the next HotSync in the same direction exits 0, logs "HotSync
#     completed" as its last line and leaves the new files (or, when the
#     killed run had already put the new LenfolDB.pdb in place, what a second
#     unkilled HotSync gives: an import hands out new record IDs), and at most
#     five backups;
#   - then restore after restore, until there is nothing to restore, each
#     exits 0 and they leave the starting Cameras.txt and LenfolDB.pdb, byte
#     for byte.
# After a killed restore, each file is the old or the restored one, byte for
# byte, and the next restore exits 0 and leaves the restored files, with the
# type 3 backup left only when the killed restore had not dropped its own.
# Each call is also counted in an unkilled traced run: a sweep that kills at
# fewer calls means the injection did not fire or the run is not
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

all_calls=(openat write close rename renameat unlinkat mkdir rmdir fchmod sendfile
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

# set_attributes PDB INDEX BYTE: the attribute byte of record INDEX (its
# entry's fifth byte, after the 78-byte header).
set_attributes() {
  printf "\\x$3" | dd of="$1" bs=1 seek=$((78 + 8 * $2 + 4)) conv=notrunc status=none
}
cp samples/LenfolDB.pdb "$scratch/marked.pdb"
set_attributes "$scratch/marked.pdb" 1 51  # the Leica M6 edited: dirty, private, category 1
set_attributes "$scratch/marked.pdb" 3 c0  # the Voigtlaender deleted, not yet purged

make_root "$root" "$user" "$user_dir"
cp samples/Cameras.txt "$txt"
cp "$scratch/marked.pdb" "$pdb"
cp -a "$root" "$scratch/start-2"
# The restore case: a type 3 HotSync, the handheld changed again, then type 2.
"$bin/hotsync" sync --user "$user" --type 3 >/dev/null
cp "$scratch/marked.pdb" "$pdb"
"$bin/hotsync" sync --user "$user" --type 2 >/dev/null
cp -a "$root" "$scratch/start-R"
rm -rf "$root" && cp -a "$scratch/start-2" "$root"
cp samples/LenfolDB.pdb "$pdb"
for i in 1 2 3 4 5; do
  "$bin/hotsync" sync --user "$user" --type 3 >/dev/null
  cp samples/LenfolDB.pdb "$pdb"
done
cp -a "$root" "$scratch/start-3"

restore() { rm -rf "$root" && cp -a "$scratch/start-$1" "$root"; }
same_pdb() { cmp -s -n 36 "$1" "$2" && cmp -s -i 52 "$1" "$2"; }
# The backup folders that count: those with a manifest.
backups() {
  [ ! -d "$user_dir/backup" ] ||
    find "$user_dir/backup" -mindepth 2 -maxdepth 2 -name manifest.ini -printf '%h\n' | sort
}
# The files of the HotSync directory, with the random part of temporary
# names and the time stamp of backups made the same in every run.
files() {
  find "$root" -type f -printf '%P\n' |
    sed -E 's/\.tmp[[:alnum:]]{6}$/.tmpXXXXXX/; s#backup/[0-9]{8}-[0-9]{6}(-[0-9]+)?/#backup/STAMP/#' | sort -u
}
# The command of a case: a HotSync of that type, or R, the restore.
command_of() {
  if [ "$1" = R ]; then args=(restore --user "$user"); else args=(sync --user "$user" --type "$1"); fi
}

# run_ok CASE OUT: one unkilled run; fails unless it reports success.
run_ok() {
  command_of "$1"
  "$bin/hotsync" "${args[@]}" >"$2" 2>&1 || return 1
  [ "$1" = R ] || [ "$(tail -n 1 "$log")" = "$(printf '101\tHotSync completed')" ] || return 1
}

# Reference runs: ref-T-new is what one run leaves, ref-T-again what a
# second HotSync after it leaves.
declare -A expected_calls
for t in 2 3 R; do
  restore "$t"
  cp "$txt" "$scratch/ref-$t-old.txt"
  cp "$pdb" "$scratch/ref-$t-old.pdb"
  trace_set="$(IFS=,; echo "${calls[*]}")"
  command_of "$t"
  strace -f -qq -o "$scratch/ref-$t.trace" -e trace="$trace_set" \
    "$bin/hotsync" "${args[@]}" >"$scratch/ref-$t.out" 2>&1 ||
    { echo "kill-sweep: the unkilled ${args[*]} failed:"; cat "$scratch/ref-$t.out"; exit 1; }
  for c in "${calls[@]}"; do
    expected_calls[$t.$c]="$(grep -cE "^([0-9]+ +)?$c\(" "$scratch/ref-$t.trace" || true)"
  done
  restore "$t"
  run_ok "$t" "$scratch/ref-$t.out" ||
    { echo "kill-sweep: the unkilled ${args[*]} failed:"; cat "$scratch/ref-$t.out"; exit 1; }
  cp "$txt" "$scratch/ref-$t-new.txt"
  cp "$pdb" "$scratch/ref-$t-new.pdb"
  files >"$scratch/ref-$t.files"
  backups | wc -l >"$scratch/ref-$t.backups"
  [ "$t" = R ] && continue
  run_ok "$t" "$scratch/ref-$t.out" ||
    { echo "kill-sweep: a second HotSync type $t failed:"; cat "$scratch/ref-$t.out"; exit 1; }
  cp "$txt" "$scratch/ref-$t-again.txt"
  cp "$pdb" "$scratch/ref-$t-again.pdb"
done
same_pdb "$scratch/ref-3-old.pdb" "$scratch/ref-3-new.pdb" &&
  { echo "kill-sweep: the import left LenfolDB.pdb as it was; nothing to tell apart"; exit 1; }
for t in 2 R; do
  cmp -s "$scratch/ref-$t-old.txt" "$scratch/ref-$t-new.txt" || same_pdb "$scratch/ref-$t-old.pdb" "$scratch/ref-$t-new.pdb" &&
    { echo "kill-sweep: case $t left Cameras.txt or LenfolDB.pdb as it was; nothing to tell apart"; exit 1; }
done
[ "$(cat "$scratch/ref-2.backups")" = 1 ] && [ "$(cat "$scratch/ref-R.backups")" = 1 ] ||
  { echo "kill-sweep: the type 2 HotSync or the restore did not leave one backup"; exit 1; }

# check_killed T: what a killed HotSync of type T left; sets `had` to the
# reference (new or again) the next HotSync must end in.
check_killed() {
  local t="$1"
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
  local b copy
  while read -r b; do
    for copy in "$b"/*; do
      case "${copy##*/}" in
        manifest.ini) ;;
        LenfolDB.pdb) same_pdb "$copy" "$scratch/ref-$1-old.pdb" || same_pdb "$copy" "$scratch/ref-$1-new.pdb" ||
          { problem="backup ${b##*/} holds no whole copy of LenfolDB.pdb"; return 1; } ;;
        Cameras.txt) cmp -s "$copy" "$scratch/ref-$1-old.txt" || cmp -s "$copy" "$scratch/ref-$1-new.txt" ||
          { problem="backup ${b##*/} holds no whole copy of Cameras.txt"; return 1; } ;;
      esac
    done
  done < <(backups)
  if "$bin/hotsync" restore --user "$user" --list 2>&1 | grep -q "cannot be restored"; then
    problem="restore --list finds a backup it cannot restore"; return 1
  fi
}

# check_next T: the next HotSync of type T, unkilled, after a killed one.
check_next() {
  local t="$1"
  run_ok "$t" "$scratch/next.out" ||
    { problem="the next HotSync failed: $(tail -n 3 "$scratch/next.out" | tr '\n' ' ')"; return 1; }
  cmp -s "$txt" "$scratch/ref-$t-$had.txt" ||
    { problem="after the next HotSync Cameras.txt is not the $had file"; return 1; }
  same_pdb "$pdb" "$scratch/ref-$t-$had.pdb" ||
    { problem="after the next HotSync LenfolDB.pdb is not the $had database"; return 1; }
  check_backups "$t" || return 1
  [ "$(backups | wc -l)" -le 5 ] ||
    { problem="after the next HotSync there are $(backups | wc -l) backups, more than 5"; return 1; }
}

# check_undo T: restores until nothing is left to restore; then the files
# must be those the case started from.
check_undo() {
  local t="$1" n
  for n in 1 2 3 4 5 6; do
    "$bin/hotsync" restore --user "$user" >"$scratch/undo.out" 2>&1 || break
  done
  grep -q "nothing to restore" "$scratch/undo.out" ||
    { problem="restore $n did not end in nothing to restore: $(tail -n 2 "$scratch/undo.out" | tr '\n' ' ')"; return 1; }
  cmp -s "$txt" "$scratch/ref-$t-old.txt" && cmp -s "$pdb" "$scratch/ref-$t-old.pdb" ||
    { problem="after restoring every backup the files are not those it started from"; return 1; }
}

# check_killed_restore: what a killed restore left; sets `left` to the
# backups the next restore must leave.
check_killed_restore() {
  local kept
  cmp -s "$txt" "$scratch/ref-R-old.txt" || cmp -s "$txt" "$scratch/ref-R-new.txt" ||
    { problem="Cameras.txt is neither the old nor the restored file"; return 1; }
  cmp -s "$pdb" "$scratch/ref-R-old.pdb" || cmp -s "$pdb" "$scratch/ref-R-new.pdb" ||
    { problem="LenfolDB.pdb is neither the old nor the restored database"; return 1; }
  kept="$(backups | wc -l)"
  case "$kept" in
    2) left=1 ;;
    1) left=0
       cmp -s "$txt" "$scratch/ref-R-new.txt" && cmp -s "$pdb" "$scratch/ref-R-new.pdb" ||
         { problem="the backup was dropped before every file was back"; return 1; } ;;
    *) problem="$kept backups left"; return 1 ;;
  esac
}

check_next_restore() {
  run_ok R "$scratch/next.out" ||
    { problem="the next restore failed: $(tail -n 2 "$scratch/next.out" | tr '\n' ' ')"; return 1; }
  cmp -s "$txt" "$scratch/ref-R-new.txt" && cmp -s "$pdb" "$scratch/ref-R-new.pdb" ||
    { problem="after the next restore the files are not the restored ones"; return 1; }
  [ "$(backups | wc -l)" = "$left" ] ||
    { problem="after the next restore there are $(backups | wc -l) backups, not $left"; return 1; }
}

declare -A killed=() left_behind=() stays=()
# count_left ARRAY T: counts the files beyond those of an unkilled run.
count_left() {
  local -n seen="$1"
  local extra
  while read -r extra; do seen[$extra]=$(( ${seen[$extra]:-0} + 1 )); done \
    < <(files | comm -13 "$scratch/ref-$2.files" -)
}
faults=()
name_of() {
  case "$1" in 3) echo "desktop-to-handheld" ;; 2) echo "handheld-to-desktop" ;; R) echo "restore" ;; esac
}

# sweep T CALL: kills at call 1, 2, ... until a run completes.
sweep() {
  local t="$1" c="$2" n=1 rc where
  command_of "$t"
  while :; do
    restore "$t"
    rc=0
    # In braces with stderr redirected, so that bash's "Killed" notice goes too.
    { strace -f -qq -o /dev/null -e trace="$c" -e inject="$c":signal=KILL:when="$n" \
        "$bin/hotsync" "${args[@]}" >"$scratch/killed.out" 2>&1; } 2>/dev/null || rc=$?
    where="$(name_of "$t"), $c call $n"
    if [ "$rc" -eq 0 ]; then break; fi
    problem=""
    if [ "$rc" -ne 137 ]; then
      problem="the run ended with status $rc instead of being killed: $(tail -n 2 "$scratch/killed.out" | tr '\n' ' ')"
    elif [ "$t" = R ]; then
      check_killed_restore && count_left left_behind R && check_next_restore && count_left stays R
    elif check_killed "$t"; then
      count_left left_behind "$t"
      check_next "$t" && count_left stays "$t" && check_undo "$t"
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
  where="$(name_of "$t"), $c"
  if [ "$((n - 1))" -ne "${expected_calls[$t.$c]}" ]; then
    faults+=("$where: killed at $((n - 1)) calls but an unkilled run makes ${expected_calls[$t.$c]}")
    echo "!! ${faults[-1]}"
  fi
  # The run that completed must have done the whole job.
  if { [ "$t" != R ] && [ "$(tail -n 1 "$log")" != "$(printf '101\tHotSync completed')" ]; } ||
     ! cmp -s "$txt" "$scratch/ref-$t-new.txt" || ! same_pdb "$pdb" "$scratch/ref-$t-new.pdb"; then
    faults+=("$where: the unkilled run did not leave the new files")
    echo "!! ${faults[-1]}"
  fi
}

for t in 3 2 R; do
  command_of "$t"
  echo "== $(name_of "$t"): hotsync ${args[*]}"
  for c in "${calls[@]}"; do sweep "$t" "$c"; done
done

echo
printf '%-10s %20s %20s %20s\n' "call" "$(name_of 3)" "$(name_of 2)" "$(name_of R)"
total3=0 total2=0 totalR=0
for c in "${calls[@]}"; do
  printf '%-10s %20s %20s %20s\n' "$c" "${killed[3.$c]}" "${killed[2.$c]}" "${killed[R.$c]}"
  total3=$((total3 + ${killed[3.$c]%\?})); total2=$((total2 + ${killed[2.$c]%\?}))
  totalR=$((totalR + ${killed[R.$c]%\?}))
done
printf '%-10s %20s %20s %20s\n' "killed" "$total3" "$total2" "$totalR"
if [ "${#left_behind[@]}" -gt 0 ]; then
  echo "files beyond an unkilled run's: after how many kills, and still after the next run"
  for f in "${!left_behind[@]}"; do echo "  $f: ${left_behind[$f]}, ${stays[$f]:-0}"; done | sort
fi
echo "time: $((SECONDS - started)) s"

if [ "${#faults[@]}" -ne 0 ]; then
  echo "kill-sweep: FAILED"
  printf '  %s\n' "${faults[@]}"
  exit 1
fi
rm -rf "$scratch"
echo "kill-sweep: every killed HotSync or restore left old or new files, and the next one succeeded"
