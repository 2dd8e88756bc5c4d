// The reader's tools around a links.Network drawing: an opening layout that
// is already at rest, remembered positions, legend and filters, search,
// neighbour highlighting and figure export, in one small toolbar.
//
// links.Network asks for them through links.Network.readerTools; a build
// without them, or a page address ending in #plain, gives the bare drawing.

import { layoutNetwork } from './layout.js';
import { nodeBox } from './sizes.js';
import { forgetPositions, loadPositions, nodeKeys, pageKey, savePositions, storedPoint } from './positions.js';
import { findNodes, searchEntry } from './search.js';
import { buildLegend, legendEntries } from './legend.js';
import { TaintedFigure, drawFigure, figureName, offerDownload, pngOf } from './figure.js';
import { element } from './dom.js';
import { strings } from './strings.js';
import { STYLE } from './style.js';

const DIM = 0.15;

function plainRequested() {
  return /^#(?:.*[&,;])?plain(?:[&,;=]|$)/i.test(String(window.location.hash || ''));
}

function injectStyle() {
  if (document.getElementById('pw-tools-style')) return;
  const style = document.createElement('style');
  style.id = 'pw-tools-style';
  style.textContent = STYLE;
  (document.head || document.documentElement).appendChild(style);
}

// The page draws twice with the same tables; the second draw reuses the
// layout of the first instead of computing it again.
let lastLayout = null;

function signature(nodes, edges) {
  return JSON.stringify([nodes.map((n) => [n.label, n.shape, n.size]), edges.map((e) => [e.from, e.to])]);
}

function isDummy(row, index) {
  return index === 0 && row.id === '00000' && row.group === 'dummy';
}

// The opening layout of the page's nodes in a drawing of width x height;
// known[i] is a position to keep, or null.
function layOut(nodes, edges, known, options, width, height) {
  return layoutNetwork({
    count: nodes.length,
    links: edges.map((e) => [e.from, e.to]),
    sizes: nodes.map(nodeBox),
    known,
    length: Number(options.links && options.links.length) || 150,
    aspect: Math.max(0.5, Math.min(3, width / height)),
  });
}

// Called before the drawing is made: places every node and returns what the
// drawing's options must change.
function prepare(state) {
  const { nodes, edges, nodeRows, container, options } = state;
  const key = pageKey(window.location);
  const keys = nodeKeys(nodeRows.map((r) => r.id));
  const stored = loadPositions(key);
  const known = keys.map((k) => storedPoint(stored, k));
  const sig = signature(nodes, edges);
  let placed;
  if (known.every(Boolean)) {
    placed = { x: known.map((p) => p.x), y: known.map((p) => p.y) };
  } else if (lastLayout && lastLayout.sig === sig && lastLayout.key === key && lastLayout.stored === JSON.stringify(stored)) {
    placed = lastLayout.placed;
  } else {
    const height = parseFloat(options.height) || container.clientHeight || 400;
    placed = layOut(nodes, edges, known, options, container.clientWidth || 800, height);
    lastLayout = { sig, key, stored: JSON.stringify(stored), placed };
  }
  nodes.forEach((n, i) => { n.x = placed.x[i]; n.y = placed.y[i]; });
  state.keys = keys;
  state.storageKey = key;
  return {
    physics: { enabled: false },
    layout: { randomSeed: state.visOptions.layout.randomSeed, improvedLayout: false },
    interaction: { hover: true, hoverConnectedEdges: false },
  };
}

function remember(state, vis) {
  const positions = vis.getPositions();
  const out = {};
  state.keys.forEach((k, i) => {
    const p = positions[i];
    if (p && isFinite(p.x) && isFinite(p.y)) out[k] = [p.x, p.y];
  });
  savePositions(state.storageKey, out);
}

// Shows every visible node, leaving the band under the toolbar free.
function fitView(vis, container, toolbar) {
  const ids = vis.body.nodeIndices;
  if (ids.length === 0) return;
  let left = Infinity; let top = Infinity; let right = -Infinity; let bottom = -Infinity;
  for (const id of ids) {
    const n = vis.body.nodes[id];
    const box = n.shape && n.shape.width !== undefined ? { w: n.shape.width || 0, h: n.shape.height || 0 } : nodeBox(n.options);
    left = Math.min(left, n.x - box.w / 2); right = Math.max(right, n.x + box.w / 2);
    top = Math.min(top, n.y - box.h / 2); bottom = Math.max(bottom, n.y + box.h / 2);
  }
  const frame = vis.canvas.frame;
  const width = frame.clientWidth || container.clientWidth || 800;
  const height = frame.clientHeight || 400;
  const band = toolbar ? toolbar.offsetHeight + 12 : 0;
  const margin = 16;
  const scale = Math.min(1, (width - 2 * margin) / Math.max(right - left, 1), (height - band - 2 * margin) / Math.max(bottom - top, 1));
  vis.moveTo({
    position: { x: (left + right) / 2, y: (top + bottom) / 2 - band / 2 / scale },
    scale,
    animation: false,
  });
}

