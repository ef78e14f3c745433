#!/usr/bin/env bash
# Installs the Debian packages the build and the tests need, if any is missing.
# Usage: scripts/deps.sh [extra-package ...]
#
# Every script that installs packages comes through here. A mirror in the
# middle of a sync can leave today's index incomplete, so a failed
# `apt-get update` is retried once and then only reported: what was fetched
# is still usable. An install that apt cannot resolve (typically i386 twins
# of amd64 libraries whose security-update list failed) is retried once
# against the release itself (-t <codename>).
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
  echo "deps: install could not be resolved; retrying with -t $codename"
  apt_get install -y -qq -t "$codename" "${missing[@]}" >"$log" 2>&1 && exit 0
fi
echo "deps: cannot install ${missing[*]}: $(grep -E '^E: ' "$log" | tr '\n' ' ' || tail -1 "$log")" >&2
exit 1
