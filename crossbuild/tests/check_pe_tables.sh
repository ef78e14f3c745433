#!/usr/bin/env bash
# Checks the import and export tables of the Windows deliverables with the
# MinGW objdump: what each binary takes from which DLL (HotSync DLLs by the
# exact ordinals, or by name where they have no ordinal), that nothing else
# comes from the HotSync DLLs, that only KERNEL32, USER32 and msvcrt besides
# them are imported, and what Lenfol.dll exports.
#   check_pe_tables.sh OBJDUMP BIN_DIR
set -uo pipefail
objdump="$1"
bin="$2"
failures=0
checks=0

# One line per import, "DLL #ordinal" or "DLL name", DLL names in upper case.
imports() {
  "$objdump" -p "$1" | awk '
    /^The Import Tables/ { on = 1 }
    /^The Export Tables|^PE File Base Relocations/ { on = 0 }
    on && /DLL Name:/ { dll = toupper($3); next }
    on && dll != "" && NF == 3 && $3 == "<none>" { print dll " #" $2; next }
    on && dll != "" && NF == 3 && $1 ~ /^[0-9a-f]+$/ { print dll " " $3 }'
}

exports() {
  "$objdump" -p "$1" | awk '
    /^\[Ordinal\/Name Pointer\] Table/ { on = 1; next }
    on && NF == 0 { on = 0 }
    on { print $NF }'
}

expect_equal() {  # name expected actual
  checks=$((checks + 1))
  if [ "$2" == "$3" ]; then
    echo "ok   $1"
  else
    failures=$((failures + 1))
    echo "FAIL $1"
    diff <(echo "$2") <(echo "$3") | sed 's/^/     /'
  fi
}

# The imports of one DLL, sorted, on one line.
from() { imports "$1" | awk -v dll="$2" '$1 == dll { print $2 }' | sort | tr '\n' ' '; }
dll_set() { imports "$1" | awk '{ print $1 }' | sort -u | tr '\n' ' '; }
has_all() {  # binary dll name...
  local binary="$1" dll="$2" missing=""
  shift 2
  local have
  have=" $(from "$binary" "$dll")"
  for name in "$@"; do
    case "$have" in *" $name "*) ;; *) missing+="$name " ;; esac
  done
  expect_equal "$(basename "$binary") imports $* from $dll" "" "$missing"
}
sorted() { printf '%s\n' "$@" | sort | tr '\n' ' '; }

lenfol="$bin/Lenfol.dll"
installer="$bin/installer.exe"
uninstaller="$bin/uninstaller.exe"

for f in "$lenfol" "$installer" "$uninstaller"; do
  expect_equal "$(basename "$f") is a 32-bit PE file" "pei-i386" \
    "$("$objdump" -f "$f" | sed -n 's/.*file format //p')"
done

expect_equal "Lenfol.dll exports the five entry points by name" \
  "$(sorted ConfigureConduit GetConduitInfo GetConduitName GetConduitVersion OpenConduit)" \
  "$(exports "$lenfol" | sort | tr '\n' ' ')"
expect_equal "Lenfol.dll imports from these DLLs only" \
  "$(sorted HSLOG20.DLL KERNEL32.DLL MSVCRT.DLL PDCMN21.DLL SYNC20.DLL USER32.DLL)" "$(dll_set "$lenfol")"
expect_equal "Lenfol.dll takes the sync manager by ordinal, the record count by name" \
  "$(sorted '#22' '#23' '#26' '#27' '#28' '#31' '#32' '#36' '#40' '#41' SyncGetDBRecordCount)" \
  "$(from "$lenfol" SYNC20.DLL)"
expect_equal "Lenfol.dll takes the log entry by ordinal, the formatted one by name" \
  "$(sorted '#52' LogAddFormattedEntry)" "$(from "$lenfol" HSLOG20.DLL)"
expect_equal "Lenfol.dll takes only InitPdcmn5DLL from the dialog library" \
  "$(sorted InitPdcmn5DLL)" "$(from "$lenfol" PDCMN21.DLL)"
has_all "$lenfol" USER32.DLL DialogBoxParamA EndDialog
has_all "$lenfol" KERNEL32.DLL MoveFileExA

expect_equal "installer.exe imports from these DLLs only" \
  "$(sorted CONDMGR.DLL HSAPI.DLL INSTAIDE.DLL KERNEL32.DLL MSVCRT.DLL USER32.DLL USERDATA.DLL)" \
  "$(dll_set "$installer")"
expect_equal "installer.exe: UserData by ordinal" "$(sorted '#101' '#102' '#103' '#104')" \
  "$(from "$installer" USERDATA.DLL)"
expect_equal "installer.exe: CONDMGR by ordinal" \
  "$(sorted '#46' '#48' '#50' '#54' '#63' '#67' '#88')" "$(from "$installer" CONDMGR.DLL)"
expect_equal "installer.exe: HSAPI by ordinal" "$(sorted '#109')" "$(from "$installer" HSAPI.DLL)"
expect_equal "installer.exe: INSTAIDE by ordinal" "$(sorted '#103')" "$(from "$installer" INSTAIDE.DLL)"
has_all "$installer" KERNEL32.DLL GetCurrentDirectoryA CreateDirectoryA CopyFileA Sleep
expect_equal "installer.exe: USER32" "$(sorted GetFocus MessageBoxA)" "$(from "$installer" USER32.DLL)"

expect_equal "uninstaller.exe imports from these DLLs only" \
  "$(sorted CONDMGR.DLL HSAPI.DLL KERNEL32.DLL MSVCRT.DLL USER32.DLL USERDATA.DLL)" \
  "$(dll_set "$uninstaller")"
expect_equal "uninstaller.exe: UserData by ordinal" "$(sorted '#101' '#102' '#103' '#104')" \
  "$(from "$uninstaller" USERDATA.DLL)"
expect_equal "uninstaller.exe: CONDMGR by ordinal" "$(sorted '#65' '#88')" \
  "$(from "$uninstaller" CONDMGR.DLL)"
expect_equal "uninstaller.exe: HSAPI by ordinal" "$(sorted '#109')" "$(from "$uninstaller" HSAPI.DLL)"
has_all "$uninstaller" KERNEL32.DLL DeleteFileA RemoveDirectoryA Sleep
expect_equal "uninstaller.exe: USER32" "$(sorted GetFocus MessageBoxA)" "$(from "$uninstaller" USER32.DLL)"

for f in "$installer" "$uninstaller"; do
  expect_equal "$(basename "$f") is a GUI program" "00000002" \
    "$("$objdump" -p "$f" | awk '$1 == "Subsystem" { print $2 }')"
done

echo "$((checks - failures)) passed, $failures failed"
[ "$failures" -eq 0 ]
