"""What the browser tests of the served page share: Debian's chromium,
headless, driven through Selenium, and a person's ways of finding and using
what is on the device's screen. A test module calls `main(TestClass...)`."""

import argparse
import os
import shutil
import sys
import unittest

from viewer_server import wait_until

try:
    from selenium import webdriver
    from selenium.webdriver.chrome.service import Service
    from selenium.webdriver.common.action_chains import ActionChains
    from selenium.webdriver.common.by import By
    from selenium.webdriver.common.keys import Keys
except ImportError:
    webdriver = ActionChains = By = Keys = None

CHROMIUM = '/usr/bin/chromium'
CHROMEDRIVER = '/usr/bin/chromedriver'
ARGS = argparse.Namespace()


def start_browser():
    options = webdriver.ChromeOptions()
    options.binary_location = CHROMIUM
    for argument in ('--headless=new', '--no-sandbox', '--disable-gpu', '--disable-dev-shm-usage',
                     '--window-size=1200,1000', '--hide-scrollbars', '--force-device-scale-factor=1'):
        options.add_argument(argument)
    return webdriver.Chrome(service=Service(CHROMEDRIVER), options=options)


class PageTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.browser = start_browser()

    @classmethod
    def tearDownClass(cls):
        cls.browser.quit()

    def open(self, server):
        """Opens the page and waits for the photo on it."""
        self.browser.get(server.url)
        wait_until(lambda: self.browser.execute_script(
            "const i = document.querySelector('#screen img.photo'); return i && i.complete && i.naturalWidth;"),
            20, 'the photo to load')

    def find(self, role, name=None, visible=True):
        selector = '#screen [data-role="%s"]' % role
        if name is not None:
            quoted = name.replace('"', '\\"')
            selector = '{0}[data-name="{1}"], {0}[data-label="{1}"]'.format(selector, quoted)
        return [e for e in self.browser.find_elements(By.CSS_SELECTOR, selector) if not visible or e.is_displayed()]

    def one(self, role, name=None, timeout=10):
        return wait_until(lambda: (self.find(role, name) or [None])[0], timeout, '%s "%s" on the page' % (role, name))

    def draws(self):
        return int(self.browser.find_element(By.TAG_NAME, 'body').get_attribute('data-draws') or 0)

    def act(self, action):
        """Does `action` and waits until the page has drawn the screen it led to."""
        before = self.draws()
        action()
        wait_until(lambda: self.draws() > before, 10, 'the page to redraw')

    def click(self, role, name):
        element = self.one(role, name)
        self.browser.execute_script('arguments[0].scrollIntoView({block: "center"});', element)
        self.act(element.click)

    def status(self):
        return self.browser.find_element(By.ID, 'status').text

    def snapshot(self):
        return self.browser.execute_async_script(
            "const done = arguments[0]; viewerAccess.ask('/snapshot').then(r => r.json()).then(done);")

    def top_layer(self):
        return self.snapshot()['screen']['layers'][-1]

    def shot(self, name):
        self.browser.find_element(By.ID, 'device').screenshot(os.path.join(ARGS.artifacts, name + '.png'))


def walk_items(item):
    yield item
    for child in item.get('children', []):
        yield from walk_items(child)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument('--viewer', required=True)
    parser.add_argument('--samples', required=True)
    parser.add_argument('--artifacts', required=True)
    arguments, rest = parser.parse_known_args()
    vars(ARGS).update(vars(arguments))
    missing = [p for p in (CHROMIUM, CHROMEDRIVER) if not shutil.which(p)]
    if webdriver is None or missing:
        print('SKIP: needs chromium, chromium-driver and python3-selenium (scripts/install-deps.sh): missing',
              ', '.join(missing or ['selenium']))
        sys.exit(77)
    os.makedirs(ARGS.artifacts, exist_ok=True)
    unittest.main(module='__main__', argv=[sys.argv[0], '-v', *rest])
