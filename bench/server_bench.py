#!/usr/bin/env python3
"""The viewer's server under load, side by side with a yardstick build.

Runs each scenario against --viewer and, when given, --yardstick (another
build of quorix-viewer, e.g. the one before a change) in the same run, and
prints one table with both and their ratio. Every connection goes to the
loopback address; every attack is bounded in count and time.

  slow clients  /snapshot latency (p50, p99, answered) while 200 idle and 8
                trickling connections (a byte every 3 s) are open, then the
                time from SIGINT to exit
  big HEIC      8 parallel /photo/0 of a 45 MP HEIC: wall time, peak RSS,
                and the time from SIGTERM to exit with 8 more in flight
  walk          /photo/N for 300 photos one after another: steady RSS
  deep PNGs     4 parallel /photo/N of interlaced 16-bit RGBA PNGs of
                6000 x 6000 (288 MB each decoded): wall time and peak RSS
  unread rows   220 clients each ask for a row of 32 thumbnails and read
                none of it: peak RSS, and RSS once they have closed
  first photo   time to the first /photo/0 of a fresh viewer, 24 MP JPEG and
                12 MP HEIC (median of 5, builds taking turns), beside the
                page's own viewer.js
  fling         an album of 10,000 photos (links to one album photo), cold, flung one screen (11 rows
                of 9) every 150 ms for 60 s, down and back up, by a client
                that behaves as the page in a browser: six requests at
                most, a row's request abandoned (its connection closed) once
                the row leaves the view. /snapshot latency meanwhile, the
                sockets left half closed (CLOSE_WAIT), the time the last
                screen takes to fill once the fling stops, and the
                thumbnails made in all
  slow readers  /snapshot latency while 40 clients read a row of 32
                thumbnails a byte a second and 240 idle sockets are opened
                again as fast as the server closes them

Photos come from quorix_bench_photos (built with -DQUORIX_BUILD_BENCH=ON),
the fling's from its first album photo:
  build-rel/bin/quorix_bench_photos build-rel/bench-photos
  build-rel/bin/quorix_bench_photos --album 1 build-rel/bench-photos
  bench/server_bench.py --viewer build-rel/bin/quorix-viewer \\
      --yardstick OLD/bin/quorix-viewer --photos build-rel/bench-photos
"""

import argparse
import os
import re
import signal
import socket
import statistics
import subprocess
import sys
import tempfile
import threading
import time
import http.client

# What the viewer's tests read of a running viewer.
sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), '..', 'tests', 'browser'))
from viewer_server import close_waits, memory_kb  # noqa: E402


class Viewer:
    def __init__(self, binary, photos, environment=None):
        self.process = subprocess.Popen([binary, '--serve', '--port', '0', *photos],
                                        stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True,
                                        env=dict(os.environ, **(environment or {})))
        match = re.search(r'http://127\.0\.0\.1:(\d+)/', self.process.stdout.readline())
        if not match:
            self.process.kill()
            raise RuntimeError('%s printed no address' % binary)
        self.port = int(match.group(1))

    def memory_mb(self, field):
        return memory_kb(self.process.pid, field) / 1024

    def get(self, path, timeout=30):
        connection = http.client.HTTPConnection('127.0.0.1', self.port, timeout=timeout)
        try:
            connection.request('GET', path)
            response = connection.getresponse()
            return response.status, response.read()
        finally:
            connection.close()

    def stop(self, sig, limit=15):
        """Seconds from `sig` to exit; inf (and a kill) past `limit`."""
        started = time.monotonic()
        self.process.send_signal(sig)
        try:
            self.process.wait(limit)
            return time.monotonic() - started
        except subprocess.TimeoutExpired:
            self.process.kill()
            self.process.wait()
            return float('inf')


def timed(action):
    started = time.monotonic()
    try:
        action()
        return time.monotonic() - started
    except (OSError, http.client.HTTPException):
        return float('inf')


def percentile(values, share):
    ordered = sorted(values)
    return ordered[min(len(ordered) - 1, int(share * len(ordered)))]


