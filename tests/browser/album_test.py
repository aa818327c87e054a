#!/usr/bin/env python3
"""The album in Debian's chromium, headless, as a person uses it: a grid of
square thumbnails, 4 columns on a phone, only the ones in view asked for;
a file that cannot be decoded drawn as a placeholder that says so; the
thumbnails kept in the desktop's shared cache under the names and with the
chunks the freedesktop standard gives (in the test's own XDG_CACHE_HOME);
scrolled to the end and the last photo opened. Exits 77 (skipped) only
when the browser, its driver or Selenium is not installed."""

import base64
import hashlib
import os
import struct
import tempfile
import urllib.parse

import page_test
from page_test import ARGS, PageTest, walk_items
from viewer_server import ViewerServer, wait_until

COUNT = 120
BROKEN = 5


def cache_key(path):
    """The name the shared cache keeps a photo's thumbnail under: the MD5 of its file URI."""
    return hashlib.md5(('file://' + urllib.parse.quote(path)).encode()).hexdigest() + '.png'


def png_texts(path):
    """The tEXt chunks of a PNG, read chunk by chunk."""
    texts = {}
    with open(path, 'rb') as file:
        assert file.read(8) == b'\x89PNG\r\n\x1a\n', path
        while True:
            head = file.read(8)
            if len(head) < 8:
                break
            length, kind = struct.unpack('>I4s', head)
            data = file.read(length)
            file.read(4)
            if kind == b'tEXt':
                key, _, value = data.partition(b'\0')
                texts[key.decode()] = value.decode()
            if kind == b'IEND':
                break
    return texts


# Holds back the page's requests for rows of thumbnails until the test lets
# each go, and answers an abandoned one as the browser does, with an AbortError.
HOLD_ROWS = """
    window.heldRows = [];
    const realFetch = window.fetch;
    window.fetch = (url, options) => {
      if (!String(url).startsWith('/thumbnails?')) return realFetch(url, options);
      return new Promise((resolve, reject) => {
        const signal = options && options.signal;
        const held = { url: String(url), signal, release: () => realFetch(url, options).then(resolve, reject) };
        window.heldRows.push(held);
        if (signal) signal.addEventListener('abort', () => reject(new DOMException('abandoned', 'AbortError')));
      });
    };"""


def album_folder(folder):
    """COUNT photos in `folder`, the one at BROKEN not a photo at all."""
    sample = os.path.join(ARGS.samples, 'quorix-sample.jpg')
    photos = []
    for i in range(COUNT):
        # The last name holds a line break, which no command line carries.
        path = os.path.join(folder, 'photo %03d%s.jpg' % (i, '\nsecond line' if i == COUNT - 1 else ''))
        if i == BROKEN:
            with open(path, 'w') as file:
                file.write('not a photo')
        else:
            os.link(sample, path)
        photos.append(path)
    return photos


def with_preview(jpeg, preview, orientation=1):
    """The JPEG `jpeg` with its EXIF block replaced by one that holds
    `preview` as its second directory's JPEG, as a camera writes it."""
    ifd0 = 8
    ifd1 = ifd0 + 2 + 12 + 4
    data = ifd1 + 2 + 2 * 12 + 4
    tiff = (b'II*\0' + struct.pack('<I', ifd0)
            + struct.pack('<H', 1) + struct.pack('<HHIHH', 0x0112, 3, 1, orientation, 0) + struct.pack('<I', ifd1)
            + struct.pack('<H', 2) + struct.pack('<HHII', 0x0201, 4, 1, data)
            + struct.pack('<HHII', 0x0202, 4, 1, len(preview)) + struct.pack('<I', 0) + preview)
    body = b'Exif\0\0' + tiff
    out, at = [jpeg[:2], b'\xff\xe1' + struct.pack('>H', len(body) + 2) + body], 2
    while jpeg[at + 1] != 0xda:  # the segments up to the scan, but the old EXIF block
        length = struct.unpack('>H', jpeg[at + 2:at + 4])[0]
        if not (jpeg[at + 1] == 0xe1 and jpeg[at + 4:at + 10] == b'Exif\0\0'):
            out.append(jpeg[at:at + 2 + length])
        at += 2 + length
    return b''.join(out) + jpeg[at:]


# A JPEG of WIDTH x HEIGHT in one colour, as the browser encodes it.
CANVAS_JPEG = """
const canvas = Object.assign(document.createElement('canvas'), { width: arguments[0], height: arguments[1] });
const context = canvas.getContext('2d');
context.fillStyle = arguments[2];
context.fillRect(0, 0, canvas.width, canvas.height);
return canvas.toDataURL('image/jpeg', 0.9).split(',')[1];"""


