// The album's grid of thumbnails. The snapshot gives the grid's geometry
// (count, columns, side, gap, content height, offset) and the cells the host
// has on screen; the page scrolls the whole grid itself, smoothly, and
// makes cells only for those in view (plus a row either side). Each row's
// thumbnails come in one request, /thumbnails?first=N&count=M&size=PX at the
// size they are drawn, as multipart/form-data read with Response.formData():
// a browser sends at most six requests to a server at once, so one per
// thumbnail would queue most of a screen behind the others. Each part is a
// data: URL the image takes as it is (an object URL of a Blob loads several
// times slower in Chromium), or the reason there is none. Rows arrive one
// by one, each shown at once; a row scrolled away before it arrives is
// abandoned. A tap tells the host where the grid is scrolled, then taps the
// photo's thumbnail by its number.
'use strict';

const albumGrid = (() => {
  let element = null;
  let content = null;
  let geometry = null;
  let cells = new Map(); // index -> cell element
  let asked = new Map(); // row -> the AbortController of its request under way
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
    cell.addEventListener('click', event => { event.stopPropagation(); tap(index); });
    return cell;
  }

  // The server could not decode the photo: say so where it would be.
  function undecodable(cell) {
    cell.replaceChildren(Object.assign(document.createElement('span'), { textContent: pageText('Cannot be decoded') }));
    cell.classList.add('undecodable');
  }

  // One part of a row's answer: the thumbnail as a data: URL, or why there is none.
  function show(index, part) {
    const cell = cells.get(index);
    if (!cell || cell.dataset.shown) return; // scrolled away meanwhile, or shown already
    cell.dataset.shown = 'true';
    if (typeof part !== 'string' || !part.startsWith('data:image/')) return undecodable(cell);
    const image = document.createElement('img');
    image.alt = '';
    image.draggable = false;
    image.decoding = 'async';
    image.addEventListener('error', () => undecodable(cell));
    image.src = part;
    cell.append(image);
  }

  function drop(index) {
    cells.get(index).remove();
    cells.delete(index);
  }

  // Asks for the thumbnails of `row` in one request.
  function ask(row) {
    const g = geometry;
    const first = row * g.columns;
    const count = Math.min(g.columns, g.count - first);
    const controller = new AbortController();
    asked.set(row, controller);
    const rows = asked;
    viewerAccess.ask(`/thumbnails?first=${first}&count=${count}&size=${pixelsFor(g.side)}`, { signal: controller.signal })
      .then(response => {
        if (!response.ok) throw new Error(`thumbnails of row ${row}: ${response.status}`);
        return response.formData();
      })
      .then(parts => { if (rows === asked) for (const [name, part] of parts) show(Number(name), part); })
      // Abandoned or failed: the row is asked again when it next comes into view.
      .catch(() => {})
      .finally(() => { if (rows.get(row) === controller) rows.delete(row); });
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
    for (const index of [...cells.keys()])
      if (index < first || index >= end) drop(index);
    for (const [row, controller] of asked)
      if (row < firstRow || row > lastRow) { controller.abort(); asked.delete(row); }
    for (let index = first; index < end; ++index)
      if (!cells.has(index)) { const cell = makeCell(index); cells.set(index, cell); content.append(cell); }
    // Top to bottom: the browser sends them in this order as connections free up.
    for (let row = firstRow; row * g.columns < end; ++row)
      if (!asked.has(row) && !cells.get(row * g.columns).dataset.shown) ask(row);
  }

  // Forgets every cell and abandons every request (a new album, or none).
  function reset() {
    for (const index of [...cells.keys()]) drop(index);
    for (const controller of asked.values()) controller.abort();
    asked = new Map();
  }

  // By number, not name: a name may hold line breaks or bytes a command cannot carry.
  async function tap(index) {
    await send('scroll ' + element.scrollTop);
    send('tap-photo ' + index);
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
        reset();
        geometry = next;
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
      if (!this.shown) { reset(); element = null; geometry = null; return; }
      const offset = Number(element.dataset.offset);
      if (Math.abs(element.scrollTop - offset) >= 1) element.scrollTop = offset;
      fill();
    },
  };
})();
