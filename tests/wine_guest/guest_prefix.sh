# Sourced by guest_rig.sh: making the Wine prefix inside the guest, where
# the kernel runs Wine's 32-bit half too (the host's may not). The prefix
# cache is keyed on this file, the settings and Wine's version.

make_prefix() {
  local work=/tmp/prefix-work file
  mkdir -p "$work"
  wine_env "$work"
  start_display "$work/xvfb.log" || { say "Xvfb did not start"; return 1; }
  say "wineboot"
  # wineboot's exit code says little: the prefix is judged by what it
  # holds. Under emulation its 32-bit half sometimes starts before the
  # 64-bit half has filled syswow64 ("could not load kernel32.dll") and
  # is left out; an update then adds it.
  bounded 1500 wineboot -i
  bounded 300 wineserver -w
  if [ ! -e "$WINEPREFIX/drive_c/windows/syswow64/kernel32.dll" ]; then
    say "wineboot left out the 32-bit half: updating"
    bounded 1500 wineboot -u
    bounded 300 wineserver -w
  fi
  for file in system.reg drive_c/windows/system32/kernel32.dll drive_c/windows/syswow64/kernel32.dll; do
    [ -e "$WINEPREFIX/$file" ] || { say "wineboot made no $file"; return 1; }
  done
  sed 's/$/\r/' "$results/settings.reg" | iconv -f UTF-8 -t UTF-16LE | { printf '\xff\xfe'; cat; } >"$work/settings.reg"
  bounded 300 wine reg import "$(windows_path "$work/settings.reg")" || { say "reg import failed"; return 1; }
  bounded 120 wineserver -w
  stop_wine
  say "packing"
  tar -C "$work" -cf "$results/prefix.tar" prefix && say "prefix packed"
}