class Album(PageTest):
    def cells(self):
        return self.browser.execute_script("""
            return [...document.querySelectorAll('#screen .thumbnail')].map(c => ({
              index: Number(c.dataset.index), loaded: !!(c.querySelector('img') && c.querySelector('img').naturalWidth),
              text: c.textContent, box: c.getBoundingClientRect().toJSON() }));""")

    def test_a_grid_of_thumbnails_from_the_shared_cache(self):
        with tempfile.TemporaryDirectory(prefix='quorix album ') as folder:
            photos = album_folder(folder)
            with ViewerServer(ARGS.viewer, ['--device', 'phone'], photos) as server:
                cache = os.path.join(server.scratch.name, 'cache', 'thumbnails')
                self.open(server)
                self.click('barButton', 'Photos')
                wait_until(lambda: self.find('grid'), 10, 'the album grid')
                cells = wait_until(lambda: [c for c in self.cells() if c['loaded']], 20, 'thumbnails')

                # 4 square columns; only the rows in view (and one beyond) are made.
                cells = self.cells()
                lefts = sorted({round(c['box']['x']) for c in cells})
                self.assertEqual(len(lefts), 4, cells[:8])
                side = cells[0]['box']['width']
                self.assertAlmostEqual(cells[0]['box']['height'], side, delta=0.5)
                self.assertLess(len(cells), 40, 'cells made for thumbnails out of view')

                # The broken file says so; the others show their thumbnails.
                wait_until(lambda: all(c['loaded'] or c['index'] == BROKEN for c in self.cells() if c['box']['y'] < 600),
                           20, 'the first screen of thumbnails')
                broken = next(c for c in self.cells() if c['index'] == BROKEN)
                self.assertEqual(broken['text'], 'Cannot be decoded')
                self.shot('album-phone')

                # A row of thumbnails per request, each row asked once: a
                # browser sends six requests at a time, so one per photo queues.
                # Moved a little and back (a frame each), the rows shown are not asked again.
                for offset in (side / 2, 0):
                    self.browser.execute_async_script("""
                        document.querySelector('#screen .grid').scrollTop = arguments[0];
                        requestAnimationFrame(() => requestAnimationFrame(arguments[1]));""", offset)
                asked = self.browser.execute_script("""
                    return performance.getEntriesByType('resource').map(e => new URL(e.name))
                      .filter(u => u.pathname.startsWith('/thumbnail')).map(u => u.pathname + u.search);""")
                self.assertFalse([a for a in asked if not a.startswith('/thumbnails?')], asked)
                rows = [dict(urllib.parse.parse_qsl(a.split('?', 1)[1])) for a in asked]
                firsts = [int(r['first']) for r in rows]  # the rows answered so far
                self.assertEqual(len(firsts), len(set(firsts)), asked)
                self.assertTrue(firsts and all(f % 4 == 0 and r['count'] == '4' for f, r in zip(firsts, rows)), asked)

                # The cache holds each thumbnail under the MD5 of its file URI,
                # with the URI and the mtime in its chunks; the broken file has a fail entry.
                first = os.path.join(cache, 'normal', cache_key(photos[0]))
                if not os.path.exists(first):
                    first = os.path.join(cache, 'large', cache_key(photos[0]))
                texts = png_texts(first)
                self.assertEqual(texts['Thumb::URI'], 'file://' + urllib.parse.quote(photos[0]))
                self.assertEqual(texts['Thumb::MTime'], str(int(os.stat(photos[0]).st_mtime)))
                self.assertEqual(os.stat(first).st_mode & 0o777, 0o600)
                fails = os.listdir(os.path.join(cache, 'fail'))
                self.assertEqual(len(fails), 1)
                self.assertTrue(fails[0].startswith('quorix-viewer-'), fails)
                self.assertEqual(os.listdir(os.path.join(cache, 'fail', fails[0])), [cache_key(photos[BROKEN])])

                # Scrolled to the end: the last thumbnails load, the first are gone.
                self.browser.execute_script("document.querySelector('#screen .grid').scrollTop = 1e6;")
                wait_until(lambda: any(c['index'] == COUNT - 1 and c['loaded'] for c in self.cells()), 20, 'the last thumbnail')
                self.assertFalse(any(c['index'] == 0 for c in self.cells()))
                self.assertLess(len(self.cells()), 40)

                # A tap on the last one opens the viewer there.
                last = self.browser.find_element('css selector', '#screen .thumbnail[data-index="%d"]' % (COUNT - 1))
                before = self.draws()
                last.click()
                viewer = wait_until(lambda: next((l for l in self.snapshot()['screen']['layers']
                                                  if l['role'] == 'viewer' and l.get('text') == '%d of %d' % (COUNT, COUNT)), None),
                                    10, 'the viewer on the last photo')
                self.assertTrue(any(i.get('label', '').startswith('photo %03d' % (COUNT - 1)) for i in walk_items(viewer)), viewer)
                wait_until(lambda: self.draws() > before + 1, 10, 'the page to draw the viewer')
                self.assertEqual(self.status(), '')

    def shows(self):
        """What each cell in view shows: "preview", "thumbnail", or nothing yet."""
        return dict(self.browser.execute_script("""
            return [...document.querySelectorAll('#screen .thumbnail')].map(c => [Number(c.dataset.index),
              (c.querySelector('img') && c.querySelector('img').naturalWidth && c.dataset.shows) || '']);"""))

    def test_cells_show_the_photos_previews_until_their_thumbnails_come(self):
        self.browser.get('about:blank')
        jpeg = lambda width, height: base64.b64decode(self.browser.execute_script(CANVAS_JPEG, width, height, '#2a8'))
        with open(os.path.join(ARGS.samples, 'quorix-sample.jpg'), 'rb') as file:
            sample = file.read()  # 640 x 480
        with tempfile.TemporaryDirectory(prefix='quorix album ') as folder:
            kinds = ['preview'] * 4 + ['bare', 'wide'] * 2  # two rows of four, the second without a usable preview
            photos = []
            for i, kind in enumerate(kinds):
                path = os.path.join(folder, 'photo %d.jpg' % i)
                with open(path, 'wb') as file:
                    # No preview at all, one of another aspect ratio (16:9), or a 4:3 one.
                    file.write(sample if kind == 'bare' else with_preview(sample, jpeg(160, 90) if kind == 'wide' else jpeg(160, 120)))
                photos.append(path)
            cache = {'XDG_CACHE_HOME': os.path.join(folder, 'cache')}
            with ViewerServer(ARGS.viewer, ['--device', 'phone'], photos, cache) as server:
                self.open(server)
                self.browser.execute_script(HOLD_ROWS)
                self.click('barButton', 'Photos')
                # The thumbnails held back, each photo with a preview of its
                # own picture shows it; the others wait for their thumbnails.
                wait_until(lambda: self.held(), 10, 'the thumbnails asked')
                expected = {i: ('preview' if kind == 'preview' else '') for i, kind in enumerate(kinds)}
                wait_until(lambda: self.shows() == expected, 10, 'the previews')
                # Let through, every cell takes its thumbnail, the bare and the wide one too.
                self.browser.execute_script("window.heldRows.forEach(h => h.release());")
                wait_until(lambda: self.shows() == {i: 'thumbnail' for i in range(len(kinds))}, 20, 'the thumbnails')

            # Opened again, the cells take their thumbnails from the shared
            # cache at once, without asking for a single row of them.
            with ViewerServer(ARGS.viewer, ['--device', 'phone'], photos, cache) as server:
                self.open(server)
                self.browser.execute_script(HOLD_ROWS)
                self.click('barButton', 'Photos')
                wait_until(lambda: self.shows() == {i: 'thumbnail' for i in range(len(kinds))}, 20, 'the cached thumbnails')
                self.assertEqual(self.held(), [])

    def test_a_screen_left_while_it_shows_previews_still_gets_its_thumbnails(self):
        # The first screen shows its photos' previews; the person moves on
        # before a single thumbnail comes (here, the page's requests for them
        # never reach the viewer). Those thumbnails are made all the same, so
        # the next time the album opens that screen shows them at once.
        self.browser.get('about:blank')
        preview = base64.b64decode(self.browser.execute_script(CANVAS_JPEG, 160, 120, '#2a8'))
        with open(os.path.join(ARGS.samples, 'quorix-sample.jpg'), 'rb') as file:
            photo = with_preview(file.read(), preview)  # 640 x 480, a 4:3 preview
        with tempfile.TemporaryDirectory(prefix='quorix album ') as folder:
            photos = []
            for i in range(80):
                photos.append(os.path.join(folder, 'photo %02d.jpg' % i))
                with open(photos[-1], 'wb') as file:
                    file.write(photo)
            cache = os.path.join(folder, 'cache')
            with ViewerServer(ARGS.viewer, ['--device', 'phone'], photos, {'XDG_CACHE_HOME': cache}) as server:
                self.open(server)
                self.browser.execute_script(HOLD_ROWS)
                self.click('barButton', 'Photos')
                seen = wait_until(lambda: (lambda shows: sorted(shows) if shows and set(shows.values()) == {'preview'} else None)(
                    self.shows()), 10, 'the first screen of previews')
                wait_until(lambda: self.held(), 10, 'the thumbnails asked')
                self.browser.execute_async_script("""
                    document.querySelector('#screen .grid').scrollTop = 1e6;
                    requestAnimationFrame(() => requestAnimationFrame(arguments[0]));""")
                left = [h for h in self.held() if h['first'] in seen]
                self.assertTrue(left and all(h['aborted'] for h in left), self.held())
                self.assertFalse(set(seen) & set(self.shows()), 'the first screen is still drawn')

                def missing():
                    return [i for i in seen if not any(os.path.exists(os.path.join(cache, 'thumbnails', flavor, cache_key(photos[i])))
                                                       for flavor in ('normal', 'large'))]
                wait_until(lambda: not missing(), 30, 'the thumbnails of the screen left')

            with ViewerServer(ARGS.viewer, ['--device', 'phone'], photos, {'XDG_CACHE_HOME': cache}) as server:
                self.open(server)
                self.browser.execute_script(HOLD_ROWS)
                self.click('barButton', 'Photos')
                wait_until(lambda: all(self.shows().get(i) == 'thumbnail' for i in seen), 10, 'the cached thumbnails')
                self.assertEqual(self.held(), [])

    def held(self):
        return self.browser.execute_script("""
            return window.heldRows.map(h => ({ first: Number(new URL(h.url, location.href).searchParams.get('first')),
                                                aborted: !!(h.signal && h.signal.aborted) }));""")

    def test_a_row_scrolled_away_before_it_arrives_is_abandoned(self):
        with tempfile.TemporaryDirectory(prefix='quorix album ') as folder:
            photos = album_folder(folder)
            with ViewerServer(ARGS.viewer, ['--device', 'phone'], photos) as server:
                self.open(server)
                self.browser.execute_script(HOLD_ROWS)
                self.click('barButton', 'Photos')
                first_screen = wait_until(lambda: [h for h in self.held() if h['first'] == 0], 10, 'the first row asked')
                self.assertFalse(first_screen[0]['aborted'])
                top_rows = {h['first'] for h in self.held()}

                # Flung to the end before any row arrived: the rows left behind
                # are abandoned, the rows now in view asked for.
                self.browser.execute_async_script("""
                    document.querySelector('#screen .grid').scrollTop = 1e6;
                    requestAnimationFrame(() => requestAnimationFrame(arguments[0]));""")
                # (The rows now in view ask what their cells can show at once first.)
                last_row = (COUNT - 1) // 4 * 4
                held = wait_until(lambda: (lambda held: held if any(h['first'] == last_row and not h['aborted'] for h in held)
                                           else None)(self.held()), 10, 'the last row asked')
                left = [h for h in held if h['first'] in top_rows]
                self.assertTrue(left and all(h['aborted'] for h in left), held)

                # Let through, the rows in view fill; the abandoned ones stay gone.
                self.browser.execute_script("window.heldRows.filter(h => !h.signal.aborted).forEach(h => h.release());")
                wait_until(lambda: any(c['index'] == COUNT - 1 and c['loaded'] for c in self.cells()), 20, 'the last thumbnail')
                self.assertFalse(any(c['index'] < 8 for c in self.cells()))

                # Back at the top, the abandoned rows are asked again.
                self.browser.execute_async_script("""
                    document.querySelector('#screen .grid').scrollTop = 0;
                    requestAnimationFrame(() => requestAnimationFrame(arguments[0]));""")
                again = wait_until(lambda: (lambda again: again if len(again) >= 2 else None)(
                    [h for h in self.held() if h['first'] == 0]), 10, 'the first row asked again')
                self.assertEqual(len(again), 2, again)
                self.assertFalse(again[1]['aborted'])
                self.browser.execute_script("window.heldRows.filter(h => !h.signal.aborted).forEach(h => h.release());")
                wait_until(lambda: any(c['index'] == 0 and c['loaded'] for c in self.cells()), 20, 'the first thumbnail again')


if __name__ == '__main__':
    page_test.main()
