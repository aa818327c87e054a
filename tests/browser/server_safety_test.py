#!/usr/bin/env python3
"""The viewer's server as a web page elsewhere, or a broken client, would meet
it: requests naming another host or coming from another origin are refused
and change nothing, malformed and oversized requests get a 4xx answer, only
the photos it was started with are served, and the viewer goes on serving
afterwards and stops cleanly on SIGINT and SIGTERM. Beyond that, the attacks
a hostile page, a broken client or a heavy user makes, each bounded in count
and time and on the loopback address only."""

import argparse
import http.client
import json
import signal
import socket
import subprocess
import sys
import tempfile
import threading
import time
import unittest
import zlib

from viewer_server import ViewerServer, wait_until

ARGS = None


def request(server, method, path, body=None, headers=None):
    connection = http.client.HTTPConnection('127.0.0.1', server.port, timeout=10)
    try:
        connection.request(method, path, body=body, headers=headers or {})
        response = connection.getresponse()
        return response.status, response.read()
    finally:
        connection.close()


def raw(server, data, half_close=False):
    """Sends bytes as they are (then closes its sending side if asked) and
    returns the status of the answer, or None when there is none."""
    with socket.create_connection(('127.0.0.1', server.port), timeout=10) as sock:
        try:
            sock.sendall(data)
            if half_close:
                sock.shutdown(socket.SHUT_WR)
            answer = b''
            while b'\r\n' not in answer:
                chunk = sock.recv(4096)
                if not chunk:
                    break
                answer += chunk
        except (BrokenPipeError, ConnectionResetError):
            return None
    parts = answer.split(b' ', 2)
    return int(parts[1]) if len(parts) > 1 and parts[1].isdigit() else None


def head(server, *fields):
    """A request head for this server, with `fields` after its Host."""
    lines = [b'Host: 127.0.0.1:%d' % server.port, *fields]
    return b''.join(line + b'\r\n' for line in lines) + b'\r\n'


def shown_photo(server):
    status, body = request(server, 'GET', '/snapshot')
    assert status == 200, status
    return json.loads(body)['photo']['index']


