#!/usr/bin/python3
"""The album of a large folder as a person meets it in the browser, measured
against the album's goals: Debian's chromium, headless, on the page of
`quorix-viewer --serve` over a folder of generated photos (10,000 by default).

  album on screen       from the tap on Photos to the grid drawn in the page
  first screen, cold    from that tap to every thumbnail in view shown, with
                        an empty thumbnail cache (a fresh XDG_CACHE_HOME)
  first screen, warm    the same in a fresh viewer whose cache holds them
  jump to the middle    right after the cold first screen, the grid set to
                        the middle of the album: until every cell in view
                        shows a picture (an embedded preview or a thumbnail)
  whole album           the grid scrolled screen by screen to its end, each
                        screen's thumbnails shown before the next (made cold);
                        then the viewer is left until its cache stops growing
                        (thumbnails of screens left while they showed previews)
  RSS                   the viewer's resident memory after that, and its peak

A cell counts as filled once it shows a picture, its photo's embedded
preview or its thumbnail. After the whole album, the thumbnails each viewer
left in its cache are compared (the same names and the same bytes).

Each figure is printed beside its goal and their ratio (below 1 meets it);
the first-screen figures are medians over --runs fresh viewers. With
--yardstick-page the same viewer serving another album page (the previous
design's) is measured too, turn by turn with this one, and the ratios
printed; with --yardstick-viewer, another build's viewer the same way.
With --preview-bench, quorix_preview_bench reads and decodes just the first
screen's previews in one process: how close the first screen gets to that.
The page, the viewer and the photos stay on this machine: every request goes
to the loopback address, and every wait is bounded.

Photos come from quorix_bench_photos (built with -DQUORIX_BUILD_BENCH=ON),
written into a temporary folder unless --photos names one to keep:
  bench/album_bench.py --viewer build-rel/bin/quorix-viewer \\
      --bench-photos build-rel/bin/quorix_bench_photos
"""

import argparse
import math
import os
import re
import shutil
import statistics
import subprocess
import sys
import tempfile
import time

# The browser as the page's tests start it.
sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), '..', 'tests', 'browser'))
import page_test  # noqa: E402
from page_test import CHROMEDRIVER, CHROMIUM, webdriver  # noqa: E402
from viewer_server import memory_kb  # noqa: E402

STEP_SECONDS = 120  # at most, for one screen of thumbnails
SCROLL_SECONDS = 3600  # at most, for the whole album
IDLE_SECONDS = 10  # after the whole album, a cache that gains no thumbnail for this long is done
SETTLE_SECONDS = 300  # and at most this long in all

GOALS = {  # name: (goal, unit)
    'album on screen': (1.0, 's'),
    'first screen of thumbnails, cold': (2.0, 's'),
    'first screen of thumbnails, warm': (0.2, 's'),
    'first screen, cold / warm': (3.0, 'x'),
    'jump to the middle, cold': (0.5, 's'),
    'RSS after scrolling the whole album': (200, 'MB'),
}

# A cell counts as shown once its thumbnail is decoded and drawn, or once it
# says that its photo cannot be decoded.
SHOWN = """
const shown = c => c.classList.contains('undecodable') || (i => i && i.complete && i.naturalWidth)(c.querySelector('img'));
"""
# The whole album is scrolled as thumbnails are made: a cell counts once it
# shows its thumbnail, not its preview.
THUMBNAIL_SHOWN = SHOWN + """
const thumbnailShown = c => shown(c) && c.dataset.shows !== 'preview';
"""

# Taps Photos and reports, in milliseconds from the tap, when the grid was
# drawn and when every thumbnail in view had been shown.
TAP_PHOTOS = SHOWN + """
const limit = arguments[0], done = arguments[arguments.length - 1];
const button = document.querySelector('#screen [data-role="barButton"][data-name="Photos"]');
if (!button) return done({ error: 'no Photos button on the screen' });
const started = performance.now();
let album = null;
button.click();
(function poll() {
  const now = performance.now();
  const grid = document.querySelector('#screen .grid');
  const cells = grid ? [...grid.querySelectorAll('.thumbnail')] : [];
  if (album === null && cells.length) album = now - started;
  if (album !== null) {
    const view = grid.getBoundingClientRect();
    const inView = cells.filter(c => { const r = c.getBoundingClientRect(); return r.bottom > view.top && r.top < view.bottom; });
    if (inView.length && inView.every(shown))
      return done({ album: album, thumbnails: now - started, shown: inView.length, side: parseFloat(inView[0].style.width) });
  }
  if (now - started > limit) return done({ error: 'timed out', album: album, cells: cells.length });
  requestAnimationFrame(poll);
})();
"""

