#!/bin/bash
# The rig inside the Wine guest, run by its init as root in the overlay of
# the host's root: the host's Wine on the guest's own kernel, the sticks as
# usb-storage disks. RESULTS/plan.sh (written by run_wine_guest.sh) says
# what to do:
#   mode=prefix  make a Wine prefix (wineboot, the settings), replace its
#                copies of Wine's own DLLs with links to them, and pack it
#                into RESULTS/prefix.tar for the cache
#   mode=cases   run the plan's cases one after the other in one Wine
#                session: each points E: at a stick (dosdevices/e:: is the
#                whole disk, e: an empty folder), starts the test variant
#                and plays the system's part where Wine has none: the
#                stick's disk paths (\\.\PhysicalDrive1 and its disk
#                interface, dosdevices links to the whole disk); when the
#                program asks for the device restart, the disk is deleted
#                and rescanned; when it asks for the partition table to be
#                read again (IOCTL_DISK_UPDATE_PROPERTIES), the kernel
#                re-reads it; either way the new first partition is then
#                mounted where e: points and the links follow the disk;
#                then the program goes on
# Per case RESULTS/NAME/ gets program.out (the program's report),
# program.rc, rig.txt (what the rig did) and, after a make, what the
# kernel's FAT driver shows of the new volume.
#
#   guest_rig.sh RESULTS
set -uo pipefail
results=$1
here=$(dirname "$0")
# shellcheck source=/dev/null
. "$results/plan.sh"
# shellcheck source=../wine/wine_env.sh
. "$here/../wine/wine_env.sh"
# shellcheck source=guest_prefix.sh
. "$here/guest_prefix.sh"
exec >>"$results/rig.log" 2>&1
say() { echo "$(date +%T) $*"; }

