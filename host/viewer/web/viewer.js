// Draws the viewer's screen from its snapshot and sends what a person does
// (clicks, long presses, keys, swipes) as the driver's commands. After every
// command the screen is drawn again from a fresh snapshot: the page keeps no
// state of its own beyond the map on screen (map.js).
'use strict';

const screenEl = document.getElementById('screen');
const deviceEl = document.getElementById('device');
const statusEl = document.getElementById('status');
const holdDelay = 600; // ms a press must last to count as a long press

let snapshot = null;
let commands = Promise.resolve();
let drawCount = 0;

// ---- the person's language -------------------------------------------------

// The page's own words in the viewer's language (/page-texts), looked up by
// their English; {0}, {1} ... are filled in with `values`.
let pageTexts = {};

function pageText(english, ...values) {
  const text = pageTexts[english] || english;
  return text.replace(/\{(\d+)\}/g, (whole, index) => String(values[Number(index)]));
}

// The page speaks the viewer's language: its lang attribute (which glyph
// forms a script is drawn with) and the words written into index.html.
async function loadTexts() {
  try {
    const response = await viewerAccess.ask('/page-texts');
    if (!response.ok) return;
    const answer = await response.json();
    pageTexts = answer.texts || {};
    if (answer.language) document.documentElement.lang = answer.language;
  } catch (error) {
    return; // the English of the page stands
  }
  for (const element of document.querySelectorAll('[data-text]')) element.textContent = pageText(element.textContent.trim());
}

// ---- talking to the viewer ----------------------------------------------

async function refresh() {
  const response = await viewerAccess.ask('/snapshot');
  snapshot = await response.json();
  draw();
}

// The table a person scrolled in the page since the last draw (the topmost
// one: those under it are covered), and how far; null when the viewer has it
// where the page shows it.
function scrolledTable() {
  const tables = screenEl.querySelectorAll('.table');
  const table = tables[tables.length - 1];
  return table && Math.abs(table.scrollTop - Number(table.dataset.offset)) >= 1 ? table : null;
}

// Commands run one after another, in the order a person gave them. The
// viewer first hears where the person scrolled the table, so a row pressed
// is the row it has on screen, and the table stays where the person left it.
function send(line) {
  commands = commands.then(async () => {
    const table = scrolledTable();
    if (table) {
      await viewerAccess.ask('/command', { method: 'POST', headers: { 'Content-Type': 'text/plain' }, body: 'scroll ' + Math.round(table.scrollTop) })
        .catch(() => {});
      table.dataset.offset = String(Math.round(table.scrollTop));
    }
    try {
      const response = await viewerAccess.ask('/command', { method: 'POST', headers: { 'Content-Type': 'text/plain' }, body: line });
      const answer = response.ok ? await response.json() : { ok: false, error: await response.text() };
      statusEl.textContent = answer.ok ? '' : line + ': ' + answer.error;
    } catch (error) {
      statusEl.textContent = line + ': ' + error;
    }
    await refresh();
  });
  return commands;
}

// ---- drawing --------------------------------------------------------------

// Every text drawn is isolated with dir=auto: a name or a value read from a
// file may hold characters that reorder text (an override, an isolate, a
// mark) or be written right to left; an isolated box takes its direction
// from its own first letter and reorders only itself, never its neighbours.
function node(tag, className, text) {
  const element = document.createElement(tag);
  if (className) element.className = className;
  if (text !== undefined && text !== '') {
    element.textContent = text;
    element.dir = 'auto';
  }
  return element;
}

// pageText as nodes, each value in its own <bdi>, for a sentence that
// carries names: "to {0}: {1}" stays in its order whatever the names hold.
function pageNodes(english, ...values) {
  const text = pageTexts[english] || english;
  return text.split(/\{(\d+)\}/).map((piece, i) => i % 2 ? node('bdi', '', String(values[Number(piece)])) : piece);
}

// Places `element` at the snapshot's frame, relative to `origin` (the
// screen, or the scrolling table it sits in).
function place(element, frame, origin) {
  element.style.left = (frame.x - origin.x) + 'px';
  element.style.top = (frame.y - origin.y) + 'px';
  element.style.width = frame.width + 'px';
  element.style.height = frame.height + 'px';
}

// A colour of the snapshot ({red, green, blue, alpha}, each 0 to 1) in CSS.
function cssColor(colour) {
  const channel = value => Math.round(value * 255);
  return `rgba(${channel(colour.red)}, ${channel(colour.green)}, ${channel(colour.blue)}, ${colour.alpha})`;
}

