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
// abandoned. Before any row's thumbnails, the rows in view ask
// /previews?first=N&count=M&size=PX&side=POINTS for what their cells can
// show at once: the thumbnail where the server's cache holds it, else the
// square of the photo's embedded preview; the thumbnails of the rows in view
// are asked once those answers are in (their decodes would slow them), and
// each takes its cell's place. Each cell says what it shows in
// data-shows: "preview" or "thumbnail". A tap tells the host where the grid
// is scrolled, then taps the photo's thumbnail by its number.
'use strict';

const albumGrid = (() => {
  let element = null;
  let content = null;
  let geometry = null;
  let cells = new Map(); // index -> cell element
  let asked = new Map(); // row -> the AbortController of its request under way
  let previewing = new Map(); // row -> the AbortController of the /previews request it is in
  let previewed = new Set(); // rows in view whose /previews request was answered
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
    cell.dataset.shown = 'true';
    delete cell.dataset.shows;
  }

  // Whether the cell is done: its thumbnail is shown, or why there is none.
  function settled(cell) {
    return cell.dataset.shows === 'thumbnail' || cell.classList.contains('undecodable');
  }

  // One part of an answer: a data: URL of the `kind` ("thumbnail" or
  // "preview"), or why there is no thumbnail. A thumbnail takes the place
  // of a preview; nothing takes a thumbnail's.
  function show(index, part, kind = 'thumbnail') {
    const cell = cells.get(index);
    if (!cell || settled(cell) || (kind === 'preview' && cell.dataset.shows)) return; // gone, or shown already
    if (typeof part !== 'string' || !part.startsWith('data:image/')) return undecodable(cell);
    let image = cell.querySelector('img');
    if (!image) {
      image = document.createElement('img');
      image.alt = '';
      image.draggable = false;
      image.decoding = 'async';
      // A preview that does not load leaves the cell to its thumbnail.
      image.addEventListener('error', () => {
        if (cell.dataset.shows === 'preview') { image.remove(); delete cell.dataset.shows; delete cell.dataset.shown; }
        else undecodable(cell);
      });
      cell.append(image);
    }
    image.src = part;
    cell.dataset.shows = kind;
    cell.dataset.shown = 'true';
  }

  function rowSettled(row) {
    const g = geometry;
    for (let index = row * g.columns; index < Math.min(g.count, (row + 1) * g.columns); ++index)
      if (!cells.has(index) || !settled(cells.get(index))) return false;
    return true;
  }

  // Asks what the cells of rows `firstRow` to `lastRow` can show at once.
  function askPreviews(firstRow, lastRow) {
    const g = geometry;
    const first = firstRow * g.columns;
    const count = Math.min(g.count, (lastRow + 1) * g.columns) - first;
    const controller = new AbortController();
    for (let row = firstRow; row <= lastRow; ++row) previewing.set(row, controller);
    const rows = previewing;
    viewerAccess.ask(`/previews?first=${first}&count=${count}&size=${pixelsFor(g.side)}&side=${Math.ceil(g.side)}`,
      { signal: controller.signal })
      .then(response => {
        if (!response.ok) throw new Error(`previews of rows ${firstRow}-${lastRow}: ${response.status}`);
        return response.formData();
      })
      .then(parts => {
        if (rows !== previewing) return;
        for (const [name, part] of parts) {
          const [kind, index] = name.split(' ');
          if (kind === 'preview' || kind === 'thumbnail') show(Number(index), part, kind);
        }
      })
      // Failed or not, the rows go on to their thumbnails; abandoned, they
      // are asked again when they next come into view.
      .catch(() => {})
      .finally(() => {
        if (rows !== previewing) return;
        for (let row = firstRow; row <= lastRow; ++row)
          if (previewing.get(row) === controller) { previewing.delete(row); previewed.add(row); }
        fill();
      });
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
    for (const row of [...previewing.keys()])
      if (row < firstRow || row > lastRow) {
        const controller = previewing.get(row);
        previewing.delete(row);
        if (![...previewing.values()].includes(controller)) controller.abort();
      }
    for (const row of [...previewed])
      if (row < firstRow || row > lastRow) previewed.delete(row);
    for (let index = first; index < end; ++index)
      if (!cells.has(index)) { const cell = makeCell(index); cells.set(index, cell); content.append(cell); }
    // What the cells can show at once first, a row per request: each is
    // drawn as it arrives, while the server reads the next...
    const lastShown = Math.floor((end - 1) / g.columns);
    for (let row = firstRow; row <= lastShown; ++row)
      if (!previewed.has(row) && !previewing.has(row) && !rowSettled(row)) askPreviews(row, row);
    // ...then the thumbnails, top to bottom: the browser sends them in this
    // order as connections free up.
    if (previewing.size) return;
    for (let row = firstRow; row <= lastShown; ++row)
      if (!asked.has(row) && !rowSettled(row)) ask(row);
  }

  // Forgets every cell and abandons every request (a new album, or none).
  function reset() {
    for (const index of [...cells.keys()]) drop(index);
    for (const controller of asked.values()) controller.abort();
    for (const controller of previewing.values()) controller.abort();
    asked = new Map();
    previewing = new Map();
    previewed = new Set();
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
