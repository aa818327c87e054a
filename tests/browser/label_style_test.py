#!/usr/bin/env python3
"""The page draws each label as the snapshot describes it: the stamp's font
size, weight, text and background colours (with their alpha) and alignment,
read back from the browser's computed style, on a phone and on a tablet;
and the mail form's labels, which carry a different style. Exits 77
(skipped) only when the browser, its driver or Selenium is not installed."""

import os
import re

import page_test
from page_test import ARGS, PageTest, walk_items
from viewer_server import ViewerServer, wait_until

JUSTIFY = {'left': ('flex-start', 'start', 'left'), 'center': ('center',), 'right': ('flex-end', 'end', 'right')}


def rgba(css):
    """A computed CSS colour as (red, green, blue, alpha), channels 0 to 255."""
    match = re.fullmatch(r'rgba?\((\d+), (\d+), (\d+)(?:, ([\d.]+))?\)', css)
    if not match:
        raise AssertionError('not a colour: %r' % css)
    red, green, blue, alpha = match.groups()
    return int(red), int(green), int(blue), float(alpha) if alpha is not None else 1.0


def expected_rgba(colour):
    return tuple(round(colour[c] * 255) for c in ('red', 'green', 'blue')) + (colour['alpha'],)


class LabelStyle(PageTest):
    def label_on_page(self, text):
        # Found by script: a text with line breaks cannot be quoted in a CSS selector.
        return wait_until(lambda: self.browser.execute_script(
            "return [...document.querySelectorAll('#screen [data-role=\"label\"]')]"
            ".find(e => e.dataset.name === arguments[0]);", text), 10, 'label %r on the page' % text)

    def assertDrawnAsStyled(self, label, element):
        style = label['style']
        what = '%r on the page' % label['text']
        drawn = self.browser.execute_script("""
            const s = getComputedStyle(arguments[0]);
            return { size: s.fontSize, weight: s.fontWeight, color: s.color, background: s.backgroundColor,
                     align: s.textAlign, justify: s.justifyContent };""", element)
        self.assertEqual(float(drawn['size'][:-2]), style['font']['size'], what)
        self.assertEqual(int(drawn['weight']), 700 if style['font']['weight'] == 'bold' else 400, what)
        for part, css in (('textColor', drawn['color']), ('backgroundColor', drawn['background'])):
            expected = expected_rgba(style[part]) if part in style else (0, 0, 0, 0.0)
            got = rgba(css)
            self.assertEqual(got[:3], expected[:3], '%s %s' % (what, part))
            self.assertAlmostEqual(got[3], expected[3], delta=0.01, msg='%s %s alpha' % (what, part))
        self.assertEqual(drawn['align'], style['textAlignment'], what)
        self.assertIn(drawn['justify'], JUSTIFY[style['textAlignment']], what)

    def test_the_stamp_is_drawn_with_the_snapshots_style(self):
        sample = os.path.join(ARGS.samples, 'quorix-sample.jpg')
        styles = {}
        for device in ('phone', 'tablet'):
            with self.subTest(device=device), ViewerServer(ARGS.viewer, ['--device', device], [sample]) as server:
                self.open(server)
                stamp = next(i for i in walk_items(self.top_layer()) if i['role'] == 'label')
                styles[device] = stamp['style']
                self.assertDrawnAsStyled(stamp, self.label_on_page(stamp['text']))
                self.shot('stamp-' + device)
        # The two devices draw it differently, so one hard-coded style cannot pass both.
        self.assertNotEqual(styles['phone'], styles['tablet'])

    def test_the_mail_forms_labels_are_drawn_with_their_style(self):
        sample = os.path.join(ARGS.samples, 'quorix-sample.jpg')
        with ViewerServer(ARGS.viewer, ['--device', 'phone'], [sample]) as server:
            self.open(server)
            self.click('barButton', 'Info')
            self.click('barButton', 'More')
            self.click('cell', 'Contact Me via Email')
            form = wait_until(lambda: next((l for l in self.snapshot()['screen']['layers'] if l['role'] == 'modal'
                                            and any(i.get('text') == 'Send' for i in walk_items(l))), None),
                              10, 'the mail form')
            labels = [i for i in walk_items(form) if i['role'] == 'label']
            self.assertTrue(labels)
            for label in labels:
                self.assertDrawnAsStyled(label, self.label_on_page(label['text']))


if __name__ == '__main__':
    page_test.main()
