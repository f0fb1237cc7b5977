#!/usr/bin/env bash
# Checks what packaging/make-packages made, as a user would meet it.
# The Debian package: lintian finds no error; its files unpack into a
# scratch root, where the program tells its version and makes an image;
# the manual page renders without warnings and names every option of
# --help; the bash completion offers the options and their values; the
# dependencies name mtools and the C++ runtime. The Windows zip: exactly the
# listed files, the checksums match, each program is the one its folder
# names (32- or 64-bit) and carries its manifest and payload, and the guide
# and licence are there with Windows line ends.
# Usage: check_packages.sh PACKAGE_DIR
set -euo pipefail
here="$(cd "$(dirname "$0")/../.." && pwd)"
packages="$(cd "$1" && pwd)"
fail() { echo "check_packages: $*" >&2; exit 1; }
pass() { echo "check_packages: $*"; }

version="$(sed -n 's/^project(MakeVORNDisk VERSION \([0-9.]*\).*/\1/p' "$here/CMakeLists.txt")"
[ -n "$version" ] || fail "no project version in CMakeLists.txt"
arch="$(dpkg --print-architecture)"
deb="$packages/makevorndisk_${version}_${arch}.deb"
zip="$packages/MakeVORNDisk-${version}-windows.zip"
[ -f "$deb" ] || fail "$deb is missing"
[ -f "$zip" ] || fail "$zip is missing"

scratch="$(mktemp -d)"
trap 'rm -rf "$scratch"' EXIT

# ---- The Debian package ------------------------------------------------
# lintian warns when run as root; it is not a finding about the package.
lintian_log="$scratch/lintian.log"
if ! timeout 600 lintian --fail-on error "$deb" >"$lintian_log" 2>&1; then
  cat "$lintian_log" >&2
  fail "lintian reports errors in $(basename "$deb")"
fi
grep -E '^[WEI]: ' "$lintian_log" || true
pass "lintian: no error"

depends="$(dpkg-deb -f "$deb" Depends)"
for needed in mtools libc6 libstdc++6; do
  tr ',' '\n' <<<"$depends" | awk '{print $1}' | grep -qxF "$needed" || fail "Depends lacks $needed: $depends"
done

root="$scratch/root"
dpkg -x "$deb" "$root"
program="$root/usr/bin/makevorndisk"
man_page="$root/usr/share/man/man1/makevorndisk.1.gz"
completion="$root/usr/share/bash-completion/completions/makevorndisk"
for file in "$program" "$man_page" "$completion" \
    "$root/usr/share/doc/makevorndisk/copyright" "$root/usr/share/doc/makevorndisk/changelog.gz"; do
  [ -f "$file" ] || fail "the package lacks ${file#"$root"}"
done

[ "$("$program" --version)" = "makevorndisk $version" ] || fail "--version says '$("$program" --version)'"
image="$scratch/made.img"
if ! (cd "$scratch" && timeout 300 "$program" --image "$image" --sectors 65536 --yes >"$scratch/make.log" 2>&1); then
  tail -20 "$scratch/make.log" >&2
  fail "the packaged program did not make an image"
fi
mdir -i "$image@@$(( $("$program" --print-layout --sectors 65536 | sed -n 's/^partition_start: //p') * 512 ))" ::ISP.BAT \
    >/dev/null || fail "the image the packaged program made has no ISP.BAT"
pass "the packaged program runs: --version and a make of an image"

warnings="$(MANWIDTH=80 man --warnings -l "$man_page" 2>&1 >/dev/null)"
[ -z "$warnings" ] || fail "man reports warnings: $warnings"
rendered="$(MANWIDTH=80 man -l "$man_page" 2>/dev/null | col -b)"
for section in NAME SYNOPSIS DESCRIPTION TARGETS OPTIONS "SAFETY RULES OF --device" "EXIT STATUS" \
    ENVIRONMENT FILES EXAMPLES; do
  grep -qx "$section" <<<"$rendered" || fail "the manual page has no $section section"
done
grep -q "MakeVORNDisk $version" <<<"$rendered" || fail "the manual page does not name version $version"
options="$("$program" --help | grep -oE -- '--[a-z][a-z-]*' | sort -u)"
[ -n "$options" ] || fail "--help names no option"
for option in $options; do
  grep -qE -- "(^|[^a-z-])$option([^a-z-]|$)" <<<"$rendered" || fail "the manual page lacks $option"
done
# Every exit code the program has (cli/exit_codes.h), in the manual page and
# in --help; the interrupted codes are one entry, 128+N.
codes="$(sed -n 's/^inline constexpr int kExit[A-Za-z]* = \([0-9]*\);.*/\1/p' "$here/cli/exit_codes.h")"
[ -n "$codes" ] || fail "no exit codes in cli/exit_codes.h"
help="$("$program" --help)"
for code in $codes; do
  [ "$code" = 128 ] && code='128\+N'
  grep -qE "^ +$code +[A-Z]" <<<"$rendered" || fail "the manual page lacks exit code $code"
  grep -qE "^ +$code +[a-z]" <<<"$help" || fail "--help lacks exit code $code"
