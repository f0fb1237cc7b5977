#!/usr/bin/env bash
# The Windows program (x86_64, test variant) under Wine in a virtual X
# display, with E: configured as a removable drive. The program's test
# driver reports the windows' texts on stdout and waits at each screenshot;
# this script takes the screenshots and checks the report.
#
#   run_wine_test.sh SOURCE_DIR WORK_DIR
#
# Exit codes: 0 passed, 1 failed, 77 Wine cannot start here (skipped).
set -uo pipefail

source_dir=$1
work=$2
skip=77
total_limit=540   # seconds for everything, within CTest's 600
build_limit=300   # for building the Windows program
boot_limit=120    # for making the Wine prefix
run_limit=120     # for the program's whole run

fail() { echo "FAIL: $*"; exit 1; }
skip_test() { echo "SKIP: $*"; exit "$skip"; }
# The smaller of a step's own limit and what is left of the whole (at
# least one second, so that a late step fails at once).
within() {
  local left=$((total_limit - SECONDS))
  [ "$left" -gt 1 ] || left=1
  if [ "$1" -lt "$left" ]; then echo "$1"; else echo "$left"; fi
}

for tool in wine Xvfb; do
  command -v "$tool" >/dev/null || skip_test "$tool is not installed"
done
for tool in import identify iconv cmake ninja x86_64-w64-mingw32-g++-posix; do
  command -v "$tool" >/dev/null || fail "$tool is not installed (scripts/install-deps)"
done

mkdir -p "$work"
shots=$work/screenshots
sync=$work/sync
rm -rf "$shots" "$sync" "$work/program.out" "$work/program.rc"
mkdir -p "$shots" "$sync" "$work/stick"

# The program with its test driver, cross-built in the work folder.
windows_build=$work/build-x86_64
if ! { timeout "$(within "$build_limit")" cmake -S "$source_dir" -B "$windows_build" -G Ninja \
         -DCMAKE_TOOLCHAIN_FILE="$source_dir/cmake/toolchain-mingw-x86_64.cmake" \
         -DCMAKE_BUILD_TYPE=MinSizeRel -DVORN_WINE_TEST_VARIANT=ON &&
       timeout "$(within "$build_limit")" cmake --build "$windows_build" --target MakeVORNDisk_wine_test; } \
       >"$work/build.log" 2>&1; then
  tail -30 "$work/build.log"
  fail "the Windows program did not build (see $work/build.log)"
fi
program=$windows_build/app/wine_test/MakeVORNDisk.exe

export WINEPREFIX=$work/prefix WINEARCH=win64 WINEDEBUG=-all LC_ALL=C.UTF-8
# No downloads of Mono or Gecko during the prefix set-up.
export WINEDLLOVERRIDES="mscoree,mshtml="

xvfb_pid=""
cleanup() {
  wineserver -k >/dev/null 2>&1 || true
  if [ -n "$xvfb_pid" ]; then kill "$xvfb_pid" 2>/dev/null || true; fi
}
trap cleanup EXIT

# A display of our own: Xvfb picks a free number and tells it.
exec 3>"$work/display"
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp >"$work/xvfb.log" 2>&1 &
xvfb_pid=$!
exec 3>&-
for _ in $(seq 100); do [ -s "$work/display" ] && break; sleep 0.1; done
[ -s "$work/display" ] || skip_test "Xvfb did not start: $(cat "$work/xvfb.log")"
export DISPLAY=":$(head -1 "$work/display")"

rm -rf "$WINEPREFIX"
if ! timeout "$(within "$boot_limit")" wineboot -i >"$work/wineboot.log" 2>&1; then
  skip_test "Wine cannot make a prefix here: $(tail -3 "$work/wineboot.log")"
fi
timeout "$(within 30)" wineserver -w || true

# E: a removable drive; the dialog font mapped to an installed Chinese font;
# windows drawn by Wine itself (no window manager); the caption-button font.
printf '%s\r\n' 'Windows Registry Editor Version 5.00' '' \
  '[HKEY_LOCAL_MACHINE\Software\Wine\Drives]' '"e:"="floppy"' '' \
  '[HKEY_LOCAL_MACHINE\Software\Microsoft\Windows NT\CurrentVersion\FontSubstitutes]' \
  '"新細明體"="WenQuanYi Micro Hei"' '' \
  '[HKEY_CURRENT_USER\Software\Wine\X11 Driver]' '"Managed"="N"' '"Decorated"="N"' '' \
  | iconv -f UTF-8 -t UTF-16LE | { printf '\xff\xfe'; cat; } >"$work/settings.reg"
timeout "$(within 60)" wine reg import "$(winepath -w "$work/settings.reg" 2>/dev/null)" >"$work/reg.log" 2>&1 ||
  fail "registry import failed: $(cat "$work/reg.log")"
timeout "$(within 30)" wineserver -w || true
if command -v dpkg >/dev/null; then
  dpkg -L fonts-wine 2>/dev/null | grep -i '\.ttf$' | while read -r font; do
    cp "$font" "$WINEPREFIX/drive_c/windows/Fonts/" 2>/dev/null || true
  done
fi
ln -sfn "$work/stick" "$WINEPREFIX/dosdevices/e:"

export VORN_WINE_SYNC_DIR
VORN_WINE_SYNC_DIR=$(winepath -w "$sync" 2>/dev/null)
: >"$work/program.out"
run_limit=$(within "$run_limit")
( timeout "$run_limit" wine "$program" >"$work/program.out" 2>"$work/program.err"
  echo $? >"$work/program.rc" ) &
program_pid=$!

# Screenshots where the driver asks for them.
taken=""
deadline=$((SECONDS + run_limit + 10))
while [ ! -e "$work/program.rc" ] && [ "$SECONDS" -lt "$deadline" ]; do
  for name in $(tr -d '\r' <"$work/program.out" 2>/dev/null | sed -n 's/^SHOT //p'); do
    case " $taken " in *" $name "*) continue ;; esac
    sleep 0.5
    import -window root "$shots/$name.png" 2>>"$work/import.log" || true
    touch "$sync/$name.done"
    taken="$taken $name"
  done
  sleep 0.2
done
wait "$program_pid"

report=$(tr -d '\r' <"$work/program.out")
echo "$report" >"$work/report.txt"
status=$(cat "$work/program.rc" 2>/dev/null || echo none)

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
  echo "--- stderr ---"; tail -20 "$work/program.err"
  fail "$failures check(s) failed; screenshots in $shots"
fi
rm -rf "$WINEPREFIX"
echo "PASS: screenshots in $shots"
