#!/usr/bin/env python3
"""Start-up benchmark of the Linux program beside curl | grep.

For a synthetic listing page of 50 threads and one of 20,000 threads (code
page 936, the forum's markup around each thread anchor), served from a
loopback HTTP server on the port the program's test build fetches from,
this measures, a few times each, alternating:

- the program (quennick_e2e) on a private Xvfb display: from just before the
  process is started to the moment its main window is mapped, which happens
  only after the whole list has been filled (the loader runs to its end
  before the window is first shown). The opening notice is closed as soon
  as it has been mapped, by a small GTK module loaded through GTK_MODULES
  (startup_probe.cpp), which also reads the row count, the last row and the
  peak resident set (VmHWM) at that moment, notes the first drawing of the
  list (and VmHWM then) and closes the window, so that the program ends by
  itself;
- the baseline `bash -c 'curl -s URL | grep -oiP PATTERN | wc -l'`, with
  the loader's pattern (its quote markers written as quotes; -i because the
  loader matches without regard to case), from just before the process is
  started to its exit.

Both start times are taken with time.monotonic_ns() just before the process
is created; the probe stamps its moments with the same clock
(CLOCK_MONOTONIC). One run of each is made first and not counted (page
cache, font cache). The baseline must find as many anchors as the program
has rows plus the skipped anchors; the program must show exactly the
opening notice and end with exit code 0; otherwise the run fails.

Peak resident sets: the program's is its own VmHWM, read inside it. The
getrusage figure of a direct child of this script is not used: Linux carries
the parent's resident set into the child's ru_maxrss across fork and exec, so
it would show this script's size. The baseline's is measured in one more,
untimed run of the same pipeline with /usr/bin/time on curl and on grep,
whose parent is the small bash process: the larger of the two.

    startup_bench.py [--build DIR] [--program P --probe M --port N]
                     [--rounds R] [--threads 50,20000]

With --build (default build/linux-release), the program, the probe and the
port are taken from that build directory.
"""
import argparse
import os
import re
import shutil
import signal
import statistics
import subprocess
import sys
import tempfile
import threading
import time

REPO = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
sys.path.insert(0, os.path.join(REPO, 'tests', 'support'))
from loopback_desktop import (LISTING_PATH, Failure, ListingServer, check,  # noqa: E402
                              start_display, stop_display)

# The page the stand-in server answers with; each benchmarked page in turn.
current_page = [b'']
# The loader's pattern with each of its quote markers written as a quote.
THREAD_PATTERN = '<a href="(.*?)" onclick=".*?" class=".*?">.*?</a>'
SKIPPED_TITLES = ('<strong>登录</strong>', '显示置顶')
OPENING_NOTICE = ('Quennick', '右键打开网址')
RUN_TIMEOUT = 300


# --- the listing page ------------------------------------------------------

PAGE_HEAD = '''<!DOCTYPE html>
<html>
<head>
<meta http-equiv="Content-Type" content="text/html; charset=gbk" />
<title>病毒与木马讨论 - 论坛</title>
<link rel="stylesheet" type="text/css" href="data/cache/style_1_common.css" />
<script src="static/js/common.js" type="text/javascript"></script>
</head>
<body id="nv_forum" class="pg_forumdisplay">
<div id="hd"><div class="wp">
<a href="./" title="论坛">论坛</a> <em>&raquo;</em> <a href="forum-37-1.html">病毒与木马讨论</a>
<a href="member.php?mod=logging&amp;action=login" onclick="showWindow('login', this.href)" class="xi2"><strong>登录</strong></a>
</div></div>
<div id="threadlist" class="tl bm bmw">
<div class="th"><table cellspacing="0" cellpadding="0"><tr>
<th colspan="2"><a id="filter_special" href="javascript:;" class="showmenu xi2" onclick="showMenu(this.id)">全部主题</a></th>
<td class="by">作者</td><td class="num">回复/查看</td><td class="by">最后发表</td>
</tr></table></div>
<table summary="forum_37" cellspacing="0" cellpadding="0" id="threadlisttableid">
<tbody><tr><th colspan="5">
<a href="javascript:;" onclick="hideStickThread()" class="s xst">显示置顶</a>
</th></tr></tbody>
'''