def slow_clients(binary, samples):
    viewer = Viewer(binary, [samples])
    done = threading.Event()
    head = b'GET /snapshot HTTP/1.1\r\nHost: 127.0.0.1:%d\r\n\r\n' % viewer.port

    def trickle():
        try:
            with socket.create_connection(('127.0.0.1', viewer.port), timeout=60) as sock:
                for byte in head * 10:
                    sock.send(bytes([byte]))
                    if done.wait(3):
                        return
        except OSError:
            pass

    idle = [socket.create_connection(('127.0.0.1', viewer.port)) for _ in range(200)]
    threads = [threading.Thread(target=trickle) for _ in range(8)]
    for thread in threads:
        thread.start()
    time.sleep(0.5)  # let every slow client take its place
    latencies = []
    deadline = time.monotonic() + 60
    while len(latencies) < 200 and time.monotonic() < deadline:
        latencies.append(timed(lambda: viewer.get('/snapshot', timeout=5)))
    answered = sum(1 for value in latencies if value != float('inf'))
    stop = viewer.stop(signal.SIGINT)
    done.set()
    for sock in idle:
        sock.close()
    for thread in threads:
        thread.join()
    return {
        '/snapshot p50 (ms)': percentile(latencies, 0.50) * 1000,
        '/snapshot p99 (ms)': percentile(latencies, 0.99) * 1000,
        '/snapshot answered of 200': answered,
        'SIGINT to exit (s)': stop,
    }


def big_heic(binary, photo):
    viewer = Viewer(binary, [photo])
    results = [None] * 8

    def fetch(slot):
        results[slot] = timed(lambda: viewer.get('/photo/0', timeout=120))

    def burst():
        threads = [threading.Thread(target=fetch, args=(slot,)) for slot in range(8)]
        for thread in threads:
            thread.start()
        return threads

    started = time.monotonic()
    for thread in burst():
        thread.join()
    wall = time.monotonic() - started
    peak = viewer.memory_mb('VmHWM')
    steady = viewer.memory_mb('VmRSS')
    viewer.stop(signal.SIGINT)

    # Stopping while eight decodes of a photo not yet rendered are asked for.
    viewer = Viewer(binary, [photo])
    threads = burst()
    time.sleep(0.3)
    stop = viewer.stop(signal.SIGTERM)
    for thread in threads:
        thread.join()
    return {
        '8 x /photo/0 wall (s)': wall,
        '8 x /photo/0 peak RSS (MB)': peak,
        'RSS after (MB)': steady,
        'SIGTERM mid-decode to exit (s)': stop,
    }


def walk(binary, photo):
    with tempfile.TemporaryDirectory() as folder:
        for index in range(300):
            os.symlink(os.path.abspath(photo), os.path.join(folder, 'photo%03d.jpg' % index))
        viewer = Viewer(binary, [folder])
        started = time.monotonic()
        for index in range(300):
            viewer.get('/photo/%d' % index)
        wall = time.monotonic() - started
        time.sleep(1)
        steady = viewer.memory_mb('VmRSS')
        peak = viewer.memory_mb('VmHWM')
        viewer.stop(signal.SIGINT)
    return {'300 photos walk (s)': wall, '300 photos steady RSS (MB)': steady, '300 photos peak RSS (MB)': peak}


def deep_pngs(binary, count=4, side=6000):
    from server_safety_test import interlaced_rgba16_png
    with tempfile.TemporaryDirectory() as folder:
        with open(os.path.join(folder, 'deep0.png'), 'wb') as out:
            out.write(interlaced_rgba16_png(side, side))
        for index in range(1, count):  # each its own photo, decoded on its own
            os.link(os.path.join(folder, 'deep0.png'), os.path.join(folder, 'deep%d.png' % index))
        viewer = Viewer(binary, [folder])
        statuses = [None] * count

        def fetch(slot):
            statuses[slot] = viewer.get('/photo/%d' % slot, timeout=300)[0]

        threads = [threading.Thread(target=fetch, args=(slot,)) for slot in range(count)]
        started = time.monotonic()
        for thread in threads:
            thread.start()
        for thread in threads:
            thread.join()
        wall = time.monotonic() - started
        peak = viewer.memory_mb('VmHWM')
        viewer.stop(signal.SIGINT)
    return {'%d deep PNGs wall (s)' % count: wall, '%d deep PNGs peak RSS (MB)' % count: peak,
            '  answered 200': statuses.count(200)}


