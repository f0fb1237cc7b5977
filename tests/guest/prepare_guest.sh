#!/usr/bin/env bash
# Prepares the Linux guest of the real-disk tests: the distribution's generic
# amd64 kernel (decompressed, booted through its PVH entry), the modules for
# a USB stick on xHCI with SCSI disk, sg and vfat, a static busybox, and an
# initramfs holding them with the init script and the program under test.
# Packages are downloaded and unpacked, never installed; the unpacked kernel
# is kept in CACHE_DIR so that later runs only rebuild the initramfs.
#
# usage: prepare_guest.sh CACHE_DIR OUT_DIR PROGRAM INIT_SCRIPT
set -euo pipefail

cache=$1 out=$2 program=$3 init_script=$4
export PATH="$PATH:/usr/sbin:/sbin"  # depmod and modprobe, for users without them in PATH
modules=(xhci-pci usb-storage uas sd_mod sg vfat nls_cp437 nls_iso8859-1 nls_ascii nls_utf8)

say() { echo "guest: $*"; }
mkdir -p "$cache" "$out"
cache=$(cd "$cache" && pwd)

# Build folders share the cache: one of them fills it, the others wait.
exec 9>"$cache.lock"
flock 9

if [ ! -f "$cache/ready" ]; then
  rm -rf "$cache/debs" "$cache/root" "$cache/busybox-root"
  mkdir -p "$cache/debs"
  kernel_package=$(apt-cache depends linux-image-amd64 | awk '/Depends: linux-image-[0-9]/ {print $2; exit}')
  [ -n "$kernel_package" ] || { echo "guest: no generic amd64 kernel package is known to apt" >&2; exit 1; }
  say "downloading $kernel_package and busybox-static"
  (cd "$cache/debs" && apt-get download -qq "$kernel_package" busybox-static 2>&1 | grep -v '^W: Download is performed unsandboxed' || true)
  ls "$cache"/debs/linux-image-*.deb "$cache"/debs/busybox-static_*.deb >/dev/null
  say "unpacking"
  dpkg-deb -x "$cache"/debs/linux-image-*.deb "$cache/root"
  dpkg-deb -x "$cache"/debs/busybox-static_*.deb "$cache/busybox-root"
  version=$(basename "$(ls -d "$cache"/root/lib/modules/*)")

  # The bzImage carries the kernel as an XZ stream; the ELF inside has a PVH
  # entry, so QEMU boots it without the slow decompression under TCG.
  vmlinuz="$cache/root/boot/vmlinuz-$version"
  offset=$(LC_ALL=C grep -obUaP '\xfd7zXZ\x00' "$vmlinuz" | head -1 | cut -d: -f1)
  [ -n "$offset" ] || { echo "guest: no XZ payload in $vmlinuz" >&2; exit 1; }
  tail -c +$((offset + 1)) "$vmlinuz" | xz -dc > "$cache/vmlinux" 2>/dev/null || true
  [ "$(head -c 4 "$cache/vmlinux" | od -An -tx1 | tr -d ' ')" = 7f454c46 ] ||
    { echo "guest: the decompressed kernel is not an ELF file" >&2; exit 1; }

  say "module closure for kernel $version"
  depmod -b "$cache/root" "$version"
  rm -rf "$cache/modules" && mkdir -p "$cache/modules"
  for module in "${modules[@]}"; do
    modprobe -d "$cache/root" -S "$version" --show-depends "$module" | awk '$1 == "insmod" {print $2}'
  done | awk '!seen[$0]++' | while read -r path; do
    cp "$path" "$cache/modules/"
    basename "$path" >> "$cache/modules/order"
  done
  cp "$cache/busybox-root/bin/busybox" "$cache/busybox"
  # The unpacked trees are large and no longer needed.
  rm -rf "$cache/root" "$cache/busybox-root" "$cache/debs"
  touch "$cache/ready"
fi
flock -u 9

say "initramfs with $(basename "$program")"
staging="$out/initramfs-root"
rm -rf "$staging"
mkdir -p "$staging/bin" "$staging/modules"
cp "$cache/busybox" "$staging/bin/busybox"
cp "$cache"/modules/* "$staging/modules/"
cp "$program" "$staging/bin/makevorndisk"
cp "$init_script" "$staging/init"
chmod 755 "$staging/init" "$staging/bin/busybox" "$staging/bin/makevorndisk"
(cd "$staging" && find . | LC_ALL=C sort | cpio -o -H newc --quiet) > "$out/initramfs.cpio"

rm -rf "$staging"
say "ready: $cache/vmlinux $out/initramfs.cpio"
