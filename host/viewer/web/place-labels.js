// The names of places over the basemap, so a person can tell one town from
// the next. The viewer serves GeoNames' towns prepared at build time, in the
// order they are named: capitals first, then by population, each with the
// first zoom it is named at. At every zoom and pan the names are laid out
// afresh, in that order, each one only where its box meets no box already
// taken (nor a caption, a control or a pin over the map): capitals and big cities first, towns
// closer in, never two names over each other.
'use strict';

const quorixPlaceLabels = (() => {
  const font = '11px "DejaVu Sans", sans-serif';
  const height = 15;     // a label's box: one line of text
  const dot = 6;         // the mark at the place, left of its name
  const gap = 3;         // between the mark and the name
  const margin = 2;      // kept free around every box
  const maxLabels = 80;  // a view full of names reads as none
  const reservedMarks = 40; // the places whose marks other names leave free
  const markSpacing = 12;   // the nearest two named places' marks may be
  const pinHead = 20;       // a pin's round head, at the top of its box (map.css)

  let names = null;      // a promise of the places and their names, fetched once
  let context = null;    // a canvas context that measures text
  const widths = new Map();

  function load() {
    if (!names) {
      names = fetch('/place-names.json.gz').then(response => {
        if (!response.ok) throw new Error('/place-names.json.gz: ' + response.status);
        return new Response(response.body.pipeThrough(new DecompressionStream('gzip'))).json();
      });
    }
    return names;
  }

  // The names in the page's language where the data has them, by index:
  // the language tag as it stands ("zh-Hant"), else its first part ("de").
  function namesInLanguage(data) {
    const tag = document.documentElement.lang || '';
    const names = data.names || {};
    const chinese = { 'zh-CN': 'zh-Hans', 'zh-SG': 'zh-Hans', 'zh-TW': 'zh-Hant', 'zh-HK': 'zh-Hant' };
    return names[tag] || names[chinese[tag]] || names[tag.split('-')[0]] || {};
  }

  function textWidth(text) {
    let width = widths.get(text);
    if (width === undefined) {
      if (!context) {
        context = document.createElement('canvas').getContext('2d');
        context.font = font;
      }
      width = Math.ceil(context.measureText(text).width);
      widths.set(text, width);
    }
    return width;
  }

  const overlaps = (a, b, space = margin) => a.left < b.right + space && b.left < a.right + space &&
                                            a.top < b.bottom + space && b.top < a.bottom + space;

  // The boxes of what is shown over the map that matches the selector, in
  // the map's pixels.
  function boxesOf(element, selector) {
    const origin = element.getBoundingClientRect();
    const scale = origin.width / element.offsetWidth || 1;
    return [...element.querySelectorAll(selector)]
      .filter(shown => !shown.hidden && shown.offsetParent !== null)
      .map(shown => {
        const r = shown.getBoundingClientRect();
        return { left: (r.left - origin.left) / scale, top: (r.top - origin.top) / scale,
                 right: (r.right - origin.left) / scale, bottom: (r.bottom - origin.top) / scale };
      });
  }

  // Where a name may stand beside its mark, in the order tried: to the
  // right, to the left, above, below. The box is the mark's and the name's
  // together, in the map's pixels, with the mark at (x, y).
  function boxes(x, y, width) {
    const mark = { left: x - dot / 2, top: y - dot / 2, right: x + dot / 2, bottom: y + dot / 2 };
    const texts = [
      { left: mark.right + gap, top: y - height / 2 },
      { left: mark.left - gap - width, top: y - height / 2 },
      { left: x - width / 2, top: mark.top - height },
      { left: x - width / 2, top: mark.bottom },
    ];
    return texts.map(text => {
      text.right = text.left + width;
      text.bottom = text.top + height;
      return { text, left: Math.min(mark.left, text.left), top: Math.min(mark.top, text.top),
               right: Math.max(mark.right, text.right), bottom: Math.max(mark.bottom, text.bottom) };
    });
  }

  // A label whose element is its box; the mark and the name inside it.
  function label(name, x, y, box) {
    const body = document.createElement('div');
    body.className = 'place-label';
    const mark = document.createElement('span');
    mark.className = 'place-dot';
    mark.style.left = (x - dot / 2 - box.left) + 'px';
    mark.style.top = (y - dot / 2 - box.top) + 'px';
    const text = document.createElement('span');
    text.className = 'place-name';
    text.style.left = (box.text.left - box.left) + 'px';
    text.style.top = (box.text.top - box.top) + 'px';
    text.textContent = name;
    body.append(mark, text);
    return body;
  }

  function layout(map, element, data, layer) {
    layer.clearLayers();
    const zoom = map.getZoom();
    const size = map.getSize();
    // The places this zoom may name, in view, in order, each far enough
    // from every one before it that their marks read apart (a suburb gives
    // way to its city). A name leaves free the marks of the first few places
    // that are named as early as its own or earlier, so a city's name does
    // not crowd out the next city by standing where that one's mark is.
    const candidates = [];
    const translated = namesInLanguage(data);
    for (const [index, [english, latitude, longitude, minZoom]] of data.places.entries()) {
      if (minZoom > zoom + 0.25) continue;
      const point = map.latLngToContainerPoint([latitude, longitude]);
      if (point.x < 0 || point.y < 0 || point.x > size.x || point.y > size.y) continue;
      if (candidates.some(other => Math.hypot(other.x - point.x, other.y - point.y) < markSpacing)) continue;
      candidates.push({ name: translated[index] || english, latitude, longitude, minZoom, x: point.x, y: point.y });
    }
    const marked = candidates.slice(0, reservedMarks).map(place =>
      ({ place, left: place.x - dot / 2, top: place.y - dot / 2, right: place.x + dot / 2, bottom: place.y + dot / 2 }));
    // No name goes under a caption or a control, nor under a pin's head;
    // a name may pass behind its thin stem, and a mark lie under its tip,
    // or the town the photo was taken in could not be named.
    const taken = boxesOf(element, '.map-centre, .map-span, .map-place, .map-scale, .leaflet-control');
    const pins = boxesOf(element, '.map-marker').map(pin => ({ ...pin, bottom: Math.min(pin.bottom, pin.top + pinHead) }));
    const fits = (box, place) => box.left >= 0 && box.top >= 0 && box.right <= size.x && box.bottom <= size.y &&
                                 !taken.some(other => overlaps(box, other)) && !pins.some(pin => overlaps(box.text, pin, 0)) &&
                                 !marked.some(mark => mark.place !== place && mark.place.minZoom <= place.minZoom && overlaps(box, mark));
    let shown = 0;
    for (const place of candidates) {
      const box = boxes(place.x, place.y, textWidth(place.name)).find(candidate => fits(candidate, place));
      if (!box) continue;
      taken.push(box);
      const icon = L.divIcon({ className: 'place-marker', html: '', iconSize: [box.right - box.left, box.bottom - box.top],
                               iconAnchor: [place.x - box.left, place.y - box.top] });
      const marker = L.marker([place.latitude, place.longitude], { icon, pane: 'placeLabels', keyboard: false, interactive: false });
      marker.addTo(layer).getElement().append(label(place.name, place.x, place.y, box));
      if (++shown >= maxLabels) break;
    }
    element.dataset.placeLabels = String(shown);
  }

  // Names the places on the map (in `element`), and again after every zoom
  // and pan, below the pins.
  function addTo(map, element) {
    return load().then(data => {
      map.createPane('placeLabels').style.zIndex = 550;
      const layer = L.layerGroup().addTo(map);
      const again = () => layout(map, element, data, layer);
      map.on('zoomend moveend resize', again);
      again();
    });
  }

  return { addTo };
})();