def unread_rows(binary, photo, clients=220):
    with tempfile.TemporaryDirectory() as folder:
        for index in range(32):
            os.link(os.path.abspath(photo), os.path.join(folder, 'photo%02d.jpg' % index))
        viewer = Viewer(binary, [folder])
        row = '/thumbnails?first=0&count=32&size=256'
        viewer.get(row, timeout=120)  # the thumbnails made and cached
        before = viewer.memory_mb('VmRSS')
        unread = []
        for _ in range(clients):
            sock = socket.create_connection(('127.0.0.1', viewer.port), timeout=60)
            sock.sendall(b'GET %s HTTP/1.1\r\nHost: 127.0.0.1:%d\r\n\r\n' % (row.encode(), viewer.port))
            unread.append(sock)
        for sock in unread:
            sock.recv(12)  # its answer is under way
        peak = viewer.memory_mb('VmHWM')
        for sock in unread:
            sock.close()
        viewer.get('/snapshot')  # the server has seen them go
        after = viewer.memory_mb('VmRSS')
        viewer.stop(signal.SIGINT)
    return {'RSS before (MB)': before, '%d unread rows peak RSS (MB)' % clients: peak, 'RSS once closed (MB)': after}


FLING_COLUMNS = 9  # a tablet's album
FLING_ROWS = 11  # rows a screen shows; the page asks one more either side


class RowRequest:
    """One row's /thumbnails request on a socket of its own, read without blocking."""

    def __init__(self, port, row, photos):
        first = row * FLING_COLUMNS
        count = min(FLING_COLUMNS, photos - first)
        self.row = row
        self.sock = socket.create_connection(('127.0.0.1', port))
        self.sock.setblocking(False)
        self.sock.sendall(b'GET /thumbnails?first=%d&count=%d&size=256 HTTP/1.1\r\nHost: 127.0.0.1:%d\r\n'
                          b'Connection: close\r\n\r\n' % (first, count, port))
        self.data = b''

    def read(self):
        """True once the whole answer is in (or the server closed)."""
        try:
            chunk = self.sock.recv(1 << 20)
        except BlockingIOError:
            return False
        except OSError:
            return True
        self.data += chunk
        return not chunk


