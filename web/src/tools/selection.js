// The reader's selection as the tools change it: a node chosen in the search
// box, the table, a link to the node or with the arrow keys is shown (its
// class switched back on), selected, lit, brought into view and announced to
// the page, as a click on it would be. Tools that follow the selection
// (neighbourhood view, table, link copying) subscribe with onChange().

import { isDummyRow } from '../page-contract.js';
import { drawingFrame } from '../vis-adapter.js';

const ANIMATION_MS = 400;

// Whether the reader asked the system for less motion.
export function reducedMotion() {
  return typeof window !== 'undefined' && !!window.matchMedia && window.matchMedia('(prefers-reduced-motion: reduce)').matches;
}

export function animation() {
  return reducedMotion() ? false : { duration: ANIMATION_MS, easingFunction: 'easeInOutQuad' };
}

// Returns { choose(row, how), clear(), selected(), relight(), onChange(fn) }.
export function createSelection(state, vis, filters, lights) {
  const { nodeRows } = state;
  const listeners = [];
  const notify = () => { const row = selected(); listeners.forEach((fn) => fn(row)); };

  // The selected plan node, or null (the page's placeholder row is none).
  function selected() {
    const sel = vis.getSelectedNodes();
    return sel.length && !isDummyRow(nodeRows[sel[0]], sel[0]) ? sel[0] : null;
  }

  // how: { announce (default true), move: 'centre' | 'reveal' | 'none',
  // scale (the least zoom to centre at), animate (default true) }.
  const choose = (row, how = {}) => {
    if (!Number.isInteger(row) || row < 0 || row >= nodeRows.length) return;
    filters.reveal(row);
    vis.selectNodes([row], false);
    // Views that follow the selection (the neighbourhood) show it first.
    notify();
    lights.light(row);
    const move = how.move || 'centre';
    const motion = how.animate === false ? false : animation();
    if (move === 'centre') {
      vis.focus(row, { scale: Math.max(vis.getScale(), how.scale || 1), animation: motion });
    } else if (move === 'reveal' && !inView(vis, row)) {
      vis.focus(row, { scale: vis.getScale(), animation: motion });
    }
    if (how.announce !== false) state.announceSelect();
  };

  const clear = () => {
    vis.unselectAll();
    lights.light(null);
    notify();
  };

  // The selection as it stands lit and followed by the views, as after a
  // click, but neither moved to nor announced: a selection put back after a
  // new save of the page.
  const relight = () => {
    notify();
    lights.light(selected());
  };

  vis.on('select', notify);
  vis.on('deselect', notify);

  return { choose, clear, selected, relight, onChange: (fn) => listeners.push(fn) };
}

// Whether a node stands inside the visible part of the drawing.
function inView(vis, row) {
  const p = vis.canvasToDOM(vis.getPosition(row));
  const box = vis.getBoundingBox(row);
  const scale = vis.getScale();
  const half = box ? Math.max(box.right - box.left, box.bottom - box.top) * scale / 2 : 0;
  const frame = drawingFrame(vis);
  const width = frame.clientWidth;
  const height = frame.clientHeight;
  return p.x - half >= 0 && p.y - half >= 0 && p.x + half <= width && p.y + half <= height;
}
