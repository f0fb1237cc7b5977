#!/usr/bin/env bash
# Boots the Wine guest once: the distribution's kernel with the initramfs of
# guest_init.sh, the host's root shared read-only over 9p, RESULTS shared
# writable, and one usb-storage stick (removable=on) per STICK argument,
# SERIAL=IMAGE or SERIAL=IMAGE=BLKDEBUG_CONFIG (writes through QEMU's
# blkdebug driver, which injects the errors the file names). The rig reads
# RESULTS/plan.sh. The serial console goes to RESULTS/console.txt.
#
#   boot_guest.sh KERNEL INITRAMFS RESULTS MEMORY_MB LIMIT_SECONDS [STICK...]
set -uo pipefail
kernel=$1 initramfs=$2 results=$3 memory=$4 limit=$5
shift 5
rig=$(cd "$(dirname "$0")" && pwd)/guest_rig.sh

# Eight USB 2 ports; the sticks are told apart by their serial numbers.
args=(-accel tcg -cpu max,smap=off -smp 2 -m "$memory" -display none -no-reboot -nic none -monitor none
      -serial "file:$results/console.txt"
      -kernel "$kernel" -initrd "$initramfs"
      -append "console=ttyS0 quiet panic=-1 vorn.rig=$rig vorn.results=$results"
      -virtfs local,path=/,mount_tag=hostroot,security_model=none,readonly=on,multidevs=remap
      -virtfs "local,path=$results,mount_tag=hostresults,security_model=none,multidevs=remap"
      -device qemu-xhci,id=hc,p2=8,p3=8)
number=0
for stick in "$@"; do
  IFS='=' read -r serial image blkdebug <<<"$stick"
  file=$image
  [ -z "$blkdebug" ] || file="blkdebug:$blkdebug:$image"
  number=$((number + 1))
  args+=(-drive "if=none,id=stick$number,file=$file,format=raw"
         -device "usb-storage,bus=hc.0,drive=stick$number,removable=on,serial=$serial")
done

rm -f "$results/console.txt"
timeout -k 10 "$limit" qemu-system-x86_64 "${args[@]}" >"$results/qemu.log" 2>&1
status=$?
grep -q '^VORN-DONE' "$results/console.txt" 2>/dev/null || {
  echo "the guest did not finish (QEMU exit $status):"
  tail -20 "$results/console.txt" "$results/qemu.log" 2>/dev/null
  exit 1
}
