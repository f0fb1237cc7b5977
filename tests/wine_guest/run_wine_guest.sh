#!/usr/bin/env bash
# The wine-guest fixture's second half: one boot of the Wine guest that runs
# every case in turn, both builds of the program, each make on a stick of
# its own (fresh sparse images), so that the checks afterwards
# (vorn_wine_guest_checks) see what each make left:
#   probe-BUILD        the channel, command by command, on a blank stick
#   fat16-BUILD        a whole make on a 2 GB-class stick (FAT16)
#   fat32-BUILD        a whole make on an 8 GB-class stick (FAT32)
#   write-fails-BUILD  a make on a stick that fails every write touching
#                      sector 0 (QEMU blkdebug), which the build's first
#                      WRITE(10) does
# Results in WORK/results/CASE/, the sticks in WORK/sticks/. CASES, when
# given, names the cases to run (all by default).
#
#   run_wine_guest.sh WORK_DIR [CASES...]
#
# Exit codes: 0 the guest ran every case, 1 failed, 77 no setup (skipped).
set -uo pipefail
work=$(cd "$1" && pwd)
shift
here=$(cd "$(dirname "$0")" && pwd)

fail() { echo "FAIL: $*"; exit 1; }
[ -e "$work/setup.env" ] || { echo "SKIP: the wine_guest_setup test prepared nothing"; exit 77; }
# shellcheck source=/dev/null
. "$work/setup.env"

# serial  sectors   blkdebug
sticks=(
  "VORN16A  3915776  -"
  "VORN32A  15663104 -"
  "VORN16B  3915776  -"
  "VORN32B  15663104 -"
  "VORNBAD  3915776  write-fails.conf"
)
# case  build  stick  mode
cases=(
  "probe-i686          i686    VORN16A  probe"
  "fat16-i686          i686    VORN16A  make"
  "fat32-i686          i686    VORN32A  make"
  "write-fails-i686    i686    VORNBAD  make"
  "probe-x86_64        x86_64  VORN16B  probe"
  "fat16-x86_64        x86_64  VORN16B  make"
  "fat32-x86_64        x86_64  VORN32B  make"
  "write-fails-x86_64  x86_64  VORNBAD  make"
)
if [ $# -gt 0 ]; then
  chosen=()
  for line in "${cases[@]}"; do
    for name in "$@"; do [ "${line%% *}" = "$name" ] && chosen+=("$line"); done
  done
  cases=("${chosen[@]}")
fi
case_limit=600  # seconds for one program's run
guest_limit=3000

results=$work/results
rm -rf "$results" "$work/sticks"
mkdir -p "$results" "$work/sticks"
# Every write that touches sector 0 fails with EIO: the stick answers it
# with CHECK CONDITION.
printf '[inject-error]\nevent = "write_aio"\nerrno = "5"\nsector = "0"\n' >"$work/sticks/write-fails.conf"
stick_args=()
for stick in "${sticks[@]}"; do
  read -r serial sectors blkdebug <<<"$stick"
  image=$work/sticks/$serial.img
  truncate -s $((sectors * 512)) "$image" || fail "no image $image"
  if [ "$blkdebug" = - ]; then
    stick_args+=("$serial=$image")
  else
    stick_args+=("$serial=$image=$work/sticks/$blkdebug")
  fi
done

{
  echo "mode=cases"
  echo "prefix=$prefix"
  echo "program_i686=$program_i686"
  echo "program_x86_64=$program_x86_64"
  echo "case_limit=$case_limit"
  printf 'cases=(\n'
  printf '  "%s"\n' "${cases[@]}"
  printf ')\n'
} >"$results/plan.sh"

started=$SECONDS
"$here/boot_guest.sh" "$kernel" "$initramfs" "$results" 2048 "$guest_limit" "${stick_args[@]}" || fail "the guest run failed"
echo "the guest ran the cases in $((SECONDS - started)) s"
tail -40 "$results/rig.log"
