// Labels by zoom, and the opening view of a large plan.
//
// A label smaller on screen than MIN_LEGIBLE_PX CSS pixels is not drawn:
// below that size text is a grey smear that hides the links under it. Within
// the last pixel above it the label fades in (the drawing's own fade), so
// zooming out thins the picture to shapes and links, zooming in brings the
// words back.
//
// The opening view shows the whole drawing when that leaves its labels
// legible; otherwise it shows the largest connected part, and when even that
// is too large, the middle of it (its best-linked node) at the least legible
// zoom.

import { isDummyRow } from '../page-contract.js';
import { drawingFrame, drawnNode, shownNodeIds } from '../vis-adapter.js';
import { drawnBounds } from './view.js';

export const MIN_LEGIBLE_PX = 9;

// The drawing options that hide labels below the legible size.
export function labelOptions() {
  const scaling = { label: { enabled: false, drawThreshold: MIN_LEGIBLE_PX } };
  return { nodes: { scaling }, edges: { scaling } };
}

// The zoom at which the usual node label (the median font size) is just
// legible.
export function legibleScale(nodes) {
  const sizes = nodes.filter((n) => n.label).map((n) => (n.font && n.font.size) || 14).sort((a, b) => a - b);
  const typical = sizes.length ? sizes[Math.floor(sizes.length / 2)] : 14;
  return MIN_LEGIBLE_PX / typical;
}

// The connected parts of the drawing, largest first: arrays of rows.
export function partsBySize(count, edges, skip) {
  const parent = Array.from({ length: count }, (_, i) => i);
  const find = (v) => { while (parent[v] !== v) { parent[v] = parent[parent[v]]; v = parent[v]; } return v; };
  for (const e of edges) parent[find(e.from)] = find(e.to);
  const parts = new Map();
  for (let v = 0; v < count; v++) {
    if (skip(v)) continue;
    const r = find(v);
    if (!parts.has(r)) parts.set(r, []);
    parts.get(r).push(v);
  }
  return [...parts.values()].sort((a, b) => b.length - a.length || a[0] - b[0]);
}

// Where the view goes: { rows to fit } or { centre row, scale }. fits(rows)
// is the zoom that shows those rows whole.
export function openingChoice(parts, degree, fits, legible) {
  if (parts.length === 0) return { fit: [] };
  const all = parts.flat();
  if (fits(all) >= legible) return { fit: all };
  const largest = parts[0];
  if (fits(largest) >= legible) return { fit: largest };
  let hub = largest[0];
  for (const v of largest) if (degree[v] > degree[hub]) hub = v;
  return { centre: hub, scale: legible };
}

// The rows the reader can see: shown, and not the page's placeholder.
function shownRows(vis, nodeRows) {
  return shownNodeIds(vis).filter((v) => !isDummyRow(nodeRows[v], v));
}

// The zoom that shows the rows whole in the frame, below a band of `band`
// pixels at the top, and the view that does it.
function fitting(vis, rows, band) {
  const frame = drawingFrame(vis);
  const width = frame.clientWidth || 800;
  const height = frame.clientHeight || 400;
  const margin = 16;
  const b = drawnBounds(vis, rows);
  const scale = Math.min(1, (width - 2 * margin) / Math.max(b.right - b.left, 1), (height - band - 2 * margin) / Math.max(b.bottom - b.top, 1));
  return { scale, position: { x: (b.left + b.right) / 2, y: (b.top + b.bottom) / 2 - band / 2 / scale } };
}

// Shows every node the reader can see.
export function fitAll(vis, state, band, motion = false) {
  const rows = shownRows(vis, state.nodeRows);
  if (rows.length) vis.moveTo({ ...fitting(vis, rows, band), animation: motion });
}

// Moves the view to the opening choice; band is the strip the toolbar
// covers at the top.
export function openingView(vis, state, band) {
  const { nodes, edges } = state;
  const rows = new Set(shownRows(vis, state.nodeRows));
  const degree = nodes.map(() => 0);
  for (const e of edges) { degree[e.from] += 1; degree[e.to] += 1; }
  const parts = partsBySize(nodes.length, edges.filter((e) => rows.has(e.from) && rows.has(e.to)), (v) => !rows.has(v));
  const choice = openingChoice(parts, degree, (part) => fitting(vis, part, band).scale, state.legibleScale);
  if (choice.fit) {
    if (choice.fit.length) vis.moveTo({ ...fitting(vis, choice.fit, band), animation: false });
  } else {
    const p = drawnNode(vis, choice.centre);
    vis.moveTo({ position: { x: p.x, y: p.y - band / 2 / choice.scale }, scale: choice.scale, animation: false });
  }
}