const alignments = { left: 'flex-start', center: 'center', right: 'flex-end' };

// Draws a label as the device does, from the style its snapshot carries:
// font size in points (the screen is drawn in points), weight, colours with
// their alpha, alignment. The "system" font is the page's own sans-serif.
function styleLabel(element, style) {
  const font = style.font || {};
  if (font.name && font.name !== 'system')
    element.style.fontFamily = JSON.stringify(font.name) + ', ' + getComputedStyle(document.body).fontFamily;
  if (font.size) element.style.fontSize = font.size + 'px';
  element.style.fontWeight = font.weight === 'bold' ? '700' : '400';
  if (style.textColor) element.style.color = cssColor(style.textColor);
  element.style.backgroundColor = style.backgroundColor ? cssColor(style.backgroundColor) : 'transparent';
  const alignment = style.textAlignment || 'center';
  element.style.textAlign = alignment;
  element.style.justifyContent = alignments[alignment] || 'center';
}

function nameOf(item) { return item.label || item.text || ''; }

function describe(element, item) {
  element.dataset.role = item.role;
  const name = item.text || item.label;
  if (name) element.dataset.name = name;
  if (item.label) {
    element.dataset.label = item.label;
    element.setAttribute('aria-label', item.label);
  }
  if (item.hidden) element.dataset.hidden = 'true';
  if (item.state && item.state.passthrough) element.dataset.passthrough = 'true';
  return element;
}

function onTap(element, line) {
  element.addEventListener('click', event => {
    event.stopPropagation();
    if (element.dataset.held === 'true') { delete element.dataset.held; return; }
    send(line);
  });
}

function onHold(element, line) {
  let timer = null;
  element.addEventListener('pointerdown', () => {
    timer = setTimeout(() => { element.dataset.held = 'true'; timer = null; send(line); }, holdDelay);
  });
  for (const type of ['pointerup', 'pointerleave', 'pointercancel'])
    element.addEventListener(type, () => { if (timer) clearTimeout(timer); timer = null; });
  element.addEventListener('contextmenu', event => event.preventDefault());
}

// System items and image items are drawn as icons (CSS shapes, so no font
// needs the glyph); the others show their title.
const icons = { action: 'icon-share', trash: 'icon-trash' };

function barButton(item) {
  const system = item.state && item.state.systemItem;
  const image = /\.png$/.test(item.text || '');
  const icon = image && item.label === 'Info' ? 'icon-info' : icons[system];
  const button = node('button', 'bar-button', icon ? undefined : (image ? item.label : item.text));
  if (icon) button.append(node('span', 'icon ' + icon));
  if (item.state && item.state.enabled === false) button.disabled = true;
  onTap(button, 'tap ' + nameOf(item));
  return button;
}

