#!/usr/bin/env python3
"""The map screen in Debian's chromium, headless, as a person uses it: the
sample taken in Rio de Janeiro opens on the screen's region with its pin
and the place's name; the − button zooms out to the whole Earth, where land
and water are drawn where they are, and + zooms back in; at the whole Earth
and at a country's zoom, sea is sea and land is land, with no seam inside a
country. Nothing is fetched from anywhere but the viewer, unless the person
opted in to a tile server with --map-tiles: then the browser asks that
server for the tiles around the photo, and tells it nothing else. Exits 77 (skipped) only when the browser,
its driver or Selenium is not installed."""

import http.server
import json
import math
import os
import re
import threading
import urllib.error
import urllib.request
import zlib

import page_test
from page_test import ARGS, By, PageTest, walk_items
from viewer_server import ViewerServer, wait_until

# Colours the basemap draws (map.js).
LAND = (0xef, 0xea, 0xdf)
WATER = (0xa9, 0xcf, 0xe6)

# Open sea and the inside of continents, as the whole Earth shows them: the
# rings that cross the 180th meridian (Russia, Fiji, the Aleutians) and
# Antarctica's around the pole must neither spill over the sea nor leave
# their land out.
SEAS = [('the North Atlantic', 50.0, -30.0), ('the Norwegian Sea', 68.0, 2.0), ('the Bering Sea', 57.0, -177.0),
        ('the South Atlantic', -30.0, -15.0), ('the Indian Ocean', -20.0, 80.0), ('the Barents Sea', 74.0, 40.0),
        ('the North Pacific', 40.0, 170.0)]
LANDS = [('Siberia', 62.0, 100.0), ('Chukotka', 66.0, -171.5), ('Chukotka by the 180th meridian', 67.5, -178.5),
         ('Brazil', -10.0, -50.0), ('Australia', -25.0, 134.0), ('Greenland', 75.0, -40.0), ('Antarctica', -80.0, 30.0),
         ('Antarctica near the pole', -84.8, 60.0), ('Antarctica near the pole, east', -84.8, 120.0)]

# A box well inside a country at that country's zoom, as (name, south, west,
# north, east, zoom): nothing of the water's colour may show in it, not even
# a hairline where two pieces of land meet.
INLAND = [('Russia by the 180th meridian', 65.5, 176.0, 67.5, 179.9, 5),
          ('Russia east of the 180th meridian', 67.0, -179.9, 68.0, -178.0, 5),
          ('Siberia', 58.0, 95.0, 64.0, 110.0, 4),
          ('Brazil', -14.0, -54.0, -8.0, -46.0, 5),
          ('Germany', 50.5, 8.5, 52.5, 11.5, 6)]

RIO = (-22.948658, -43.157444)  # the sample's position

# How long the page may take to show what is waited for: the bound of a wait,
# not a pause. A sanitizer build on a busy machine can take many seconds to
# name a place.
PATIENCE = 60


def grey_png(side):
    """A square grey PNG: a tile the stand-in tile server answers with."""
    def part(kind, data):
        return len(data).to_bytes(4, 'big') + kind + data + zlib.crc32(kind + data).to_bytes(4, 'big')
    header = side.to_bytes(4, 'big') * 2 + bytes([8, 0, 0, 0, 0])
    rows = (b'\0' + b'\x80' * side) * side
    return b'\x89PNG\r\n\x1a\n' + part(b'IHDR', header) + part(b'IDAT', zlib.compress(rows)) + part(b'IEND', b'')


TILE = grey_png(256)


class MapDriving(PageTest):
    """Opens the map screen and zooms it with its buttons, as a person does."""

    def show_map(self, server):
        self.open(server)
        self.click('barButton', 'Info')
        self.click('cell', 'Show Location')
        return self.one('map')

    def zoom(self):
        return float(self.browser.execute_script("return document.querySelector('#screen .map').dataset.zoom"))

    def press_zoom(self, which):
        """Presses the map's + or − button once and waits for the zoom to end."""
        before = self.zoom()
        # The button must be what a click at its middle meets; chromedriver
        # misplaces the middle of controls inside the scaled screen, so the
        # page is asked and the click given there.
        hit = self.browser.execute_script("""
            const button = document.querySelector('#screen .leaflet-control-zoom-' + arguments[0]);
            const r = button.getBoundingClientRect();
            const met = document.elementFromPoint(r.left + r.width / 2, r.top + r.height / 2);
            if (met !== button) return met ? met.outerHTML.slice(0, 80) : 'nothing';
            button.click();
            return true;""", which)
        self.assertIs(hit, True, 'the %s button is covered by %s' % (which, hit))
        wait_until(lambda: abs(self.zoom() - before) > 0.01, PATIENCE, 'the map to zoom ' + which)