THREAD_BLOCK = '''<tbody id="normalthread_{n}">
<tr>
<td class="icn">
<a href="thread-{n}-1-1.html" title="有新回复 - 新窗口打开" target="_blank">
<img src="static/image/common/folder_new.gif" />
</a>
</td>
<th class="new">
<a href="javascript:;" id="content_{n}" class="showcontent y" title="更多操作" onclick="CONTENT_TID='{n}';CONTENT_ID='normalthread_{n}';showMenu({{'ctrlid':this.id,'menuid':'content_menu'}})"></a>
<a class="tdpre y" href="javascript:void(0);" onclick="previewThread('{n}', 'normalthread_{n}');">预览</a>
<a href="thread-{n}-1-1.html" onclick="atarget(this)" class="s xst">标题{n}</a>
<img src="static/image/filetype/common.gif" alt="attachment" title="附件" align="absmiddle" />
</th>
<td class="by">
<cite><a href="space-uid-{uid}.html" c="1">用户{uid}</a></cite>
<em><span>2024-5-{day}</span></em>
</td>
<td class="num"><a href="thread-{n}-1-1.html" class="xi2">{replies}</a><em>{views}</em></td>
<td class="by">
<cite><a href="space-username-{uid}.html" c="1">回复者{uid}</a></cite>
<em><a href="forum.php?mod=redirect&amp;tid={n}&amp;goto=lastpost#lastpost">2024-5-{day} 12:{minute:02d}</a></em>
</td>
</tr>
</tbody>
'''

PAGE_TAIL = '''</table>
</div>
<div id="pgt" class="pgs mbm cl"><a href="forum-37-2.html" class="nxt">下一页</a></div>
<div id="ft" class="wp cl">Powered by a forum</div>
</body>
</html>
'''


def listing_page(threads):
    """A listing page in code page 936 with `threads` thread anchors of the
    loader's shape, titled 标题1 to 标题N and linked thread-N-1-1.html, plus
    one anchor of that shape for each skipped title."""
    parts = [PAGE_HEAD]
    for n in range(1, threads + 1):
        parts.append(THREAD_BLOCK.format(n=n, uid=1000 + n % 977, day=1 + n % 28,
                                         minute=n % 60, replies=n % 83, views=n * 7 % 9973))
    parts.append(PAGE_TAIL)
    return ''.join(parts).encode('cp936')


def expected_last_row(threads):
    return [str(threads), '标题%d' % threads, 'thread-%d-1-1.html' % threads]


# --- one measured run ----------------------------------------------------------

def wait_for_exit(process, what):
    """Waits for the process; returns (exit code, monotonic ns at its end).
    A run that takes longer than RUN_TIMEOUT is killed and fails."""
    timer = threading.Timer(RUN_TIMEOUT, lambda: os.killpg(process.pid, signal.SIGKILL))
    timer.start()
    try:
        _, status = os.waitpid(process.pid, 0)
    finally:
        timer.cancel()
    ended = time.monotonic_ns()
    process.returncode = os.waitstatus_to_exitcode(status)
    check(process.returncode != -signal.SIGKILL, '%s did not end within %d s'
          % (what, RUN_TIMEOUT))
    return process.returncode, ended


def read_records(path):
    try:
        with open(path, encoding='utf-8') as f:
            return [line.rstrip('\n').split('\t') for line in f]
    except FileNotFoundError:
        return []


def run_program(args, display, work, server, threads, run):
    """One start of the program; returns its figures (times in ms, sizes in KiB)."""
    probe_out = os.path.join(work, 'probe-%d-%d.txt' % (threads, run))
    log_path = os.path.join(work, 'program-%d-%d.log' % (threads, run))
    env = dict(os.environ)
    env.update({'DISPLAY': display, 'GTK_MODULES': os.path.abspath(args.probe),
                'QN_BENCH_PROBE_OUT': probe_out, 'NO_AT_BRIDGE': '1', 'GDK_BACKEND': 'x11',
                'LANG': 'C.UTF-8'})
    env.pop('DBUS_SESSION_BUS_ADDRESS', None)
    env.pop('WAYLAND_DISPLAY', None)
    requests_before = server.listing_requests()
    with open(log_path, 'w+') as log:
        started = time.monotonic_ns()
        process = subprocess.Popen([args.program], env=env, stdout=log,
                                   stderr=subprocess.STDOUT, start_new_session=True, cwd=work)
        code, _ = wait_for_exit(process, 'the program')
        log.seek(0)
        output = log.read()

    records = read_records(probe_out)
    kinds = {}
    for record in records:
        kinds.setdefault(record[0], []).append(record)
    dialogs = kinds.get('dialog', [])
    check(code == 0, 'program exit code %s; output:\n%s' % (code, output))
    check([d[2:4] for d in dialogs] == [list(OPENING_NOTICE)],
          'the opening notice alone expected, the program showed: %s' % dialogs)
    check(len(kinds.get('dismissed', [])) == 1 and len(kinds.get('mapped', [])) == 1
          and len(kinds.get('drawn', [])) == 1, 'probe records: %s' % records)
    check(server.listing_requests() == requests_before + 1,
          'listing requests in this run: %d' % (server.listing_requests() - requests_before))
    mapped = kinds['mapped'][0]
    rows = int(mapped[2])
    check(rows == threads, 'rows in the list: %d, expected %d' % (rows, threads))
    check(mapped[4:7] == expected_last_row(threads), 'last row: %s' % mapped[4:7])

    def ms(record):
        return (int(record[1]) - started) / 1e6

    return {
        'mapped': ms(mapped),
        'notice': ms(dialogs[0]),
        'after_notice': (int(mapped[1]) - int(kinds['dismissed'][0][1])) / 1e6,
        'drawn': ms(kinds['drawn'][0]),
        'hwm_notice': int(dialogs[0][4]),
        'hwm_mapped': int(mapped[3]),
        'hwm_drawn': int(kinds['drawn'][0][2]),
        'rows': rows,
    }


