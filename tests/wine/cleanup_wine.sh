#!/usr/bin/env bash
# The Wine tests' fixture clean-up: no Wine or X process of these tests
# stays and the prefix goes; the builds, reports and screenshots stay in
# the work folder.
#
#   cleanup_wine.sh WORK_DIR
set -uo pipefail
work=$1
. "$(dirname "$0")/wine_env.sh"
wine_env "$work"
stop_wine
stop_left_displays
rm -f "$work/prefix.ready"
rm -rf "$WINEPREFIX"
exit 0
