#!/usr/bin/env python3
"""The Copy menu and long presses in Debian's chromium, headless, as a person
meets them: a click beside the menu or Esc hides it, and a long press on a
row far down the info table leaves the table where the person scrolled it,
with every row still reachable. Exits 77 (skipped) only when the browser,
its driver or Selenium is not installed."""

import os

import page_test
from page_test import ARGS, ActionChains, By, Keys, PageTest
from viewer_server import ViewerServer


class Menus(PageTest):
    def open_info(self, server):
        self.open(server)
        self.click('barButton', 'Info')
        return self.one('cell', 'Location')

    def long_press(self, element):
        self.act(lambda: ActionChains(self.browser).click_and_hold(element).pause(0.9).release().perform())

    def drawn_words(self, role):
        return [e.text for e in self.find(role)]

    def test_a_click_beside_the_copy_menu_or_esc_hides_it(self):
        sample = os.path.join(ARGS.samples, 'dense-exif.jpg')
        with ViewerServer(ARGS.viewer, ['--device', 'phone'], [sample]) as server:
            location = self.open_info(server)
            self.long_press(location)
            self.assertEqual(self.drawn_words('menuItem'), ['Copy'])
            self.shot('menus-copy-menu')

            # A click on the bar's title, well away from the menu and its row.
            title = self.browser.find_element(By.CSS_SELECTOR, '#screen .layer.modal .bar-title')
            self.act(lambda: ActionChains(self.browser).move_to_element(title).click().perform())
            self.assertEqual(self.drawn_words('menuItem'), [], 'the menu is still drawn after a click beside it')
            self.assertEqual(self.top_layer()['role'], 'modal', 'the click only hid the menu')
            self.assertEqual(self.status(), '')

            self.long_press(self.one('cell', 'Location'))
            self.assertEqual(self.drawn_words('menuItem'), ['Copy'])
            self.act(lambda: self.browser.find_element(By.TAG_NAME, 'body').send_keys(Keys.ESCAPE))
            self.assertEqual(self.drawn_words('menuItem'), [], 'Esc left the menu drawn')
            self.assertEqual(self.status(), '')
            self.assertEqual(self.browser.find_element(By.ID, 'pasteboard').text, '(empty)')

    def test_a_long_press_far_down_the_table_leaves_it_where_it_was(self):
        sample = os.path.join(ARGS.samples, 'dense-exif.jpg')
        with ViewerServer(ARGS.viewer, ['--device', 'phone'], [sample]) as server:
            self.open_info(server)
            table = self.browser.find_element(By.CSS_SELECTOR, '#screen .table')
            self.browser.execute_script('arguments[0].scrollTop = arguments[0].scrollHeight;', table)
            contrast = self.one('cell', 'Contrast')
            before = self.screen_box(contrast)
            self.assertLess(before['y'] + before['height'], self.screen_box(table)['y'] + self.screen_box(table)['height'] + 1,
                            'Contrast is on screen once the table is scrolled down')
            self.long_press(contrast)
            self.shot('menus-table-after-long-press')
            table = self.browser.find_element(By.CSS_SELECTOR, '#screen .table')
            after = self.screen_box(self.one('cell', 'Contrast'))
            self.assertAlmostEqual(after['y'], before['y'], delta=1, msg='the table jumped under the long press')

            # Back to the top: the first rows are there to be read.
            self.browser.execute_script('arguments[0].scrollTop = 0;', table)
            box = self.screen_box(table)
            for name in ('Name', 'Directory'):
                row = self.screen_box(self.one('cell', name))
                self.assertGreaterEqual(row['y'], box['y'] - 1, '%s cannot be scrolled to' % name)
                self.assertLessEqual(row['y'] + row['height'], box['y'] + box['height'] + 1, name)
            self.assertEqual(self.status(), '')

    def screen_box(self, element):
        """`element`'s box in screen points, as drawn."""
        return self.browser.execute_script("""
            const screen = document.getElementById('screen'), s = Number(screen.dataset.scale);
            const o = screen.getBoundingClientRect(), r = arguments[0].getBoundingClientRect();
            return {x: (r.left - o.left) / s, y: (r.top - o.top) / s, width: r.width / s, height: r.height / s};""", element)


if __name__ == '__main__':
    page_test.main()
