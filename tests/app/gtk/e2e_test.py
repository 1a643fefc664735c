#!/usr/bin/env python3
"""End-to-end test of the Linux program, driven as a user would drive it.

Starts a display of its own (Xvfb), a listing server on 127.0.0.1 that
serves a synthetic listing page in code page 936, and a recording stand-in
for the desktop's default browser (a .desktop file made the default handler
of http and https links through mimeapps.list in a private XDG home). Then
runs the program built with the loopback listing URL and, with real X
input through xdotool: dismisses the opening notice with Enter, checks that
the main window stands centred at its size with the expected rows in its
live list, selects a row, right-clicks it, closes the menu with Esc once,
right-clicks again and chooses "打开" with the keyboard, checks that the
resolved absolute link reached the stand-in browser, and closes the window
with Esc; the program must end with exit code 0.

What the program shows is read by a small GTK module that GTK itself loads
into the program through GTK_MODULES (see e2e_probe.cpp).
"""
import argparse
import os
import shutil
import signal
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), '..', '..', 'support'))
from loopback_desktop import (Failure, ListingServer, check, start_display,  # noqa: E402
                              stop_display)

WIDTH, HEIGHT = 406, 250
LIST_WIDTH, LIST_HEIGHT = 408, 225
GTK_MESSAGE_ERROR, GTK_MESSAGE_OTHER = 3, 4

# (href as written in the page, anchor text) in page order.
ANCHORS = [
    ('thread-101-1-1.html', '第一个主题'),
    ('thread-102-1-1.html', '讨论：杀毒软件 <b>新</b>'),
    ('thread-103-1-1.html', '<strong>登录</strong>'),  # skipped
    ('thread-104-1-1.html', '显示置顶'),  # skipped
    ('http://127.0.0.1:{port}/thread-105-1-1.html', '绝对链接'),
    ('forum.php?mod=viewthread&amp;tid=106', '带参数的链接'),
]


def listing_page(port):
    """The page, as the forum's server would send it: code page 936 bytes."""
    parts = ['<html><head><meta charset="gbk"><title>列表</title></head><body>',
             '<a href="index.html">首页</a>']  # no onclick and class: not a thread
    for href, text in ANCHORS:
        parts.append('<tr><th><a href="%s" onclick="atarget(this)" class="s xst">%s</a></th></tr>'
                     % (href.format(port=port), text))
    parts.append('</body></html>')
    return '\n'.join(parts).encode('cp936')


def expected_rows(port):
    rows, number = [], 0
    for href, text in ANCHORS:
        if text in ('<strong>登录</strong>', '显示置顶'):
            continue
        number += 1
        rows.append((str(number), text, href.format(port=port)))
    return rows


def wait_for(what, predicate, timeout=30.0, interval=0.05):
    end = time.monotonic() + timeout
    while True:
        value = predicate()
        if value:
            return value
        if time.monotonic() > end:
            raise Failure('timed out waiting for ' + what)
        time.sleep(interval)


def make_desktop_home(root):
    """A private XDG home whose default http and https handler records its
    arguments; returns (environment additions, record file)."""
    record = os.path.join(root, 'browser-record.txt')
    script = os.path.join(root, 'recording-browser')
    with open(script, 'w') as f:
        f.write('#!/bin/sh\nfor a in "$@"; do printf \'%%s\\n\' "$a" >> \'%s\'; done\n' % record)
    os.chmod(script, 0o755)
    data, config, home = (os.path.join(root, d) for d in ('data', 'config', 'home'))
    os.makedirs(os.path.join(data, 'applications'))
    os.makedirs(config)
    os.makedirs(home)
    with open(os.path.join(data, 'applications', 'qn-recording-browser.desktop'), 'w') as f:
        f.write('[Desktop Entry]\nType=Application\nName=Recording browser\n'
                'Exec=%s %%u\nMimeType=x-scheme-handler/http;x-scheme-handler/https;\n'
                'NoDisplay=true\n' % script)
    with open(os.path.join(config, 'mimeapps.list'), 'w') as f:
        f.write('[Default Applications]\n'
                'x-scheme-handler/http=qn-recording-browser.desktop\n'
                'x-scheme-handler/https=qn-recording-browser.desktop\n')
    env = {'HOME': home, 'XDG_DATA_HOME': data, 'XDG_CONFIG_HOME': config,
           'XDG_CACHE_HOME': os.path.join(root, 'cache')}
    return env, record


class Probe:
    """Reads the records the GTK module writes."""

    def __init__(self, path):
        self.path = path

    def records(self, kind=None):
        try:
            with open(self.path, encoding='utf-8') as f:
                lines = [line.rstrip('\n').split('\t') for line in f]
        except FileNotFoundError:
            return []
        return [r for r in lines if kind is None or r[0] == kind]


def xdotool(env, *args, timeout=20):
    result = subprocess.run(['xdotool', *args], env=env, capture_output=True, text=True,
                            timeout=timeout)
    check(result.returncode == 0, 'xdotool %s failed: %s' % (' '.join(args), result.stderr))
    return result.stdout


