// The album's Places map: the snapshot's "places" element drawn over the
// offline basemap the map screen uses (map.js), with Leaflet showing
// exactly the region the host clustered for (its centre and zoom; the
// host's zoom is Leaflet's, 256-point tiles). The clusters are the host's:
// each is drawn at its frame with its photo's thumbnail and its count, and
// a click taps it by its index. The + and − buttons and a drag on the map
// are the zoom and pan commands; the page moves nothing itself, so what it
// shows is always what the snapshot says.
'use strict';

const placesMap = (() => {
  let shown = null; // { element, map, layer } kept across redraws, so the basemap is built once

  function thumbnailSize(frame) {
    const scale = Number(document.getElementById('screen').dataset.scale || 1);
    return Math.ceil(frame.width * scale * (window.devicePixelRatio || 1));
  }

  function drawCluster(cluster, origin) {
    const s = cluster.state;
    const element = document.createElement('button');
    element.className = 'place-cluster';
    element.dataset.role = 'cluster';
    element.dataset.index = String(s.index);
    element.dataset.count = String(s.count);
    element.dataset.label = cluster.label;
    element.setAttribute('aria-label', cluster.label);
    element.style.left = (cluster.frame.x - origin.x) + 'px';
    element.style.top = (cluster.frame.y - origin.y) + 'px';
    element.style.width = cluster.frame.width + 'px';
    element.style.height = cluster.frame.height + 'px';
    const image = document.createElement('img');
    image.alt = '';
    image.draggable = false;
    viewerAccess.loadImage(image, `/thumbnail/${s.photo}?size=${thumbnailSize(cluster.frame)}`);
    element.append(image);
    if (s.count > 1) {
      const count = document.createElement('span');
      count.className = 'place-count';
      count.textContent = String(s.count);
      element.append(count);
    }
    element.addEventListener('click', event => { event.stopPropagation(); send('place ' + s.index); });
    return element;
  }

  function zoomButton(text, command) {
    const button = document.createElement('button');
    button.className = 'place-zoom';
    button.textContent = text;
    button.addEventListener('click', event => { event.stopPropagation(); send(command); });
    return button;
  }

  // A drag on the map pans it by as much, once the pointer is let go.
  function draggable(element) {
    let start = null;
    element.addEventListener('pointerdown', event => {
      if (event.target.closest('button')) return;
      start = { x: event.clientX, y: event.clientY };
    });
    element.addEventListener('pointerup', event => {
      if (!start) return;
      const dx = Math.round(start.x - event.clientX), dy = Math.round(start.y - event.clientY);
      start = null;
      if (Math.abs(dx) + Math.abs(dy) > 4) send(`pan ${dx} ${dy}`);
    });
  }

  function build(element) {
    const map = L.map(element.querySelector('.places-basemap'), { preferCanvas: true, zoomSnap: 1, minZoom: 0, maxZoom: 18,
      dragging: false, touchZoom: false, scrollWheelZoom: false, doubleClickZoom: false, boxZoom: false, keyboard: false,
      zoomControl: false, attributionControl: false, fadeAnimation: false, zoomAnimation: false });
    quorixMap.loadBasemap().then(levels => {
      quorixMap.addBasemap(map, levels);
      element.dataset.basemap = 'ready';
    }).catch(error => { element.dataset.basemap = 'failed: ' + error.message; });
    return map;
  }

  // The element for a snapshot's places item.
  function draw(item, origin) {
    const s = item.state || {};
    if (!shown) {
      const element = document.createElement('div');
      element.className = 'places';
      const basemap = document.createElement('div');
      basemap.className = 'places-basemap';
      const layer = document.createElement('div');
      layer.className = 'places-clusters';
      const controls = document.createElement('div');
      controls.className = 'places-controls';
      controls.append(zoomButton('+', 'zoom-in'), zoomButton('−', 'zoom-out'));
      element.append(basemap, layer, controls);
      draggable(element);
      shown = { element, map: null, layer };
    }
    const { element, layer } = shown;
    element.dataset.role = 'places';
    element.dataset.zoom = String(s.zoom);
    element.style.left = (item.frame.x - origin.x) + 'px';
    element.style.top = (item.frame.y - origin.y) + 'px';
    element.style.width = item.frame.width + 'px';
    element.style.height = item.frame.height + 'px';
    layer.replaceChildren(...item.children.filter(child => child.role === 'cluster')
      .map(cluster => drawCluster(cluster, item.frame)));
    const view = () => {
      if (!shown || shown.element !== element || !element.isConnected) return;
      if (!shown.map) shown.map = build(element);
      shown.map.invalidateSize({ animate: false });
      if (s.zoom !== undefined) shown.map.setView([s.latitude, s.longitude], s.zoom, { animate: false });
    };
    queueMicrotask(view);
    return element;
  }

  // The page has drawn a screen without the Places map: the next starts afresh.
  function afterDraw(screen) {
    if (shown && !screen.contains(shown.element)) {
      if (shown.map) shown.map.remove();
      shown = null;
    }
  }

  return { draw, afterDraw };
})();
