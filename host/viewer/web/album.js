// The album's grid of thumbnails. The snapshot gives the grid's geometry
// (count, columns, side, gap, content height, offset) and the cells the host
// has on screen; the page scrolls the whole grid itself, smoothly, and
// makes an image only for the cells in view (plus a row either side), each
// asking /thumbnail/N at the size it is drawn. A tap tells the host where
// the grid is scrolled, then taps the photo by its name, as a person would.
'use strict';

const albumGrid = (() => {
  let element = null;
  let content = null;
  let geometry = null;
  let cells = new Map(); // index -> cell element
  let frame = 0;
  const margin = 1; // rows drawn beyond the visible ones

  function pixelsFor(side) {
    const scale = Number(document.getElementById('screen').dataset.scale || 1);
    return Math.ceil(side * scale * (window.devicePixelRatio || 1));
  }

  function makeCell(index) {
    const g = geometry;
    const cell = document.createElement('div');
    cell.className = 'thumbnail';
    cell.dataset.role = 'thumbnail';
    cell.dataset.index = String(index);
    cell.style.left = (index % g.columns) * (g.side + g.gap) + 'px';
    cell.style.top = Math.floor(index / g.columns) * (g.side + g.gap) + 'px';
    cell.style.width = cell.style.height = g.side + 'px';
    const image = document.createElement('img');
    image.alt = '';
    image.draggable = false;
    image.decoding = 'async';
    image.addEventListener('error', () => {
      // The server could not decode it: say so where the photo would be.
      cell.classList.add('undecodable');
      image.replaceWith(Object.assign(document.createElement('span'), { textContent: 'Cannot be decoded' }));
    });
    image.src = `/thumbnail/${index}?size=${pixelsFor(g.side)}`;
    cell.append(image);
    cell.addEventListener('click', event => { event.stopPropagation(); tap(index); });
    return cell;
  }

  // Makes the cells in view and drops the others.
  function fill() {
    frame = 0;
    if (!element || !geometry) return;
    const g = geometry;
    const step = g.side + g.gap;
    const firstRow = Math.max(0, Math.floor(element.scrollTop / step) - margin);
    const lastRow = Math.floor((element.scrollTop + element.clientHeight) / step) + margin;
    const first = firstRow * g.columns;
    const end = Math.min(g.count, (lastRow + 1) * g.columns);
    for (const [index, cell] of cells)
      if (index < first || index >= end) { cell.remove(); cells.delete(index); }
    for (let index = first; index < end; ++index)
      if (!cells.has(index)) { const cell = makeCell(index); cells.set(index, cell); content.append(cell); }
  }

  async function tap(index) {
    await send('scroll ' + element.scrollTop);
    const grid = findGrid(snapshot.screen.layers);
    const item = grid && grid.children.find(child => child.state && child.state.index === index);
    if (item) send('tap ' + item.label);
  }

  function findGrid(items) {
    for (const item of items) {
      if (item.role === 'grid') return item;
      const found = findGrid(item.children || []);
      if (found) return found;
    }
    return null;
  }

  return {
    get element() { return element; },
    shown: false,
    // The grid's element for the snapshot's `item`: the same one across
    // redraws of the same album, so its images and scrolling stay.
    draw(item) {
      const s = item.state;
      const next = { count: s.count, columns: s.columns, side: s.side, gap: s.gap, height: s.contentHeight };
      const same = geometry && element && Object.keys(next).every(key => next[key] === geometry[key]);
      if (!same) {
        geometry = next;
        cells = new Map();
        element = document.createElement('div');
        element.className = 'grid';
        content = document.createElement('div');
        content.className = 'grid-content';
        content.style.height = next.height + 'px';
        element.append(content);
        element.addEventListener('scroll', () => { if (!frame) frame = requestAnimationFrame(fill); }, { passive: true });
        element.dataset.offset = String(s.contentOffset);
      }
      element.dataset.offset = String(s.contentOffset);
      this.shown = true;
      return element;
    },
    // Once the grid is in the page: the host's offset, and the cells in view.
    afterDraw() {
      if (!this.shown) { element = null; geometry = null; cells = new Map(); return; }
      const offset = Number(element.dataset.offset);
      if (Math.abs(element.scrollTop - offset) >= 1) element.scrollTop = offset;
      fill();
    },
  };
})();