# The block device (sda, sdb, ...) of the stick with this USB serial number.
stick_device() {
  local serial_file block
  for serial_file in /sys/bus/usb/devices/*/serial; do
    [ "$(cat "$serial_file")" = "$1" ] || continue
    for block in "$(dirname "$serial_file")"/*/host*/target*/*/block/*; do
      [ -e "$block" ] && { basename "$block"; return 0; }
    done
  done
  return 1
}

# Waits up to LIMIT seconds for the stick's block device and, with a
# second argument, for its first partition's node.
wait_for_stick() {
  local serial=$1 partition=${2:-} limit=${3:-60} device until=$((SECONDS + ${3:-60}))
  while [ "$SECONDS" -lt "$until" ]; do
    if device=$(stick_device "$serial") && [ -e "/dev/$device" ] &&
       { [ -z "$partition" ] || [ -e "/dev/${device}1" ]; }; then
      echo "$device"
      return 0
    fi
    sleep 0.1
  done
  return 1
}

# The stick's disk interface path as the rig's registry gives it
# (stick_registry.reg), as a dosdevices name: Wine opens \\?\NAME and
# \\.\NAME through the link dosdevices/name (lower case).
interface_link=$(printf '%s' 'USBSTOR#DISK&VEN_QEMU&PROD_QEMU_HARDDISK&REV_2.5+#VORN-STICK&0#{53f56307-b6bf-11d0-94f2-00a0c91efb8b}' |
  tr '[:upper:]' '[:lower:]')

# E:'s folder, where every case's new partition is mounted.
e_folder=/mnt/e

# Points E:'s device and the stick's disk paths at DEVICE.
link_stick() {
  local device=$1 link
  for link in e:: physicaldrive1 "$interface_link"; do
    ln -sfn "/dev/$device" "$WINEPREFIX/dosdevices/$link"
  done
}

# Mounts the new first partition of the stick with SERIAL at e:'s folder
# once the kernel has it, and points the links at the disk; STEP names what
# was played in rig.txt.
mount_new_partition() {
  local name=$1 serial=$2 folder=$3 step=$4 old=$5 new
  if ! new=$(wait_for_stick "$serial" partition 30); then
    echo "$step-NO-PARTITION" >>"$results/$name/rig.txt"
    return 1
  fi
  link_stick "$new"
  # The build's writes went past the page cache (SG_IO): what the disk's
  # cache kept of it before is dropped, so that reads see the new sectors.
  blockdev --flushbufs "/dev/$new" || echo "$step-FLUSH-FAILED" >>"$results/$name/rig.txt"
  if mount -t vfat -o shortname=winnt "/dev/${new}1" "$folder"; then
    echo "$step-PLAYED $old $new mounted" >>"$results/$name/rig.txt"
  else
    echo "$step-PLAYED $old $new mount-failed" >>"$results/$name/rig.txt"
  fi
}

# Plays the device restart of case NAME whose stick has SERIAL: delete the
# SCSI disk, rescan its host, mount the new first partition.
play_restart() {
  local name=$1 serial=$2 folder=$3 device host
  device=$(stick_device "$serial") || { echo "RESTART-NO-DEVICE" >>"$results/$name/rig.txt"; return 1; }
  host=$(readlink -f "/sys/block/$device/device" | grep -o 'host[0-9]*' | tail -1)
  echo 1 >"/sys/block/$device/device/delete"
  echo "- - -" >"/sys/class/scsi_host/$host/scan"
  mount_new_partition "$name" "$serial" "$folder" RESTART "$device"
}

# Plays the partition table re-read: the kernel reads the stick's table
# again, then the new first partition is mounted.
play_reread() {
  local name=$1 serial=$2 folder=$3 device
  device=$(stick_device "$serial") || { echo "REREAD-NO-DEVICE" >>"$results/$name/rig.txt"; return 1; }
  blockdev --rereadpt "/dev/$device" || echo "REREAD-FAILED" >>"$results/$name/rig.txt"
  mount_new_partition "$name" "$serial" "$folder" REREAD "$device"
}

# One case: NAME BUILD SERIAL MODE (make or probe).
run_case() {
  local name=$1 build=$2 serial=$3 mode=$4
  local out=$results/$name folder=$e_folder sync=/tmp/sync-$name program device key value
  local played="" reread="" done_shot=""
  local program_variable=program_$build
  program=${!program_variable}
  mkdir -p "$out" "$folder" "$sync"
  : >"$out/rig.txt"
  device=$(wait_for_stick "$serial") || { echo "NO-STICK $serial" >>"$out/rig.txt"; return; }
  link_stick "$device"
  say "case $name: $build, $mode on $device"
  : >"$out/program.out"
  ( VORN_WINE_SYNC_DIR=$(windows_path "$sync") bounded "$case_limit" wine "$program" "$mode" "$name" \
      >"$out/program.out" 2>"$out/program.err"
    echo $? >"$out/program.rc" ) &
  local pid=$! deadline=$((SECONDS + case_limit + 10))
  while [ ! -e "$out/program.rc" ] && [ "$SECONDS" -lt "$deadline" ]; do
    while read -r key value; do
      case $key in
        RESTART)
          case " $played " in *" ${value%% *} "*) continue ;; esac
          played="$played ${value%% *}"
          play_restart "$name" "$serial" "$folder"
          touch "$sync/restart-${value%% *}.done" ;;
        REREAD)
          case " $reread " in *" ${value%% *} "*) continue ;; esac
          reread="$reread ${value%% *}"
          play_reread "$name" "$serial" "$folder"
          touch "$sync/reread-${value%% *}.done" ;;
        SHOT)
          [ -n "$done_shot" ] && continue
          done_shot=1
          touch "$sync/$name.done" ;;
      esac
    done < <(tr -d '\r' <"$out/program.out" | grep -E '^(RESTART|REREAD|SHOT) ')
    sleep 0.2
  done
  wait "$pid"
  say "case $name ended: $(cat "$out/program.rc" 2>/dev/null)"
  if mountpoint -q "$folder"; then
    # What the kernel's FAT driver shows, then the volume unmounted so that
    # everything is on the stick before the guest ends.
    ls -la "$folder" >"$out/mounted-files.txt" 2>&1
    umount "$folder" || echo "UMOUNT-FAILED" >>"$out/rig.txt"
  fi
  sync
}

run_cases() {
  local work=/tmp/wine-work line serial_file
  mkdir -p "$work"
  wine_env "$work"
  export WINEPREFIX=$prefix
  start_display "$work/xvfb.log" || { say "Xvfb did not start"; return 1; }
  for serial_file in /sys/bus/usb/devices/*/serial; do
    say "usb $(basename "$(dirname "$serial_file")") serial $(cat "$serial_file") disk $(stick_device "$(cat "$serial_file")")"
  done
  # One Wine session for every case: the server and Wine's own processes
  # stay, so each program starts quicker.
  # Wine's mount manager takes its drive letters from dosdevices when it
  # starts: E: and its device are there before, each case points the
  # device at its own stick.
  mkdir -p "$e_folder"
  ln -sfn "$e_folder" "$WINEPREFIX/dosdevices/e:"
  local first_serial
  read -r _ _ first_serial _ <<<"${cases[0]}"
  link_stick "$(wait_for_stick "$first_serial")"
  # What Windows keeps of the stick and Wine does not make, into the
  # prefix (the guest's overlay copy) before Wine reads it.
  tail -n +2 "$here/stick_registry.reg" >>"$WINEPREFIX/system.reg"
  bounded 60 wineserver -p
  say "waiting for Wine's desktop"
  bounded 400 wine "$program_i686" desktop >"$results/desktop.out" 2>&1
  say "desktop: $(cat "$results/desktop.out")"
  for line in "${cases[@]}"; do
    # shellcheck disable=SC2086
    run_case $line
  done
  stop_wine
  dmesg >"$results/dmesg.txt"
}

say "rig: mode $mode"
case $mode in
  prefix) make_prefix ;;
  cases) run_cases ;;
  *) say "unknown mode $mode" ;;
esac
say "rig: end"
