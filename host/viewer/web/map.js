// The map screen, drawn with Leaflet over the basemap the viewer serves
// (Natural Earth's land and borders, prepared at build time), or over the
// tile server the person opted in to with --map-tiles. The snapshot says
// what to show: the first view is its region (centre and span) with its
// pins; from there the person may zoom out to the whole Earth, back in, and
// pan. The place's name over the map is the viewer's answer for the pin.
// A map is kept across redraws of the same screen, so a zoom survives the
// snapshot that follows every command.
'use strict';

const quorixMap = (() => {
  const water = '#a9cfe6';
  const land = '#efeadf';
  const border = '#a39a8c';
  const maxZoom = 19;

  let basemap = null;   // a promise of the decoded levels, fetched once
  let settings = null;  // a promise of /map-settings, fetched once
  let shown = null;     // { key, element, map } of the map on screen
  const droppedPins = new Set(); // pins already dropped on the map on screen

  function fetchJson(url) {
    return viewerAccess.ask(url).then(response => {
      if (!response.ok) throw new Error(url + ': ' + response.status);
      return response.json();
    });
  }

  // Each ring and line is a flat list: its first point, then steps, in the
  // level's quantized units. Points come out as Leaflet's [latitude, longitude].
  function decodeLevel(level) {
    const [sx, sy] = level.scale, [tx, ty] = level.translate;
    const points = flat => {
      const result = [];
      let x = 0, y = 0;
      for (let i = 0; i < flat.length; i += 2) {
        x += flat[i]; y += flat[i + 1];
        result.push([y * sy + ty, x * sx + tx]);
      }
      return result;
    };
    return {
      minZoom: level.minZoom,
      land: level.land.map(points),
      borders: level.borders.map(points),
    };
  }

  // The basemap comes gzip-compressed as a file of its own (the viewer
  // compresses nothing on the fly); the browser inflates it.
  function loadBasemap() {
    if (!basemap) {
      basemap = viewerAccess.ask('/basemap.json.gz').then(response => {
        if (!response.ok) throw new Error('/basemap.json.gz: ' + response.status);
        return new Response(response.body.pipeThrough(new DecompressionStream('gzip'))).json();
      }).then(data => data.levels.map(decodeLevel));
    }
    return basemap;
  }

  function loadSettings() {
    if (!settings) settings = fetchJson('/map-settings').catch(() => ({ tiles: null }));
    return settings;
  }

  // Each level's land and borders as layers; the finest level whose
  // minZoom the map has reached is the one on the map. The land is one
  // shape filled at once (outer rings and holes turn opposite ways), so no
  // seam shows where two of its rings meet, as it would between shapes
  // filled one by one with smoothed edges.
  function addBasemap(map, levels) {
    const renderer = L.canvas({ padding: 0.5 });
    const groups = levels.map(level => L.layerGroup([
      L.polygon(level.land, { renderer, stroke: false, fillColor: land, fillOpacity: 1, fillRule: 'nonzero', interactive: false }),
      ...level.borders.map(line => L.polyline(line, { renderer, color: border, weight: 1, dashArray: '4 3', interactive: false })),
    ]));
    const choose = () => {
      let chosen = 0;
      levels.forEach((level, index) => { if (map.getZoom() >= level.minZoom) chosen = index; });
      groups.forEach((group, index) => {
        if (index === chosen && !map.hasLayer(group)) group.addTo(map);
        else if (index !== chosen && map.hasLayer(group)) map.removeLayer(group);
      });
    };
    map.on('zoomend', choose);
    choose();
  }

  function caption(text, className) {
    const element = node('div', className, text);
    element.dataset.role = className;
    return element;
  }

  function formatCentre(lat, lon) {
    return `${Math.abs(lat).toFixed(5)}° ${lat < 0 ? 'S' : 'N'}, ${Math.abs(lon).toFixed(5)}° ${lon < 0 ? 'W' : 'E'}`;
  }

  // The pin: a Leaflet marker at the pin's coordinate whose tip is the
  // bottom middle of the pin's frame, as on the device.
  function addPin(map, pin) {
    const s = pin.state || {};
    const body = describe(node('div', 'pin ' + (s.color || 'red')), pin);
    const key = `${s.latitude},${s.longitude}`;
    if (s.dropped && !droppedPins.has(key)) {
      body.classList.add('drop');
      droppedPins.add(key);
    }
    const icon = L.divIcon({ className: 'map-marker', html: '', iconSize: [pin.frame.width, pin.frame.height],
                             iconAnchor: [pin.frame.width / 2, pin.frame.height] });
    const marker = L.marker([s.latitude, s.longitude], { icon, keyboard: false, interactive: false }).addTo(map);
    marker.getElement().append(body);
  }

  // The viewer's name for the place of the first pin (else the centre).
  function showPlace(element, coordinate) {
    const query = `latitude=${encodeURIComponent(coordinate[0])}&longitude=${encodeURIComponent(coordinate[1])}`;
    fetchJson('/place?' + query).then(answer => {
      const place = answer.place;
      const label = element.querySelector('.map-place');
      if (!place || !label) return;
      label.textContent = `${place.name}${place.country ? ', ' + place.country : ''} · ${place.distance_km} km`;
      label.hidden = false;
    }).catch(() => {});
  }

  function build(item, element) {
    const s = item.state || {};
    const lat = Number(s.latitude), lon = Number(s.longitude);
    const latDelta = Number(s.latitudeDelta), lonDelta = Number(s.longitudeDelta);
    const place = caption('', 'map-place');
    place.hidden = true;
    const scale = caption('', 'map-scale');
    scale.append(node('div', 'map-scale-bar'), node('span', '', s.scale || ''));
    const span = caption(pageText('span {0}° × {1}°', latDelta, lonDelta), 'map-span');
    element.append(caption(formatCentre(lat, lon), 'map-centre'), span, place, scale);

    const map = L.map(element, { preferCanvas: true, zoomSnap: 0, zoomDelta: 1, minZoom: 0, maxZoom,
                                 worldCopyJump: false, attributionControl: false, zoomControl: false });
    L.control.zoom({ position: 'topright' }).addTo(map);
    element.map = map;
    const region = L.latLngBounds([lat - latDelta / 2, lon - lonDelta / 2], [lat + latDelta / 2, lon + lonDelta / 2]);
    map.fitBounds(region, { animate: false });
    const firstZoom = map.getZoom();
    const mapScale = L.control.scale({ imperial: false, position: 'bottomright' }).addTo(map);
    const track = () => {
      element.dataset.zoom = map.getZoom().toFixed(2);
      // The snapshot's scale and span are the first view's; another zoom
      // shows the map's own scale.
      const zoomed = Math.abs(map.getZoom() - firstZoom) > 0.01;
      scale.hidden = zoomed;
      span.hidden = zoomed;
      mapScale.getContainer().hidden = !zoomed;
    };
    map.on('zoomend', track);
    track();

    const pins = item.children.filter(child => child.role === 'pin');
    pins.forEach(pin => addPin(map, pin));
    showPlace(element, pins.length ? [pins[0].state.latitude, pins[0].state.longitude] : [lat, lon]);

    loadSettings().then(({ tiles }) => {
      if (tiles) {
        const layer = L.tileLayer(tiles, { maxZoom, attribution: '' }).addTo(map);
        element.dataset.basemap = 'tiles';
        // A tile server that answers no tile leaves the basemap, and a caption saying why.
        let loaded = false;
        layer.on('tileload', () => { loaded = true; });
        layer.on('tileerror', () => {
          if (loaded || element.dataset.basemap !== 'tiles') return;
          element.dataset.basemap = 'falling back';
          map.removeLayer(layer);
          element.append(node('div', 'map-tiles-failed', 'The map tiles could not be loaded: the basemap is shown'));
          loadBasemap().then(levels => {
            addBasemap(map, levels);
            element.dataset.basemap = 'ready';
          }).catch(error => { element.dataset.basemap = 'failed: ' + error.message; });
        });
        return;
      }
      return loadBasemap().then(levels => {
        addBasemap(map, levels);
        element.dataset.basemap = 'ready';
        quorixPlaceLabels.addTo(map, element).catch(error => { element.dataset.placeLabels = 'failed: ' + error.message; });
      });
    }).catch(error => { element.dataset.basemap = 'failed: ' + error.message; });
  }

  // The map element for a snapshot's map item: the one on screen when the
  // screen is the same, else a new one, built once it is in the page (Leaflet
  // measures its container).
  function draw(item) {
    const s = item.state || {};
    const pins = item.children.filter(child => child.role === 'pin').map(pin => [pin.state.latitude, pin.state.longitude, pin.state.color]);
    const key = JSON.stringify([s.latitude, s.longitude, s.latitudeDelta, s.longitudeDelta, item.frame, pins]);
    if (shown && shown.key === key) {
      queueMicrotask(() => shown && shown.map && shown.map.invalidateSize());
      return shown.element;
    }
    forget();
    const element = node('div', 'map');
    element.style.background = water;
    shown = { key, element, map: null };
    queueMicrotask(() => {
      if (shown && shown.element === element && element.isConnected) {
        build(item, element);
        shown.map = element.map;
      }
    });
    return element;
  }

  // The page has drawn a screen without a map: the next map starts afresh.
  function forget() {
    if (shown && shown.map) shown.map.remove();
    shown = null;
  }

  function afterDraw(screen) {
    if (!screen.querySelector('.map')) {
      forget();
      droppedPins.clear();
    }
  }

  // The Places map (places.js) draws the same basemap.
  return { draw, afterDraw, loadBasemap, addBasemap };
})();
