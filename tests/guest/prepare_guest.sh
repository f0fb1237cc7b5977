#!/usr/bin/env bash
# Prepares a Linux guest of the real-disk tests: the distribution's generic
# amd64 kernel (decompressed, booted through its PVH entry), the modules for
# a USB stick on xHCI with SCSI disk, sg and vfat, a static busybox, and an
# initramfs holding them with the init script and, when given, the program
# under test. With --host-root the initramfs also gets the modules that
# mount the host's root over 9p (virtio) under a tmpfs overlay, for guests
# that run the host's own programs (Wine).
# Packages are downloaded and unpacked, never installed; the unpacked kernel
# and the modules of both kinds of guest are kept in CACHE_DIR, shared by
# every build folder, so that later runs only rebuild the initramfs.
#
# usage: prepare_guest.sh CACHE_DIR OUT_DIR INIT_SCRIPT [--program FILE] [--host-root]
set -euo pipefail

cache=$1 out=$2 init_script=$3
shift 3
program="" host_root=false
while [ $# -gt 0 ]; do
  case $1 in
    --program) program=$2; shift 2 ;;
    --host-root) host_root=true; shift ;;
    *) echo "prepare_guest.sh: unknown option $1" >&2; exit 2 ;;
  esac
done
export PATH="$PATH:/usr/sbin:/sbin"  # depmod and modprobe, for users without them in PATH
stick_modules=(xhci-pci usb-storage uas sd_mod sg vfat nls_cp437 nls_iso8859-1 nls_ascii nls_utf8)
host_root_modules=(virtio_pci 9pnet_virtio 9p overlay)
cached_modules=("${stick_modules[@]}" "${host_root_modules[@]}")
wanted_modules=("${stick_modules[@]}")
if $host_root; then wanted_modules+=("${host_root_modules[@]}"); fi

say() { echo "guest: $*"; }
mkdir -p "$cache" "$out"
cache=$(cd "$cache" && pwd)

# Build folders share the cache: one of them fills it, the others wait.
exec 9>"$cache.lock"
flock 9

# The cache is ready when it holds the closure of every module of both kinds.
if [ "$(cat "$cache/ready" 2>/dev/null)" != "${cached_modules[*]}" ]; then
  rm -f "$cache/ready"
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
  rm -rf "$cache/modules" && mkdir -p "$cache/modules/closure"
  # Per module, the files it needs in load order (its own last); nothing
  # for a module built into the kernel.
  for module in "${cached_modules[@]}"; do
    depends=$(modprobe -d "$cache/root" -S "$version" --show-depends "$module") ||
      { echo "guest: no module $module in kernel $version" >&2; exit 1; }
    awk '$1 == "insmod" {print $2}' <<<"$depends" | while read -r path; do
      cp "$path" "$cache/modules/"
      basename "$path"
    done >"$cache/modules/closure/$module"
  done
  cp "$cache/busybox-root/bin/busybox" "$cache/busybox"
  # The unpacked trees are large and no longer needed.
  rm -rf "$cache/root" "$cache/busybox-root" "$cache/debs"
  echo "${cached_modules[*]}" >"$cache/ready"
fi
flock -u 9

say "initramfs${program:+ with $(basename "$program")}"
staging="$out/initramfs-root"
rm -rf "$staging"
mkdir -p "$staging/bin" "$staging/modules"
cp "$cache/busybox" "$staging/bin/busybox"
# The wanted modules' closures, each file once, in an order that loads
# every module after the ones it needs.
for module in "${wanted_modules[@]}"; do cat "$cache/modules/closure/$module"; done |
  awk '!seen[$0]++' >"$staging/modules/order"
while read -r file; do cp "$cache/modules/$file" "$staging/modules/"; done <"$staging/modules/order"
if [ -n "$program" ]; then
  cp "$program" "$staging/bin/makevorndisk"
  chmod 755 "$staging/bin/makevorndisk"
fi
cp "$init_script" "$staging/init"
chmod 755 "$staging/init" "$staging/bin/busybox"
(cd "$staging" && find . | LC_ALL=C sort | cpio -o -H newc --quiet) > "$out/initramfs.cpio"

rm -rf "$staging"
say "ready: $cache/vmlinux $out/initramfs.cpio"
