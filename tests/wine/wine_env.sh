# Shared by the Wine test scripts (sourced): the environment of the one
# prefix the tests share, bounded calls, a virtual X display of the test's
# own, and the clean-up that leaves no Wine or X process behind.
#
#   wine_env WORK    sets WINEPREFIX and the rest for the prefix in WORK

wine_env() {
  wine_work=$1
  export WINEPREFIX=$1/prefix WINEARCH=win64 WINEDEBUG=-all LC_ALL=C.UTF-8
  # No Mono or Gecko (their installers would wait for a click), and no
  # menu entries or file associations written outside the prefix.
  export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
  wine_64_bit_loader_if_needed
}

# Once wine32 is installed, the wine command starts Wine's 32-bit loader,
# which a kernel without 32-bit support (no IA32 emulation) cannot run: on
# such a host, wine and wineboot are made to start the 64-bit loader, which
# runs the x86_64 programs.
wine_64_bit_loader_if_needed() {
  local loader32=/usr/lib/wine/wine loader64=/usr/lib/wine/wine64
  [ -x "$loader32" ] && [ -x "$loader64" ] || return 0
  "$loader32" --version >/dev/null 2>&1 && return 0
  mkdir -p "$wine_work/bin"
  printf '#!/bin/sh\nexec %s "$@"\n' "$loader64" >"$wine_work/bin/wine"
  printf '#!/bin/sh\nexec %s wineboot "$@"\n' "$loader64" >"$wine_work/bin/wineboot"
  chmod 755 "$wine_work/bin/wine" "$wine_work/bin/wineboot"
  case ":$PATH:" in *":$wine_work/bin:"*) ;; *) export PATH="$wine_work/bin:$PATH" ;; esac
  export WINELOADER=$loader64
}

# bounded SECONDS COMMAND...: TERM at the limit, KILL five seconds later.
bounded() {
  local limit=$1
  shift
  timeout -k 5 "$limit" "$@"
}

# The Windows path of a Linux path (Wine's drive Z: is the root), without
# starting Wine for it.
windows_path() {
  local path=$1
  printf 'Z:%s' "${path//\//\\}"
}

xvfb_pid=""
# start_display LOG: an X server on a display number it picks itself, so
# that tests running side by side never share one (after wine_env).
start_display() {
  local log=$1 number_file
  number_file=$(mktemp)
  Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$number_file" >"$log" 2>&1 &
  xvfb_pid=$!
  # For the fixture's clean-up, should CTest end this test before its trap.
  echo "$xvfb_pid" >>"$wine_work/xvfb.pids"
  for _ in $(seq 100); do [ -s "$number_file" ] && break; sleep 0.1; done
  if [ ! -s "$number_file" ]; then
    rm -f "$number_file"
    return 1
  fi
  export DISPLAY=":$(head -1 "$number_file")"
  rm -f "$number_file"
}

# Ends every process of the prefix (the next test starts its own) and the
# X server.
stop_wine() {
  bounded 20 wineserver -k >/dev/null 2>&1 || true
  if [ -n "$xvfb_pid" ]; then
    kill "$xvfb_pid" 2>/dev/null || true
    wait "$xvfb_pid" 2>/dev/null || true
    xvfb_pid=""
  fi
}

# The X servers of this work folder's tests that are still running (a test
# ended by CTest's time-out has not stopped its own).
stop_left_displays() {
  local pid
  [ -e "$wine_work/xvfb.pids" ] || return 0
  while read -r pid; do
    if [ "$(cat "/proc/$pid/comm" 2>/dev/null)" = Xvfb ]; then kill "$pid" 2>/dev/null || true; fi
  done <"$wine_work/xvfb.pids"
  rm -f "$wine_work/xvfb.pids"
}
