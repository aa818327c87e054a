#!/usr/bin/env python3
"""A file name or a metadata value holding a character that reorders text
(a right-to-left override) is drawn in a box of its own: it reorders only
itself, never the row's label nor the next row; and a value written right
to left reads from its right, whatever the page's direction. Checked from
where the browser draws each character (Range.getClientRects), not from the
DOM. Exits 77 (skipped) only when the browser, its driver or Selenium is
not installed."""

import os
import shutil
import subprocess
import tempfile

import page_test
from page_test import ARGS, PageTest

from viewer_server import ViewerServer

OVERRIDE = '\u202e'  # RIGHT-TO-LEFT OVERRIDE: the text after it is drawn reversed

# Where each character of a row is drawn: the label's and the value's boxes,
# and each character's box, in page pixels.
DRAWN = """
    const cell = arguments[0];
    const box = e => { const r = e.getBoundingClientRect(); return { left: r.left, right: r.right, top: r.top, bottom: r.bottom }; };
    const glyphs = e => {
      const text = e.firstChild, out = [];
      for (let i = 0; i < text.length; i++) {
        const range = document.createRange();
        range.setStart(text, i); range.setEnd(text, i + 1);
        const r = range.getClientRects()[0];
        out.push(r ? { ch: text.data[i], left: r.left, right: r.right } : { ch: text.data[i], left: null, right: null });
      }
      return out;
    };
    const label = cell.querySelector('.cell-text'), value = cell.querySelector('.cell-detail');
    const next = cell.nextElementSibling;
    return { label: box(label), value: box(value), labelGlyphs: glyphs(label), valueGlyphs: glyphs(value),
             nextGlyphs: next ? glyphs(next.querySelector('.cell-text')) : [] };"""


class Bidi(PageTest):
    def drawn_row(self, name):
        cell = self.browser.execute_script(
            "return [...document.querySelectorAll('#screen .cell')].find(e => e.dataset.name === arguments[0]);", name)
        self.browser.execute_script('arguments[0].scrollIntoView({block: "center"});', cell)
        return self.browser.execute_script(DRAWN, cell)

    def assertIsolated(self, row, value):
        drawn = self.drawn_row(row)
        label, box = drawn['label'], drawn['value']
        self.assertLess(label['right'], box['left'] + 1, '%s: the label is drawn left of its value' % row)
        # Every character of the label is drawn in the label's place, in reading order.
        lefts = [g['left'] for g in drawn['labelGlyphs'] if g['ch'] != ' ']
        self.assertEqual(lefts, sorted(lefts), '%s: the label reads left to right' % row)
        # So does the next row's label, which an override left open would reverse.
        following = [g['left'] for g in drawn['nextGlyphs'] if g['ch'] != ' ']
        self.assertEqual(following, sorted(following), '%s: the next row reads left to right' % row)
        self.assertTrue(all(left < box['left'] for left in lefts), '%s: the label stays left of the value' % row)
        # The value's characters, the override's run included, are drawn in the value's box.
        shown = [g for g in drawn['valueGlyphs'] if g['ch'] != OVERRIDE and g['left'] is not None]
        self.assertEqual(''.join(g['ch'] for g in drawn['valueGlyphs'] if g['ch'] != OVERRIDE), value.replace(OVERRIDE, ''))
        for g in shown:
            self.assertGreaterEqual(g['left'], label['right'] - 1, '%s: %r drawn over the label' % (row, g['ch']))
            self.assertLessEqual(g['right'], box['right'] + 1, '%s: %r drawn outside the value' % (row, g['ch']))
        # The text before the override reads first, at the value's left; the rest follows it.
        cut = value.index(OVERRIDE)
        glyphs = drawn['valueGlyphs']
        before = [g['left'] for g in glyphs[:cut]]
        after = [g['left'] for g in glyphs[cut + 1:] if g['ch'] != ' ']
        self.assertLess(max(before), min(after), '%s: the text before the override is drawn before it' % row)

    def assertReadRightToLeft(self, row, value):
        """A value that starts right-to-left (a Hebrew word, then a model
        number in Latin) reads from its right, as its writers read it: the
        word at the right, the number after it to its left."""
        drawn = self.drawn_row(row)
        self.assertLess(drawn['label']['right'], drawn['value']['left'] + 1, '%s: the label is drawn left of its value' % row)
        glyphs = {g['ch']: g['left'] for g in drawn['valueGlyphs']}
        word, number = value.split(' ')
        self.assertLess(glyphs[number[0]], min(glyphs[c] for c in word), '%s: %r reads right to left' % (row, value))

    def test_names_and_values_that_reorder_text_stay_in_their_box(self):
        sample = os.path.join(ARGS.samples, 'quorix-sample.jpg')
        with tempfile.TemporaryDirectory(prefix='quorix bidi ') as folder:
            name = 'trip' + OVERRIDE + 'xyz.jpg'
            photo = os.path.join(folder, name)
            shutil.copyfile(sample, photo)
            software = 'Edit' + OVERRIDE + 'QRS 2'
            model = '\u05de\u05e6\u05dc\u05de\u05d4 G1'  # Hebrew for "camera", then a model number
            subprocess.run(['exiv2', '-M', 'set Exif.Image.Software Ascii ' + software,
                            '-M', 'set Exif.Image.Model Ascii ' + model, photo], check=True)
            with ViewerServer(ARGS.viewer, ['--device', 'phone'], [photo]) as server:
                self.open(server)
                self.click('barButton', 'Info')
                self.assertIsolated('Name', name)
                self.shot('bidi-info-name')
                self.assertIsolated('Software', software)
                self.assertReadRightToLeft('Model', model)
                self.shot('bidi-info-model')


if __name__ == '__main__':
    page_test.main()
