# Sourced by the scripts that drive the `hotsync` host on a scratch HotSync
# directory (memcheck.sh, kill-sweep.sh); run from the repository's top.
#
# build_host: builds the host and the conduit, in BUILD_DIR when it is set,
# else in the default preset's build/default; sets $bin to its bin folder.
build_host() {
  local build
  if [ -n "${BUILD_DIR:-}" ]; then
    build="$BUILD_DIR"
    cmake -S . -B "$build" >/dev/null
  else
    build="$PWD/build/default"
    cmake --preset default >/dev/null
  fi
  cmake --build "$build" --target hotsync_host Lenfol -j"$(nproc)" >/dev/null
  bin="$(cd "$build/bin" && pwd)"
}

# make_root ROOT USER USER_DIR: a HotSync directory with that one user and
# the built conduit registered under LnFo as the installer registers it.
make_root() {
  local root="$1" user="$2" user_dir="$3"
  HOTSYNC_ROOT="$root" "$bin/hotsync" init --user "$user" >/dev/null
  [ -d "$user_dir" ] || { echo "$(basename "$0"): no user directory $user_dir" >&2; exit 2; }
  mkdir -p "$user_dir/Lenfol" "$user_dir/handheld"
  printf '[LnFo]\nconduitType = 1\ncreatorName = %s\npcDirectory = Lenfol\npcFileName = Camera.txt\ntitle = Lensfolio\nremoteFile = LenfolDB\n' \
    "$bin/Lenfol.dll" >"$root/conduits.ini"
}
