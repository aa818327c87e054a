#!/usr/bin/env python3
"""The viewer's server as a web page elsewhere, or a broken client, would meet
it: requests naming another host or coming from another origin are refused
and change nothing, malformed and oversized requests get a 4xx answer, only
the photos it was started with are served, and the viewer goes on serving
afterwards and stops cleanly on SIGINT and SIGTERM."""

import argparse
import http.client
import json
import signal
import socket
import subprocess
import sys
import unittest

from viewer_server import ViewerServer

ARGS = None


def request(server, method, path, body=None, headers=None):
    connection = http.client.HTTPConnection('127.0.0.1', server.port, timeout=10)
    try:
        connection.request(method, path, body=body, headers=headers or {})
        response = connection.getresponse()
        return response.status, response.read()
    finally:
        connection.close()


def raw(server, data):
    """Sends bytes as they are and returns the status of the answer, or None."""
    with socket.create_connection(('127.0.0.1', server.port), timeout=10) as sock:
        sock.sendall(data)
        answer = b''
        while b'\r\n' not in answer:
            chunk = sock.recv(4096)
            if not chunk:
                break
            answer += chunk
    parts = answer.split(b' ', 2)
    return int(parts[1]) if len(parts) > 1 and parts[1].isdigit() else None


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
            self.assertEqual(raw(server, b'NONSENSE\r\n\r\n') // 100, 4)
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


if __name__ == '__main__':
    parser = argparse.ArgumentParser()
    parser.add_argument('--viewer', required=True)
    parser.add_argument('--samples', required=True)
    ARGS, rest = parser.parse_known_args()
    unittest.main(argv=[sys.argv[0], '-v', *rest])
