#!/usr/bin/env python3
"""`quorix-viewer --serve` opens its page in the person's browser once it
listens: `xdg-open` of the address, once, in a graphical session; never with
--no-browser or without DISPLAY and WAYLAND_DISPLAY. The address is printed
either way. A recording xdg-open stands first on PATH."""

import http.client
import sys
import unittest

from viewer_server import ViewerServer, parse_paths, wait_until

ARGS = None


def open_maps_link(server):
    """Has the viewer hand a URL of its own to xdg-open: a later call to wait for."""
    for line in ('tap Info', 'tap Show Location in Maps app'):
        connection = http.client.HTTPConnection('127.0.0.1', server.port, timeout=10)
        connection.request('POST', '/command', body=line,
                           headers={'Content-Type': 'text/plain', 'Origin': 'http://127.0.0.1:%d' % server.port})
        assert connection.getresponse().status == 200
        connection.close()


class ServeOpensPage(unittest.TestCase):
    def serve(self, arguments, environment):
        return ViewerServer(ARGS.viewer, arguments, [ARGS.samples + '/quorix-sample.jpg'], environment)

    def test_a_graphical_session_gets_the_page_opened_once(self):
        for variable in ('DISPLAY', 'WAYLAND_DISPLAY'):
            with self.subTest(variable), self.serve([], {variable: ':7'}) as server:
                page = 'xdg-open ' + server.url
                wait_until(lambda: page in server.handed_lines(), 10, 'xdg-open of the page')
                open_maps_link(server)
                wait_until(lambda: len(server.handed_lines()) == 2, 10, 'the Maps link')
                self.assertEqual(server.handed_lines().count(page), 1, server.handed_lines())
                self.assertEqual(server.stop(), 0)

    def test_no_browser_or_no_graphical_session_leaves_the_page_closed(self):
        for arguments, environment in (([], {}), (['--no-browser'], {'DISPLAY': ':7'}), ([], {'DISPLAY': ''})):
            with self.subTest(arguments=arguments, environment=environment), self.serve(arguments, environment) as server:
                # Any page opening would have been handed on before the viewer answered.
                open_maps_link(server)
                wait_until(lambda: server.handed_lines(), 10, 'the Maps link')
                self.assertEqual([line for line in server.handed_lines() if line.startswith('xdg-open')],
                                 ['xdg-open http://maps.apple.com/maps?ll=-22.948658,-43.157444'])
                self.assertEqual(server.stop(), 0)


if __name__ == '__main__':
    ARGS, rest = parse_paths('viewer', 'samples')
    unittest.main(argv=[sys.argv[0], '-v', *rest])
