# Sourced by the scripts: a private virtual X display and, on request, a
# fresh Wine prefix for this run. Both end with the calling script.

qn_root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)

qn_cleanup() {
  if [[ -n "${WINEPREFIX:-}" ]]; then wineserver -k 2>/dev/null || true; fi
  if [[ -n "${qn_xvfb_pid:-}" ]]; then kill "$qn_xvfb_pid" 2>/dev/null || true; fi
}
trap qn_cleanup EXIT

# Starts Xvfb on the first free display number and exports DISPLAY.
qn_start_display() {
  local n=90
  while [[ -e /tmp/.X11-unix/X$n || -e /tmp/.X$n-lock ]]; do n=$((n + 1)); done
  Xvfb ":$n" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
  qn_xvfb_pid=$!
  export DISPLAY=":$n"
  for _ in $(seq 100); do
    xdpyinfo >/dev/null 2>&1 && return 0
    sleep 0.1
  done
  echo "could not start Xvfb on $DISPLAY" >&2
  return 1
}

# Creates a fresh Wine prefix for this run and keeps its server up so that
# each test program starts quickly.
qn_start_wine() {
  export WINEPREFIX="$qn_root/build/wine-prefix"
  export WINEDEBUG=-all
  export WINEDLLOVERRIDES="mscoree,mshtml="
  export WINEARCH=win64
  rm -rf "$WINEPREFIX"
  mkdir -p "$qn_root/build"
  wineboot -i >/dev/null 2>&1
  wineserver -w
  wineserver -p 600
  # Start Wine's background services now, detached from any output pipe:
  # started by the first test program, they would inherit CTest's pipes and
  # keep it waiting for them.
  wine cmd /c exit >/dev/null 2>&1 </dev/null
}
