# Sourced by the Wine scripts: a 32-bit Wine prefix of our own and quiet Wine.
#   LENSFOLIO_WINEPREFIX  the prefix (default: build/mingw/wine/prefix)
# Under qemu-user (see setup-i386.sh) Wine also needs mmap_noreplace.so.
wine_dir="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
export WINEPREFIX="${LENSFOLIO_WINEPREFIX:-$wine_dir/../../build/mingw/wine/prefix}"
export WINEARCH=win32
export WINEDEBUG=-all
# Straight to the 32-bit server: the wrapper script would be one more exec.
[ -x /usr/lib/wine/wineserver32 ] && export WINESERVER=/usr/lib/wine/wineserver32
# No Mono or Gecko installer prompts while the prefix is made.
# No debugger either: a crashing helper process (seen under qemu) would hang
# in it instead of ending.
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d;winedbg.exe=d"

if [ -f /proc/sys/fs/binfmt_misc/qemu-i386 ] && grep -q enabled /proc/sys/fs/binfmt_misc/qemu-i386; then
  shim="$(dirname "$WINEPREFIX")/mmap_noreplace.so"
  if [ ! -f "$shim" ] || [ "$wine_dir/mmap_noreplace.c" -nt "$shim" ]; then
    mkdir -p "$(dirname "$shim")"
    gcc -m32 -shared -fPIC -nostdlib -O2 -o "$shim" "$wine_dir/mmap_noreplace.c"
  fi
  # Only the emulated (32-bit) processes get the preload.
  export QEMU_SET_ENV="LD_PRELOAD=$shim"
fi
