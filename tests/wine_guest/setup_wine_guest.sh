#!/usr/bin/env bash
# The wine-guest fixture's first half: cross-builds the Wine-guest variant
# of the program for i686 and x86_64 in the work folder, makes the guest's
# initramfs (tests/guest/prepare_guest.sh, sharing its kernel cache), and
# makes sure the prefix cache holds a Wine prefix for this Wine and these
# settings, booting the guest once to make one when it does not (Wine's
# 32-bit half runs only there: the host's kernel may lack 32-bit support).
# Writes WORK/setup.env for run_wine_guest.sh.
#
#   setup_wine_guest.sh SOURCE_DIR WORK_DIR KERNEL_CACHE PREFIX_CACHE
#
# Exit codes: 0 ready, 1 failed, 77 QEMU or Wine missing (tests skipped).
set -uo pipefail
source_dir=$1 work=$2 kernel_cache=$3 prefix_cache=$4
here=$(cd "$(dirname "$0")" && pwd)
# shellcheck source=../wine/wine_env.sh
. "$source_dir/tests/wine/wine_env.sh"

fail() { echo "FAIL: $*"; exit 1; }
skip_test() { echo "SKIP: $*"; exit 77; }

for tool in qemu-system-x86_64 wine Xvfb; do
  command -v "$tool" >/dev/null || skip_test "$tool is not installed"
done
[ -x /usr/lib/wine/wine ] || fail "Wine's 32-bit half (wine32:i386) is not installed (scripts/install-deps)"
for tool in cmake ninja i686-w64-mingw32-g++-posix x86_64-w64-mingw32-g++-posix cpio depmod flock; do
  command -v "$tool" >/dev/null || PATH=$PATH:/usr/sbin:/sbin command -v "$tool" >/dev/null ||
    fail "$tool is not installed (scripts/install-deps)"
done
mkdir -p "$work" "$prefix_cache"
work=$(cd "$work" && pwd)
prefix_cache=$(cd "$prefix_cache" && pwd)
rm -f "$work/setup.env"

# The programs, cross-built in the work folder (kept between runs).
for arch in i686 x86_64; do
  started=$SECONDS
  build=$work/build-$arch
  if ! { bounded 120 cmake -S "$source_dir" -B "$build" -G Ninja \
           -DCMAKE_TOOLCHAIN_FILE="$source_dir/cmake/toolchain-mingw-$arch.cmake" \
           -DCMAKE_BUILD_TYPE=MinSizeRel -DVORN_WINE_TEST_VARIANT=ON -DVORN_WARNINGS_AS_ERRORS=ON &&
         bounded 900 cmake --build "$build" -j 2 --target MakeVORNDisk_wine_guest; } >"$work/build-$arch.log" 2>&1; then
    tail -30 "$work/build-$arch.log"
    fail "the $arch program did not build (see $work/build-$arch.log)"
  fi
  echo "$arch program built in $((SECONDS - started)) s"
done

bounded 900 "$source_dir/tests/guest/prepare_guest.sh" "$kernel_cache" "$work/guest" "$here/guest_init.sh" \
  --host-root || fail "the guest could not be prepared"

# The prefix, one per Wine version, settings and prefix script; made once
# and shared by every build folder.
stamp=$({ dpkg-query -W -f '${Package} ${Version}\n' wine64 wine32:i386 2>/dev/null
          cat "$here/prefix_settings.reg" "$here/guest_prefix.sh"; } | sha256sum | cut -c1-16)
prefix_home=$prefix_cache/$stamp
exec 9>"$prefix_cache.lock"
flock 9
if [ ! -e "$prefix_home/ready" ]; then
  started=$SECONDS
  echo "making the Wine prefix in the guest (once; about 10 minutes)"
  find "$prefix_cache" -mindepth 1 -maxdepth 1 -exec rm -rf {} +
  run=$work/prefix-run
  rm -rf "$run" && mkdir -p "$run"
  cp "$here/prefix_settings.reg" "$run/settings.reg"
  echo "mode=prefix" >"$run/plan.sh"
  bounded 2500 "$here/boot_guest.sh" "$kernel_cache/vmlinux" "$work/guest/initramfs.cpio" "$run" 4096 2400 ||
    fail "the guest did not make the prefix"
  [ -s "$run/prefix.tar" ] || { tail -20 "$run/rig.log"; fail "the guest made no prefix (see $run/rig.log)"; }
  mkdir -p "$prefix_home"
  tar -C "$prefix_home" -xf "$run/prefix.tar" || fail "the prefix could not be unpacked"
  rm -rf "$run"
  # The prefix holds a copy of each of Wine's PE DLLs; Wine loads its own
  # library for such a copy, so a link to that library does as well, and
  # the cache shrinks from over a gigabyte to a tenth of that.
  for file in "$prefix_home"/prefix/drive_c/windows/{system32,syswow64}/*; do
    [ -f "$file" ] && [ ! -L "$file" ] || continue
    case $file in
      */system32/*) library=/usr/lib/x86_64-linux-gnu/wine/x86_64-windows/${file##*/} ;;
      *) library=/usr/lib/i386-linux-gnu/wine/i386-windows/${file##*/} ;;
    esac
    if [ -f "$library" ] && cmp -s "$file" "$library"; then ln -sfn "$library" "$file"; fi
  done
  touch "$prefix_home/ready"
  echo "prefix made in $((SECONDS - started)) s: $(du -sh "$prefix_home" | cut -f1)"
fi
flock -u 9

cat >"$work/setup.env" <<SETUP
kernel=$kernel_cache/vmlinux
initramfs=$work/guest/initramfs.cpio
prefix=$prefix_home/prefix
program_i686=$work/build-i686/app/wine_guest/MakeVORNDisk.exe
program_x86_64=$work/build-x86_64/app/wine_guest/MakeVORNDisk.exe
SETUP
echo "ready"
