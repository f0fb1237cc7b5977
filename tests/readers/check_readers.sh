#!/usr/bin/env bash
# Independent readers accept a written layout.
#
# check_readers.sh TOOL MAKEVORNDISK WORKDIR SECTORS MODE LABEL
#
# Writes a sparse image of SECTORS sectors with TOOL (vorn_write_layout_image),
# then checks it with dosfstools and mtools:
#   - fsck.fat -n, on a sparse copy of the partition, finds nothing to repair
#     and counts the clusters that `makevorndisk --print-layout` states;
#   - fatlabel reads the root directory's label;
#   - minfo and mdir (mtools, at the partition's offset) read the boot sector
#     and the root directory, label included.
set -euo pipefail

tool=$1 makevorndisk=$2 work=$3 sectors=$4 mode=$5 label=$6

fail() { echo "FAIL: $*" >&2; exit 1; }

rm -rf "$work"
mkdir -p "$work"
image=$work/disk.img
partition=$work/partition.img

placement=$("$tool" "$image" "$sectors" --mode "$mode" --label "$label")
field() { sed -n "s/^$1: //p" <<<"$placement"; }
offset=$(field partition_offset)
partition_bytes=$(field partition_bytes)
used_bytes=$(field used_bytes)
[ -n "$offset" ] && [ -n "$partition_bytes" ] && [ -n "$used_bytes" ] || fail "tool printed: $placement"
[ $((offset + partition_bytes)) -le $((sectors * 512)) ] || fail "partition beyond the image"

layout=$("$makevorndisk" --print-layout --sectors "$sectors" --mode "$mode")
clusters=$(sed -n 's/^clusters: //p' <<<"$layout")
type=$(sed -n 's/^type: //p' <<<"$layout")

# fsck.fat has no offset option: give it the partition alone, at its full
# size, with only the written head copied in (the rest stays a hole).
truncate -s "$partition_bytes" "$partition"
dd if="$image" of="$partition" bs=512 skip=$((offset / 512)) count=$((used_bytes / 512)) \
   conv=notrunc status=none

fsck_output=$(fsck.fat -n "$partition" 2>&1) || fail "fsck.fat -n: $fsck_output"
# Besides its banner and summary, fsck.fat may only note that the FSInfo
# free count is not filled in (0xFFFFFFFF, "not known").
unexpected=$(grep -vE '^fsck\.fat [0-9.]+ |^Free cluster summary uninitialized |^'"$partition"': [0-9]+ files, ' \
             <<<"$fsck_output" || true)
[ -z "$unexpected" ] || fail "fsck.fat -n reports: $fsck_output"
grep -qE "^$partition: [0-9]+ files, [0-9]+/$clusters clusters\$" <<<"$fsck_output" \
  || fail "fsck.fat counts other than $clusters clusters: $fsck_output"

trimmed=$(sed -E 's/^[[:space:]]+//; s/[[:space:]]+$//' <<<"$label")
trimmed=${trimmed:0:11}
read_label=$(fatlabel "$partition" 2>&1) || fail "fatlabel: $read_label"
if [ -n "$trimmed" ]; then
  [ "$read_label" = "$trimmed" ] || fail "fatlabel reads '$read_label', expected '$trimmed'"
fi

export MTOOLSRC=/dev/null  # no user or site drive settings
minfo_output=$(minfo -i "$image@@$offset" :: 2>&1) || fail "minfo: $minfo_output"
padded=$(printf '%-11s' "${trimmed:-NO NAME}")
grep -qF "disk label=\"$padded\"" <<<"$minfo_output" || fail "minfo shows another label: $minfo_output"
grep -qF "disk type=\"$type   \"" <<<"$minfo_output" || fail "minfo shows another type: $minfo_output"

mdir_output=$(mdir -i "$image@@$offset" :: 2>&1) || fail "mdir: $mdir_output"
if [ -n "$trimmed" ]; then
  grep -qF " Volume in drive : is $trimmed" <<<"$mdir_output" || fail "mdir shows another label: $mdir_output"
else
  grep -qF " Volume in drive : has no label" <<<"$mdir_output" || fail "mdir shows a label: $mdir_output"
fi
grep -qF "No files" <<<"$mdir_output" || fail "mdir finds files: $mdir_output"

echo "ok: $sectors sectors, mode $mode, $type, $clusters clusters, label '$trimmed'"
rm -rf "$work"
