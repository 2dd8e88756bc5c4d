// Fitting the drawing into its frame.

import { drawingFrame, drawnNode, shownNodeIds } from '../vis-adapter.js';
import { nodeBox } from './sizes.js';

// The box round the given nodes of the drawing, in drawing units.
export function drawnBounds(vis, ids) {
  let left = Infinity; let top = Infinity; let right = -Infinity; let bottom = -Infinity;
  for (const id of ids) {
    const n = drawnNode(vis, id);
    const box = n.width !== undefined ? { w: n.width, h: n.height } : nodeBox(n.options);
    left = Math.min(left, n.x - box.w / 2); right = Math.max(right, n.x + box.w / 2);
    top = Math.min(top, n.y - box.h / 2); bottom = Math.max(bottom, n.y + box.h / 2);
  }
  return { left, top, right, bottom };
}

// Shows every visible node, leaving the band under the toolbar free (no
// toolbar: no band, as for printing).
export function fitView(vis, container, toolbar) {
  const ids = shownNodeIds(vis);
  if (ids.length === 0) return;
  const { left, top, right, bottom } = drawnBounds(vis, ids);
  const frame = drawingFrame(vis);
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