def focus(env, window):
    """Gives the window the keyboard focus, as a click on it would under a
    window manager; a window that has only just been mapped may refuse it
    for a moment."""
    for attempt in range(10):
        result = subprocess.run(['xdotool', 'windowfocus', '--sync', window], env=env,
                                capture_output=True, text=True, timeout=20)
        if result.returncode == 0:
            return
        time.sleep(0.2)
    raise Failure('could not focus window %s: %s' % (window, result.stderr))


def visible_windows(env, pid):
    """X windows of the program that are mapped and titled "Quennick"."""
    result = subprocess.run(['xdotool', 'search', '--onlyvisible', '--pid', str(pid), '--name',
                             '^Quennick$'], env=env, capture_output=True, text=True, timeout=20)
    return result.stdout.split()


def window_geometry(env, window):
    fields = {}
    for line in xdotool(env, 'getwindowgeometry', '--shell', window).splitlines():
        key, _, value = line.partition('=')
        fields[key] = int(value) if value.lstrip('-').isdigit() else value
    return fields


def check_without_display(args, root):
    """Without a display there is no start window: a fatal report, exit -1."""
    env = {k: v for k, v in os.environ.items() if k not in ('DISPLAY', 'WAYLAND_DISPLAY')}
    result = subprocess.run([args.program], env=env, capture_output=True, text=True, timeout=60,
                            cwd=root)
    check(result.returncode == 255, 'exit code without a display: %s (%s)'
          % (result.returncode, result.stderr))
    check('start window' in result.stderr, 'fatal report: %r' % result.stderr)