class MapScreen(MapDriving):
    def pixel(self, latitude, longitude):
        """The basemap's pixel where the map shows this position: [r, g, b, a]
        on the canvas the land is drawn on (water is the map's own colour,
        seen through the canvas where nothing is drawn)."""
        return self.browser.execute_script("""
            const map = document.querySelector('#screen .map'), leaflet = map.map;
            const canvas = map.querySelector('canvas');
            const scale = Number(document.getElementById('screen').dataset.scale);
            const point = leaflet.latLngToContainerPoint([arguments[0], arguments[1]]);
            const m = map.getBoundingClientRect(), c = canvas.getBoundingClientRect();
            const x = Math.round((m.left + point.x * scale - c.left) / scale * canvas.width / canvas.offsetWidth);
            const y = Math.round((m.top + point.y * scale - c.top) / scale * canvas.height / canvas.offsetHeight);
            return Array.from(canvas.getContext('2d').getImageData(x, y, 1, 1).data);""", latitude, longitude)

    def view(self, latitude, longitude, zoom):
        """Sets the map's view at once and waits until the basemap is drawn for it."""
        self.browser.execute_async_script("""
            const done = arguments[3], map = document.querySelector('#screen .map').map;
            map.setView([arguments[0], arguments[1]], arguments[2], { animate: false });
            requestAnimationFrame(() => requestAnimationFrame(() => done()));""", latitude, longitude, zoom)

    def drawn(self, boxes):
        """What the browser shows of each box (south, west, north, east in
        degrees): [[r, g, b], ...] of every pixel of the page's screenshot
        inside it, a point's box giving its one pixel."""
        shot = self.browser.get_screenshot_as_base64()
        return self.browser.execute_async_script("""
            const [shot, boxes, done] = arguments;
            const element = document.querySelector('#screen .map'), map = element.map;
            const scale = Number(document.getElementById('screen').dataset.scale);
            const m = element.getBoundingClientRect();
            const at = (lat, lon) => { const p = map.latLngToContainerPoint([lat, lon]);
                                       return [Math.round(m.left + p.x * scale), Math.round(m.top + p.y * scale)]; };
            const image = new Image();
            image.onload = () => {
              const canvas = document.createElement('canvas');
              canvas.width = image.width; canvas.height = image.height;
              const context = canvas.getContext('2d');
              context.drawImage(image, 0, 0);
              done(boxes.map(([south, west, north, east]) => {
                const [x0, y0] = at(north, west), [x1, y1] = at(south, east);
                const data = context.getImageData(x0, y0, x1 - x0 + 1, y1 - y0 + 1).data;
                const pixels = [];
                for (let i = 0; i < data.length; i += 4) pixels.push([data[i], data[i + 1], data[i + 2]]);
                return pixels;
              }));
            };
            image.src = 'data:image/png;base64,' + shot;""", shot, boxes)

    def test_the_earth_and_a_country_drawn_as_they_are(self):
        sample = os.path.join(ARGS.samples, 'quorix-sample.jpg')
        with ViewerServer(ARGS.viewer, ['--device', 'phone', '--system', '7.1.2'], [sample]) as server:
            self.show_map(server)
            wait_until(lambda: self.browser.execute_script(
                "return document.querySelector('#screen .map').dataset.basemap"), PATIENCE, 'the basemap')

            # Land and water are read where names would be drawn over them.
            self.browser.execute_script("""
                const style = document.createElement('style');
                style.textContent = '.place-marker, .place-label { visibility: hidden !important; }';
                document.head.append(style);""")
            self.view(20, 0, 0)
            self.shot('map-world')
            places = SEAS + LANDS
            colours = self.drawn([[lat, lon, lat, lon] for _, lat, lon in places])
            for (name, _, _), expected, pixels in zip(places, [WATER] * len(SEAS) + [LAND] * len(LANDS), colours):
                self.assertEqual(tuple(pixels[0]), expected, name)

            for name, south, west, north, east, zoom in INLAND:
                self.view((south + north) / 2, (west + east) / 2, zoom)
                pixels = self.drawn([[south, west, north, east]])[0]
                self.shot('map-country-' + '-'.join(name.split()[:2]).lower())
                self.assertGreater(len(pixels), 400, name + ' is a box of pixels')
                # A seam is a line of blended pixels: anything but land counts.
                other = [p for p in pixels if tuple(p) != LAND]
                self.assertEqual(len(other), 0, '%s: %d of %d pixels are not land, e.g. %s'
                                 % (name, len(other), len(pixels), other[:3]))

    def test_the_sample_on_a_map_zoomed_out_to_the_earth_and_back(self):
        sample = os.path.join(ARGS.samples, 'quorix-sample.jpg')
        with ViewerServer(ARGS.viewer, ['--device', 'phone', '--system', '7.1.2'], [sample]) as server:
            self.show_map(server)
            wait_until(lambda: self.browser.execute_script(
                "return document.querySelector('#screen .map').dataset.basemap"), PATIENCE, 'the basemap')
            self.assertEqual(self.browser.execute_script(
                "return document.querySelector('#screen .map').dataset.basemap"), 'ready')

            # The first view is the screen's region: the span around the photo's
            # position, the pin's tip exactly on it, and the place's name.
            item = next(i for i in walk_items(self.top_layer()) if i['role'] == 'map')
            bounds = self.browser.execute_script(
                "const b = document.querySelector('#screen .map').map.getBounds();"
                "return [b.getSouth(), b.getWest(), b.getNorth(), b.getEast()];")
            metre = 1e-5  # in degrees, about: Leaflet's fit is to the pixel
            self.assertLessEqual(bounds[0], RIO[0] - item['state']['latitudeDelta'] / 2 + metre)
            self.assertGreaterEqual(bounds[2], RIO[0] + item['state']['latitudeDelta'] / 2 - metre)
            self.assertLessEqual(bounds[1], RIO[1] - item['state']['longitudeDelta'] / 2 + metre)
            self.assertGreaterEqual(bounds[3], RIO[1] + item['state']['longitudeDelta'] / 2 - metre)
            self.assertLess(bounds[3] - bounds[1], 2 * item['state']['longitudeDelta'], 'no wider than it needs')
            pin = self.one('pin')
            pin_item = next(i for i in walk_items(item) if i['role'] == 'pin')
            # The pin drops onto the map; its tip is measured where it lands.
            wait_until(lambda: self.browser.execute_script(
                "return arguments[0].getAnimations({ subtree: true }).every(a => a.playState === 'finished');", pin),
                PATIENCE, 'the pin to land')
            tip = self.browser.execute_script("""
                const screen = document.getElementById('screen'), s = Number(screen.dataset.scale);
                const o = screen.getBoundingClientRect(), r = arguments[0].getBoundingClientRect();
                return [(r.left + r.width / 2 - o.left) / s, (r.bottom - o.top) / s];""", pin)
            frame = pin_item['frame']
            self.assertAlmostEqual(tip[0], frame['x'] + frame['width'] / 2, delta=1)
            self.assertAlmostEqual(tip[1], frame['y'] + frame['height'], delta=1)
            place = wait_until(lambda: self.browser.execute_script(
                "const p = document.querySelector('#screen .map-place'); return p && !p.hidden && p.textContent;"),
                PATIENCE, 'the place name')
            self.assertEqual(place, 'Rio de Janeiro, Brazil · 9.5 km')
            self.shot('map-1-region')

            # Out to the whole Earth with the − button.
            first_zoom = self.zoom()
            while self.zoom() > 0.01:
                self.press_zoom('out')
            west, east = self.browser.execute_script(
                "const b = document.querySelector('#screen .map').map.getBounds(); return [b.getWest(), b.getEast()];")
            self.assertLessEqual(west, -180)
            self.assertGreaterEqual(east, 180)
            self.shot('map-2-earth')

            # Back in over the coast: land inland of Rio, the Atlantic off it.
            for _ in range(5):
                self.press_zoom('in')
            self.assertEqual(tuple(self.pixel(-20.0, -44.5)[:3]), LAND, 'Minas Gerais is land')
            self.assertEqual(tuple(self.pixel(-15.8, -47.9)[:3]), LAND, 'Brasília is on land')
            self.assertEqual(self.pixel(-25.5, -41.0)[3], 0, 'the Atlantic off Rio is water')
            self.assertEqual(self.pixel(-23.2, -43.16)[3], 0, 'the bay in front of Rio is water')
            self.shot('map-3-coast')

            # And on to where it started, the pin still on the photo's position.
            while self.zoom() < first_zoom - 0.01:
                self.press_zoom('in')
            self.assertIsNotNone(self.one('pin'))

            # Every request went to the viewer.
            requests = self.browser.execute_script(
                "return performance.getEntriesByType('resource').map(e => e.name);")
            self.assertTrue(requests)
            self.assertEqual([r for r in requests if not r.startswith(server.url)], [])
            self.assertEqual(self.status(), '')

            # The viewer's answers behind the caption, and its refusals.
            def place_of(query):
                with urllib.request.urlopen(server.url + 'place?' + query, timeout=10) as answer:
                    return json.load(answer)['place']
            self.assertEqual(place_of('latitude=59.9075&longitude=10.744583')['name'], 'Oslo')
            self.assertIsNone(place_of('latitude=35&longitude=-40'), 'the Atlantic has no town')
            for query in ('latitude=91&longitude=0', 'latitude=abc&longitude=0', 'latitude=1', 'latitude=1e999&longitude=0'):
                with self.assertRaises(urllib.error.HTTPError, msg=query) as refused:
                    urllib.request.urlopen(server.url + 'place?' + query, timeout=10)
                self.assertEqual(refused.exception.code, 400, query)

    def test_tiles_from_the_server_the_person_chose_and_nothing_else(self):
        requests = []

        class TileServer(http.server.BaseHTTPRequestHandler):
            def do_GET(self):
                requests.append((self.path, dict(self.headers)))
                if not self.path.startswith('/tiles/'):
                    self.send_response(404)
                    self.end_headers()
                    return
                self.send_response(200)
                self.send_header('Content-Type', 'image/png')
                self.end_headers()
                self.wfile.write(TILE)

            def log_message(self, *args):
                pass

        tiles = http.server.ThreadingHTTPServer(('127.0.0.1', 0), TileServer)
        threading.Thread(target=tiles.serve_forever, daemon=True).start()
        try:
            template = 'http://127.0.0.1:%d/tiles/{z}/{x}/{y}.png' % tiles.server_address[1]
            sample = os.path.join(ARGS.samples, 'quorix-sample.jpg')
            with ViewerServer(ARGS.viewer, ['--device', 'phone', '--map-tiles', template], [sample]) as server:
                self.show_map(server)
                wait_until(lambda: requests, PATIENCE, 'a tile request')
                self.assertEqual(self.browser.execute_script(
                    "return document.querySelector('#screen .map').dataset.basemap"), 'tiles')
                for path, headers in list(requests):
                    match = re.fullmatch(r'/tiles/(\d+)/(\d+)/(\d+)\.png', path)
                    self.assertIsNotNone(match, path)
                    z, x, y = map(int, match.groups())
                    # A tile at or next to the one that holds the photo's position.
                    n = 2 ** z
                    tile_x = (RIO[1] + 180) / 360 * n
                    tile_y = (1 - math.asinh(math.tan(math.radians(RIO[0]))) / math.pi) / 2 * n
                    self.assertLessEqual(abs(x - tile_x), 2, path)
                    self.assertLessEqual(abs(y - tile_y), 2, path)
                    self.assertGreaterEqual(z, 16, path)
                    self.assertNotIn('Referer', headers, 'the tile server is not told which page asks')
                loaded = self.browser.execute_script("return performance.getEntriesByType('resource').map(e => e.name);")
                self.assertFalse([r for r in loaded if 'basemap' in r], 'tiles instead of the basemap')
                self.assertFalse(self.browser.find_elements(By.CSS_SELECTOR, '#screen .map-tiles-failed'))

            # A tile server that answers no tile: the basemap, and a caption that says so.
            template = 'http://127.0.0.1:%d/missing/{z}/{x}/{y}.png' % tiles.server_address[1]
            with ViewerServer(ARGS.viewer, ['--device', 'phone', '--map-tiles', template], [sample]) as server:
                self.show_map(server)
                wait_until(lambda: self.browser.execute_script(
                    "return document.querySelector('#screen .map').dataset.basemap") == 'ready', PATIENCE, 'the basemap instead')
                caption = self.browser.find_element(By.CSS_SELECTOR, '#screen .map-tiles-failed')
                self.assertTrue(caption.is_displayed())
                self.assertIn('could not be loaded', caption.text)
                self.shot('map-tiles-failed')
        finally:
            tiles.shutdown()
            tiles.server_close()


if __name__ == '__main__':
    page_test.main()
