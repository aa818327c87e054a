#!/usr/bin/env python3
"""The More screen in Debian's chromium, headless, as a person reads and uses
it: the Chinese, Japanese and Korean credits drawn with real glyphs, not
empty boxes; "Contact Me via Email" on a machine without a mail program (the
"No Mail Accounts" alert) and with one (the mail form, cancelled, then
sent). Exits 77 (skipped) only when the browser, its driver or Selenium is
not installed."""

import os
import unicodedata

import page_test
from page_test import ARGS, PageTest, walk_items
from viewer_server import ViewerServer, wait_until

# The localizations' rows: the language, and who translated it.
CREDITS = [('简体中文', 'Alex Example'), ('繁體中文', 'Alex Example'), ('日本語', '例田 花子'), ('한국의', '김예시')]
# A code point no font has a glyph for: drawn as the browser's empty box.
NO_GLYPH = '\U0010FFFD'


def cjk_letters(text):
    return [c for c in text if unicodedata.east_asian_width(c) == 'W']


def read_if_there(path):
    try:
        with open(path) as file:
            return file.read()
    except FileNotFoundError:
        return None


class MoreScreen(PageTest):
    def open_more(self, server, device='phone'):
        self.open(server)
        self.click('barButton', 'Info')
        self.click('barButton', 'More')
        self.one('cell', 'Contact Me via Email')

    def assertDrawnWithGlyphs(self, cell, part, letters):
        """The CJK letters of the cell's `part` (its text or its detail) are
        drawn by a font that has them: each as wide as the font is tall, as
        CJK glyphs are, and not as wide as the empty boxes drawn for missing
        glyphs; and the browser names a CJK font as the one that drew them."""
        what = '%s of %s' % (part, ''.join(letters))
        widths = self.browser.execute_script("""
            const text = arguments[0].querySelector(arguments[1]);
            const measure = content => {
              const probe = document.createElement('span');
              probe.style.cssText = 'position: static; white-space: pre; font: inherit;';
              probe.textContent = content;
              text.append(probe);
              const width = probe.getBoundingClientRect().width;
              probe.remove();
              return width;
            };
            const scale = Number(document.getElementById('screen').dataset.scale);
            return { em: parseFloat(getComputedStyle(text).fontSize),
                     letters: measure(arguments[2]) / scale, boxes: measure(arguments[3]) / scale };""",
            cell, part, ''.join(letters), NO_GLYPH * len(letters))
        self.assertAlmostEqual(widths['letters'] / len(letters), widths['em'], delta=0.1 * widths['em'],
                               msg='%s: %s' % (what, widths))
        self.assertGreater(abs(widths['letters'] - widths['boxes']), 0.2 * widths['em'],
                           '%s is as wide as empty boxes: %s' % (what, widths))

        document = self.browser.execute_cdp_cmd('DOM.getDocument', {'depth': 0})
        selector = '#screen [data-role="cell"][data-name="%s"] %s' % (cell.get_attribute('data-name'), part)
        node = self.browser.execute_cdp_cmd('DOM.querySelector', {'nodeId': document['root']['nodeId'], 'selector': selector})
        fonts = self.browser.execute_cdp_cmd('CSS.getPlatformFontsForNode', {'nodeId': node['nodeId']})['fonts']
        cjk_glyphs = sum(f['glyphCount'] for f in fonts if 'CJK' in f['familyName'])
        self.assertGreaterEqual(cjk_glyphs, len(letters), '%s drawn with %s' % (what, fonts))

    def test_chinese_japanese_and_korean_credits_are_drawn_with_glyphs(self):
        sample = os.path.join(ARGS.samples, 'quorix-sample.jpg')
        with ViewerServer(ARGS.viewer, ['--device', 'phone'], [sample]) as server:
            self.open_more(server)
            self.browser.execute_cdp_cmd('DOM.enable', {})
            self.browser.execute_cdp_cmd('CSS.enable', {})
            for language, translator in CREDITS:
                cell = self.one('cell', language)
                self.browser.execute_script('arguments[0].scrollIntoView({block: "center"});', cell)
                self.assertEqual(cell.find_element('css selector', '.cell-detail').text, translator)
                for part, text in (('.cell-text', language), ('.cell-detail', translator)):
                    letters = cjk_letters(text)
                    if letters:
                        self.assertDrawnWithGlyphs(cell, part, letters)
            self.shot('more-cjk-credits')

    def test_no_mail_program_shows_the_no_mail_accounts_alert(self):
        sample = os.path.join(ARGS.samples, 'quorix-sample.jpg')
        with ViewerServer(ARGS.viewer, ['--device', 'phone'], [sample], mail_program=False) as server:
            self.open_more(server)
            self.click('cell', 'Contact Me via Email')
            alert = self.one('alert')
            self.assertEqual(alert.get_attribute('data-name'), 'No Mail Accounts')
            self.assertEqual(self.one('message').text, 'Please setup a Mail account to send the mail.')
            layer = self.top_layer()
            self.assertEqual(layer['role'], 'alert')
            self.assertEqual([i['text'] for i in walk_items(layer) if i['role'] == 'button'], ['OK'])
            self.shot('more-no-mail-alert')

            self.click('button', 'OK')
            self.assertFalse(self.find('alert'))
            self.assertEqual(self.top_layer()['role'], 'modal')
            self.assertIsNotNone(self.one('cell', 'Contact Me via Email'), 'still on the More screen')
            self.assertEqual(self.browser.find_element('id', 'mails').text, '')
            self.assertFalse(os.path.exists(server.handed))
            self.assertEqual(self.status(), '')

    def test_the_mail_form_cancelled_then_sent(self):
        sample = os.path.join(ARGS.samples, 'quorix-sample.jpg')
        for device in ('phone', 'tablet'):
            with self.subTest(device=device), ViewerServer(ARGS.viewer, ['--device', device], [sample]) as server:
                self.open_more(server)
                self.click('cell', 'Contact Me via Email')
                form = wait_until(lambda: next((l for l in self.snapshot()['screen']['layers'] if l['role'] == 'modal'
                                                and any(i.get('text') == 'Send' for i in walk_items(l))), None),
                                  10, 'the mail form')
                labels = [i['text'] for i in walk_items(form) if i['role'] in ('label', 'textView')]
                address = labels[0][len('To: '):]
                self.assertTrue(labels[0].startswith('To: ') and '@' in address, labels)
                self.assertEqual(labels[1], 'Subject: Feedback')
                self.assertIn('Generated by Quorix', labels[2])
                self.assertIsNotNone(self.one('navigationBar', 'Feedback'))
                self.shot('more-mail-form-' + device)

                self.click('barButton', 'Cancel')
                self.assertFalse(self.find('barButton', 'Send'))
                self.assertEqual(self.browser.find_element('id', 'mails').text, '')

                # Sent: handed to the mail program and listed beside the screen.
                if not self.find('cell', 'Contact Me via Email'):
                    self.click('barButton', 'Info')  # the tablet's popover closed for the form
                    self.click('barButton', 'More')
                self.click('cell', 'Contact Me via Email')
                self.click('barButton', 'Send')
                mails = wait_until(lambda: self.browser.find_element('id', 'mails').text, 10, 'the sent mail')
                self.assertEqual(mails, 'to %s: Feedback' % address)
                handed = wait_until(lambda: read_if_there(server.handed), 10, 'xdg-email')
                self.assertTrue(handed.startswith('xdg-email --subject Feedback --body '), handed)
                self.assertTrue(handed.rstrip('\n').endswith(' ' + address), handed)
                self.assertFalse(self.find('barButton', 'Send'))
                self.assertEqual(self.status(), '')

    def test_the_mail_body_keeps_its_lines_is_set_in_and_can_be_edited(self):
        sample = os.path.join(ARGS.samples, 'quorix-sample.jpg')
        with ViewerServer(ARGS.viewer, ['--device', 'phone'], [sample]) as server:
            self.open_more(server)
            self.click('cell', 'Contact Me via Email')
            body = self.one('textView')
            self.shot('more-mail-form-body')
            # Where the words are drawn: the comment four lines down, the
            # device's line on a line of its own below it, both set in from
            # the screen's left edge as the To and Subject lines are.
            drawn = self.browser.execute_script("""
                const body = arguments[0], text = body.firstChild.textContent;
                const screen = document.getElementById('screen'), s = Number(screen.dataset.scale);
                const o = screen.getBoundingClientRect();
                const box = (start, end) => {
                  const range = document.createRange();
                  range.setStart(body.firstChild, start);
                  range.setEnd(body.firstChild, end);
                  const r = range.getClientRects()[0];
                  return {x: (r.left - o.left) / s, y: (r.top - o.top) / s, height: r.height / s};
                };
                const comment = text.indexOf('/*'), device = text.lastIndexOf('\\n') + 1;
                const to = [...screen.querySelectorAll('[data-role=label]')].find(e => e.textContent.startsWith('To: '));
                const label = to.firstChild, range = document.createRange();
                range.selectNodeContents(label);
                return {comment: box(comment, comment + 2), device: box(device, device + 1),
                        top: (body.getBoundingClientRect().top - o.top) / s,
                        to: (range.getClientRects()[0].left - o.left) / s};""", body)
            comment, device = drawn['comment'], drawn['device']
            self.assertGreaterEqual(comment['y'] - drawn['top'], 4 * comment['height'], 'the four empty lines above the comment: %s' % drawn)
            self.assertGreater(device['y'], comment['y'] + comment['height'] - 1, 'the device line runs on after the comment: %s' % drawn)
            self.assertAlmostEqual(device['x'], comment['x'], delta=1, msg='the device line starts a line of its own: %s' % drawn)
            self.assertGreaterEqual(comment['x'], 15, 'the body is flush against the left edge: %s' % drawn)
            self.assertAlmostEqual(comment['x'], drawn['to'], delta=1, msg='the body and the To line are set in alike: %s' % drawn)

            # The person rewrites the body, as its own text asks them to; Send sends what they wrote.
            self.browser.execute_script('arguments[0].focus(); document.execCommand("selectAll");', body)
            body.send_keys('Thanks for the viewer.')
            self.click('barButton', 'Send')
            handed = wait_until(lambda: read_if_there(server.handed), 10, 'xdg-email')
            self.assertIn('--body Thanks for the viewer. ', handed)
            self.assertEqual(self.status(), '')


if __name__ == '__main__':
    page_test.main()
