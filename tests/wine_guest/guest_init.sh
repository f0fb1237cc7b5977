#!/bin/busybox sh
# /init of the Wine guest: loads the USB, SCSI disk, 9p and overlay drivers,
# mounts the host's root (read-only, over 9p) under a tmpfs overlay so that
# the guest runs the host's own Wine on its own kernel, mounts the results
# folder (writable, over 9p) at its host path, and runs the rig script there
# as root: vorn.rig=SCRIPT vorn.results=FOLDER on the kernel command line.
# Lines starting "VORN-" are read by the test on the host.
/bin/busybox mkdir -p /proc /sys /dev /host /rw /newroot
/bin/busybox --install -s /bin
export PATH=/bin
mount -t proc proc /proc
mount -t sysfs sysfs /sys
mount -t devtmpfs devtmpfs /dev

for module in $(cat /modules/order); do
  case $module in
    usb-storage.ko) insmod /modules/$module delay_use=0 ;;
    *) insmod /modules/$module 2>/dev/null ;;
  esac
done

rig=$(sed -n 's/.*vorn\.rig=\([^ ]*\).*/\1/p' /proc/cmdline)
results=$(sed -n 's/.*vorn\.results=\([^ ]*\).*/\1/p' /proc/cmdline)
fail() { echo "VORN-INIT-FAILED $*"; poweroff -f; }

mount -t 9p -o trans=virtio,version=9p2000.L,ro,cache=loose,msize=512000 hostroot /host || fail "host root"
mount -t tmpfs -o size=75% tmpfs /rw || fail "tmpfs"
mkdir -p /rw/upper /rw/work
mount -t overlay -o lowerdir=/host,upperdir=/rw/upper,workdir=/rw/work overlay /newroot || fail "overlay"
mount -t 9p -o trans=virtio,version=9p2000.L,msize=512000 hostresults "/newroot$results" || fail "results"
mount -t proc proc /newroot/proc
mount -t sysfs sysfs /newroot/sys
mount -t devtmpfs devtmpfs /newroot/dev
mount -t tmpfs -o size=90% tmpfs /newroot/tmp
mount -t tmpfs tmpfs /newroot/run
mkdir -p /newroot/dev/pts /newroot/dev/shm
# Process substitution and /dev/stdin need the descriptor links.
ln -sfn /proc/self/fd /newroot/dev/fd
mount -t devpts devpts /newroot/dev/pts
mount -t tmpfs tmpfs /newroot/dev/shm

echo "VORN-GUEST-UP"
chroot /newroot /usr/bin/env -i HOME=/root PATH=/usr/local/bin:/usr/bin:/bin:/usr/sbin:/sbin \
  /bin/bash "$rig" "$results"
echo "VORN-RIG-END exit=$?"
sync
umount "/newroot$results" 2>/dev/null
echo "VORN-DONE"
poweroff -f