// Draws one element and its children. `origin` is where the element's
// parent container sits on the screen; `context` carries what children need.
function drawItem(item, origin, context) {
  let element;
  // Frames are in screen points; each element is placed inside its parent's box.
  const childOrigin = { x: item.frame.x, y: item.frame.y };
  switch (item.role) {
  case 'navigationBar':
  case 'toolbar':
    element = node('div', 'bar ' + item.role);
    if (item.role === 'navigationBar') element.append(node('div', 'bar-title', item.text));
    break;
  case 'barButton':
    element = barButton(item);
    break;
  case 'backButton':
    element = node('button', 'back-button', item.text);
    onTap(element, 'back');
    break;
  case 'table':
    element = node('div', 'table');
    break;
  case 'section':
    element = node('div', 'section');
    if (item.text) element.append(node('div', 'section-header', item.text));
    break;
  case 'cell': {
    element = node('div', 'cell');
    element.append(node('span', 'cell-text', item.text));
    const s = item.state || {};
    if (s.detail !== undefined) element.append(node('span', 'cell-detail', s.detail));
    if (s.accessory === 'disclosureIndicator') element.append(node('span', 'cell-accessory', '›'));
    if (s.selectionStyle && s.selectionStyle !== 'none') {
      element.classList.add('selectable');
      onTap(element, 'tap ' + item.text);
    }
    onHold(element, 'hold ' + item.text);
    context = Object.assign({}, context, { row: item.text });
    break;
  }
  case 'switch':
    element = node('button', 'switch' + (item.state && item.state.on ? ' on' : ''));
    element.setAttribute('role', 'switch');
    element.setAttribute('aria-checked', item.state && item.state.on ? 'true' : 'false');
    onTap(element, 'toggle ' + (context.row || nameOf(item)));
    break;
  case 'map':
    element = quorixMap.draw(item);
    break;
  case 'pin':
    return null; // drawn by its map
  case 'grid':
    describe(albumGrid.draw(item), item);
    place(albumGrid.element, item.frame, origin);
    return albumGrid.element;
  case 'thumbnail':
    return null; // drawn by its grid
  case 'places':
    return placesMap.draw(item, origin);
  case 'cluster':
    return null; // drawn by its map
  case 'label':
    element = node('div', 'label', item.text);
    if (item.style) styleLabel(element, item.style);
    break;
  case 'textView': {
    // Text of many lines, kept as written, set in by the snapshot's insets;
    // once the person has edited it, the viewer is told (a line break as \n).
    const s = item.state || {};
    element = node('div', 'text-view', item.text);
    if (s.editable) element.contentEditable = 'plaintext-only';
    element.spellcheck = false;
    if (item.style) styleLabel(element, item.style);
    const inset = s.insets || {};
    element.style.padding = `${inset.top || 0}px ${inset.right || 0}px ${inset.bottom || 0}px ${inset.left || 0}px`;
    element.addEventListener('blur', () => {
      const typed = element.innerText.replace(/\r\n?/g, '\n');
      if (typed !== (item.text || ''))
        send('type ' + typed.replace(/\\/g, '\\\\').replace(/\n/g, '\\n'));
    });
    break;
  }
  case 'message':
    element = node('div', 'message', item.text);
    break;
  case 'button':
  case 'menuItem':
    element = node('button', item.role === 'menuItem' ? 'menu-item' : 'button', item.text || item.label);
    onTap(element, 'tap ' + nameOf(item));
    break;
  case 'view':
    element = node('div', 'view');
    if (context.layer === 'viewer' && item.label && context.photo) {
      element.classList.add('tile');
      const image = node('img', 'photo');
      image.alt = item.label;
      viewerAccess.showImage(image, '/photo/' + context.photo.index);
      image.draggable = false;
      // A photo the viewer cannot decode is said so, as the album says it,
      // instead of the browser's broken-image icon.
      image.addEventListener('error', () => image.replaceWith(node('div', 'photo undecodable', pageText('Cannot be decoded'))));
      element.append(image);
      swipe(element);
      // A click on the photo (not the end of a swipe) taps it: the viewer hides or shows its bars.
      element.addEventListener('click', event => {
        event.stopPropagation();
        if (element.dataset.swiped === 'true') { delete element.dataset.swiped; return; }
        send('tap ' + item.label);
      });
    }
    break;
  default:
    element = node('div', 'element ' + item.role, item.text);
  }
  describe(element, item);
  place(element, item.frame, origin);
  if (item.role === 'table') {
    // The table scrolls in the page over its whole content: rows are placed
    // where they are in the content (the frames are where the viewer has
    // scrolled them), so every row stays reachable, and the page scrolls to
    // the viewer's offset once drawn.
    const s = item.state || {};
    const offset = s.contentOffset || 0;
    const content = node('div', 'table-content');
    content.style.height = (s.contentHeight || 0) + 'px';
    element.append(content);
    element.dataset.offset = String(offset);
    const contentOrigin = { x: childOrigin.x, y: childOrigin.y - offset };
    for (const child of item.children) { const c = drawItem(child, contentOrigin, context); if (c) content.append(c); }
    return element;
  }
  if (item.role === 'section') {
    for (const child of item.children) { const c = drawItem(child, childOrigin, context); if (c) element.append(c); }
    const footer = item.state && item.state.footer;
    if (footer && item.children.length) {
      const last = item.children[item.children.length - 1].frame;
      const foot = node('div', 'section-footer', footer);
      foot.style.top = (last.y + last.height + 6 - item.frame.y) + 'px';
      element.append(foot);
    }
    return element;
  }
  if (item.role !== 'map')
    for (const child of item.children) { const c = drawItem(child, childOrigin, context); if (c) element.append(c); }
  return element;
}

function infoButtonFrame(layers) {
  let found = null;
  const visit = item => {
    if (item.role === 'barButton' && !item.hidden && (item.label === 'Info' || item.text === 'Info')) found = item.frame;
    item.children.forEach(visit);
  };
  layers.forEach(visit);
  return found;
}

