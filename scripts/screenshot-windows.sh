#!/usr/bin/env bash
# Takes docs/screenshot-windows.png: the Windows program under Wine on a
# virtual X display of its own, its list filled from the end-to-end test's
# synthetic listing page served on 127.0.0.1, a row selected and the popup
# menu open. The end-to-end test drives the program and holds still while
# the picture is taken. The display has no window manager, so Wine draws
# the window's title bar and frame itself.
#
# Usage: scripts/screenshot-windows.sh [BUILD_DIR]   (default: build/windows)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build/windows}
out=docs/screenshot-windows.png
bash scripts/setup.sh
cmake --preset windows -B "$build" >/dev/null
cmake --build "$build" --target quennick_e2e app_win32_e2e_tests -j2

source scripts/lib/session.sh
qn_start_display
export WINEPREFIX=$PWD/build/wine-prefix-screenshot
export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" WINEARCH=win64
[[ -f "$WINEPREFIX/system.reg" ]] || wineboot -i >/dev/null 2>&1
# No window manager runs on the display: Wine draws the title bar and frame
# itself. The Chinese texts are drawn with WenQuanYi Micro Hei, linked to
# the fonts the window and its message boxes use.
cmake/wine-run.sh reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null
for face in Tahoma 'MS Shell Dlg' 'MS Shell Dlg 2' 'Microsoft Sans Serif'; do
  cmake/wine-run.sh reg add 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\FontLink\SystemLink' \
    /v "$face" /t REG_MULTI_SZ /d 'wqy-microhei.ttc,WenQuanYi Micro Hei' /f >/dev/null
done

work=$(mktemp -d /tmp/qn-shot-windows.XXXXXX)
e2e_dir=$build/tests/app/win32/e2e
stand_in=tests/app/win32/stand_in_browser.sh
driver_pid=""
finish() {
  rm -f "$work/pause"
  [[ -n "$driver_pid" ]] && wait "$driver_pid" 2>/dev/null || true
  bash "$stand_in" remove "$e2e_dir" cmake/wine-run.sh
  rm -rf "$work"
  qn_cleanup
}
trap finish EXIT
bash "$stand_in" install "$e2e_dir" cmake/wine-run.sh

# The test creates the pause file once the popup menu is open and waits
# until it is removed.
QN_E2E_PAUSE_FILE=$work/pause cmake/wine-run.sh "$build/tests/app/win32/app_win32_e2e_tests.exe" \
  >"$work/driver.log" 2>&1 &
driver_pid=$!
for _ in $(seq 1200); do
  [[ -e "$work/pause" ]] && break
  kill -0 "$driver_pid" 2>/dev/null || break
  sleep 0.1
done
if [[ ! -e "$work/pause" ]]; then
  cat "$work/driver.log" >&2
  echo "screenshot-windows: the popup menu never opened" >&2
  exit 1
fi
sleep 0.5

# The window is centred: 406 x 250 at ((width - 406) / 2, (height - 250) / 2).
read -r width height < <(xdpyinfo | awk '/dimensions:/ { split($2, d, "x"); print d[1], d[2] }')
x=$(((width - 406) / 2)) y=$(((height - 250) / 2))
import -window root "$work/full.png"
convert "$work/full.png" -crop "406x250+$x+$y" +repage "$out"

rm -f "$work/pause"
status=0
wait "$driver_pid" || status=$?
driver_pid=""
if ((status != 0)); then
  cat "$work/driver.log" >&2
  echo "screenshot-windows: the end-to-end run failed (exit $status)" >&2
  exit 1
fi
echo "wrote $out"
