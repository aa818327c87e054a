#!/usr/bin/env python3
"""The album's rows of thumbnails as the page and a hostile client ask for
them: /thumbnails?first=N&count=M&size=PX answers one multipart/form-data
response, read here with Python's own MIME parser, whose parts are the
same thumbnails /thumbnail/N gives (as data: URLs) or say why there is
none; and every number in the address is held to its limit, the viewer
serving on afterwards. Loopback only, bounded in count and time."""

import base64
import email.parser
import email.policy
import hashlib
import http.client
import os
import select
import socket
import struct
import sys
import tempfile
import unittest
import urllib.parse
import zlib

from server_safety_test import one_bit_png
from viewer_server import ViewerServer, close_waits, parse_paths, wait_until

ARGS = None
PHOTOS = 40
BROKEN = 5
MAX_PER_REQUEST = 32  # limits::maxThumbnailsPerRequest
MAX_SIDE = 4096  # limits::maxThumbnailSide
UNREAD_CLIENTS = 40
MAX_THUMBNAIL_BYTES = 1024 * 1024  # limits::maxThumbnailBytes
MAX_UNREAD_BYTES = 128 * 1024 * 1024  # limits::maxUnreadAnswerBytes


def get(server, path):
    connection = http.client.HTTPConnection('127.0.0.1', server.port, timeout=30)
    try:
        connection.request('GET', path)
        response = connection.getresponse()
        return response.status, response.getheader('Content-Type') or '', response.read()
    finally:
        connection.close()


def form_parts(content_type, body):
    """{name: text} of a multipart/form-data body."""
    message = email.parser.BytesParser(policy=email.policy.HTTP).parsebytes(
        b'Content-Type: ' + content_type.encode() + b'\r\n\r\n' + body)
    assert message.is_multipart(), content_type
    parts = {}
    for part in message.iter_parts():
        assert part.get_content_disposition() == 'form-data', part
        parts[part.get_param('name', header='content-disposition')] = part.get_payload(decode=True).decode()
    return parts


def png_from_data_url(url):
    prefix = 'data:image/png;base64,'
    assert url.startswith(prefix), url[:40]
    return base64.b64decode(url[len(prefix):], validate=True)


def png_chunk(kind, data):
    return struct.pack('>I', len(data)) + kind + data + struct.pack('>I', zlib.crc32(kind + data))


