#!/usr/bin/env bash
# Checks the packages that scripts/package.sh wrote into build/package/:
# - the Windows zip holds exactly Lenfol.dll, installer.exe, uninstaller.exe
#   and README.txt (ASCII, CR LF), and its PE files pass the import and
#   export checks and the version test that build/mingw/bin passes, they load
#   on Windows XP SP3 (../shared/tools/xp-compat: no import NT 5.1 lacks, a
#   subsystem version of at most 5.1), and Lenfol.dll is at most 200 KiB;
# - the source archive holds exactly the files git tracks, and the README's
#   two commands work in it, unpacked in a scratch folder;
# - that build, installed into a scratch prefix and moved away, with the
#   unpacked sources gone, runs the demo's steps (scripts/demo.sh, PREFIX=).
# Uses the mingw build of scripts/test-windows.sh where it exists.
set -euo pipefail
cd "$(dirname "$0")/.."
repo="$PWD"
version="$(sed -n 's/^project(Lensfolio VERSION \([0-9.]*\) .*/\1/p' CMakeLists.txt)"
zip="$repo/build/package/Lensfolio-$version-win32.zip"
tarball="$repo/build/package/Lensfolio-$version-src.tar.gz"
objdump=i686-w64-mingw32-objdump

passed=0
failed=0
check() {  # name command...; what the command prints is shown when it fails
  local name="$1" output
  shift
  if output="$("$@" 2>&1)"; then
    passed=$((passed + 1))
    echo "ok   $name"
  else
    failed=$((failed + 1))
    echo "FAIL $name"
    echo "$output" | tail -40 | sed 's/^/     /'
  fi
}
# The demo's scratch HotSync directory, as its log names it.
demo_root() { sed -n 's/^The scratch HotSync directory stays for a look around: //p' "$1"; }
remove_demo_root() {
  local root
  root="$(demo_root "$1")"
  [ -z "$root" ] || rm -rf "$(dirname "$root")"
}
same() { [ "$1" == "$2" ] || { diff <(echo "$1") <(echo "$2"); false; }; }

scratch="$(mktemp -d /tmp/lenfol-packages.XXXXXX)"
trap 'rm -rf "$scratch"' EXIT

echo "== $(basename "$zip")"
bash scripts/deps-windows.sh
bash scripts/deps.sh python3  # for xp-compat
cmake --build build/mingw --target version_test -j2 >/dev/null
mkdir "$scratch/zip"
(cd "$scratch/zip" && cmake -E tar xf "$zip")
check "the zip holds the four files and nothing else" \
  same "$(printf '%s\n' Lenfol.dll README.txt installer.exe uninstaller.exe)" \
       "$(cmake -E tar tf "$zip" | LC_ALL=C sort)"
readme="$scratch/zip/README.txt"
check "README.txt is ASCII" bash -c "! LC_ALL=C grep -q '[^[:print:][:space:]]' '$readme'"
check "README.txt ends every line with CR LF" \
  cmp -s "$readme" <(tr -d '\r' <"$readme" | sed 's/$/\r/')
for pe in Lenfol.dll installer.exe uninstaller.exe; do
  check "$pe carries no debug sections" \
    bash -c "! '$objdump' -h '$scratch/zip/$pe' | grep -q '\.debug'"
done
check "import and export tables (crossbuild/tests/check_pe_tables.sh)" \
  bash crossbuild/tests/check_pe_tables.sh "$objdump" "$scratch/zip"
xp_compat="$repo/../shared/tools/xp-compat/run.sh"
check "the three PE files load on Windows XP SP3 (xp-compat)" \
  bash "$xp_compat" "$scratch/zip/Lenfol.dll" "$scratch/zip/installer.exe" "$scratch/zip/uninstaller.exe"
lenfol_size="$(stat -c %s "$scratch/zip/Lenfol.dll")"
check "Lenfol.dll is at most 200 KiB ($lenfol_size bytes)" test "$lenfol_size" -le 204800
check "version resource (version_test under Wine)" \
  env LENFOL_DLL_DIR="Z:${scratch//\//\\}\\zip" \
  bash crossbuild/wine/run.sh build/mingw/tests/version_test.exe

echo "== $(basename "$tarball")"
tar -xzf "$tarball" -C "$scratch"
src="$scratch/Lensfolio-$version-src"
check "the source archive holds exactly the tracked files" \
  same "$(git ls-files | LC_ALL=C sort)" "$(cd "$src" && find . -type f | sed 's|^\./||' | LC_ALL=C sort)"
echo "   bash scripts/test.sh in $src"
if (cd "$src" && bash scripts/test.sh) >"$scratch/source-test.log" 2>&1; then
  check "bash scripts/test.sh passes in the unpacked sources: $(grep 'tests passed' "$scratch/source-test.log")" true
else
  tail -40 "$scratch/source-test.log"
  check "bash scripts/test.sh passes in the unpacked sources" false
fi
if (cd "$src" && bash scripts/demo.sh) >"$scratch/source-demo.log" 2>&1; then
  check "bash scripts/demo.sh runs in the unpacked sources" true
else
  tail -40 "$scratch/source-demo.log"
  check "bash scripts/demo.sh runs in the unpacked sources" false
fi
remove_demo_root "$scratch/source-demo.log"

echo "== cmake --install of that build"
prefix="$scratch/prefix"
cmake --install "$src/build/default" --prefix "$prefix" >/dev/null
# Each RPATH or RUNPATH entry of an installed file that is not below $ORIGIN.
foreign_paths() {
  local file entry
  find "$prefix" -type f | while read -r file; do
    readelf -d "$file" 2>/dev/null | sed -n 's/.*(R[UN]*PATH).*\[\(.*\)\]$/\1/p' | tr ':' '\n' |
      while read -r entry; do
        case "$entry" in '$ORIGIN'*) ;; *) echo "$file: '$entry'" ;; esac
      done
  done
}
check "every installed program and library finds its libraries through \$ORIGIN" \
  same "" "$(foreign_paths)"
check "hotsync --version gives the project version" same "$version" "$("$prefix/bin/hotsync" --version)"
# Nothing may lean on the install path, the build or the sources.
rm -rf "$src"
mv "$prefix" "$scratch/moved"
if env -u LD_LIBRARY_PATH PREFIX="$scratch/moved" bash scripts/demo.sh >"$scratch/demo.log" 2>&1; then
  check "the demo's steps run with the installed tree" true
else
  tail -40 "$scratch/demo.log"
  check "the demo's steps run with the installed tree" false
fi
root="$(demo_root "$scratch/demo.log")"
user_dir="$root/AdaLovelace"
check "the installer registered its copy of the conduit" \
  grep -q "^creatorName = $root.*Lenfol.dll$" "$root/conduits.ini"
check "the installed Lenfol.prc went to the handheld" test -s "$user_dir/handheld/Lenfol.prc"
check "handheld overwrites desktop wrote the handheld's list (Nikon F3 added, Praktica MTL 5 deleted)" \
  bash -c "grep -q '^Nikon F3' '$user_dir/Lenfol/Cameras.txt' && ! grep -q '^Praktica MTL 5' '$user_dir/Lenfol/Cameras.txt'"
remove_demo_root "$scratch/demo.log"

echo "packages: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
