#!/usr/bin/env python3
"""The album's Places map in Debian's chromium, headless, as a person walks
it: the album, Places, the photos drawn as the host's clusters (a thumbnail
and a count) over the offline basemap at their positions, a cluster, a
photo, and back to the map where it was. Exits 77 (skipped) only when the
browser, its driver or Selenium is not installed."""

import os

import page_test
from page_test import ARGS, PageTest, walk_items
from viewer_server import ViewerServer, wait_until

PATIENCE = 60
LAND = (0xef, 0xea, 0xdf)  # the basemap's land (map.js)


class PlacesRoad(PageTest):
    def places_state(self):
        return next(i for i in walk_items(self.top_layer()) if i['role'] == 'places')

    def drawn_clusters(self):
        """Each cluster on the page: its label, count, centre in screen points,
        where the map puts its position, and whether its thumbnail loaded."""
        return self.browser.execute_script("""
            const screen = document.getElementById('screen'), s = Number(screen.dataset.scale);
            const o = screen.getBoundingClientRect();
            const places = document.querySelector('#screen .places');
            const map = places.querySelector('.places-basemap');
            const m = map.getBoundingClientRect();
            // The text of an element a person can see: nothing covers its middle.
            const shownText = e => {
              if (!e) return '';
              const r = e.getBoundingClientRect();
              return document.elementFromPoint(r.left + r.width / 2, r.top + r.height / 2) === e ? e.textContent : '';
            };
            return [...places.querySelectorAll('[data-role="cluster"]')].map(c => {
              const r = c.getBoundingClientRect(), img = c.querySelector('img');
              return { label: c.dataset.label, count: Number(c.dataset.count),
                       centre: [(r.left + r.width / 2 - o.left) / s, (r.top + r.height / 2 - o.top) / s],
                       mapTop: (m.top - o.top) / s, thumbnail: img.complete && img.naturalWidth > 0,
                       badge: shownText(c.querySelector('.place-count')) };
            });""")

    def test_album_places_a_cluster_a_photo_and_back_to_the_map_where_it_was(self):
        photos = [os.path.join(ARGS.samples, name) for name in
                  ('quorix-sample.jpg', 'dense-exif.jpg', 'portrait-rotated.jpg', 'no-position.jpg')]
        with ViewerServer(ARGS.viewer, ['--device', 'phone', '--system', '7.1.2'], photos) as server:
            self.open(server)
            self.click('barButton', 'Photos')
            self.click('barButton', 'Places')
            places = self.one('places')
            wait_until(lambda: places.get_attribute('data-basemap'), PATIENCE, 'the basemap')
            self.assertEqual(places.get_attribute('data-basemap'), 'ready')

            # The host's clusters, drawn where the snapshot puts them: a
            # thumbnail each and the count on the cluster of several.
            item = self.places_state()
            clusters = [i for i in walk_items(item) if i['role'] == 'cluster']
            self.assertEqual(sorted(c['state']['count'] for c in clusters), [1, 2])
            wait_until(lambda: all(c['thumbnail'] for c in self.drawn_clusters()), PATIENCE, 'the thumbnails')
            drawn = {c['label']: c for c in self.drawn_clusters()}
            self.assertEqual(set(drawn), {c['label'] for c in clusters})
            for cluster in clusters:
                frame = cluster['frame']
                centre = drawn[cluster['label']]['centre']
                self.assertAlmostEqual(centre[0], frame['x'] + frame['width'] / 2, delta=1)
                self.assertAlmostEqual(centre[1], frame['y'] + frame['height'] / 2, delta=1)
            self.assertEqual(drawn['2 photos']['badge'], '2')
            self.assertEqual(drawn['dense-exif.jpg']['badge'], '')

            # The basemap lies under them where the host's region says: east of
            # the Oslo photo is land.
            land = self.browser.execute_script("""
                const places = document.querySelector('#screen .places');
                const canvas = places.querySelector('canvas');
                const box = canvas.getBoundingClientRect(), s = Number(document.getElementById('screen').dataset.scale);
                const o = document.getElementById('screen').getBoundingClientRect();
                // Where the screen point lies on the canvas, in its own pixels.
                const x = Math.round(((o.left + arguments[0] * s) - box.left) / s * canvas.width / canvas.offsetWidth);
                const y = Math.round(((o.top + arguments[1] * s) - box.top) / s * canvas.height / canvas.offsetHeight);
                return Array.from(canvas.getContext('2d').getImageData(x, y, 1, 1).data);""",
                drawn['dense-exif.jpg']['centre'][0] + 40, drawn['dense-exif.jpg']['centre'][1] - 10)
            self.assertEqual(tuple(land[:3]), LAND, 'east of Oslo is land')
            self.shot('places-1-world')

            # A tap on the cluster of two zooms to it.
            before = item['state']['zoom']
            self.click('cluster', '2 photos')
            wait_until(lambda: self.places_state()['state']['zoom'] > before, PATIENCE, 'the map to zoom in')
            zoomed = self.places_state()
            self.shot('places-2-cluster')

            # Both were taken at one spot: at the closest zoom the tap opens the photo.
            self.assertEqual(zoomed['state']['zoom'], 18)
            label = next(i for i in walk_items(zoomed) if i['role'] == 'cluster')['state']['name']
            self.click('cluster', '2 photos')
            self.one('view', label)
            wait_until(lambda: self.browser.execute_script(
                "const i = document.querySelector('#screen img.photo'); return i && i.complete && i.naturalWidth;"),
                PATIENCE, 'the photo')
            self.assertEqual(self.find('places'), [])
            self.shot('places-3-photo')

            # Back: the map where it was.
            self.click('barButton', 'Photos')
            self.one('places')
            self.assertEqual(self.places_state()['state'], zoomed['state'])
            self.assertEqual(self.browser.execute_script(
                "return document.querySelector('#screen .places').dataset.zoom"), '18')
            self.assertEqual(self.status(), '')
            self.shot('places-4-back')


if __name__ == '__main__':
    page_test.main()