def one_bit_png(width, height):
    """A PNG of `width` x `height` black pixels at one bit each: a few KB that
    declare an image of many megapixels."""
    def part(kind, data):
        return len(data).to_bytes(4, 'big') + kind + data + zlib.crc32(kind + data).to_bytes(4, 'big')
    header = width.to_bytes(4, 'big') + height.to_bytes(4, 'big') + bytes([1, 0, 0, 0, 0])
    row = b'\0' * (1 + (width + 7) // 8)
    compressor = zlib.compressobj(9)
    data = b''.join(compressor.compress(row) for _ in range(height)) + compressor.flush()
    return b'\x89PNG\r\n\x1a\n' + part(b'IHDR', header) + part(b'IDAT', data) + part(b'IEND', b'')


def interlaced_rgba16_png(width, height):
    """An interlaced PNG of `width` x `height` black pixels at 16 bits per
    channel with alpha: small on disk, eight bytes a pixel to decode, and
    its decoder holds the whole image before the first row comes out."""
    def part(kind, data):
        return len(data).to_bytes(4, 'big') + kind + data + zlib.crc32(kind + data).to_bytes(4, 'big')
    header = width.to_bytes(4, 'big') + height.to_bytes(4, 'big') + bytes([16, 6, 0, 0, 1])
    compressor = zlib.compressobj(9)
    data = []
    # The seven passes of Adam7: (first column, first row, column step, row step).
    for x0, y0, dx, dy in ((0, 0, 8, 8), (4, 0, 8, 8), (0, 4, 4, 8), (2, 0, 4, 4), (0, 2, 2, 4), (1, 0, 2, 2), (0, 1, 1, 2)):
        columns, rows = (width - x0 + dx - 1) // dx, (height - y0 + dy - 1) // dy
        if columns and rows:
            row = b'\0' * (1 + columns * 8)
            data.extend(compressor.compress(row) for _ in range(rows))
    data.append(compressor.flush())
    return b'\x89PNG\r\n\x1a\n' + part(b'IHDR', header) + part(b'IDAT', b''.join(data)) + part(b'IEND', b'')


def layer_roles(server):
    status, body = request(server, 'GET', '/snapshot')
    assert status == 200, status
    return [layer['role'] for layer in json.loads(body)['screen']['layers']]


class ServerSafety(unittest.TestCase):
    def test_foreign_pages_cannot_drive_the_viewer_and_bad_requests_do_not_stop_it(self):
        with ViewerServer(ARGS.viewer, [], [ARGS.samples + '/quorix-sample.jpg']) as server:
            own = '127.0.0.1:%d' % server.port
            # The page itself, by both of the names a person may type.
            status, body = request(server, 'GET', '/')
            self.assertEqual(status, 200)
            self.assertIn(b'viewer.js', body)
            self.assertEqual(request(server, 'GET', '/', headers={'Host': 'localhost:%d' % server.port})[0], 200)

            # Another host name that resolves here (DNS rebinding), another port, no Host at all.
            for host in ('attacker.example:%d' % server.port, '127.0.0.1:1', 'localhost'):
                self.assertEqual(request(server, 'GET', '/snapshot', headers={'Host': host})[0], 403, host)
            self.assertEqual(raw(server, b'GET /snapshot HTTP/1.0\r\n\r\n'), 403)

            # A page elsewhere posting a command: refused, and nothing happens.
            for origin in ('http://attacker.example', 'http://%s.attacker.example' % own, 'https://' + own, 'null'):
                status, _ = request(server, 'POST', '/command', body='tap Info',
                                    headers={'Origin': origin, 'Content-Type': 'text/plain'})
                self.assertEqual(status, 403, origin)
            self.assertEqual(request(server, 'GET', '/photo/0', headers={'Origin': 'http://attacker.example'})[0], 403)
            self.assertEqual(layer_roles(server), ['viewer'])

            # Malformed and oversized requests.
            # Not HTTP at all: closed, answered or not.
            self.assertIn(raw(server, b'NONSENSE\r\n\r\n') or 400, range(400, 500))
            self.assertEqual(raw(server, b'GET / HTTP/1.1\r\nHost: ' + own.encode() + b'\r\n' + b'X: ' + b'a' * 20000 + b'\r\n\r\n') // 100, 4)
            self.assertEqual(request(server, 'POST', '/command', body='x' * 100000)[0], 413)
            self.assertEqual(request(server, 'POST', '/command', body='tap Info\nquit')[0], 400)
            self.assertEqual(request(server, 'POST', '/command', body='')[0], 400)
            self.assertEqual(request(server, 'PUT', '/command', body='tap Info')[0] // 100, 4)

            # Photos by index only, and only those it was started with.
            status, body = request(server, 'GET', '/photo/0')
            self.assertEqual(status, 200)
            self.assertEqual(body[:3], b'\xff\xd8\xff')
            for path in ('/photo/1', '/photo/99999999999999', '/photo/-1', '/photo/../../etc/passwd',
                         '/photo/%2e%2e/%2e%2e/etc/passwd', '/../../etc/passwd', '/web/viewer.js/../../../../etc/passwd'):
                status, body = request(server, 'GET', path)
                self.assertEqual(status // 100, 4, path)
                self.assertNotIn(b'root:', body)

            # The host went on: its own page's command works.
            status, body = request(server, 'POST', '/command', body='tap Info',
                                   headers={'Origin': 'http://' + own, 'Content-Type': 'text/plain'})
            self.assertEqual((status, json.loads(body)), (200, {'ok': True}))
            self.assertEqual(layer_roles(server), ['viewer', 'modal'])
            status, body = request(server, 'POST', '/command', body='tap Nothing Like This')
            self.assertEqual(status, 200)
            self.assertFalse(json.loads(body)['ok'])
            self.assertEqual(server.stop(signal.SIGINT), 0)

    def test_stops_on_sigterm_and_the_quit_command(self):
        with ViewerServer(ARGS.viewer, ['--device', 'tablet'], [ARGS.samples]) as server:
            self.assertEqual(server.stop(signal.SIGTERM), 0)
        with ViewerServer(ARGS.viewer, [], [ARGS.samples]) as server:
            status, body = request(server, 'POST', '/command', body='quit')
            self.assertEqual((status, json.loads(body)), (200, {'ok': True}))
            self.assertEqual(server.process.wait(10), 0)

    def test_a_port_in_use_is_reported(self):
        with ViewerServer(ARGS.viewer, [], [ARGS.samples]) as server:
            second = subprocess.run([ARGS.viewer, '--serve', '--port', str(server.port), ARGS.samples],
                                    capture_output=True, text=True, timeout=30)
            self.assertEqual(second.returncode, 1)
            self.assertIn('cannot listen on 127.0.0.1 port %d: Address already in use' % server.port, second.stderr)
            self.assertEqual(second.stdout, '')



class HostileClients(unittest.TestCase):
    """One case per attack found against the server."""

    def test_an_empty_or_blank_origin_is_not_the_pages_own(self):
        with ViewerServer(ARGS.viewer, [], [ARGS.samples]) as server:
            for origin in (b'Origin:', b'Origin: ', b'Origin:   \t'):
                self.assertEqual(raw(server, b'POST /command HTTP/1.1\r\n' + head(server, origin, b'Content-Length: 4') + b'next'), 403, origin)
            self.assertEqual(shown_photo(server), 0)

    def test_two_content_lengths_that_differ_are_refused(self):
        with ViewerServer(ARGS.viewer, [], [ARGS.samples]) as server:
            status = raw(server, b'POST /command HTTP/1.1\r\n' + head(server, b'Content-Length: 4', b'Content-Length: 40') + b'next')
            self.assertEqual(status, 400)
            # A length and a chunked body: which one ends the request is the smuggler's question.
            status = raw(server, b'POST /command HTTP/1.1\r\n' + head(server, b'Content-Length: 9', b'Transfer-Encoding: chunked')
                         + b'4\r\nnext\r\n0\r\n\r\n')
            self.assertEqual(status, 400)
            self.assertEqual(shown_photo(server), 0)

    def test_a_chunked_body_over_the_limit_is_refused_without_being_kept(self):
        with ViewerServer(ARGS.viewer, [], [ARGS.samples]) as server:
            chunked = head(server, b'Transfer-Encoding: chunked', b'Content-Type: text/plain')
            body = b'4e20\r\n' + b'x' * 20000 + b'\r\n0\r\n\r\n'
            self.assertEqual(raw(server, b'POST /command HTTP/1.1\r\n' + chunked + body), 413)
            # Many small chunks, each within the limit, add up beyond it.
            body = b'10\r\n' + b'x' * 16 + b'\r\n'
            self.assertEqual(raw(server, b'POST /command HTTP/1.1\r\n' + chunked + body * 1100 + b'0\r\n\r\n'), 413)
            # 64 MB streamed: the server drops the connection rather than keep it.
            before = server.memory_kb()
            with socket.create_connection(('127.0.0.1', server.port), timeout=10) as sock:
                sock.sendall(b'POST /command HTTP/1.1\r\n' + chunked)
                chunk = b'100000\r\n' + b'\0' * 0x100000 + b'\r\n'
                with self.assertRaises((BrokenPipeError, ConnectionResetError)):
                    for _ in range(64):
                        sock.sendall(chunk)
            self.assertLess(server.memory_kb() - before, 16 * 1024)
            self.assertEqual(shown_photo(server), 0)

    def test_too_many_header_fields_are_refused_with_431(self):
        with ViewerServer(ARGS.viewer, [], [ARGS.samples]) as server:
            fields = [b'X-Field-%d: a' % i for i in range(100)]
            self.assertEqual(raw(server, b'GET /snapshot HTTP/1.1\r\n' + head(server, *fields)), 431)
            # 4 MB of header fields: refused long before the end, memory flat.
            before = server.memory_kb()
            flood = b'GET /snapshot HTTP/1.1\r\n' + head(server, *[b'X-%d: a' % i for i in range(400000)])
            self.assertIn(raw(server, flood), (431, None))
            self.assertLess(server.memory_kb() - before, 16 * 1024)
            self.assertEqual(shown_photo(server), 0)

    def test_slow_and_idle_clients_neither_block_the_page_nor_delay_stopping(self):
        for sig, trickling in ((signal.SIGINT, 8), (signal.SIGTERM, 16)):
            with ViewerServer(ARGS.viewer, [], [ARGS.samples]) as server:
                done = threading.Event()
                cut = []

                def trickle():
                    try:
                        with socket.create_connection(('127.0.0.1', server.port), timeout=30) as sock:
                            for byte in (b'GET /snapshot HTTP/1.1\r\n' + head(server)) * 100:
                                if done.wait(0.25):
                                    return
                                sock.send(bytes([byte]))
                    except OSError:
                        cut.append(True)  # the server closed it

                idle = [socket.create_connection(('127.0.0.1', server.port), timeout=30) for _ in range(100)]
                threads = [threading.Thread(target=trickle) for _ in range(trickling)]
                for thread in threads:
                    thread.start()
                try:
                    # The page is answered at once, however many clients dawdle.
                    started = time.monotonic()
                    self.assertEqual(request(server, 'GET', '/snapshot')[0], 200)
                    self.assertLess(time.monotonic() - started, 5)
                    if sig == signal.SIGINT:
                        # A client that trickles its request loses its connection.
                        wait_until(lambda: len(cut) == trickling, timeout=30, what='the slow clients to be cut off')
                    started = time.monotonic()
                    self.assertEqual(server.stop(sig, timeout=10), 0)
                    self.assertLess(time.monotonic() - started, 3)
                finally:
                    done.set()
                    for thread in threads:
                        thread.join()
                    for sock in idle:
                        sock.close()

    def test_idle_sockets_cannot_take_every_slot(self):
        with ViewerServer(ARGS.viewer, [], [ARGS.samples]) as server:
            idle = []
            try:
                for _ in range(300):  # more than the server takes at once
                    idle.append(socket.create_connection(('127.0.0.1', server.port), timeout=30))
                started = time.monotonic()
                self.assertEqual(request(server, 'GET', '/snapshot')[0], 200)
                self.assertLess(time.monotonic() - started, 5)
            finally:
                for sock in idle:
                    sock.close()

    def test_many_ranges_do_not_multiply_the_answer(self):
        with ViewerServer(ARGS.viewer, [], [ARGS.samples + '/quorix-sample.jpg']) as server:
            status, whole = request(server, 'GET', '/photo/0')
            self.assertEqual(status, 200)
            ranges = 'bytes=' + ','.join(['0-'] * 2000)
            status, body = request(server, 'GET', '/photo/0', headers={'Range': ranges})
            self.assertIn(status, (200, 416))
            self.assertLessEqual(len(body), len(whole))

    def test_listen_takes_real_addresses_and_asks_for_a_token_beyond_loopback(self):
        for address in ('', 'not an address', '999.1.1.1'):
            run = subprocess.run([ARGS.viewer, '--serve', '--listen', address, ARGS.samples],
                                 capture_output=True, text=True, timeout=30)
            self.assertEqual(run.returncode, 2, address)
            self.assertIn("--listen: '%s' is not an address" % address, run.stderr)
        with ViewerServer(ARGS.viewer, ['--listen', 'localhost'], [ARGS.samples]) as server:
            for host in ('127.0.0.1', 'localhost'):
                self.assertEqual(request(server, 'GET', '/snapshot', headers={'Host': '%s:%d' % (host, server.port)})[0], 200, host)
            self.assertIsNone(server.token)
        # Every address of the machine; the attack still comes only over loopback.
        with ViewerServer(ARGS.viewer, ['--listen', '0.0.0.0'], [ARGS.samples]) as server:
            self.assertRegex(server.token or '', r'^[0-9a-f]{32}$')
            for host in ('127.0.0.1', 'localhost', 'attacker.example'):
                headers = {'Host': '%s:%d' % (host, server.port)}
                self.assertEqual(request(server, 'GET', '/snapshot', headers=headers)[0], 403, host)
                self.assertEqual(request(server, 'GET', '/snapshot?token=' + '0' * 32, headers=headers)[0], 403, host)
            # The page itself needs no token, sets no cookie; its requests carry the token in a header.
            connection = http.client.HTTPConnection('127.0.0.1', server.port, timeout=10)
            connection.request('GET', '/?token=' + server.token, headers={'Host': 'localhost:%d' % server.port})
            page = connection.getresponse()
            page.read()
            self.assertEqual(page.status, 200)
            self.assertIsNone(page.getheader('Set-Cookie'))
            connection.close()
            own = {'Host': 'localhost:%d' % server.port}
            self.assertEqual(request(server, 'GET', '/snapshot', headers=dict(own, **{'X-Quorix-Token': server.token}))[0], 200)
            self.assertEqual(request(server, 'GET', '/snapshot', headers=dict(own, Cookie='quorix-token=' + server.token))[0], 403)

    def test_a_place_is_asked_for_in_finite_degrees(self):
        with ViewerServer(ARGS.viewer, [], [ARGS.samples]) as server:
            self.assertEqual(request(server, 'GET', '/place?latitude=59.9&longitude=10.7')[0], 200)
            for latitude, longitude in (('nan', '0'), ('0', 'nan'), ('inf', '0'), ('0', '-inf'), ('NaN', 'NaN'), ('91', '0')):
                status, _ = request(server, 'GET', '/place?latitude=%s&longitude=%s' % (latitude, longitude))
                self.assertEqual(status, 400, (latitude, longitude))

    def test_photos_are_decoded_once_for_many_and_never_for_a_foreign_page(self):
        with tempfile.TemporaryDirectory() as folder:
            with open(folder + '/bomb.png', 'wb') as out:
                out.write(one_bit_png(12000, 12000))
            photos = [ARGS.samples + '/quorix-sample.jpg', folder + '/bomb.png']
            with ViewerServer(ARGS.viewer, [], photos) as server:
                own = 'http://127.0.0.1:%d' % server.port
                for headers in ({'Sec-Fetch-Site': 'cross-site'}, {'Sec-Fetch-Site': 'same-site'},
                                {'Referer': 'http://attacker.example/page'}, {'Referer': own + '.attacker.example/'}):
                    self.assertEqual(request(server, 'GET', '/photo/0', headers=headers)[0], 403, headers)
                answers = [None] * 8

                def fetch(slot):
                    answers[slot] = request(server, 'GET', '/photo/0', headers={'Sec-Fetch-Site': 'same-origin', 'Referer': own + '/'})

                threads = [threading.Thread(target=fetch, args=(slot,)) for slot in range(8)]
                for thread in threads:
                    thread.start()
                for thread in threads:
                    thread.join()
                self.assertEqual({status for status, _ in answers}, {200})
                self.assertEqual(len({body for _, body in answers}), 1)
                # A small file declaring 144 megapixels is refused before it is decoded.
                before = server.memory_kb()
                status, body = request(server, 'GET', '/photo/1')
                self.assertEqual(status, 422)
                self.assertIn(b'too many', body)
                self.assertLess(server.memory_kb() - before, 64 * 1024)

    def test_a_photo_whose_decode_would_pass_the_memory_budget_is_refused_undecoded(self):
        # 81 megapixels, under the pixel cap, but 648 MB to decode: more
        # than the budget the viewer decodes with.
        with tempfile.TemporaryDirectory() as folder:
            with open(folder + '/deep.png', 'wb') as out:
                out.write(interlaced_rgba16_png(9000, 9000))
            with ViewerServer(ARGS.viewer, [], [folder + '/deep.png', ARGS.samples + '/quorix-sample.jpg']) as server:
                before = server.memory_kb('VmHWM')
                status, body = request(server, 'GET', '/photo/0')
                self.assertEqual(status, 422)
                self.assertIn(b'to decode', body)
                self.assertEqual(request(server, 'GET', '/thumbnails?first=0&count=2&size=128')[0], 200)
                self.assertLess(server.memory_kb('VmHWM') - before, 64 * 1024)
                self.assertEqual(request(server, 'GET', '/photo/1')[0], 200)

    def test_a_client_that_half_closes_after_its_request_gets_its_answer(self):
        with ViewerServer(ARGS.viewer, [], [ARGS.samples]) as server:
            self.assertEqual(raw(server, b'GET /snapshot HTTP/1.1\r\n' + head(server), half_close=True), 200)
            self.assertEqual(raw(server, b'POST /command HTTP/1.1\r\n' + head(server, b'Content-Length: 4') + b'next',
                                 half_close=True), 200)
            self.assertEqual(shown_photo(server), 1)

if __name__ == '__main__':
    parser = argparse.ArgumentParser()
    parser.add_argument('--viewer', required=True)
    parser.add_argument('--samples', required=True)
    ARGS, rest = parser.parse_known_args()
    unittest.main(argv=[sys.argv[0], '-v', *rest])
