#!/usr/bin/env bash
# One check with real windows drawn by Wine under Xvfb, answered by key
# presses (xdotool): the conduit's action dialog, and the real installer's
# message boxes (real USER32, stand-in HotSync DLLs). Screenshots go to
# ARTIFACTS. Run under xvfb-run.
#   window_check.sh BIN_DIR TEST_BIN_DIR ARTIFACTS
set -uo pipefail
bin="$1"
tests="$2"
artifacts="$3"
source "$(dirname "$0")/../wine/env.sh"
run="$(dirname "$0")/../wine/run.sh"
mkdir -p "$artifacts"
failures=0
checks=0
scratch="$(mktemp -d)"
trap 'rm -rf "$scratch"' EXIT

check() {  # name expected actual
  checks=$((checks + 1))
  if [ "$2" == "$3" ]; then echo "ok   $1"; else failures=$((failures + 1)); echo "FAIL $1: expected '$2', got '$3'"; fi
}

# Waits for a top-level window with this exact title; prints its id.
wait_window() {
  for _ in $(seq 1 120); do
    id="$(xdotool search --name "^$1\$" 2>/dev/null | head -1)"
    [ -n "$id" ] && { sleep 1; echo "$id"; return 0; }
    sleep 0.5
  done
  return 1
}

press() {  # window keys...
  local id="$1"
  shift
  xdotool windowfocus --sync "$id" 2>/dev/null || xdotool windowfocus "$id"
  xdotool key --delay 150 "$@"
}

# ---- The action dialog: opened on "handheld overwrites desktop" (type 2);
# Alt+D picks "desktop overwrites handheld", Alt+S ticks "Set as default",
# Enter is OK: type 3, permanent.
(cd "$tests" && bash "$run" configure_demo.exe 2 >"$scratch/configure.out" 2>/dev/null) &
demo=$!
if id="$(wait_window "Change HotSync Action")"; then
  import -window root "$artifacts/action_dialog.png"
  press "$id" alt+d alt+s
  sleep 1
  import -window root "$artifacts/action_dialog_answered.png"
  press "$id" Return
else
  echo "the action dialog did not appear"
fi
wait $demo
check "action dialog: OK with desktop overwrites handheld, set as default" \
  "result 0 kind 1 type 3" "$(tr -d '\r' <"$scratch/configure.out")"

# ---- The real installer: one user; Y answers the question, Enter closes
# the success box that follows the five-second wait.
root="$scratch/HotSync"
mkdir -p "$root/Ada" "$scratch/dist"
printf '[user1]\nname = Ada\nid = 7\ndirectory = Ada\n' >"$root/users.ini"
cp "$bin/Lenfol.dll" "$bin/installer.exe" "$scratch/dist/"
echo "handheld application" >"$scratch/dist/Lenfol.prc"
(cd "$scratch/dist" && HOTSYNC_ROOT="$root" WINEPATH="Z:${tests//\//\\}" bash "$run" installer.exe >/dev/null 2>&1) &
installer=$!
if id="$(wait_window "Lensfolio: Installer")"; then
  import -window root "$artifacts/installer_question.png"
  press "$id" y
else
  echo "the installer's question did not appear"
fi
if id="$(wait_window "Lensfolio: Success")"; then
  import -window root "$artifacts/installer_success.png"
  press "$id" Return
else
  echo "the installer's success box did not appear"
fi
wait $installer
check "installer exit code" "0" "$?"
check "installer registered the conduit" "1" "$(grep -c '^\[LnFo\]' "$root/conduits.ini" 2>/dev/null)"
check "installer copied the conduit" "yes" \
  "$(cmp -s "$bin/Lenfol.dll" "$root/Ada/Lenfol/Conduit/Lenfol.dll" && echo yes)"

echo "$((checks - failures)) passed, $failures failed"
[ "$failures" -eq 0 ]
