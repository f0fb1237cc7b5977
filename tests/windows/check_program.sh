#!/usr/bin/env bash
# Checks a built MakeVORNDisk.exe for what Windows needs to run it as
# intended: the application manifest (RT_MANIFEST, id 1) asking for
# administrator rights, the supported Windows versions 7 to 11, DPI awareness
# and the version 6 common controls; and the eight payload resources.
# With the build's payload_resources.rc (the second argument, or else
# res/payload_resources.rc of the build folder the exe lies in, when there
# is one), each payload resource must hold the bytes of the file that the
# .rc names: an exe built before a payload file changed fails.
# Usage: check_program.sh EXE [PAYLOAD_RESOURCES_RC]
set -euo pipefail
exe=$1
payload_rc=${2:-$(dirname "$exe")/../res/payload_resources.rc}
fail() { echo "check_program: $exe: $*" >&2; exit 1; }
[ -f "$exe" ] || fail "no such file"
[ $# -lt 2 ] || [ -f "$2" ] || fail "no such payload .rc: $2"
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
if [ -f "$payload_rc" ]; then
  # Lines of the .rc: <id> <type> "<path>".
  compared=0
  while read -r id type path; do
    [[ $id =~ ^[0-9]+$ ]] || continue
    path=${path#\"}; path=${path%\"}
    cmp -s <(wrestool -x --raw --type="$type" --name="$id" "$exe") "$path" ||
      fail "resource $type $id does not hold the bytes of $path: the exe is older than the payload"
    compared=$((compared + 1))
  done <"$payload_rc"
  [ "$compared" -eq 8 ] || fail "$payload_rc names $compared payload files, not 8"
  echo "check_program: $exe: manifest present, the payload resources hold the files of $payload_rc"
else
  echo "check_program: $exe: manifest and payload resources present"
fi