# Scrolls the grid one screen down and reports when its thumbnails in view
# are shown, and whether the end was reached.
SCROLL_ONE_SCREEN = THUMBNAIL_SHOWN + """
const limit = arguments[0], count = arguments[1], done = arguments[arguments.length - 1];
const grid = document.querySelector('#screen .grid');
const started = performance.now();
grid.scrollTop = grid.scrollTop + grid.clientHeight;
// The page makes the cells for the new position on its next frame: the
// screen counts once cells cover both its edges, then all show their images.
const covers = (cells, y) => cells.some(c => {
  const top = parseFloat(c.style.top); return top <= y && y <= top + parseFloat(c.style.height) + 1; });
(function poll() {
  const cells = [...grid.querySelectorAll('.thumbnail')];
  const view = grid.getBoundingClientRect();
  const inView = cells.filter(c => { const r = c.getBoundingClientRect(); return r.bottom > view.top && r.top < view.bottom; });
  const last = grid.scrollTop + grid.clientHeight >= grid.scrollHeight - 1;
  const made = covers(cells, grid.scrollTop)
    && (covers(cells, grid.scrollTop + grid.clientHeight - 1) || cells.some(c => Number(c.dataset.index) === count - 1));
  if (made && inView.length && inView.every(thumbnailShown))
    return done({ end: last, shown: inView.length,
                  last: Math.max(...inView.map(c => Number(c.dataset.index))),
                  undecodable: inView.filter(c => c.classList.contains('undecodable')).length });
  if (performance.now() - started > limit) return done({ error: 'timed out at ' + grid.scrollTop });
  requestAnimationFrame(poll);
})();
"""


# Sets the grid to the middle of the album and reports, in milliseconds, when
# every cell in view showed a picture.
JUMP_TO_THE_MIDDLE = SHOWN + """
const limit = arguments[0], done = arguments[arguments.length - 1];
const grid = document.querySelector('#screen .grid');
performance.clearResourceTimings();  // the buffer is bounded: room for the jump's
const started = performance.now();
grid.scrollTop = Math.floor((grid.scrollHeight - grid.clientHeight) / 2);
const middle = grid.scrollTop;
(function poll() {
  const view = grid.getBoundingClientRect();
  const inView = [...grid.querySelectorAll('.thumbnail')].filter(c => {
    const r = c.getBoundingClientRect(); return r.bottom > view.top && r.top < view.bottom; });
  const top = Math.min(...inView.map(c => parseFloat(c.style.top)));
  if (inView.length && top <= middle + 1 && inView.every(shown)) {
    // Each request made for the jump: when it was sent, when its answer
    // began and ended, counted from the scroll.
    const requests = performance.getEntriesByType('resource').filter(e => e.startTime >= started).map(e => ({
      name: e.name.replace(/^[a-z]+:\/\/[^/]+/, ''), sent: e.requestStart - started,
      first: e.responseStart - started, end: e.responseEnd - started }));
    return done({ jump: performance.now() - started, shown: inView.length, requests });
  }
  if (performance.now() - started > limit) return done({ error: 'timed out at ' + grid.scrollTop });
  requestAnimationFrame(poll);
})();
"""


class Viewer:
    """A quorix-viewer --serve of the photos folder with its own cache folder."""

    def __init__(self, binary, arguments, photos, cache):
        env = dict(os.environ, XDG_CACHE_HOME=cache, XDG_CONFIG_HOME=os.path.join(cache, 'config'),
                   LANGUAGE='', LC_ALL='C.UTF-8')
        env.pop('DISPLAY', None)
        env.pop('WAYLAND_DISPLAY', None)
        self.process = subprocess.Popen([binary, '--serve', '--port', '0', '--no-browser', *arguments, photos],
                                        stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True, env=env)
        match = re.search(r'http://127\.0\.0\.1:\d+/', self.process.stdout.readline())
        if not match:
            self.process.kill()
            raise RuntimeError('%s printed no address' % binary)
        self.url = match.group(0)

    def memory_mb(self, field):
        return memory_kb(self.process.pid, field) / 1024

    def stop(self):
        self.process.terminate()
        try:
            self.process.wait(15)
        except subprocess.TimeoutExpired:
            self.process.kill()
            self.process.wait()


