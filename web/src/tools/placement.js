// Where the nodes stand: the opening layout, computed before the first
// picture (or taken from the reader's last visit), the positions remembered
// after every drag, and a fresh layout on request.

import { layoutNetwork, layoutSteps } from './layout.js';
import { nodeBox } from './sizes.js';
import { forgetPositions, loadPositions, nodeKeys, pageKey, savePositions, storedPoint } from './positions.js';
import { drawingFrame, nodePositions } from '../vis-adapter.js';

// The page draws twice with the same tables; the second draw reuses the
// layout of the first instead of computing it again.
let lastLayout = null;

function signature(nodes, edges) {
  return JSON.stringify([nodes.map((n) => [n.label, n.shape, n.size]), edges.map((e) => [e.from, e.to])]);
}

// The opening layout of the page's nodes in a drawing of width x height;
// known[i] is a position to keep, or null.
function layOut(nodes, edges, known, options, width, height) {
  return layoutNetwork(layoutInput(nodes, edges, known, options, width, height));
}

function layoutInput(nodes, edges, known, options, width, height) {
  return ({
    count: nodes.length,
    links: edges.map((e) => [e.from, e.to]),
    sizes: nodes.map(nodeBox),
    known,
    length: Number(options.links && options.links.length) || 150,
    aspect: Math.max(0.5, Math.min(3, width / height)),
  });
}

// Gives every node record its x and y before the drawing is made, and the
// state the keys its positions are remembered under: a generator whose steps
// each take a moment, so the page stays responsive while a large plan is
// laid out.
export function* placeNodes(state) {
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
    placed = yield* layoutSteps(layoutInput(nodes, edges, known, options, container.clientWidth || 800, height));
    lastLayout = { sig, key, stored: JSON.stringify(stored), placed };
  }
  nodes.forEach((n, i) => { n.x = placed.x[i]; n.y = placed.y[i]; });
  state.keys = keys;
  state.storageKey = key;
}

// The same for a new save shown on the drawing on screen: each node stays
// where the reader sees it (known by its id); nodes the save adds are laid
// out around them.
export function placeUpdatedNodes(state, previous, vis) {
  const { nodes, edges, nodeRows, container, options } = state;
  const keys = nodeKeys(nodeRows.map((r) => r.id));
  const at = nodePositions(vis, previous.keys.length);
  const seen = new Map();
  previous.keys.forEach((k, i) => { if (at[i]) seen.set(k, at[i]); });
  const known = keys.map((k) => seen.get(k) || null);
  const placed = known.every(Boolean)
    ? { x: known.map((p) => p.x), y: known.map((p) => p.y) }
    : layOut(nodes, edges, known, options, container.clientWidth || 800, drawingFrame(vis).clientHeight || 400);
  nodes.forEach((n, i) => { n.x = placed.x[i]; n.y = placed.y[i]; });
  state.keys = keys;
  state.storageKey = previous.storageKey;
}

export function rememberPositions(state, vis) {
  const positions = nodePositions(vis, state.keys.length);
  // Without a prototype, a node called __proto__ is stored like any other.
  const out = Object.create(null);
  state.keys.forEach((k, i) => {
    const p = positions[i];
    if (p && isFinite(p.x) && isFinite(p.y)) out[k] = [p.x, p.y];
  });
  savePositions(state.storageKey, out);
}

// Forgets the remembered positions and lays the network out afresh, as on a
// first visit.
export function layOutAgain(state, vis) {
  const { network, container, nodes, edges, options } = state;
  forgetPositions(state.storageKey);
  const placed = layOut(nodes, edges, nodes.map(() => null), options,
    container.clientWidth || 800, drawingFrame(vis).clientHeight || 400);
  network.nodes.update(nodes.map((n, i) => ({ id: i, x: placed.x[i], y: placed.y[i] })));
  nodes.forEach((n, i) => { n.x = placed.x[i]; n.y = placed.y[i]; });
  lastLayout = null;
}