def fling(binary, photo, seconds=60, photos=10000, step=0.15, browser_connections=6):
    """The page's album flung screen after screen: see the module's text."""
    import selectors
    with tempfile.TemporaryDirectory() as folder:
        for index in range(photos):
            os.link(os.path.abspath(photo), os.path.join(folder, 'photo%05d.jpg' % index))
        cache = os.path.join(folder, 'cache')
        viewer = Viewer(binary, [folder], {'XDG_CACHE_HOME': cache})
        rows = (photos + FLING_COLUMNS - 1) // FLING_COLUMNS
        screens = rows // FLING_ROWS
        latencies = []
        done = threading.Event()

        def ask_screen():
            while not done.is_set():
                latencies.append(timed(lambda: viewer.get('/snapshot', timeout=30)))
                done.wait(0.1)

        asker = threading.Thread(target=ask_screen)
        asker.start()
        selector = selectors.DefaultSelector()
        in_flight = {}  # row -> RowRequest
        queued = []
        shown = set()
        most_close_waits = 0
        started = time.monotonic()
        screen = 0
        view = set()
        last_change = started
        filled = None
        at_end = None
        while True:
            now = time.monotonic()
            flinging = now - started < seconds
            if flinging and (now - last_change >= step or not view):
                # The next screen, down the album and back up again.
                position = screen % (2 * screens)
                top = (position if position < screens else 2 * screens - position) * FLING_ROWS
                screen += 1
                last_change = now
                view = set(range(max(0, top - 1), min(rows, top + FLING_ROWS + 1)))
                shown = set()
                # Those abandoned a step ago, which the server has had a step's time to close.
                most_close_waits = max(most_close_waits, close_waits(viewer.port))
                for row in [row for row in in_flight if row not in view]:
                    request = in_flight.pop(row)
                    selector.unregister(request.sock)
                    request.sock.close()  # abandoned, as the page's AbortController does
                queued = [row for row in sorted(view) if row not in in_flight]
            while queued and len(in_flight) < browser_connections:
                row = queued.pop(0)
                request = RowRequest(viewer.port, row, photos)
                in_flight[row] = request
                selector.register(request.sock, selectors.EVENT_READ, request)
            for key, _ in selector.select(timeout=0.01):
                request = key.data
                if request.read():
                    selector.unregister(request.sock)
                    request.sock.close()
                    del in_flight[request.row]
                    if request.data.startswith(b'HTTP/1.1 200'):
                        shown.add(request.row)
                    else:
                        queued.append(request.row)  # asked again, as the page does when it next draws
            if not flinging:
                if at_end is None:
                    time.sleep(step)
                    at_end = close_waits(viewer.port)
                if filled is None and shown >= view:
                    filled = time.monotonic() - last_change
                    break
                if time.monotonic() - last_change > 120:
                    filled = float('inf')
                    break
        done.set()
        asker.join()
        for request in in_flight.values():
            request.sock.close()
        made = sum(len(files) for _, _, files in os.walk(os.path.join(cache, 'thumbnails')))
        viewer.stop(signal.SIGINT)
    return {
        'fling: /snapshot p50 (ms)': percentile(latencies, 0.50) * 1000,
        'fling: /snapshot p99 (ms)': percentile(latencies, 0.99) * 1000,
        'fling: CLOSE_WAIT sockets, most seen': most_close_waits,
        'fling: CLOSE_WAIT sockets a step after it stops': at_end,
        'fling: last screen filled after (s)': filled,
        'fling: thumbnails made': made,
    }


def slow_readers(binary, photo, readers=40, idle=240, seconds=20):
    with tempfile.TemporaryDirectory() as folder:
        for index in range(32):
            os.link(os.path.abspath(photo), os.path.join(folder, 'photo%02d.jpg' % index))
        viewer = Viewer(binary, [folder])
        row = '/thumbnails?first=0&count=32&size=256'
        viewer.get(row, timeout=120)  # the thumbnails made and cached
        done = threading.Event()

        def read_slowly():
            while not done.is_set():
                try:
                    with socket.create_connection(('127.0.0.1', viewer.port), timeout=30) as sock:
                        sock.setsockopt(socket.SOL_SOCKET, socket.SO_RCVBUF, 4096)
                        sock.sendall(b'GET %s HTTP/1.1\r\nHost: 127.0.0.1:%d\r\n\r\n' % (row.encode(), viewer.port))
                        while not done.wait(1):
                            if not sock.recv(1):
                                break
                except OSError:
                    pass

        def keep_idle():
            sockets = []
            while not done.is_set():
                sockets = [sock for sock in sockets if sock.fileno() >= 0]
                alive = []
                for sock in sockets:
                    try:
                        sock.setblocking(False)
                        if sock.recv(1) == b'':
                            sock.close()
                            continue
                    except BlockingIOError:
                        pass
                    except OSError:
                        sock.close()
                        continue
                    alive.append(sock)
                sockets = alive
                while len(sockets) < idle and not done.is_set():
                    try:
                        sockets.append(socket.create_connection(('127.0.0.1', viewer.port), timeout=1))
                    except OSError:
                        break
                done.wait(0.05)
            for sock in sockets:
                sock.close()

        threads = [threading.Thread(target=read_slowly) for _ in range(readers)] + [threading.Thread(target=keep_idle)]
        for thread in threads:
            thread.start()
        time.sleep(2)  # every slow reader has its answer under way
        latencies = []
        deadline = time.monotonic() + seconds
        while time.monotonic() < deadline:
            latencies.append(timed(lambda: viewer.get('/snapshot', timeout=10)))
            time.sleep(0.05)
        done.set()
        for thread in threads:
            thread.join()
        viewer.stop(signal.SIGINT)
    answered = sum(1 for value in latencies if value != float('inf'))
    return {
        'slow readers: /snapshot p50 (ms)': percentile(latencies, 0.50) * 1000,
        'slow readers: /snapshot p99 (ms)': percentile(latencies, 0.99) * 1000,
        'slow readers: /snapshot answered (%)': 100.0 * answered / len(latencies),
    }


