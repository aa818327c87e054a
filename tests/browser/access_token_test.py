#!/usr/bin/env python3
"""The token of a viewer that serves beyond loopback, in Debian's chromium:
two viewers on two ports in one browser each keep their own page working,
the token leaves the address bar and is never a cookie, and a request with
another viewer's token, a cookie or nothing in its header is refused. The
viewers listen on every address; the browser reaches them on 127.0.0.1."""

import http.client

import page_test
from page_test import ARGS, PageTest
from viewer_server import ViewerServer, wait_until


def status_of(server, path, headers):
    connection = http.client.HTTPConnection('127.0.0.1', server.port, timeout=10)
    try:
        connection.request('GET', path, headers=dict(headers, Host='127.0.0.1:%d' % server.port))
        response = connection.getresponse()
        response.read()
        return response.status
    finally:
        connection.close()


class AccessToken(PageTest):
    def page(self, server):
        return 'http://127.0.0.1:%d/?token=%s' % (server.port, server.token)

    def test_two_viewers_on_two_ports_keep_their_own_token(self):
        photo = ARGS.samples + '/quorix-sample.jpg'
        with ViewerServer(ARGS.viewer, ['--listen', '0.0.0.0'], [photo]) as first, \
                ViewerServer(ARGS.viewer, ['--listen', '0.0.0.0'], [photo, photo]) as second:
            self.assertNotEqual(first.token, second.token)
            self.browser.get(self.page(first))
            first_tab = self.browser.current_window_handle
            wait_until(lambda: self.draws() > 0, 20, 'the first viewer drawn')
            self.browser.switch_to.new_window('tab')
            self.browser.get(self.page(second))
            wait_until(lambda: self.draws() > 0, 20, 'the second viewer drawn')
            self.click('barButton', 'Info')

            # Back on the first viewer's page: its photo loaded with its own
            # token and a command goes through, whatever the second one did.
            self.browser.switch_to.window(first_tab)
            wait_until(lambda: self.browser.execute_script(
                "const i = document.querySelector('#screen img.photo'); return i && i.complete && i.naturalWidth;"),
                20, 'the first viewer\'s photo')
            self.assertTrue(self.browser.execute_script(
                "return document.querySelector('#screen img.photo').src.startsWith('blob:')"))
            self.click('barButton', 'Info')
            self.assertEqual(self.status(), '')
            self.assertEqual([l['role'] for l in self.snapshot()['screen']['layers']], ['viewer', 'modal'])
            self.assertNotIn('token', self.browser.current_url)
            self.assertEqual(self.browser.get_cookies(), [])

            # Without the header, or with the other viewer's token, or a
            # cookie holding the right one: refused.
            for headers in ({}, {'X-Quorix-Token': second.token}, {'Cookie': 'quorix-token=' + first.token}):
                self.assertEqual(status_of(first, '/snapshot', headers), 403, headers)
                self.assertEqual(status_of(first, '/photo/0', headers), 403, headers)
            self.assertEqual(status_of(first, '/snapshot?token=' + first.token, {}), 403)
            self.assertEqual(status_of(first, '/snapshot', {'X-Quorix-Token': first.token}), 200)
            # The page's own files are the same for everyone.
            self.assertEqual(status_of(first, '/viewer.js', {}), 200)


if __name__ == '__main__':
    page_test.main()
