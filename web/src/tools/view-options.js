// The View menu for large plans: the layout (spread, or a tree along a
// relation whose links form one), size by number of links, and tints for
// classes the plan paints alike (on from the start; tintNodes() gives the
// records their tints before the first picture).

import { classOfRow, isDummyRow, isPictureRow } from '../page-contract.js';
import { element } from './dom.js';
import { separate } from './layout.js';
import { layOutAgain } from './placement.js';
import { nodeBox } from './sizes.js';
import { collidingTints } from './tints.js';
import { forestOf, treeLayout } from './tree-layout.js';
import { nodePositions } from '../vis-adapter.js';

const MAX_GROWTH = 2.2;

// The tint of each row (undefined: its own fill), from the page's classes.
function tintOfRows(state) {
  const { nodeRows, options } = state;
  const groups = options.groups || {};
  const classes = Object.keys(groups).map((key) => ({ key, border: groups[key].borderColor }));
  const tints = collidingTints(classes);
  return nodeRows.map((row, i) => (isDummyRow(row, i) || isPictureRow(row) ? undefined : tints.get(classOfRow(row))));
}

// Gives the node records the tints of their classes (before the drawing).
export function tintNodes(state) {
  const tints = tintOfRows(state);
  state.nodes.forEach((n, i) => {
    if (tints[i] === undefined) return;
    n.plainFill = n.color.background;
    n.color = { ...n.color, background: tints[i], hover: { ...n.color.hover, background: tints[i] } };
  });
}

// How much larger a node with that many links is drawn.
export function growthFor(links) {
  return Math.min(MAX_GROWTH, 1 + 0.25 * Math.sqrt(links));
}

// The relations whose links form a forest: [{ name, parent }].
export function treeRelations(state) {
  const { nodes, edges, linkRows } = state;
  const byRelation = new Map();
  for (const e of edges) {
    const name = linkRows[e.id] && linkRows[e.id].title ? String(linkRows[e.id].title) : '';
    if (!name) continue;
    if (!byRelation.has(name)) byRelation.set(name, []);
    byRelation.get(name).push([e.from, e.to]);
  }
  const found = [];
  for (const [name, links] of byRelation) {
    if (links.length < 2) continue;
    const parent = forestOf(nodes.length, links);
    if (parent) found.push({ name, parent });
  }
  return found;
}

function checkbox(text, checked) {
  const input = element('input', { type: 'checkbox', checked });
  const label = element('label');
  label.append(input, element('span', { textContent: text }));
  return { label, input };
}

// Returns { element, detach() }.
export function createViewOptions(state, vis, words, { rememberPositions, fit }) {
  const { network, nodes, nodeRows } = state;
  const menu = element('details', { className: 'pw-view-menu' });
  menu.appendChild(element('summary', { textContent: words.view }));
  const body = element('div', { className: 'pw-view-menu-body' });
  menu.appendChild(body);

  // Layout.
  const trees = treeRelations(state);
  if (trees.length) {
    const choice = element('select', { className: 'pw-layout' }, { 'aria-label': words.layoutChoice });
    choice.appendChild(element('option', { value: '', textContent: words.layoutSpread }));
    trees.forEach((t, k) => choice.appendChild(element('option', { value: String(k), textContent: words.layoutTree(t.name) })));
    choice.addEventListener('change', () => {
      if (choice.value === '') {
        layOutAgain(state, vis);
      } else {
        const tree = trees[Number(choice.value)];
        const placed = treeLayout(nodes.length, tree.parent, nodes.map(nodeBox), (v) => isDummyRow(nodeRows[v], v));
        network.nodes.update(nodes.map((n, i) => ({ id: i, x: placed.x[i], y: placed.y[i] })));
        nodes.forEach((n, i) => { n.x = placed.x[i]; n.y = placed.y[i]; });
      }
      fit();
      rememberPositions();
    });
    const label = element('label');
    label.append(element('span', { textContent: words.layoutChoice }), choice);
    body.appendChild(label);
  }

  // Size by number of links: shapes sized by their radius grow, the others'
  // labels do; boxes that now overlap are pushed apart.
  const size = checkbox(words.sizeByLinks, false);
  const degree = nodes.map(() => 0);
  for (const e of state.edges) { degree[e.from] += 1; if (e.to !== e.from) degree[e.to] += 1; }
  const plainSize = nodes.map((n) => ({ size: n.size, font: n.font.size }));
  size.input.addEventListener('change', () => {
    const on = size.input.checked;
    const updates = nodes.map((n, i) => {
      const g = on && !isDummyRow(nodeRows[i], i) ? growthFor(degree[i]) : 1;
      if (plainSize[i].size !== undefined) n.size = plainSize[i].size * g;
      else n.font = { ...n.font, size: plainSize[i].font * g };
      return plainSize[i].size !== undefined ? { id: i, size: n.size } : { id: i, font: n.font };
    });
    network.nodes.update(updates);
    const at = nodePositions(vis, nodes.length);
    const xs = Float64Array.from(nodes, (n, i) => at[i].x);
    const ys = Float64Array.from(nodes, (n, i) => at[i].y);
    separate(nodes.length, xs, ys, nodes.map(nodeBox), nodes.map(() => false));
    network.nodes.update(nodes.map((n, i) => ({ id: i, x: xs[i], y: ys[i] })));
  });
  body.appendChild(size.label);

  // Tints, when any two classes share a colour.
  const tinted = nodes.map((n) => n.plainFill !== undefined);
  if (tinted.some(Boolean)) {
    const tints = checkbox(words.tints, true);
    const own = nodes.map((n) => n.color.background);
    tints.input.addEventListener('change', () => {
      const on = tints.input.checked;
      const updates = [];
      nodes.forEach((n, i) => {
        if (!tinted[i]) return;
        const fill = on ? own[i] : n.plainFill;
        n.color = { ...n.color, background: fill, hover: { ...n.color.hover, background: fill } };
        updates.push({ id: i, color: n.color });
      });
      network.nodes.update(updates);
    });
    body.appendChild(tints.label);
  }

  // The menu closes when the reader moves on.
  const onOutside = (ev) => { if (menu.open && !menu.contains(ev.target)) menu.open = false; };
  document.addEventListener('pointerdown', onOutside);
  menu.addEventListener('keydown', (ev) => {
    if (ev.key === 'Escape' && menu.open) { menu.open = false; menu.firstChild.focus(); ev.preventDefault(); }
  });
  return { element: menu, detach: () => document.removeEventListener('pointerdown', onOutside) };
}
