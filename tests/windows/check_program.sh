#!/usr/bin/env bash
# Checks a built MakeVORNDisk.exe for what Windows needs to run it as
# intended: the application manifest (RT_MANIFEST, id 1) asking for
# administrator rights, the supported Windows versions 7 to 11, DPI awareness
# and the version 6 common controls; and the eight payload resources.
# Usage: check_program.sh EXE
set -euo pipefail
exe=$1
fail() { echo "check_program: $exe: $*" >&2; exit 1; }
[ -f "$exe" ] || fail "no such file"
manifest=$(wrestool -x --raw --type=24 --name=1 "$exe") || fail "cannot read its resources"
[ -n "$manifest" ] || fail "no application manifest (RT_MANIFEST id 1)"
for needed in \
    'level="requireAdministrator"' \
    '{35138b9a-5d96-4fbd-8e2d-a2440225f93a}' \
    '{4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38}' \
    '{1f676c76-80e1-4239-95bb-83d0f6d0da78}' \
    '{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}' \
    '<dpiAware xmlns="http://schemas.microsoft.com/SMI/2005/WindowsSettings">true</dpiAware>' \
    'name="Microsoft.Windows.Common-Controls" version="6.0.0.0"'; do
  grep -qF -- "$needed" <<<"$manifest" || fail "the manifest lacks $needed"
done
payload=$(wrestool -l "$exe" | grep -cE "^--type='(AP|BOOT|DPMI)'") || true
[ "$payload" -eq 8 ] || fail "$payload payload resources, not 8"
echo "check_program: $exe: manifest and payload resources present"
