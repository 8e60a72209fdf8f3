#!/usr/bin/env bash
# Checks what scripts/package wrote into dist/: the zip's files, that the
# x86 installer (which cannot run here) holds the same files, registry
# rows and upgrade code as the x64 one, apart from the platform, that both
# replace an installed Quillane of any version up to their own, and the
# Scoop and winget manifests.
set -uo pipefail
cd "$(dirname "$0")/.."
export LC_ALL=C  # sort by bytes
version=$(cat packaging/windows/version)
passed=0 failed=0
check() {  # check DESCRIPTION COMMAND...
  if "${@:2}" >/dev/null 2>&1; then passed=$((passed + 1)); else failed=$((failed + 1)); echo "FAILED: $1"; fi
}
table() { msiinfo export "dist/quillane-$version-$1.msi" "$2" | tail -n +4 | sort; }
column() { table "$1" "$2" | cut -f"$3" | sort; }

zip="dist/quillane-$version-win32.zip"
check "the zip holds the four files" test "$(unzip -Z1 "$zip" | sort | tr '\n' ' ')" = "LICENSE.txt README.txt quil-here.exe quil.exe "
crlf() { unzip -p "$zip" "$1" | head -1 | od -c | grep -q '\\r  \\n'; }
check "README.txt has Windows line breaks" crlf README.txt
check "LICENSE.txt has Windows line breaks" crlf LICENSE.txt
check "the zip's quil.exe is 32-bit" sh -c "unzip -p '$zip' quil.exe > /tmp/quil-zip.exe && file /tmp/quil-zip.exe | grep -q 'PE32 executable (GUI) Intel 80386'"
check "the launcher is a GUI program" sh -c "unzip -p '$zip' quil-here.exe > /tmp/quil-here-zip.exe && file /tmp/quil-here-zip.exe | grep -q '(GUI)'"

for arch in x86 x64; do
  check "$arch: four files" test "$(column $arch File 3 | tr '\n' ' ')" = "LICENSE.txt README.txt quil-here.exe quil.exe "
  # Word count 10: compressed, and no elevation asked (a per-user install).
  check "$arch: per user, no administrator" sh -c "msiinfo suminfo dist/quillane-$version-$arch.msi | grep -q '^Source: 10 '"
done
check "same registry rows" test "$(column x86 Registry 2-6)" = "$(column x64 Registry 2-6)"
check "twelve registry rows" test "$(table x86 Registry | wc -l)" = 12
check "same upgrade code" test "$(table x86 Property | grep UpgradeCode)" = "$(table x64 Property | grep UpgradeCode)"
check "same product name, version, maker" test "$(table x86 Property | grep -E '^(ProductName|ProductVersion|Manufacturer|ARPPRODUCTICON)')" \
  = "$(table x64 Property | grep -E '^(ProductName|ProductVersion|Manufacturer|ARPPRODUCTICON)')"
check "same components by name and folder" test "$(column x86 Component 1,3)" = "$(column x64 Component 1,3)"
check "other component ids" test "$(column x86 Component 2)" != "$(column x64 Component 2)"
inclusive_upgrade() { table "$1" Upgrade | grep -qP "\t\t$version\t\t513\t\tWIX_UPGRADE_DETECTED"; }
entry_properties() { table "$1" CustomAction | grep -q ARPINSTALLLOCATION && table "$1" CustomAction | grep -q 'ARPHELPLINK.*README.txt'; }
start_menu() { table "$1" Shortcut | grep -q 'How to use Quillane.*README.txt'; }
programs_folder() { table "$1" RemoveFile | grep -q UserProgramsFolder; }
for arch in x86 x64; do
  check "$arch: upgrades any version up to its own, inclusive" inclusive_upgrade "$arch"
  check "$arch: install location and help link" entry_properties "$arch"
  check "$arch: a Start-menu shortcut to the README" start_menu "$arch"
  check "$arch: the Programs folder goes when empty" programs_folder "$arch"
done
check "a Scoop manifest" test -s dist/quillane.json
check "a winget manifest" test -s dist/quillane.winget.yaml
check "x86 platform" sh -c "msiinfo suminfo dist/quillane-$version-x86.msi | grep -q 'Template: Intel;1033'"
check "x64 platform" sh -c "msiinfo suminfo dist/quillane-$version-x64.msi | grep -q 'Template: x64;1033'"
check "64-bit components only in x64" test "$(column x64 Component 4 | sort -u)" != "$(column x86 Component 4 | sort -u)"

echo "packaging: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