done
pass "the manual page renders without warnings and names every option and exit code"

# What the completion offers for the words typed so far (the last one is
# being completed), as bash splits them (an equals sign is a word of its own).
complete_words() {
  bash -c 'source "$1"; shift; COMP_WORDS=("$@"); COMP_CWORD=$(( $# - 1 ));
           _makevorndisk; printf "%s\n" "${COMPREPLY[@]}" | sort | tr "\n" " "' \
    complete "$completion" makevorndisk "$@"
}
expect_completion() {  # expected words (space-separated), then the words typed
  local expected="$1"; shift
  local got; got="$(complete_words "$@")"
  [ "$got" = "$expected " ] || fail "completing '$*' offers '$got', not '$expected'"
}
all_options="$(tr '\n' ' ' <<<"$options")"
expect_completion "${all_options% }" ""
expect_completion "--mode" "--mo"
expect_completion "--sectors --size" "--s"
expect_completion "0 1 2" "--print-layout" "--mode" ""
expect_completion "0 1 2" "--mode" "=" ""
expect_completion "1" "--mode" "=" "1"
expect_completion "2G 2GB" "--size" "2"
(cd "$scratch" && touch made-too.img && expect_completion "made-too.img made.img" "--image" "made")
pass "the bash completion offers the options and their values"

# ---- The Windows zip ---------------------------------------------------
top="MakeVORNDisk-${version}-windows"
expected_files="$(printf '%s\n' "$top/LICENSE.txt" "$top/README.txt" "$top/SHA256SUMS" \
  "$top/for-32-bit-Windows/MakeVORNDisk.exe" "$top/for-64-bit-Windows/MakeVORNDisk.exe")"
listed="$(unzip -Z1 "$zip" | grep -v '/$' | sort)"
[ "$listed" = "$expected_files" ] || fail "the zip holds:
$listed
not:
$expected_files"
unzip -q "$zip" -d "$scratch/zip"
folder="$scratch/zip/$top"
(cd "$folder" && sha256sum --quiet -c SHA256SUMS) || fail "the zip's checksums do not match"
[ "$(wc -l <"$folder/SHA256SUMS")" -eq 4 ] || fail "SHA256SUMS does not cover the four other files"

# The PE header names the machine a program is for: the offset of the
# "PE\0\0" signature is at 0x3c, the machine field follows the signature.
readonly kPeOffsetField=60   # 0x3c, a 32-bit offset
readonly kMachineI386=014c   # IMAGE_FILE_MACHINE_I386
readonly kMachineAmd64=8664  # IMAGE_FILE_MACHINE_AMD64
machine() {
  local pe; pe=$(od -An -t u4 -j "$kPeOffsetField" -N 4 "$1" | tr -d ' ')
  od -An -t x2 -j $(( pe + 4 )) -N 2 "$1" | tr -d ' '
}
[ "$(machine "$folder/for-32-bit-Windows/MakeVORNDisk.exe")" = "$kMachineI386" ] ||
  fail "for-32-bit-Windows/MakeVORNDisk.exe is not a 32-bit x86 program"
[ "$(machine "$folder/for-64-bit-Windows/MakeVORNDisk.exe")" = "$kMachineAmd64" ] ||
  fail "for-64-bit-Windows/MakeVORNDisk.exe is not a 64-bit x86 program"
for exe in "$folder"/for-*-bit-Windows/MakeVORNDisk.exe; do
  "$here/tests/windows/check_program.sh" "$exe" >/dev/null
done

for text in README.txt LICENSE.txt; do
  [ "$(grep -c $'\r$' "$folder/$text")" -eq "$(wc -l <"$folder/$text")" ] ||
    fail "$text has lines without a CRLF line end"
done
diff <(tr -d '\r' <"$folder/LICENSE.txt") "$here/LICENSE" >/dev/null || fail "LICENSE.txt is not the licence"
guide="$(tr -d '\r' <"$folder/README.txt")"
for needed in "MakeVORNDisk $version" "EVERYTHING ON THE DRIVE IS LOST" "administrator rights" \
    'for-32-bit-Windows\MakeVORNDisk.exe' 'for-64-bit-Windows\MakeVORNDisk.exe' \
    "stand-ins" "VORN_PAYLOAD_SOURCE_DIR" "SHA256SUMS"; do
  grep -qF -- "$needed" <<<"$guide" || fail "the guide does not say '$needed'"
done
grep -q '@' <<<"$guide" && fail "the guide has an unfilled @...@ field"
pass "the zip holds both programs, the guide, the licence and matching checksums"
