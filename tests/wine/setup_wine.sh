#!/usr/bin/env bash
# The Wine tests' fixture: builds the x86_64 test programs and makes the one
# Wine prefix they share, with E: as a removable drive, the dialog font
# mapped to an installed Chinese font and windows drawn by Wine itself.
#
#   setup_wine.sh SOURCE_DIR WORK_DIR
#
# Exit codes: 0 ready, 1 failed, 77 Wine cannot run here (tests skipped).
set -uo pipefail
source_dir=$1
work=$2
here=$(dirname "$0")
. "$here/wine_env.sh"

fail() { echo "FAIL: $*"; stop_wine; exit 1; }
skip_test() { echo "SKIP: $*"; stop_wine; exit 77; }

for tool in wine wineserver Xvfb; do
  command -v "$tool" >/dev/null || skip_test "$tool is not installed"
done
for tool in import identify iconv xdotool cmake ninja x86_64-w64-mingw32-g++-posix; do
  command -v "$tool" >/dev/null || fail "$tool is not installed (scripts/install-deps)"
done

mkdir -p "$work"
rm -f "$work/prefix.ready"

# The programs, cross-built in the work folder (kept between runs).
windows_build=$work/build-x86_64
started=$SECONDS
if ! { bounded 60 cmake -S "$source_dir" -B "$windows_build" -G Ninja \
         -DCMAKE_TOOLCHAIN_FILE="$source_dir/cmake/toolchain-mingw-x86_64.cmake" \
         -DCMAKE_BUILD_TYPE=MinSizeRel -DVORN_WINE_TEST_VARIANT=ON &&
       bounded 300 cmake --build "$windows_build" --target MakeVORNDisk_wine_test MakeVORNDisk_wine_sim; } \
       >"$work/build.log" 2>&1; then
  tail -30 "$work/build.log"
  fail "the Windows programs did not build (see $work/build.log)"
fi
echo "built in $((SECONDS - started)) s"

wine_env "$work"
stop_wine  # what an earlier, interrupted run left
stop_left_displays
started=$SECONDS
start_display "$work/setup-xvfb.log" || skip_test "Xvfb did not start: $(cat "$work/setup-xvfb.log")"
rm -rf "$WINEPREFIX"
if ! bounded 90 wineboot -i >"$work/wineboot.log" 2>&1; then
  skip_test "Wine cannot make a prefix here: $(tail -3 "$work/wineboot.log")"
fi
bounded 30 wineserver -w || true

# E: a removable drive (for the program on the real system services); the
# dialog font mapped to an installed Chinese font; no window manager, so
# Wine draws the frames (else every window close stalls); no crash dialog
# waiting for a click if a program crashes.
printf '%s\r\n' 'Windows Registry Editor Version 5.00' '' \
  '[HKEY_LOCAL_MACHINE\Software\Wine\Drives]' '"e:"="floppy"' '' \
  '[HKEY_LOCAL_MACHINE\Software\Microsoft\Windows NT\CurrentVersion\FontSubstitutes]' \
  '"新細明體"="WenQuanYi Micro Hei"' '' \
  '[HKEY_CURRENT_USER\Software\Wine\X11 Driver]' '"Managed"="N"' '"Decorated"="N"' '' \
  '[HKEY_CURRENT_USER\Software\Wine\WineDbg]' '"ShowCrashDialog"=dword:00000000' '' \
  | iconv -f UTF-8 -t UTF-16LE | { printf '\xff\xfe'; cat; } >"$work/settings.reg"
bounded 30 wine reg import "$(windows_path "$work/settings.reg")" >"$work/reg.log" 2>&1 ||
  fail "registry import failed: $(cat "$work/reg.log")"
bounded 30 wineserver -w || true
# The caption buttons' font.
if command -v dpkg >/dev/null; then
  dpkg -L fonts-wine 2>/dev/null | grep -i '\.ttf$' | while read -r font; do
    cp "$font" "$WINEPREFIX/drive_c/windows/Fonts/" 2>/dev/null || true
  done
fi
mkdir -p "$work/stick"
ln -sfn "$work/stick" "$WINEPREFIX/dosdevices/e:"
stop_wine
echo "prefix made in $((SECONDS - started)) s"
touch "$work/prefix.ready"
