#!/usr/bin/env python3
"""The page in the person's language, in Debian's chromium, headless: a
viewer started in Japanese (or Traditional Chinese) says so in the page's
lang attribute, so each script is drawn with its own glyph forms; the
platform's buttons and the page's own words are in that language; and a
photo that cannot be decoded is a placeholder that says so, in the viewer as
in the album, where the browser would show its broken-image icon. Exits 77
(skipped) only when the browser, its driver or Selenium is not installed."""

import os
import tempfile

import page_test
from page_test import ARGS, PageTest
from viewer_server import ViewerServer, wait_until


def language(tag, locale):
    return {'LANGUAGE': tag, 'LC_ALL': '', 'LANG': locale}


class Language(PageTest):
    def start(self, server):
        """Opens the page and waits for its first screen (the photo may not load)."""
        self.browser.get(server.url)
        wait_until(lambda: self.draws() > 0, 20, 'the page to draw')

    def visible_text(self, selector):
        return self.browser.execute_script(
            "const e = document.querySelector(arguments[0]); return e ? e.innerText : null;", selector)

    def photo_shown(self):
        """What the viewer's photo area shows: 'photo' when the picture is
        drawn, the placeholder's words, or 'broken' for the browser's icon."""
        return self.browser.execute_script("""
            const tile = document.querySelector('#screen .tile');
            if (!tile) return null;
            const image = tile.querySelector('img.photo');
            // A picture the page is still fetching has no address yet.
            if (image) return !image.complete || !image.currentSrc ? null : image.naturalWidth ? 'photo' : 'broken';
            const placeholder = tile.querySelector('.photo.undecodable');
            if (!placeholder) return null;
            // The words must be what a person sees at the middle of the photo.
            const r = placeholder.getBoundingClientRect();
            const met = document.elementFromPoint(r.left + r.width / 2, r.top + r.height / 2);
            return met === placeholder && placeholder.checkVisibility() ? placeholder.innerText : 'covered';""")

    def test_a_photo_that_cannot_be_decoded_in_japanese(self):
        sample = os.path.join(ARGS.samples, 'quorix-sample.jpg')
        with tempfile.TemporaryDirectory(prefix='quorix language ') as folder:
            broken = os.path.join(folder, 'a broken.jpg')
            with open(broken, 'w') as file:
                file.write('not a photo')
            os.link(sample, os.path.join(folder, 'b sample.jpg'))
            with ViewerServer(ARGS.viewer, ['--device', 'phone', '--system', '7.1.2'], [folder],
                              environment=language('ja', 'ja_JP.UTF-8')) as server:
                self.start(server)
                self.assertEqual(self.browser.execute_script('return document.documentElement.lang'), 'ja')

                # The broken photo says so, in Japanese, where the photo would be.
                self.assertEqual(wait_until(self.photo_shown, 20, 'the photo area'), 'デコードできません')
                self.assertEqual(self.browser.execute_script(
                    "return document.querySelectorAll('#screen img.photo').length"), 0, 'no broken image left')
                self.shot('photo-undecodable-ja')

                # The page's own words around the device.
                self.assertIn('システムに渡したもの', self.visible_text('#side'))
                self.assertIn('写真 1/2', self.visible_text('#photo-count'))
                self.assertNotIn('Pasteboard', self.visible_text('#side'))

                # The next photo is drawn; the Info screen's Done is the platform's word.
                self.act(lambda: self.browser.execute_script("document.dispatchEvent(new KeyboardEvent('keydown', { key: 'ArrowRight' }))"))
                self.assertEqual(wait_until(self.photo_shown, 20, 'the second photo'), 'photo')
                self.click('barButton', 'Info')
                done = self.one('barButton', '完了')
                self.assertEqual(done.text, '完了')
                self.click('barButton', '完了')

                # The album's grid says it in the same words.
                self.browser.execute_script("document.dispatchEvent(new KeyboardEvent('keydown', { key: 'ArrowLeft' }))")
                wait_until(lambda: self.photo_shown() == 'デコードできません', 20, 'the broken photo again')
                self.click('barButton', 'Photos')
                cell = wait_until(lambda: self.browser.execute_script(
                    "const c = document.querySelector('#screen .thumbnail.undecodable'); return c && c.innerText;"),
                    20, 'the broken thumbnail')
                self.assertEqual(cell, 'デコードできません')
                self.shot('album-undecodable-ja')

    def test_traditional_chinese_and_english(self):
        sample = os.path.join(ARGS.samples, 'quorix-sample.jpg')
        for environment, tag, done, pasteboard in ((language('', 'zh_TW.UTF-8'), 'zh-Hant', '完成', '剪貼板'),
                                                   ({}, 'en', 'Done', 'Pasteboard')):
            with self.subTest(tag), ViewerServer(ARGS.viewer, ['--device', 'phone', '--system', '7.1.2'], [sample],
                                                 environment=environment) as server:
                self.open(server)
                self.assertEqual(self.browser.execute_script('return document.documentElement.lang'), tag)
                self.assertIn(pasteboard, self.visible_text('#side'))
                self.click('barButton', 'Info')
                self.assertEqual(self.one('barButton', done).text, done)


if __name__ == '__main__':
    page_test.main()
