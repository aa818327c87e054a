#!/usr/bin/env python3
"""Delete on a version 7 tablet with the Info popover open, in Debian's
chromium, headless, as a person meets it: the popover closes before the
confirmation, and after Remove the side panel counts the photos as the bar
does. Exits 77 (skipped) only when the browser, its driver or Selenium is
not installed."""

import page_test
from page_test import ARGS, ActionChains, By, PageTest
from viewer_server import ViewerServer, wait_until


class TabletDelete(PageTest):
    def test_delete_closes_the_info_popover_and_the_side_panel_counts_as_the_bar(self):
        with ViewerServer(ARGS.viewer, ['--device', 'tablet', '--system', '7.1.2'], [ARGS.samples]) as server:
            self.open(server)
            count = int(self.snapshot()['screen']['layers'][0]['text'].split(' of ')[1])
            self.click('barButton', 'Info')
            self.one('popover')
            delete = self.one('barButton', 'Delete')
            self.act(lambda: ActionChains(self.browser).move_to_element(delete).click().perform())
            self.assertEqual(self.find('popover'), [], 'the Info popover is drawn under the confirmation')
            self.click('button', 'Remove')
            self.assertEqual(self.find('popover'), [])
            title = self.browser.find_element(By.CSS_SELECTOR, '#screen .layer.viewer .bar-title').text
            self.assertEqual(title, '1 of %d' % (count - 1))
            side = wait_until(lambda: self.browser.find_element(By.ID, 'photo-count').text, 5, 'the side panel')
            self.assertEqual(side, 'Photo 1 of %d' % (count - 1))
            self.shot('tablet-7-after-delete')
            self.assertEqual(self.status(), '')


if __name__ == '__main__':
    page_test.main()