def first_photo(binaries, photos):
    """Builds take turns, so a change in the machine's load hits them alike."""
    figures = [{} for _ in binaries]
    for name, photo in photos:
        times = [[] for _ in binaries]
        page = [[] for _ in binaries]
        for _ in range(5):
            for slot, binary in enumerate(binaries):
                viewer = Viewer(binary, [photo])
                page[slot].append(timed(lambda: viewer.get('/viewer.js')))
                times[slot].append(timed(lambda: viewer.get('/photo/0', timeout=60)))
                viewer.stop(signal.SIGINT)
        for slot in range(len(binaries)):
            figures[slot]['first photo %s (ms)' % name] = statistics.median(times[slot]) * 1000
            figures[slot]['  viewer.js beside it (ms)'] = statistics.median(page[slot]) * 1000
    return figures


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument('--viewer', required=True)
    parser.add_argument('--yardstick')
    parser.add_argument('--photos', required=True, help='the folder quorix_bench_photos wrote')
    parser.add_argument('--samples', default=os.path.join(os.path.dirname(__file__), '..', 'samples'))
    parser.add_argument('--fling-seconds', type=float, default=60, help='how long the fling lasts (default 60)')
    parser.add_argument('--only', help='run one scenario: slow, heic, walk, deep, unread, fling, readers or first')
    args = parser.parse_args()

    scenarios = {
        'slow': lambda binary: slow_clients(binary, args.samples),
        'heic': lambda binary: big_heic(binary, os.path.join(args.photos, 'camera-45mp.heic')),
        'walk': lambda binary: walk(binary, os.path.join(args.photos, 'camera-24mp.jpg')),
        'deep': lambda binary: deep_pngs(binary),
        'unread': lambda binary: unread_rows(binary, os.path.join(args.samples, 'quorix-sample.jpg')),
        'fling': lambda binary: fling(binary, os.path.join(args.photos, 'photo-00000.jpg'), args.fling_seconds),
        'readers': lambda binary: slow_readers(binary, os.path.join(args.samples, 'quorix-sample.jpg')),
    }
    photos = [('24 MP JPEG', os.path.join(args.photos, 'camera-24mp.jpg')),
              ('12 MP HEIC', os.path.join(args.photos, 'phone-12mp.heic'))]
    builds = [('viewer', args.viewer)] + ([('yardstick', args.yardstick)] if args.yardstick else [])
    names = ([name for name, _ in builds] + [''])[:2]
    print('%-34s %12s %12s %8s' % ('', *names, 'ratio' if args.yardstick else ''))
    runs = [(name, lambda scenario=scenario: [scenario(binary) for _, binary in builds]) for name, scenario in scenarios.items()]
    runs.append(('first', lambda: first_photo([binary for _, binary in builds], photos)))
    for name, run in runs:
        if args.only and name != args.only:
            continue
        rows = run()
        for key in rows[0]:
            values = [row[key] for row in rows]
            ratio = values[0] / values[1] if len(values) > 1 and values[1] not in (0, float('inf')) else float('nan')
            print('%-34s %12.1f %12s %8s' % (key, values[0], '%.1f' % values[1] if len(values) > 1 else '',
                                             '%.2f' % ratio if len(values) > 1 else ''))
        sys.stdout.flush()


if __name__ == '__main__':
    main()