class Session:
    """One run of the program on the test's display, with the probe and the
    recording browser in place."""

    def __init__(self, args, root, display, name):
        self.x_env = {'DISPLAY': display, 'PATH': os.environ.get('PATH', '/usr/bin:/bin')}
        home = os.path.join(root, name)
        os.makedirs(home)
        desktop_env, self.record = make_desktop_home(home)
        self.probe = Probe(os.path.join(home, 'probe.txt'))
        env = dict(os.environ)
        env.update(desktop_env)
        env.update({'DISPLAY': display, 'GTK_MODULES': os.path.abspath(args.probe),
                    'QN_E2E_PROBE_OUT': self.probe.path, 'NO_AT_BRIDGE': '1',
                    'GDK_BACKEND': 'x11', 'LANG': 'C.UTF-8'})
        env.pop('DBUS_SESSION_BUS_ADDRESS', None)
        self.log = open(os.path.join(home, 'program.log'), 'w+')
        self.program = subprocess.Popen([args.program], env=env, stdout=self.log,
                                        stderr=subprocess.STDOUT, start_new_session=True,
                                        cwd=home)

    def windows(self):
        return visible_windows(self.x_env, self.program.pid)

    def close_notice(self, number, title, text, kind, while_shown=lambda: None):
        """Waits for the program's notice number `number` (from 1), checks it
        and closes it with Enter, as a user would."""
        shown = wait_for('notice %d' % number, self.windows)
        check(len(shown) == 1, 'one window expected while a notice is up: %s' % shown)
        dialogs = wait_for('notice %d report' % number,
                           lambda: len(self.probe.records('dialog')) >= number
                           and self.probe.records('dialog'))
        check(dialogs[number - 1][1:] == [title, text, str(kind)],
              'notice %d: %s' % (number, dialogs[number - 1]))
        check(not self.probe.records('window'), 'the main window showed before a notice closed')
        while_shown()
        focus(self.x_env, shown[0])
        xdotool(self.x_env, 'key', 'Return')
        wait_for('notice %d to close' % number, lambda: shown[0] not in self.windows(), 10)

    def main_window(self):
        """The shown main window, checked to stand centred at its size."""
        wait_for('the main window', lambda: self.probe.records('shown'))
        windows = self.windows()
        check(len(windows) == 1, 'one main window expected: %s' % windows)
        screen_w, screen_h = (int(v) for v in xdotool(self.x_env, 'getdisplaygeometry').split())
        geometry = window_geometry(self.x_env, windows[0])
        centred = ((screen_w - WIDTH) // 2, (screen_h - HEIGHT) // 2)
        check((geometry['X'], geometry['Y']) == centred,
              'window at %s,%s, expected %s' % (geometry['X'], geometry['Y'], centred))
        check((geometry['WIDTH'], geometry['HEIGHT']) == (WIDTH, HEIGHT),
              'window size %sx%s' % (geometry['WIDTH'], geometry['HEIGHT']))
        shown = self.probe.records('window')[0]
        check(shown[1:] == [str(centred[0]), str(centred[1]), str(WIDTH), str(HEIGHT),
                            'Quennick', '0'], 'main window as GTK reports it: %s' % shown)
        listed = self.probe.records('list')[0]
        check(listed[1:] == [str(centred[0]), str(centred[1]), str(LIST_WIDTH),
                             str(LIST_HEIGHT)], 'list rectangle: %s' % listed)
        return windows[0]

    def close_with_esc(self, window):
        """Esc on the main window closes it; the program ends with 0."""
        focus(self.x_env, window)
        xdotool(self.x_env, 'key', 'Escape')
        try:
            code = self.program.wait(timeout=20)
        except subprocess.TimeoutExpired:
            raise Failure('the program did not end after Esc')
        self.log.seek(0)
        check(code == 0, 'exit code %s; output:\n%s' % (code, self.log.read()))

    def end(self):
        if self.program.poll() is None:
            os.killpg(self.program.pid, signal.SIGKILL)
            self.program.wait()
        self.log.close()


def thread_list_and_open(args, root, display):
    """The listing server answers: rows, the menu and the open command."""
    port = args.port
    server = ListingServer(port, lambda: listing_page(port))
    session = None
    try:
        session = Session(args, root, display, 'listing')
        x_env, probe, record = session.x_env, session.probe, session.record
        # The opening notice comes first, before the page is fetched and
        # while the main window is still hidden.
        session.close_notice(1, 'Quennick', '右键打开网址', GTK_MESSAGE_OTHER,
                             lambda: check(server.requests == [],
                                           'the page was fetched before the notice closed'))
        main = session.main_window()
        check(server.requests == ['/forum-37-1.html'], 'requests: %s' % server.requests)
        check(len(probe.records('dialog')) == 1, 'no other notice expected: %s'
              % probe.records('dialog'))

        rows = probe.records('row')
        check([tuple(r[2:5]) for r in rows] == expected_rows(port),
              'rows of the live list:\n%s\nexpected:\n%s' % (rows, expected_rows(port)))

        # Select the second row with a left click, then right-click it.
        x, y = rows[1][5], rows[1][6]
        xdotool(x_env, 'mousemove', '--sync', x, y)
        xdotool(x_env, 'click', '1')
        xdotool(x_env, 'click', '3')
        menus = wait_for('the popup menu', lambda: probe.records('menu'))
        check(menus[0][1:] == [str(int(x) + 3), str(int(y) + 3), '打开'],
              'menu beside the pointer (%s,%s): %s' % (x, y, menus[0]))
        xdotool(x_env, 'key', 'Escape')  # closes the menu only
        time.sleep(0.5)
        check(session.program.poll() is None, 'Esc in the menu ended the program')
        check(not os.path.exists(record), 'a dismissed menu opened a link')

        xdotool(x_env, 'click', '3')
        wait_for('the popup menu again', lambda: len(probe.records('menu')) == 2)
        xdotool(x_env, 'key', 'Down', 'Return')
        wait_for('the browser stand-in',
                 lambda: os.path.exists(record) and open(record).read().splitlines())
        time.sleep(0.3)
        opened = open(record).read().splitlines()
        check(opened == ['http://127.0.0.1:%d/thread-102-1-1.html' % port],
              'links handed to the browser: %s' % opened)

        session.close_with_esc(main)
        return len(rows)
    finally:
        if session is not None:
            session.end()
        server.close()


def network_down(args, root, display):
    """Nothing listens on the port: the opening notice, then the no-match
    notice with the error icon, then the window with an empty list."""
    session = Session(args, root, display, 'down')
    try:
        session.close_notice(1, 'Quennick', '右键打开网址', GTK_MESSAGE_OTHER)
        session.close_notice(2, '信息：', '匹配失败，请检检查正则语句是否有误，数量：0',
                             GTK_MESSAGE_ERROR)
        main = session.main_window()
        check(session.probe.records('row') == [], 'rows: %s' % session.probe.records('row'))
        session.close_with_esc(main)
    finally:
        session.end()


def run(args, root):
    xvfb, display = start_display()
    try:
        rows = thread_list_and_open(args, root, display)
        network_down(args, root, display)
        print('e2e: notice, centred window with %d rows, menu, open, Esc; network down: '
              'both notices, empty list' % rows)
    finally:
        stop_display(xvfb)


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument('--program', required=True)
    parser.add_argument('--probe', required=True)
    parser.add_argument('--port', type=int, default=47613)
    args = parser.parse_args()
    for tool in ('Xvfb', 'xdotool'):
        if shutil.which(tool) is None:
            print('e2e: %s is missing' % tool)
            return 1
    root = tempfile.mkdtemp(prefix='qn-e2e-')
    try:
        check_without_display(args, root)
        run(args, root)
    except Failure as failure:
        print('e2e FAILED: %s' % failure)
        for name in ('listing', 'down'):
            log = os.path.join(root, name, 'program.log')
            if os.path.exists(log):
                print('program output (%s):\n%s' % (name, open(log).read()))
        return 1
    finally:
        shutil.rmtree(root, ignore_errors=True)
    return 0


if __name__ == '__main__':
    sys.exit(main())
