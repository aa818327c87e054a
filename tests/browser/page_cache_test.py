#!/usr/bin/env python3
"""The page's own files are kept by the browser and only revalidated: a
second load of the page gets 304 for Leaflet, the scripts, the styles and
the basemap instead of their bytes, while the snapshot, photos and answers
are never kept (no-store). Exits 77 (skipped) only when the browser, its
driver or Selenium is not installed."""

import http.client
import os

import page_test
from page_test import ARGS, PageTest
from viewer_server import ViewerServer, wait_until

PAGE_FILES = ['/', '/viewer.css', '/viewer.js', '/map.js', '/album.js', '/map.css',
              '/leaflet.js', '/leaflet.css', '/basemap.json.gz']


def get(server, path, headers=None):
    connection = http.client.HTTPConnection('127.0.0.1', server.port, timeout=10)
    try:
        connection.request('GET', path, headers=headers or {})
        response = connection.getresponse()
        return response.status, dict((k.lower(), v) for k, v in response.getheaders()), response.read()
    finally:
        connection.close()


class PageCache(PageTest):
    def transfers(self):
        """Bytes on the wire and body size of each script and style the page loaded, by path."""
        return self.browser.execute_script("""
            return Object.fromEntries(performance.getEntriesByType('resource')
              .map(e => [new URL(e.name).pathname, [e.transferSize, e.encodedBodySize]]));""")

    def test_a_second_load_revalidates_the_pages_files_and_nothing_else_is_kept(self):
        sample = os.path.join(ARGS.samples, 'quorix-sample.jpg')
        with ViewerServer(ARGS.viewer, ['--device', 'phone'], [sample]) as server:
            # Each file of the page has a tag; asked with it, the answer is
            # 304 and empty; with another tag, a list, or a weak one it
            # still works as the header says.
            for path in PAGE_FILES:
                status, headers, body = get(server, path)
                self.assertEqual(status, 200, path)
                self.assertEqual(headers['cache-control'], 'no-cache', path)
                tag = headers['etag']
                self.assertRegex(tag, r'^"[0-9a-f]{32}"$')
                for asked, expected in ((tag, 304), ('"0000", ' + tag, 304), ('W/' + tag, 304), ('*', 304),
                                        ('"0000"', 200), (tag[:-2] + '"', 200)):
                    status, again, body = get(server, path, {'If-None-Match': asked})
                    self.assertEqual(status, expected, '%s with %s' % (path, asked))
                    self.assertEqual(again['etag'], tag)
                    if expected == 304:
                        self.assertEqual(body, b'')
            tags = {path: get(server, path)[1]['etag'] for path in PAGE_FILES}
            self.assertEqual(len(set(tags.values())), len(PAGE_FILES), 'files with the same tag')

            # What changes under the same address is never kept, whatever is asked.
            for path in ('/snapshot', '/photo/0', '/thumbnail/0?size=64', '/map-settings',
                         '/place?latitude=59.9&longitude=10.7', '/nothing-here'):
                status, headers, _ = get(server, path, {'If-None-Match': '*'})
                self.assertNotEqual(status, 304, path)
                self.assertEqual(headers['cache-control'], 'no-store', path)
                self.assertNotIn('etag', headers, path)

            # A person loads the page, opens the map (the basemap), and comes back.
            self.open(server)
            self.click('barButton', 'Info')
            self.click('cell', 'Show Location')
            wait_until(lambda: self.browser.execute_script(
                "const m = document.querySelector('#screen .map'); return m && m.dataset.basemap === 'ready';"),
                20, 'the basemap')
            first = self.transfers()
            self.assertGreater(first['/basemap.json.gz'][0], 500000, 'the basemap was not fetched the first time')
            # The viewer is still on the map: the page comes back to it.
            self.browser.get(server.url)
            wait_until(lambda: self.browser.execute_script(
                "const m = document.querySelector('#screen .map'); return m && m.dataset.basemap === 'ready';"),
                20, 'the basemap again')
            second = self.transfers()
            for path in ('/leaflet.js', '/leaflet.css', '/viewer.js', '/viewer.css', '/map.js', '/album.js', '/basemap.json.gz'):
                # Only the 304's head crossed the wire: the body came from the browser's cache.
                self.assertLess(second[path][0], 1000, path)
            self.assertEqual(second['/basemap.json.gz'][1], first['/basemap.json.gz'][1])
            self.assertGreater(second['/snapshot'][0], second['/snapshot'][1], 'the snapshot came from a cache')


if __name__ == '__main__':
    page_test.main()
