"""Shared pieces of the Linux program's end-to-end test and start-up
benchmark: a stand-in forum server on 127.0.0.1 and a private virtual X
display."""

import http.server
import os
import subprocess
import threading
import time

LISTING_PATH = '/forum-37-1.html'


class Failure(Exception):
    pass


def check(condition, message):
    if not condition:
        raise Failure(message)


class ListingServer:
    """The forum server stand-in on 127.0.0.1: serves `page()` (bytes in
    code page 936) at the listing path, 404 elsewhere, and records every
    request path."""

    def __init__(self, port, page):
        self.requests = []
        server = self

        class Handler(http.server.BaseHTTPRequestHandler):
            def do_GET(self):
                server.requests.append(self.path)
                found = self.path == LISTING_PATH
                body = page() if found else b'not found'
                self.send_response(200 if found else 404)
                self.send_header('Content-Type', 'text/html; charset=gbk')
                self.send_header('Content-Length', str(len(body)))
                self.end_headers()
                self.wfile.write(body)

            def log_message(self, *args):
                pass

        # The port is fixed in the test build; another run may hold it a moment.
        end = time.monotonic() + 20
        while True:
            try:
                self.httpd = http.server.ThreadingHTTPServer(('127.0.0.1', port), Handler)
                break
            except OSError:
                if time.monotonic() > end:
                    raise
                time.sleep(0.5)
        self.thread = threading.Thread(target=self.httpd.serve_forever, daemon=True)
        self.thread.start()

    def listing_requests(self):
        return sum(1 for path in self.requests if path == LISTING_PATH)

    def close(self):
        self.httpd.shutdown()
        self.httpd.server_close()


def start_display():
    """Xvfb on the first free display number; returns (process, ':N')."""
    read_end, write_end = os.pipe()
    xvfb = subprocess.Popen(
        ['Xvfb', '-displayfd', str(write_end), '-screen', '0', '1280x1024x24', '-nolisten',
         'tcp'], pass_fds=(write_end,), stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    os.close(write_end)
    with os.fdopen(read_end) as pipe:
        number = pipe.readline().strip()
    check(number, 'Xvfb did not start')
    return xvfb, ':' + number


def stop_display(xvfb):
    xvfb.terminate()
    try:
        xvfb.wait(timeout=10)
    except subprocess.TimeoutExpired:
        xvfb.kill()
        xvfb.wait()
