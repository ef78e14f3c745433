#!/usr/bin/env bash
# Installs the Debian packages the build and the tests need, if any is missing.
# Usage: scripts/deps.sh [extra-package ...]
#
# Every script that installs packages comes through here. A mirror in the
# middle of a sync can leave today's index incomplete, so a failed
# `apt-get update` is retried once and then only reported: what was fetched
# is still usable. An install that apt cannot resolve is retried once with
# the release itself as the target. The usual cause: the amd64 libraries are
# installed at their security-update version while the i386 list of the
# security updates failed, so their i386 twins exist only at the release's
# version. `-t <codename>` alone cannot fix that, since apt never moves an
# installed package back below its version for a target release; the retry
# pins the release above 1000 for that one command, and apt moves back only
# the libraries whose twins it must match.
set -euo pipefail

packages=(cmake g++ make pkg-config googletest libgtest-dev libgmock-dev
          libcli11-dev libpalm-pdb-perl valgrind "$@")

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
apt_get() { DEBIAN_FRONTEND=noninteractive $sudo apt-get "$@"; }

echo "Installing: ${missing[*]}"
if ! apt_get update -qq >/dev/null 2>&1 && ! apt_get update -qq >/dev/null 2>&1; then
  echo "deps: the package index is incomplete (apt-get update failed twice); going on with what is there"
fi

log="$(mktemp /tmp/lenfol-deps.XXXXXX)"
trap 'rm -f "$log"' EXIT
apt_get install -y -qq "${missing[@]}" >"$log" 2>&1 && exit 0

codename="$(. /etc/os-release && echo "${VERSION_CODENAME:-}")"
if [ -n "$codename" ]; then
  echo "deps: install could not be resolved; retrying with $codename itself as the target"
  pin="$(mktemp /tmp/lenfol-deps-pin.XXXXXX)"
  trap 'rm -f "$log" "$pin"' EXIT
  printf 'Package: *\nPin: release n=%s\nPin-Priority: 1001\n' "$codename" >"$pin"
  if apt_get install -y -qq --allow-downgrades -o Dir::Etc::Preferences="$pin" \
       "${missing[@]}" >"$log" 2>&1; then
    moved="$(grep -c '^Unpacking .* over ' "$log" || true)"
    echo "deps: installed from $codename; $moved installed package(s) moved to $codename's version to match"
    exit 0
  fi
fi
echo "deps: cannot install ${missing[*]}: $(grep -E '^E: ' "$log" | tr '\n' ' ' || tail -1 "$log")" >&2
exit 1