def viewer_with_page(binary, album_js, folder):
    """A copy of the viewer at `binary` whose page has `album_js` for its
    album: the program copied beside links to its libraries and to the
    other files of its share folder, as the build lays them out."""
    build = os.path.dirname(os.path.dirname(os.path.abspath(binary)))
    os.makedirs(os.path.join(folder, 'bin'))
    shutil.copy2(binary, os.path.join(folder, 'bin'))
    os.symlink(os.path.join(build, 'lib'), os.path.join(folder, 'lib'))
    shutil.copytree(os.path.join(build, 'share'), os.path.join(folder, 'share'), symlinks=True)
    shutil.copy(album_js, os.path.join(folder, 'share', 'quorix-viewer', 'web', 'album.js'))
    return os.path.join(folder, 'bin', os.path.basename(binary))


def start_browser():
    browser = page_test.start_browser()
    browser.set_script_timeout(STEP_SECONDS + 10)
    return browser


def open_page(browser, viewer):
    browser.get(viewer.url)
    deadline = time.monotonic() + 60
    while not browser.execute_script(
            "const i = document.querySelector('#screen img.photo'); return i && i.complete && i.naturalWidth;"):
        if time.monotonic() > deadline:
            raise RuntimeError('the viewer showed no photo within 60 s')
        time.sleep(0.05)


def tap_photos(browser):
    result = browser.execute_async_script(TAP_PHOTOS, STEP_SECONDS * 1000)
    if 'error' in result:
        raise RuntimeError('album: %s' % result)
    return result


def jump_to_the_middle(browser):
    result = browser.execute_async_script(JUMP_TO_THE_MIDDLE, STEP_SECONDS * 1000)
    if 'error' in result:
        raise RuntimeError('jump: %s' % result)
    return result


def cached_thumbnails(cache):
    """The thumbnails in a cache folder: {flavor/name: bytes}."""
    found = {}
    root = os.path.join(cache, 'thumbnails')
    for flavor in ('normal', 'large'):
        folder = os.path.join(root, flavor)
        for name in os.listdir(folder) if os.path.isdir(folder) else []:
            with open(os.path.join(folder, name), 'rb') as file:
                found[flavor + '/' + name] = file.read()
    return found


def wait_for_thumbnails(cache, count):
    """Waits until the cache holds `count` thumbnails, or has gained none for
    IDLE_SECONDS (at most SETTLE_SECONDS in all): the cached count at the
    start, and the seconds waited."""
    started = time.monotonic()
    first = last = len(cached_thumbnails(cache))
    grown = started
    while last < count and time.monotonic() - grown < IDLE_SECONDS and time.monotonic() - started < SETTLE_SECONDS:
        time.sleep(0.5)
        now = len(cached_thumbnails(cache))
        if now > last:
            last, grown = now, time.monotonic()
    return first, time.monotonic() - started


def scroll_whole_album(browser, count):
    browser.execute_async_script("""
        document.querySelector('#screen .grid').scrollTop = 0;
        requestAnimationFrame(() => requestAnimationFrame(arguments[0]));""")
    started = time.monotonic()
    screens = undecodable = 0
    while time.monotonic() - started < SCROLL_SECONDS:
        result = browser.execute_async_script(SCROLL_ONE_SCREEN, STEP_SECONDS * 1000, count)
        if 'error' in result:
            raise RuntimeError('scrolling: %s' % result)
        screens += 1
        undecodable += result['undecodable']
        if result['end']:
            if result['last'] != count - 1:
                raise RuntimeError('the grid ended at photo %d of %d' % (result['last'] + 1, count))
            return time.monotonic() - started, screens, undecodable
    raise RuntimeError('the album was not scrolled through within %d s' % SCROLL_SECONDS)