def run_baseline(args):
    """One run of curl | grep | wc -l; returns its figures."""
    url = 'http://127.0.0.1:%d%s' % (args.port, LISTING_PATH)
    env = dict(os.environ, LC_ALL='C')  # grep reads the page as bytes, as it is sent
    started = time.monotonic_ns()
    process = subprocess.Popen(
        ['bash', '-c', 'curl -s "$1" | grep -oiP "$2" | wc -l', 'baseline', url, THREAD_PATTERN],
        stdout=subprocess.PIPE, env=env, start_new_session=True)
    output = process.stdout.read()
    process.stdout.close()
    code, ended = wait_for_exit(process, 'the baseline')
    check(code == 0, 'baseline exit code %s' % code)
    return {'time': (ended - started) / 1e6, 'anchors': int(output.split()[0])}


def baseline_peak_rss(args, work):
    """The larger peak resident set (KiB) of curl and grep in the baseline
    pipeline, or None without /usr/bin/time."""
    if not os.path.exists('/usr/bin/time'):
        return None
    url = 'http://127.0.0.1:%d%s' % (args.port, LISTING_PATH)
    curl_kib, grep_kib = os.path.join(work, 'curl.kib'), os.path.join(work, 'grep.kib')
    result = subprocess.run(
        ['bash', '-c', '/usr/bin/time -f %M -o "$3" curl -s "$1" | '
         '/usr/bin/time -f %M -o "$4" grep -oiP "$2" | wc -l',
         'baseline', url, THREAD_PATTERN, curl_kib, grep_kib],
        capture_output=True, env=dict(os.environ, LC_ALL='C'), timeout=RUN_TIMEOUT)
    check(result.returncode == 0, 'baseline memory run: %s' % result.stderr)
    return max(int(open(path).read().split()[-1]) for path in (curl_kib, grep_kib))


# --- the benchmark -------------------------------------------------------------

def bench_page(args, display, work, server, threads):
    page = listing_page(threads)
    current_page[0] = page
    programs, baselines = [], []
    for run in range(args.rounds + 1):  # run 0 warms up and is not counted
        program = run_program(args, display, work, server, threads, run)
        baseline = run_baseline(args)
        check(baseline['anchors'] == program['rows'] + len(SKIPPED_TITLES),
              'grep found %d anchors; the program has %d rows and skips %d'
              % (baseline['anchors'], program['rows'], len(SKIPPED_TITLES)))
        if run > 0:
            programs.append(program)
            baselines.append(baseline)
        print('  %6d threads, run %d%s: program %.1f ms, baseline %.1f ms'
              % (threads, run, ' (warm-up)' if run == 0 else '', program['mapped'],
                 baseline['time']), flush=True)

    def median(runs, key):
        return statistics.median(r[key] for r in runs)

    return {
        'threads': threads, 'page_kib': len(page) / 1024, 'rows': programs[0]['rows'],
        'anchors': baselines[0]['anchors'],
        'program': median(programs, 'mapped'), 'baseline': median(baselines, 'time'),
        'notice': median(programs, 'notice'), 'after_notice': median(programs, 'after_notice'),
        'drawn': median(programs, 'drawn'),
        'hwm_notice': max(r['hwm_notice'] for r in programs),
        'hwm_mapped': max(r['hwm_mapped'] for r in programs),
        'hwm_drawn': max(r['hwm_drawn'] for r in programs),
        'baseline_rss': baseline_peak_rss(args, work),
    }