function drawLayer(layer, index, layers) {
  const holder = node('div', 'layer-holder');
  if (layer.role === 'popover') {
    // A click beside the popover closes it, as a tap would on the device,
    // except on what the snapshot marks as reached through it (its bar).
    const beside = node('div', 'outside');
    beside.dataset.role = 'outside';
    beside.addEventListener('click', event => {
      const under = document.elementsFromPoint(event.clientX, event.clientY)
        .find(e => e.dataset.passthrough === 'true' && e.matches('button, .cell.selectable'));
      if (under) under.click(); else send('outside');
    });
    holder.append(beside);
  }
  if (layer.role === 'alert') holder.append(node('div', 'dim'));
  if (layer.role === 'menu') {
    // A click anywhere beside the edit menu hides it, as a touch does on the device.
    const beside = node('div', 'outside-menu');
    beside.dataset.role = 'outside';
    beside.addEventListener('click', event => { event.stopPropagation(); send('outside'); });
    holder.append(beside);
  }
  const element = describe(node('div', 'layer ' + layer.role), layer);
  place(element, layer.frame, { x: 0, y: 0 });
  if (layer.role === 'alert' && layer.text) element.append(node('div', 'alert-title', layer.text));
  const context = { layer: layer.role, photo: snapshot.photo };
  for (const child of layer.children) {
    // The layer's own box is a placement frame; its children are placed on the screen.
    const c = drawItem(child, layer.frame, context);
    if (c) element.append(c);
  }
  if (layer.role === 'popover' || layer.role === 'menu') {
    const arrow = node('div', 'arrow ' + ((layer.state && layer.state.arrow) || 'up'));
    const anchor = layer.role === 'popover' ? infoButtonFrame(layers.slice(0, index)) : null;
    const centre = anchor ? anchor.x + anchor.width / 2 : layer.frame.x + layer.frame.width / 2;
    arrow.style.left = Math.min(Math.max(centre - layer.frame.x - 10, 10), layer.frame.width - 30) + 'px';
    element.append(arrow);
  }
  holder.append(element);
  return holder;
}

function fit() {
  if (!snapshot) return;
  const size = snapshot.screen.screen;
  const stage = document.getElementById('stage');
  const scale = Math.min((stage.clientWidth - 48) / size.width, (stage.clientHeight - 48) / size.height, 2);
  deviceEl.style.width = size.width * scale + 'px';
  deviceEl.style.height = size.height * scale + 'px';
  screenEl.style.width = size.width + 'px';
  screenEl.style.height = size.height + 'px';
  screenEl.style.transform = `scale(${scale})`;
  screenEl.dataset.scale = String(scale);
}

function draw() {
  if (!snapshot.ok) { statusEl.textContent = snapshot.error; return; }
  const layers = snapshot.screen.layers;
  albumGrid.shown = false;
  screenEl.replaceChildren(...layers.map(drawLayer));
  // Each table shows where the viewer has it scrolled.
  for (const table of screenEl.querySelectorAll('.table')) table.scrollTop = Number(table.dataset.offset);
  albumGrid.afterDraw();
  placesMap.afterDraw(screenEl);
  quorixMap.afterDraw(screenEl);
  fit();

  const system = snapshot.system;
  const pasteboard = document.getElementById('pasteboard');
  pasteboard.textContent = system.pasteboard === null ? pageText('(empty)') : system.pasteboard;
  pasteboard.dir = 'auto';
  document.getElementById('opened').replaceChildren(...system.opened.map(url => node('li', '', url)));
  document.getElementById('mails').replaceChildren(...system.mails.map(mail => {
    const line = node('li');
    line.append(...pageNodes('to {0}: {1}', mail.to.join(', '), mail.subject));
    if (!mail.handed) line.append(' ' + pageText('(no mail program)'));
    return line;
  }));
  const photo = snapshot.photo;
  document.getElementById('photo-count').textContent = photo ? pageText('Photo {0} of {1}', photo.position + 1, photo.count) : pageText('The album');
  document.body.dataset.draws = String(++drawCount);
}

// ---- paging -----------------------------------------------------------------

function swipe(element) {
  let start = null;
  element.addEventListener('pointerdown', event => { start = event.clientX; });
  element.addEventListener('pointerup', event => {
    if (start === null) return;
    const distance = event.clientX - start;
    start = null;
    if (Math.abs(distance) > 40) {
      element.dataset.swiped = 'true';
      send(distance < 0 ? 'next' : 'previous');
    }
  });
}

document.addEventListener('keydown', event => {
  if (event.key === 'ArrowRight') send('next');
  else if (event.key === 'ArrowLeft') send('previous');
  else if (event.key === 'Escape') {
    const layers = snapshot ? snapshot.screen.layers : [];
    const top = layers.length ? layers[layers.length - 1].role : '';
    send(top === 'popover' || top === 'menu' ? 'outside' : 'back');
  } else return;
  event.preventDefault();
});

window.addEventListener('resize', fit);
loadTexts().then(refresh);