def main():
    parser = argparse.ArgumentParser(description=__doc__.split('\n\n')[0])
    parser.add_argument('--viewer', required=True, help='the quorix-viewer to measure')
    parser.add_argument('--bench-photos', help='quorix_bench_photos, to write the photos')
    parser.add_argument('--photos', help='the folder of photos (made when missing, and kept)')
    parser.add_argument('--count', type=int, default=10000, help='photos in the album (default 10000)')
    parser.add_argument('--device', default='phone', choices=('phone', 'tablet'))
    parser.add_argument('--timeline', action='store_true',
                        help="print each jump's requests: when sent, when answered, from the scroll")
    parser.add_argument('--no-whole-album', action='store_true',
                        help='leave out the whole album, and so the warm first screens and the memory: the cold first screens and jumps alone')
    parser.add_argument('--runs', type=int, default=5, help='fresh viewers per first-screen figure (default 5)')
    parser.add_argument('--yardstick-page', metavar='ALBUM.JS',
                        help="measure the same viewer serving this album.js too, turn by turn, e.g. "
                             "the previous design's: git show COMMIT:host/viewer/web/album.js")
    parser.add_argument('--yardstick-viewer', metavar='QUORIX-VIEWER',
                        help="measure another build's viewer too, turn by turn, e.g. the previous commit's")
    parser.add_argument('--preview-bench', metavar='QUORIX_PREVIEW_BENCH',
                        help="read and decode the first screen's previews alone with this program")
    args = parser.parse_args()
    if args.yardstick_page and args.yardstick_viewer:
        parser.error('one yardstick at a time: --yardstick-page or --yardstick-viewer')
    if webdriver is None or not shutil.which(CHROMIUM) or not shutil.which(CHROMEDRIVER):
        print('album_bench: needs chromium, chromium-driver and python3-selenium (scripts/install-deps.sh)', file=sys.stderr)
        return 1

    scratch = tempfile.mkdtemp(prefix='quorix-album-bench-')
    try:
        photos = args.photos or os.path.join(scratch, 'photos')
        made = time.monotonic()
        if not os.path.isdir(photos) or len(os.listdir(photos)) < args.count:  # writes only those missing
            if not args.bench_photos:
                parser.error('the photos must be written: give --bench-photos (or --photos with %d photos)' % args.count)
            subprocess.run([args.bench_photos, '--album', str(args.count), photos], check=True)
        names = sorted(n for n in os.listdir(photos) if re.fullmatch(r'photo-\d{5}\.jpg', n))[:args.count]
        if len(names) < args.count:
            raise RuntimeError('%s holds %d photos, not %d' % (photos, len(names), args.count))
        folder = os.path.join(scratch, 'album')
        os.mkdir(folder)
        for name in names:  # exactly COUNT photos, whatever else the folder holds
            os.symlink(os.path.join(os.path.abspath(photos), name), os.path.join(folder, name))
        size = sum(os.path.getsize(os.path.join(photos, n)) for n in names[:100]) / 100
        print('%d photos of 2000 x 1500, %.0f KB each on average (ready in %.0f s); %s; load average %.1f'
              % (args.count, size / 1024, time.monotonic() - made, args.device, os.getloadavg()[0]), flush=True)

        # The yardstick: the same viewer serving another album page (the
        # previous design, say), measured turn by turn with this one so that
        # both meet the same load.
        viewers = {'this page': args.viewer}
        if args.yardstick_page:
            viewers['yardstick'] = viewer_with_page(args.viewer, args.yardstick_page, os.path.join(scratch, 'yardstick'))
        if args.yardstick_viewer:
            viewers['yardstick'] = args.yardstick_viewer

        # Each first screen is measured in turns of fresh viewers (cold: each
        # with an empty cache of its own), and the median is the figure.
        cold = {name: [] for name in viewers}
        warm = {name: [] for name in viewers}
        jumps = {name: [] for name in viewers}
        caches = {}
        rss = {}
        browser = start_browser()

        def first_screen(name, binary, cache, results, then=None):
            """The first screen of thumbnails in a fresh viewer, then `then` with it."""
            viewer = Viewer(binary, ['--device', args.device], folder, cache)
            try:
                open_page(browser, viewer)
                results[name].append(tap_photos(browser))
                print('%s, %s: album %.3f s, %d thumbnails in view in %.3f s' % (
                    name, 'cold' if results is cold else 'warm', results[name][-1]['album'] / 1000,
                    results[name][-1]['shown'], results[name][-1]['thumbnails'] / 1000), flush=True)
                if then:
                    then(name, viewer)
            finally:
                viewer.stop()

        def jump(name, viewer):
            jumps[name].append(jump_to_the_middle(browser))
            print('%s: jump to the middle, %d cells filled in %.3f s' % (
                name, jumps[name][-1]['shown'], jumps[name][-1]['jump'] / 1000), flush=True)
            if args.timeline:
                for request in sorted(jumps[name][-1]['requests'], key=lambda r: r['sent']):
                    print('  %7.1f ms sent, answer %7.1f to %7.1f ms: %s' % (
                        request['sent'], request['first'], request['end'], request['name']), flush=True)

        def jump_and_scroll_through(name, viewer):
            jump(name, viewer)
            if args.no_whole_album:
                return
            seconds, screens, undecodable = scroll_whole_album(browser, args.count)
            rss[name], peak = viewer.memory_mb('VmRSS'), viewer.memory_mb('VmHWM')
            print('%s, whole album: %d screens in %.0f s (%.0f thumbnails/s made), %d undecodable; peak RSS %.0f MB'
                  % (name, screens, seconds, args.count / seconds, undecodable, peak), flush=True)
            # Screens passed while they showed previews (the first, left for
            # the jump) have their thumbnails made once the viewer is idle.
            left, waited = wait_for_thumbnails(caches[name], args.count)
            print('%s: %d thumbnails cached right after the scroll, %d within %.1f s more'
                  % (name, left, len(cached_thumbnails(caches[name])), waited), flush=True)

        try:
            for turn in range(args.runs):
                for name, binary in viewers.items():
                    caches[name] = os.path.join(scratch, 'cache-%s-%d' % (name.replace(' ', '-'), turn))
                    last = turn == args.runs - 1
                    first_screen(name, binary, caches[name], cold, jump_and_scroll_through if last else jump)
            # Warm needs the thumbnails the whole album leaves in the cache.
            for turn in range(0 if args.no_whole_album else args.runs):
                for name, binary in viewers.items():
                    first_screen(name, binary, caches[name], warm)
        finally:
            browser.quit()

        # The thumbnails each viewer left after the whole album, side by side.
        if 'yardstick' in viewers and not args.no_whole_album:
            ours, theirs = cached_thumbnails(caches['this page']), cached_thumbnails(caches['yardstick'])
            same = sum(1 for key in ours if theirs.get(key) == ours[key])
            print('cached thumbnails after the whole album: %d here, %d in the yardstick\'s cache, %d the same bytes'
                  % (len(ours), len(theirs), same), flush=True)

        if args.preview_bench:
            screen = int(statistics.median(r['shown'] for r in cold['this page']))
            points = math.ceil(cold['this page'][0]['side'])  # the cell's side, as the page asks previews for it
            for line in subprocess.run([args.preview_bench, str(points), *[os.path.join(folder, n) for n in names[:screen]]],
                                       check=True, capture_output=True, text=True).stdout.splitlines():
                print('first screen\'s previews alone: ' + line, flush=True)

        def figures(name):
            cold_screen = statistics.median(r['thumbnails'] for r in cold[name]) / 1000
            warm_screen = statistics.median(r['thumbnails'] for r in warm[name]) / 1000 if warm[name] else None
            return {
                'album on screen': statistics.median(r['album'] for r in cold[name] + warm[name]) / 1000,
                'first screen of thumbnails, cold': cold_screen,
                'first screen of thumbnails, warm': warm_screen,
                'first screen, cold / warm': cold_screen / warm_screen if warm_screen else None,
                'jump to the middle, cold': statistics.median(r['jump'] for r in jumps[name]) / 1000,
                'RSS after scrolling the whole album': rss.get(name),
            }

        def shown(value, unit):
            if value is None:
                return ''
            return {'MB': '%.0f MB' % value, 'x': '%.1f x' % value}.get(unit, '%.0f ms' % (value * 1000))

        measured = figures('this page')
        yardstick = figures('yardstick') if 'yardstick' in viewers else None
        print()
        print('load average at the end %.1f' % os.getloadavg()[0])
        print('| | measured | goal | measured / goal |' + (' yardstick | measured / yardstick |' if yardstick else ''))
        print('|---|---|---|---|' + ('---|---|' if yardstick else ''))
        for name, (goal, unit) in GOALS.items():
            value = measured[name]
            if value is None:
                continue  # not measured in this run
            row = '| %s | %s | %s | %.2f%s |' % (name, shown(value, unit), shown(goal, unit), value / goal, '' if value <= goal else ' (missed)')
            if yardstick:
                other = yardstick[name]
                row += ' %s | %s |' % (shown(other, unit), '%.2f' % (value / other) if other else '')
            print(row)
        return 0
    finally:
        shutil.rmtree(scratch, ignore_errors=True)


if __name__ == '__main__':
    sys.exit(main())
