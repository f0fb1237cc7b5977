#!/bin/busybox sh
# /init of the test guest: loads the USB and SCSI disk drivers, waits for the
# stick, runs the program as the kernel command line says (vorn.run=make:
# the make and the checks after it; vorn.run=once: the make alone) and
# powers off. Lines starting "VORN-" are read by the
# test on the host.
/bin/busybox mkdir -p /proc /sys /dev /tmp /run
/bin/busybox --install -s /bin
export PATH=/bin
mount -t proc proc /proc
mount -t sysfs sysfs /sys
mount -t devtmpfs devtmpfs /dev
mount -t tmpfs tmpfs /tmp
mount -t tmpfs tmpfs /run

for module in $(cat /modules/order); do
  case $module in
    usb-storage.ko) insmod /modules/$module delay_use=0 ;;
    *) insmod /modules/$module 2>/dev/null ;;
  esac
done

run=$(sed -n 's/.*vorn\.run=\([a-z]*\).*/\1/p' /proc/cmdline)
waited=0
until [ -e /sys/block/sda ] && [ -e /dev/sda ]; do
  waited=$((waited + 1))
  if [ $waited -gt 600 ]; then echo "VORN-NO-DISK"; poweroff -f; fi  # 60 s
  sleep 0.1
done
echo "VORN-DISK removable=$(cat /sys/block/sda/removable) size=$(cat /sys/block/sda/size)"

echo "VORN-LIST-BEGIN"
makevorndisk --list
echo "VORN-LIST-END exit=$?"

case $run in
  make|once)
    makevorndisk --device /dev/sda --yes
    echo "VORN-MAKE-END exit=$?"
    ;;
  *) echo "VORN-UNKNOWN-RUN '$run'" ;;
esac

if [ "$run" = make ]; then
  # Nothing of the make may stay mounted or behind in /tmp.
  echo "VORN-LEFTOVER mounts=$(grep -c ' /dev/sda' /proc/self/mountinfo) folders=$(ls -d /tmp/makevorndisk-* 2>/dev/null | wc -l)"
  # The new volume mounts in the kernel's FAT driver; while it is mounted
  # the disk is neither listed nor written.
  mkdir -p /mnt/stick
  if mount -t vfat -o ro /dev/sda1 /mnt/stick; then
    echo "VORN-MOUNTED files=$(ls -A /mnt/stick | wc -l)"
    echo "VORN-MOUNTED-LIST-BEGIN"
    makevorndisk --list
    echo "VORN-MOUNTED-LIST-END exit=$?"
    makevorndisk --device /dev/sda --yes
    echo "VORN-MOUNTED-MAKE-END exit=$?"
    umount /mnt/stick
  else
    echo "VORN-MOUNT-FAILED"
  fi
fi
sync
echo "VORN-DONE"
poweroff -f