// The words of a title that may hold markup. A template's content is inert:
// parsing it runs no script and loads no image.
function textOf(html) {
  if (html === undefined || html === null || html === '') return '';
  const t = document.createElement('template');
  t.innerHTML = String(html);
  return t.content.textContent.replace(/\s+/g, ' ').trim();
}

function button(text, className) {
  return element('button', { type: 'button', className, textContent: text });
}

// Called once the drawing exists: builds the tools and reports when the
// first picture is on screen. Returns a function that removes the tools.
function attach(state, vis, settled) {
  const { network, container, nodes, edges, nodeRows, linkRows } = state;
  const words = strings(navigator.language);
  injectStyle();
  container.classList.add('pw-network');
  if (getComputedStyle(container).position === 'static') container.style.position = 'relative';

  const hiddenClass = new Set();
  const hiddenKind = new Set();
  const classOfRow = [];
  const kindOfEdge = new Map();
  const neighbours = nodes.map(() => []);
  const edgeRecords = new Map(edges.map((e) => [e.id, e]));
  for (const e of edges) {
    neighbours[e.from].push(e.to);
    neighbours[e.to].push(e.from);
  }

  // ---- legend and filters
  const legendNodes = [];
  nodeRows.forEach((row, i) => {
    if (isDummy(row, i)) return;
    const picture = nodes[i].shape === 'image' && String(row.style).toLowerCase() === 'image';
    const group = String(row.group === undefined || row.group === null ? '' : row.group);
    const className = picture && /_image$/.test(group) ? group.slice(0, -6) : group;
    const cls = (state.options.groups || {})[className] || {};
    classOfRow[i] = className;
    legendNodes.push({ row: i, className, picture, shape: nodes[i].shape, border: cls.borderColor || nodes[i].color.border });
  });
  const legendLinks = edges.map((e) => ({
    row: e.id, colour: e.color.color, dashes: e.dashes, arrows: e.arrows || null,
    relation: linkRows[e.id] && linkRows[e.id].title ? String(linkRows[e.id].title) : '',
  }));
  const entries = legendEntries(legendNodes, legendLinks);
  // Classes in the order the page defines them.
  const classOrder = Object.keys(state.options.groups || {});
  const rank = (name) => { const k = classOrder.indexOf(name); return k < 0 ? classOrder.length : k; };
  entries.classes.sort((a, b) => rank(a.name) - rank(b.name));
  for (const k of entries.kinds) for (const r of k.rows) kindOfEdge.set(r, k.key);

  const nodeHidden = (i) => classOfRow[i] !== undefined && hiddenClass.has(classOfRow[i]);
  const applyFilters = () => {
    const nodeUpdates = [];
    nodes.forEach((n, i) => {
      const hidden = nodeHidden(i);
      if (!!n.hidden !== hidden) { n.hidden = hidden; nodeUpdates.push({ id: i, hidden }); }
    });
    const edgeUpdates = [];
    for (const e of edges) {
      const hidden = hiddenKind.has(kindOfEdge.get(e.id)) || nodeHidden(e.from) || nodeHidden(e.to);
      if (!!e.hidden !== hidden) { e.hidden = hidden; edgeUpdates.push({ id: e.id, hidden }); }
    }
    if (nodeUpdates.length) network.nodes.update(nodeUpdates);
    if (edgeUpdates.length) network.edges.update(edgeUpdates);
    // The page's handler reads the first selected row without a guard, so
    // a selection that disappears is dropped without a 'select'.
    const selected = vis.getSelectedNodes();
    if (selected.some((id) => nodes[id] && nodes[id].hidden)) {
      vis.unselectAll();
      highlight(null);
    } else {
      highlight(focus);
    }
  };
  const legend = buildLegend(entries, words,
    (c, shown) => { if (shown) hiddenClass.delete(c.key); else hiddenClass.add(c.key); applyFilters(); },
    (k, shown) => { if (shown) hiddenKind.delete(k.key); else hiddenKind.add(k.key); applyFilters(); });

  // ---- neighbours
  let focus = null;
  let dimmed = false;
  const highlight = (id) => {
    focus = id !== null && id !== undefined && nodes[id] && !nodes[id].hidden ? id : null;
    if (focus === null && !dimmed) return;
    const near = new Set();
    if (focus !== null) {
      near.add(focus);
      for (const w of neighbours[focus]) near.add(w);
    }
    const nodeUpdates = [];
    nodes.forEach((n, i) => {
      const opacity = focus === null || near.has(i) ? 1 : DIM;
      if ((n.opacity === undefined ? 1 : n.opacity) !== opacity) { n.opacity = opacity; nodeUpdates.push({ id: i, opacity }); }
    });
    const edgeUpdates = [];
    for (const e of edges) {
      const opacity = focus === null || e.from === focus || e.to === focus ? 1 : DIM;
      if (e.color.opacity !== opacity) {
        e.color = { ...e.color, opacity };
        edgeUpdates.push({ id: e.id, color: e.color });
      }
    }
    dimmed = focus !== null;
    if (nodeUpdates.length) network.nodes.update(nodeUpdates);
    if (edgeUpdates.length) network.edges.update(edgeUpdates);
  };
  let hovering = null;
  vis.on('hoverNode', (p) => { hovering = p.node; highlight(p.node); });
  // Back to the selected node's neighbourhood (the page's own initial
  // selection of its placeholder row lights nothing).
  const unpoint = () => {
    hovering = null;
    const sel = vis.getSelectedNodes();
    highlight(sel.length && !isDummy(nodeRows[sel[0]], sel[0]) ? sel[0] : null);
  };
  vis.on('blurNode', unpoint);
  // The drawing does not report a pointer that leaves it over a node.
  const onLeave = () => { if (hovering !== null) unpoint(); };
  vis.canvas.frame.addEventListener('pointerleave', onLeave);
  vis.on('select', (p) => {
    if (hovering !== null) return;
    highlight(p.nodes && p.nodes.length ? p.nodes[0] : null);
  });
  vis.on('dragEnd', (p) => { if (p.nodes && p.nodes.length) remember(state, vis); });

  // ---- toolbar
  const toolbar = element('div', { className: 'pw-toolbar' }, { role: 'group', 'aria-label': words.tools });

  const searchWrap = element('div', { className: 'pw-search' });
  const list = element('ul', {
    className: 'pw-results',
    id: `pw-results-${Math.random().toString(36).slice(2)}`,
    hidden: true,
  }, { role: 'listbox', 'aria-label': words.results });
  const input = element('input', {
    type: 'search',
    className: 'pw-search-input',
    placeholder: words.searchHint,
    autocomplete: 'off',
    spellcheck: false,
  }, { 'aria-label': words.search, 'aria-autocomplete': 'list', 'aria-controls': list.id });
  searchWrap.append(input, list);

  const relayout = button(words.relayout, 'pw-button');
  const save = button(words.saveImage, 'pw-button');
  const scale = element('select', { className: 'pw-scale' }, { 'aria-label': words.scale });
  for (const [value, text] of [['2', words.scale2], ['3', words.scale3]]) {
    scale.appendChild(element('option', { value, textContent: text }));
  }
  const status = element('span', { className: 'pw-status' }, { role: 'status', 'aria-live': 'polite' });
  toolbar.append(searchWrap, relayout, save, scale, status);

  // ---- search
  const index = [];
  nodeRows.forEach((row, i) => {
    if (!isDummy(row, i)) index.push(searchEntry(i, row.id, nodes[i].label, nodes[i].label ? '' : textOf(row.title)));
  });
  let results = [];
  let active = -1;
  const closeList = () => {
    list.hidden = true;
    input.removeAttribute('aria-activedescendant');
    active = -1;
  };
  const markActive = (k) => {
    active = k;
    [...list.children].forEach((li, j) => li.setAttribute('aria-selected', j === k ? 'true' : 'false'));
    if (k >= 0 && list.children[k]) {
      input.setAttribute('aria-activedescendant', list.children[k].id);
      list.children[k].scrollIntoView({ block: 'nearest' });
    } else {
      input.removeAttribute('aria-activedescendant');
    }
  };
  const choose = (entry) => {
    closeList();
    const row = entry.row;
    if (nodeHidden(row)) {
      hiddenClass.delete(classOfRow[row]);
      const k = entries.classes.findIndex((c) => c.key === classOfRow[row]);
      if (k >= 0) { legend.classButtons[k].setAttribute('aria-pressed', 'true'); legend.classButtons[k].title = words.hide; }
      applyFilters();
    }
    vis.selectNodes([row], false);
    vis.focus(row, { scale: Math.max(vis.getScale(), 1), animation: false });
    highlight(row);
    network._trigger('select', {});
  };
  const showResults = () => {
    results = findNodes(index, input.value);
    list.textContent = '';
    if (!input.value.trim()) { closeList(); return; }
    if (results.length === 0) {
      list.appendChild(element('li', { className: 'pw-none', textContent: words.noResults },
        { role: 'option', 'aria-disabled': 'true' }));
    }
    results.forEach((entry, k) => {
      const li = element('li', { id: `${list.id}-${k}` }, { role: 'option', 'aria-selected': 'false' });
      li.append(element('span', { textContent: entry.label || entry.id }),
        element('span', { className: 'pw-id', textContent: entry.id }));
      li.addEventListener('mousedown', (ev) => ev.preventDefault());
      li.addEventListener('click', () => choose(entry));
      list.appendChild(li);
    });
    list.hidden = false;
    markActive(-1);
  };
  input.addEventListener('input', showResults);
  input.addEventListener('keydown', (ev) => {
    if (ev.key === 'ArrowDown' || ev.key === 'ArrowUp') {
      if (list.hidden) showResults();
      if (results.length) {
        const step = ev.key === 'ArrowDown' ? 1 : -1;
        markActive((active + step + results.length) % results.length);
      }
      ev.preventDefault();
    } else if (ev.key === 'Enter') {
      if (!results.length && input.value.trim()) showResults();
      const entry = results[active >= 0 ? active : 0];
      if (entry) choose(entry);
      ev.preventDefault();
    } else if (ev.key === 'Escape') {
      if (!list.hidden) closeList();
      else input.value = '';
      ev.preventDefault();
    }
  });
  input.addEventListener('blur', () => setTimeout(closeList, 150));

  // ---- layout again
  relayout.addEventListener('click', () => {
    forgetPositions(state.storageKey);
    const placed = layOut(nodes, edges, nodes.map(() => null), state.options,
      container.clientWidth || 800, vis.canvas.frame.clientHeight || 400);
    network.nodes.update(nodes.map((n, i) => ({ id: i, x: placed.x[i], y: placed.y[i] })));
    nodes.forEach((n, i) => { n.x = placed.x[i]; n.y = placed.y[i]; });
    lastLayout = null;
    fitView(vis, container, toolbar);
    remember(state, vis);
  });

  // ---- figure
  // A word about the last figure, kept long enough to be read.
  let statusTimer = null;
  const say = (text) => {
    status.textContent = text;
    clearTimeout(statusTimer);
    statusTimer = setTimeout(() => { status.textContent = ''; }, 15000);
  };
  save.addEventListener('click', async () => {
    say(words.saving);
    // A figure shows the network, not the reader's pointing: nothing dimmed.
    const lit = focus;
    try {
      highlight(null);
      let figure;
      try {
        figure = drawFigure(vis, Number(scale.value) || 2);
      } finally {
        highlight(lit);
      }
      const blob = await pngOf(figure.canvas);
      offerDownload(blob, figureName(window.location, words.untitled));
      say(figure.masked ? words.masked(figure.masked) : figure.reduced ? words.reduced : words.saved);
    } catch (e) {
      say(e instanceof TaintedFigure ? words.tainted : words.failed);
    }
  });

  // Escape anywhere in the tools leaves the highlight and closes lists.
  const onKey = (ev) => {
    if (ev.key !== 'Escape' || ev.target === input) return;
    closeList();
    if (hovering === null) highlight(null);
  };
  toolbar.addEventListener('keydown', onKey);
  legend.region.addEventListener('keydown', onKey);

  const beforePrint = () => fitView(vis, container, null);
  window.addEventListener('beforeprint', beforePrint);

  container.appendChild(toolbar);
  container.appendChild(legend.region);

  // The first picture is the finished layout; report it once it is on screen.
  fitView(vis, container, toolbar);
  let reported = false;
  vis.on('afterDrawing', () => {
    if (reported) return;
    reported = true;
    remember(state, vis);
    settled();
  });
  vis.redraw();

  return () => {
    clearTimeout(statusTimer);
    window.removeEventListener('beforeprint', beforePrint);
    toolbar.remove();
    legend.region.remove();
    container.classList.remove('pw-network');
  };
}

if (typeof window !== 'undefined' && window.links && window.links.Network && !plainRequested()) {
  window.links.Network.readerTools = { prepare, attach };
}
