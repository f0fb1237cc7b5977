#!/usr/bin/env bash
# The Windows program (x86_64, test variant, real system services) under
# Wine in a virtual X display, with E: configured as a removable drive. The
# program's test driver reports the windows' texts on stdout and waits at
# each screenshot; this script takes the screenshots and checks the report.
# The program and the prefix come from the wine_setup fixture.
#
#   run_wine_test.sh WORK_DIR
#
# Exit codes: 0 passed, 1 failed, 77 no prefix (skipped).
set -uo pipefail

work=$1
run_limit=120  # seconds for the program's whole run
. "$(dirname "$0")/wine_env.sh"

fail() { echo "FAIL: $*"; exit 1; }
skip_test() { echo "SKIP: $*"; exit 77; }

[ -e "$work/prefix.ready" ] || skip_test "no Wine prefix (the wine_setup test made none)"
program=$work/build-x86_64/app/wine_test/MakeVORNDisk.exe
[ -e "$program" ] || fail "$program is missing"
run=$work/main_dialog
shots=$run/screenshots
sync=$run/sync
rm -rf "$run"
mkdir -p "$shots" "$sync"

wine_env "$work"
trap stop_wine EXIT
start_display "$run/xvfb.log" || fail "Xvfb did not start: $(cat "$run/xvfb.log")"

export VORN_WINE_SYNC_DIR
VORN_WINE_SYNC_DIR=$(windows_path "$sync")
: >"$run/program.out"
( bounded "$run_limit" wine "$program" >"$run/program.out" 2>"$run/program.err"
  echo $? >"$run/program.rc" ) &
program_pid=$!

# Screenshots where the driver asks for them.
taken=""
deadline=$((SECONDS + run_limit + 10))
while [ ! -e "$run/program.rc" ] && [ "$SECONDS" -lt "$deadline" ]; do
  for name in $(tr -d '\r' <"$run/program.out" 2>/dev/null | sed -n 's/^SHOT //p'); do
    case " $taken " in *" $name "*) continue ;; esac
    sleep 0.5
    bounded 30 import -window root "$shots/$name.png" 2>>"$run/import.log" || true
    touch "$sync/$name.done"
    taken="$taken $name"
  done
  sleep 0.2
done
wait "$program_pid"

report=$(tr -d '\r' <"$run/program.out")
echo "$report" >"$run/report.txt"
status=$(cat "$run/program.rc" 2>/dev/null || echo none)

failures=0
expect() {
  if ! grep -Fxq -- "$1" <<<"$report"; then echo "missing: $1"; failures=$((failures + 1)); fi
}
expect_count() {
  local count
  count=$(grep -c -- "^$1 " <<<"$report")
  if [ "$count" != "$2" ]; then echo "expected $2 lines '$1', got $count"; failures=$((failures + 1)); fi
}

expect 'TITLE Korvane Make VORN Disk Tool V1.03 '
expect 'FIRMWARE Firmware Version: R4TQZX18'
expect 'DRIVE [E:\ ]'
expect_count DRIVE 1
expect 'LOG [1.Select Working Device.\n]'
expect 'LOG [2.Click Make Button to Build VORN Disk.\n]'
expect_count LOG 2
expect 'BOX MakeVORNDisk|Issue Inquiry CMD Fail !!!'
expect_count BOX 1
expect "IDENT Can't get Devive Info."
expect 'MAKE-ENABLED 1'
menu_tail=$(grep '^SYSMENU ' <<<"$report" | tail -2 | tr '\n' '|')
if [ "$menu_tail" != 'SYSMENU separator|SYSMENU 16 關於 MakeVORNDisk(&A)...|' ]; then
  echo "system menu does not end with a separator and the About entry: $menu_tail"
  failures=$((failures + 1))
fi
expect 'MAIN-ENABLED-DURING-ABOUT 0'
expect 'ABOUT 關於 MakeVORNDisk'
expect 'ABOUT-ICON shown'
expect 'ABOUT-CONTROL 65535 MakeVORNDisk Version 1.0'
expect 'ABOUT-CONTROL 1 確定'
expect 'ABOUT-CLOSED main enabled'
[ "$status" = 0 ] || { echo "program exit status: $status"; failures=$((failures + 1)); }
for name in box main about; do
  shot=$shots/$name.png
  colours=$(identify -format '%k' "$shot" 2>/dev/null || echo 0)
  if [ "${colours:-0}" -lt 3 ]; then echo "screenshot $name missing or blank"; failures=$((failures + 1)); fi
done

if [ "$failures" -gt 0 ]; then
  echo "--- report ---"; echo "$report"
  echo "--- stderr ---"; tail -20 "$run/program.err"
  fail "$failures check(s) failed; screenshots in $shots"
fi
echo "PASS: screenshots in $shots"