class ThumbnailBatch(unittest.TestCase):
    def setUp(self):
        self.folder = tempfile.TemporaryDirectory(prefix='quorix batch ')
        self.photos = []
        for i in range(PHOTOS):
            path = os.path.join(self.folder.name, 'photo %03d.jpg' % i)
            if i == BROKEN:
                with open(path, 'w') as file:
                    file.write('not a photo')
            else:
                os.link(os.path.join(ARGS.samples, 'quorix-sample.jpg'), path)
            self.photos.append(path)

    def tearDown(self):
        self.folder.cleanup()

    def test_a_row_in_one_answer_holds_the_thumbnails_one_by_one_would_give(self):
        with ViewerServer(ARGS.viewer, ['--device', 'tablet'], self.photos) as server:
            status, kind, body = get(server, '/thumbnails?first=0&count=9&size=84')
            self.assertEqual(status, 200, body[:80])
            self.assertTrue(kind.startswith('multipart/form-data; boundary='), kind)
            parts = form_parts(kind, body)
            self.assertEqual(list(parts), [str(i) for i in range(9)])
            self.assertRegex(parts[str(BROKEN)], r'cannot be decoded$')
            for i in (0, 8):
                png = png_from_data_url(parts[str(i)])
                self.assertEqual(png[:8], b'\x89PNG\r\n\x1a\n')
                self.assertEqual(png, get(server, '/thumbnail/%d?size=84' % i)[2])
            # The last row, which is shorter, and the large flavour for a bigger cell.
            status, kind, body = get(server, '/thumbnails?first=36&count=4&size=200')
            self.assertEqual(status, 200)
            last = form_parts(kind, body)
            self.assertEqual(list(last), ['36', '37', '38', '39'])
            width, height = struct.unpack('>II', png_from_data_url(last['39'])[16:24])
            self.assertEqual(max(width, height), 256)

    def test_every_number_of_the_address_is_held_to_its_limit(self):
        with ViewerServer(ARGS.viewer, [], self.photos) as server:
            refused = [
                # count: from 1 to the limit, digits only, and within the album
                'first=0&count=%d&size=84' % (MAX_PER_REQUEST + 1), 'first=0&count=0&size=84',
                'first=0&count=-1&size=84', 'first=0&count=%2B3&size=84', 'first=0&count=1e1&size=84',
                'first=0&count=99999999999999999999&size=84', 'first=0&size=84', 'first=35&count=9&size=84',
                # first: digits only, and one of the photos
                'first=%d&count=1&size=84' % PHOTOS, 'first=-1&count=1&size=84', 'first=0x1&count=1&size=84',
                'first=%20&count=1&size=84', 'first=99999999999999999999&count=1&size=84', 'count=1&size=84',
                # size: a number of pixels up to the limit
                'first=0&count=1&size=%d' % (MAX_SIDE + 1), 'first=0&count=1&size=99999999999999999999',
                'first=0&count=1&size=abc', 'first=0&count=1&size=',
            ]
            for query in refused:
                status, _, body = get(server, '/thumbnails?' + query)
                self.assertEqual(status, 400, '%s: %s' % (query, body[:80]))
            self.assertEqual(get(server, '/thumbnail/0?size=99999999999999999999')[0], 400)
            self.assertEqual(get(server, '/thumbnail/0?size=%d' % (MAX_SIDE + 1))[0], 400)
            # The most a request may ask for, at the largest size, is served.
            status, kind, body = get(server, '/thumbnails?first=0&count=%d&size=%d' % (MAX_PER_REQUEST, MAX_SIDE))
            self.assertEqual((status, len(form_parts(kind, body))), (200, MAX_PER_REQUEST))

    def test_a_batch_being_made_does_not_hold_up_the_page(self):
        # As many PNGs as a batch may ask for, of 100 megapixels at one bit
        # each: a few KB that take libvips most of a second each to read
        # through, row by row, so the batch takes seconds even on two idle
        # cores and the screen is asked for well before it can be done.
        slow = [os.path.join(self.folder.name, 'large %d.png' % i) for i in range(MAX_PER_REQUEST)]
        with open(slow[0], 'wb') as out:
            out.write(one_bit_png(10000, 10000))
        for path in slow[1:]:
            os.link(slow[0], path)
        with ViewerServer(ARGS.viewer, [], slow) as server:
            batch = http.client.HTTPConnection('127.0.0.1', server.port, timeout=120)
            try:
                batch.request('GET', '/thumbnails?first=0&count=%d&size=84' % MAX_PER_REQUEST)
                # Meanwhile the page's screen is served, before any byte of the batch.
                self.assertEqual(get(server, '/snapshot')[0], 200)
                self.assertEqual(select.select([batch.sock], [], [], 0)[0], [], 'the batch was answered first')
                response = batch.getresponse()
                self.assertEqual(response.status, 200)
                parts = form_parts(response.getheader('Content-Type'), response.read())
                self.assertEqual(list(parts), [str(i) for i in range(MAX_PER_REQUEST)])
            finally:
                batch.close()

    def test_clients_that_do_not_read_a_row_share_one_copy_of_it(self):
        with ViewerServer(ARGS.viewer, [], self.photos) as server:
            row = '/thumbnails?first=0&count=%d&size=256' % MAX_PER_REQUEST
            status, _, body = get(server, row)
            self.assertEqual(status, 200)
            before = server.memory_kb('VmHWM')
            unread = []
            try:
                for _ in range(UNREAD_CLIENTS):
                    sock = socket.create_connection(('127.0.0.1', server.port), timeout=30)
                    sock.sendall(b'GET %s HTTP/1.1\r\nHost: 127.0.0.1:%d\r\n\r\n' % (row.encode(), server.port))
                    unread.append(sock)
                for sock in unread:  # each answer under way, left unread
                    self.assertTrue(sock.recv(12).startswith(b'HTTP/1.1 200'))
                # Each held its own copy of the row: 40 x 1.4 MB here.
                self.assertLess(server.memory_kb('VmHWM') - before, len(body) * UNREAD_CLIENTS // 1024 // 4)
            finally:
                for sock in unread:
                    sock.close()

    def slow_photos(self, count):
        """`count` names of one PNG of 100 megapixels at one bit each: a few
        KB that take libvips most of a second each to make a thumbnail of."""
        slow = [os.path.join(self.folder.name, 'large %d.png' % i) for i in range(count)]
        with open(slow[0], 'wb') as out:
            out.write(one_bit_png(10000, 10000))
        for path in slow[1:]:
            os.link(slow[0], path)
        return slow

    def test_rows_scrolled_past_are_dropped_and_the_row_in_view_comes_first(self):
        # A fast scroll: eight rows asked for and abandoned (the page closes
        # their connections), tens of seconds of decoding for two cores,
        # then the row in view.
        with ViewerServer(ARGS.viewer, [], self.slow_photos(72)) as server:
            abandoned = []
            for row in range(8):
                sock = socket.create_connection(('127.0.0.1', server.port), timeout=30)
                sock.sendall(b'GET /thumbnails?first=%d&count=8&size=84 HTTP/1.1\r\nHost: 127.0.0.1:%d\r\n\r\n'
                             % (row * 8, server.port))
                abandoned.append(sock)
            for sock in abandoned:
                sock.close()
            # The server sees each client go and closes its end at once,
            # rather than once the row is made: no socket is left half closed.
            wait_until(lambda: close_waits(server.port) == 0, timeout=5, what='the abandoned connections to be closed')
            status, _, body = get(server, '/thumbnails?first=64&count=8&size=84')
            self.assertEqual(status, 200, body[:80])
            # Made before it: at most the thumbnails under way when the rows
            # were abandoned, not the 64 asked for.
            made = os.listdir(os.path.join(server.scratch.name, 'cache', 'thumbnails', 'normal'))
            self.assertLess(len(made), 8 + 8)

    def test_answers_left_unread_are_bounded_in_all(self):
        # Another program's thumbnails of 64 photos, of 512 KiB each: a row
        # of 32 is a 21 MiB answer. The renderer keeps fewer than 32 of
        # them, so a client that asks for the other row than the one before
        # has an answer made of copies of its own, shared with none:
        # 32 clients that ask in turn and never read would hold 680 MiB.
        photos = [os.path.join(self.folder.name, 'big %02d.jpg' % i) for i in range(2 * MAX_PER_REQUEST)]
        for path in photos:
            os.link(self.photos[0], path)
        # In a sanitized build, freed blocks are held back for a while (256 MiB
        # by default) to catch their use: that is the sanitizer's memory, not
        # the answers', and would hide what this measures.
        quiet = {'ASAN_OPTIONS': os.environ['ASAN_OPTIONS'] + ':quarantine_size_mb=1'} if 'ASAN_OPTIONS' in os.environ else {}
        with ViewerServer(ARGS.viewer, [], photos, environment=quiet) as server:
            folder = os.path.join(server.scratch.name, 'cache', 'thumbnails', 'large')
            os.makedirs(folder, mode=0o700)
            header = struct.pack('>IIBBBBB', 1, 1, 8, 0, 0, 0, 0)
            for path in photos:
                uri = 'file://' + urllib.parse.quote(path)
                texts = {'Thumb::URI': uri, 'Thumb::MTime': str(int(os.stat(path).st_mtime))}
                with open(os.path.join(folder, hashlib.md5(uri.encode()).hexdigest() + '.png'), 'wb') as file:
                    file.write(b'\x89PNG\r\n\x1a\n' + png_chunk(b'IHDR', header)
                               + b''.join(png_chunk(b'tEXt', key.encode() + b'\0' + value.encode()) for key, value in texts.items())
                               + png_chunk(b'quRx', os.urandom(MAX_THUMBNAIL_BYTES // 2))
                               + png_chunk(b'IDAT', zlib.compress(b'\0\0')) + png_chunk(b'IEND', b''))
            rows = ['/thumbnails?first=%d&count=%d&size=256' % (first, MAX_PER_REQUEST) for first in (0, MAX_PER_REQUEST)]
            status, _, body = get(server, rows[1])
            self.assertEqual(status, 200)
            self.assertGreater(len(body), 20 * 1024 * 1024)
            before = server.memory_kb('VmHWM')
            unread = []
            try:
                statuses = []
                for client in range(32):  # in turn: answers asked for at once would share one making
                    sock = socket.create_connection(('127.0.0.1', server.port), timeout=60)
                    sock.sendall(b'GET %s HTTP/1.1\r\nHost: 127.0.0.1:%d\r\n\r\n' % (rows[client % 2].encode(), server.port))
                    unread.append(sock)
                    statuses.append(sock.recv(12))  # its answer under way, left unread
                # What the answers hold, the row being made and the renderer's cache.
                self.assertLess(server.memory_kb('VmHWM') - before, (MAX_UNREAD_BYTES + 128 * 1024 * 1024) // 1024)
                self.assertIn(b'HTTP/1.1 200', statuses)
                self.assertIn(b'HTTP/1.1 503', statuses)
                self.assertEqual(get(server, '/snapshot')[0], 200)
            finally:
                for sock in unread:
                    sock.close()
            # Once they are gone, so is what they held.
            wait_until(lambda: get(server, rows[0])[0] == 200, timeout=30, what='a row to be served again')

    def test_a_huge_file_in_the_shared_cache_is_made_again_not_answered(self):
        # Another program left a "thumbnail" of 3 MiB for photo 0, valid as
        # far as its chunks go: a batch of 32 such would hold 96 MiB.
        with ViewerServer(ARGS.viewer, [], self.photos) as server:
            uri = 'file://' + urllib.parse.quote(self.photos[0])
            texts = {'Thumb::URI': uri, 'Thumb::MTime': str(int(os.stat(self.photos[0]).st_mtime))}
            header = struct.pack('>IIBBBBB', 1, 1, 8, 0, 0, 0, 0)
            planted = b'\x89PNG\r\n\x1a\n' + png_chunk(b'IHDR', header) \
                + b''.join(png_chunk(b'tEXt', key.encode() + b'\0' + value.encode()) for key, value in texts.items()) \
                + png_chunk(b'quRx', b'\0' * (3 * 1024 * 1024)) \
                + png_chunk(b'IDAT', zlib.compress(b'\0\0')) + png_chunk(b'IEND', b'')
            folder = os.path.join(server.scratch.name, 'cache', 'thumbnails', 'normal')
            os.makedirs(folder, mode=0o700)
            with open(os.path.join(folder, hashlib.md5(uri.encode()).hexdigest() + '.png'), 'wb') as file:
                file.write(planted)
            status, kind, body = get(server, '/thumbnails?first=0&count=2&size=84')
            self.assertEqual(status, 200)
            self.assertLess(len(body), 2 * MAX_THUMBNAIL_BYTES)
            png = png_from_data_url(form_parts(kind, body)['0'])
            self.assertLess(len(png), MAX_THUMBNAIL_BYTES)
            self.assertEqual(struct.unpack('>II', png[16:24]), (128, 96))


if __name__ == '__main__':
    ARGS, rest = parse_paths('viewer', 'samples')
    unittest.main(argv=[sys.argv[0], '-v', *rest])
