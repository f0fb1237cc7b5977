#!/usr/bin/env bash
# One make of the Windows program on the simulated PC, under Wine in a
# virtual X display. The program's test mode prints every log line, every
# message box and what the make left in the sim (files, disk commands);
# this script takes the screenshot it asks for, answers by real input in
# the real-click scenario, and checks the report against expected/start.txt
# followed by expected/EXPECTED.txt: all their lines must appear, in order.
#
#   run_sim_make.sh WORK_DIR SCENARIO EXPECTED_EXIT_CODE EXPECTED
#
# Exit codes: 0 passed, 1 failed, 77 no prefix (skipped).
set -uo pipefail

work=$1
scenario=$2
expected_status=$3
here=$(dirname "$0")
expected=$4
run_limit=120  # seconds for the program's whole run
. "$here/wine_env.sh"

fail() { echo "FAIL: $*"; exit 1; }
skip_test() { echo "SKIP: $*"; exit 77; }

[ -e "$work/prefix.ready" ] || skip_test "no Wine prefix (the wine_setup test made none)"
program=$work/build-x86_64/app/wine_sim/MakeVORNDisk.exe
[ -e "$program" ] || fail "$program is missing"
run=$work/$scenario
sync=$run/sync
out=$run/program.out
rm -rf "$run"
mkdir -p "$work/screenshots" "$sync"
cat "$here/expected/start.txt" "$here/expected/$expected.txt" >"$run/expected.txt" ||
  fail "no expected lines for $expected"

wine_env "$work"
trap stop_wine EXIT
start_display "$run/xvfb.log" || fail "Xvfb did not start: $(cat "$run/xvfb.log")"

export VORN_WINE_SYNC_DIR
VORN_WINE_SYNC_DIR=$(windows_path "$sync")
: >"$out"
( bounded "$run_limit" wine "$program" "$scenario" >"$out" 2>"$run/program.err"
  echo $? >"$run/program.rc" ) &
program_pid=$!
deadline=$((SECONDS + run_limit + 10))

# The value of the program's first report line KEY, once it is there
# (failing when the program ended or LIMIT seconds passed first).
wait_for() {
  local key=$1 limit=${2:-$run_limit} value until
  until=$((SECONDS + limit))
  [ "$until" -lt "$deadline" ] || until=$deadline
  while [ "$SECONDS" -lt "$until" ]; do
    value=$(tr -d '\r' <"$out" | sed -n "s/^$key //p" | head -1)
    if [ -n "$value" ]; then echo "$value"; return 0; fi
    [ -e "$run/program.rc" ] && return 1
    sleep 0.1
  done
  return 1
}

# The real-click scenario: the dialog window found by its exact title, then
# Make and the confirmation's No pressed by xdotool at the centres the
# program prints.
real_clicks() {
  local title make no window geometry
  title=$(wait_for TITLE 60) || fail "the dialog did not open"
  wait_for READY 20 >/dev/null || fail "the program did not get ready"
  local pattern
  pattern="^$(printf '%s' "$title" | sed 's/[][\.*^$+?(){}|]/\\&/g')\$"
  window=$(bounded 20 xdotool search --sync --onlyvisible --name "$pattern" | head -1)
  [ -n "$window" ] || fail "no window titled '$title'"
  # The program's screen coordinates are the X server's.
  geometry=$(bounded 10 xdotool getwindowgeometry --shell "$window" |
             sed -n 's/^\(X\|Y\|WIDTH\|HEIGHT\)=//p' | tr '\n' ' ')
  [ "${geometry% }" = "$(wait_for WINDOW 5)" ] ||
    fail "window '$title' is at $geometry on the X screen, the program says $(wait_for WINDOW 5)"
  make=$(wait_for MAKE-BUTTON 5)
  # shellcheck disable=SC2086
  bounded 10 xdotool mousemove $make click 1 || fail "xdotool could not click Make"
  no=$(wait_for NO-BUTTON 20) || fail "no confirmation box after clicking Make at $make"
  bounded 20 xdotool search --sync --onlyvisible --name '^MakeVORNDisk$' >/dev/null ||
    fail "the confirmation box is not on the screen"
  # shellcheck disable=SC2086
  bounded 10 xdotool mousemove $no click 1 || fail "xdotool could not click No"
}
if [ "$scenario" = real-click ]; then
  command -v xdotool >/dev/null || fail "xdotool is not installed (scripts/install-deps)"
  real_clicks
fi

# The screenshot of the dialog, cut out of the screen, once the make has ended.
shot=$work/screenshots/$scenario.png
if rect=$(wait_for SHOT); then
  read -r _ x y width height <<<"$rect"
  sleep 0.3
  bounded 30 import -window root -crop "${width}x${height}+${x}+${y}" +repage "$shot" 2>>"$run/import.log" || true
  touch "$sync/$scenario.done"
fi
while [ ! -e "$run/program.rc" ] && [ "$SECONDS" -lt "$deadline" ]; do sleep 0.2; done
wait "$program_pid"

tr -d '\r' <"$out" >"$run/report.txt"
status=$(cat "$run/program.rc" 2>/dev/null || echo none)
failures=0
if [ "$status" != "$expected_status" ]; then
  echo "program exit status $status, expected $expected_status"
  failures=$((failures + 1))
fi
# Every expected line (not blank, not a # comment) in the report, in order.
if ! awk 'FILENAME == ARGV[1] { if ($0 != "" && substr($0, 1, 1) != "#") want[++n] = $0; next }
          found < n && $0 == want[found + 1] { found++ }
          END { if (found < n) { print "missing or out of order: " want[found + 1]; exit 1 } }' \
     "$run/expected.txt" "$run/report.txt"; then
  failures=$((failures + 1))
fi
colours=$(identify -format '%k' "$shot" 2>/dev/null || echo 0)
if [ "${colours:-0}" -lt 3 ]; then echo "screenshot $shot missing or blank"; failures=$((failures + 1)); fi

if [ "$failures" -gt 0 ]; then
  echo "--- report ---"; cat "$run/report.txt"
  echo "--- stderr ---"; tail -20 "$run/program.err"
  fail "$failures check(s) failed"
fi
echo "PASS: report in $run/report.txt, screenshot $shot"
