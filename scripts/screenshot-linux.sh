#!/usr/bin/env bash
# Takes docs/screenshot-linux.png: the Linux program on a virtual X display
# of its own, its list filled from a synthetic listing page served on
# 127.0.0.1 (the end-to-end test's page), a row selected and the popup menu
# open. The display has no window manager, so the window shows without
# title bar or frame.
#
# Usage: scripts/screenshot-linux.sh [BUILD_DIR]   (default: build/linux-release)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build/linux-release}
bash scripts/setup.sh
cmake --preset linux-release -B "$build" >/dev/null
cmake --build "$build" --target quennick_e2e -j2
port=$(sed -n 's/^QN_E2E_PORT:STRING=//p' "$build/CMakeCache.txt")

python3 - "$build/src/app/gtk/quennick_e2e" docs/screenshot-linux.png "$port" <<'EOF'
import os
import shutil
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, 'tests/app/gtk')
import e2e_test as e2e

program, out, port = os.path.abspath(sys.argv[1]), sys.argv[2], int(sys.argv[3])
root = tempfile.mkdtemp(prefix='qn-shot-')
xvfb, display = e2e.start_display()
server = None
app = None
try:
    server = e2e.ListingServer(port)
    desktop_env, _ = e2e.make_desktop_home(root)
    env = dict(os.environ, DISPLAY=display, NO_AT_BRIDGE='1', GDK_BACKEND='x11', LANG='C.UTF-8')
    env.update(desktop_env)
    x_env = {'DISPLAY': display, 'PATH': os.environ['PATH']}
    app = subprocess.Popen([program], env=env, start_new_session=True, cwd=root,
                           stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    notice = e2e.wait_for('the opening notice', lambda: e2e.visible_windows(x_env, app.pid))
    e2e.focus(x_env, notice[0])
    e2e.xdotool(x_env, 'key', 'Return')

    def main_window():
        for w in e2e.visible_windows(x_env, app.pid):
            g = e2e.window_geometry(x_env, w)
            if (g['WIDTH'], g['HEIGHT']) == (e2e.WIDTH, e2e.HEIGHT):
                return g
        return None
    g = e2e.wait_for('the main window', main_window)
    time.sleep(0.5)
    # The second row, under the column headers, then its popup menu.
    x, y = g['X'] + 120, g['Y'] + 62
    e2e.xdotool(x_env, 'mousemove', '--sync', str(x), str(y))
    e2e.xdotool(x_env, 'click', '1')
    e2e.xdotool(x_env, 'click', '3')
    time.sleep(0.8)
    full = os.path.join(root, 'full.png')
    subprocess.run(['import', '-window', 'root', full], env=x_env, check=True)
    subprocess.run(['convert', full, '-crop', '%dx%d+%d+%d' % (e2e.WIDTH, e2e.HEIGHT, g['X'], g['Y']),
                    '+repage', '-bordercolor', '#707070', '-border', '1', out], check=True)
    e2e.xdotool(x_env, 'key', 'Escape')  # the menu
    time.sleep(0.3)
    e2e.focus(x_env, str(g['WINDOW']))
    e2e.xdotool(x_env, 'key', 'Escape')  # the window
    app.wait(timeout=10)
    print('wrote', out)
finally:
    if app is not None and app.poll() is None:
        os.killpg(app.pid, 9)
        app.wait()
    if server is not None:
        server.close()
    xvfb.terminate()
    xvfb.wait()
    shutil.rmtree(root, ignore_errors=True)
EOF