def mib(kib):
    return '-' if kib is None else '%.1f' % (kib / 1024)


def print_table(results, rounds):
    print()
    print('Process start to the filled list, medians of %d runs (ms); peak resident sets (MiB)'
          % rounds)
    print('%-8s %9s %6s %8s %11s %12s %6s %12s %14s'
          % ('threads', 'page KiB', 'rows', 'anchors', 'program ms', 'baseline ms', 'ratio',
             'program RSS', 'curl|grep RSS'))
    for r in results:
        print('%-8d %9.0f %6d %8d %11.1f %12.1f %6.2f %12s %14s'
              % (r['threads'], r['page_kib'], r['rows'], r['anchors'], r['program'],
                 r['baseline'], r['program'] / r['baseline'], mib(r['hwm_drawn']),
                 mib(r['baseline_rss'])))
    print()
    print('The program\'s time split (medians, ms) and its VmHWM at the notice and at the '
          'window mapped (MiB)')
    print('%-8s %10s %14s %9s %14s %11s' % ('threads', 'to notice', 'notice to map', 'to drawn',
                                            'RSS at notice', 'RSS at map'))
    for r in results:
        print('%-8d %10.1f %14.1f %9.1f %14s %11s'
              % (r['threads'], r['notice'], r['after_notice'], r['drawn'], mib(r['hwm_notice']),
                 mib(r['hwm_mapped'])))
    print()
    print('program ms:    process start to the main window mapped with every row in its list;')
    print('               the opening notice is answered as soon as it is mapped')
    print('baseline ms:   process start to the exit of '
          "bash -c 'curl -s URL | grep -oiP PATTERN | wc -l'")
    print('anchors:       what grep found: the rows plus the %d anchors whose titles the loader '
          'skips' % len(SKIPPED_TITLES))
    print('to notice:     process start to the opening notice mapped (GTK start, hidden window)')
    print('notice to map: notice answered to window mapped (fetch, match, fill the list, show)')
    print('to drawn:      process start to the list first drawn')
    print('program RSS:   VmHWM of the program when its list is first drawn (largest of the runs)')
    print('curl|grep RSS: the larger peak of curl and grep, from /usr/bin/time in an untimed run')


def cached_port(build):
    try:
        with open(os.path.join(build, 'CMakeCache.txt')) as f:
            found = re.search(r'^QN_E2E_PORT:\w+=(\d+)$', f.read(), re.M)
    except FileNotFoundError:
        return None
    return int(found.group(1)) if found else None


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument('--build', default=os.path.join(REPO, 'build', 'linux-release'),
                        help='build directory holding the program and the probe')
    parser.add_argument('--program', help='the program built with a loopback listing URL')
    parser.add_argument('--probe', help='the start-up probe module')
    parser.add_argument('--port', type=int, help="the port of the program's listing URL")
    parser.add_argument('--rounds', type=int, default=5, help='counted runs per page')
    parser.add_argument('--threads', default='50,20000', help='thread counts of the pages')
    args = parser.parse_args()
    args.program = args.program or os.path.join(args.build, 'src', 'app', 'gtk', 'quennick_e2e')
    args.probe = args.probe or os.path.join(args.build, 'bench', 'app',
                                            'libqn_bench_startup_probe.so')
    args.program, args.probe = os.path.abspath(args.program), os.path.abspath(args.probe)
    args.port = args.port or cached_port(args.build)
    if args.port is None:
        print('startup_bench: no --port and no QN_E2E_PORT in %s' % args.build)
        return 2
    for path in (args.program, args.probe):
        if not os.path.exists(path):
            print('startup_bench: missing %s (build quennick_e2e and qn_bench_startup_probe)'
                  % path)
            return 2
    for tool in ('Xvfb', 'curl', 'grep', 'bash'):
        if shutil.which(tool) is None:
            print('startup_bench: %s is missing' % tool)
            return 2

    work = tempfile.mkdtemp(prefix='qn-startup-bench-')
    xvfb, display = start_display()
    server = ListingServer(args.port, lambda: current_page[0])
    try:
        print('display %s, listing server on 127.0.0.1:%d' % (display, args.port))
        results = [bench_page(args, display, work, server, int(n))
                   for n in args.threads.split(',')]
        print_table(results, args.rounds)
    except Failure as failure:
        print('startup_bench FAILED: %s' % failure)
        return 1
    finally:
        server.close()
        stop_display(xvfb)
        shutil.rmtree(work, ignore_errors=True)
    return 0


if __name__ == '__main__':
    sys.exit(main())
