// The drawing from the keyboard: it takes a Tab stop, names itself and says
// how to use it; the arrow keys step from the selected node to the linked
// node that lies most nearly in that direction (from nothing selected: to
// the node nearest the middle of the view), Shift with an arrow moves the
// view. The selected node is spoken through a polite live region.

import { classOfRow, isDummyRow } from '../page-contract.js';
import { drawingFrame } from '../vis-adapter.js';
import { element } from './dom.js';

const DIRECTIONS = {
  ArrowRight: [1, 0], ArrowLeft: [-1, 0], ArrowDown: [0, 1], ArrowUp: [0, -1],
};
const PAN_STEP = 80;

// The candidate ({ row, x, y }) that lies most nearly in direction [dx, dy]
// from `from` ({ x, y }), within a right angle either side; nearer ones win
// between candidates at about the same angle. null when none lies that way.
export function stepToward(from, candidates, [dx, dy]) {
  let best = null;
  let bestCost = Infinity;
  for (const c of candidates) {
    const vx = c.x - from.x;
    const vy = c.y - from.y;
    const length = Math.hypot(vx, vy);
    if (length < 1e-9) continue;
    const cos = (vx * dx + vy * dy) / length;
    if (cos <= 0.01) continue;
    // Angle counts most; distance breaks near-ties.
    const cost = (1 - cos) * 4 + Math.log1p(length) * 0.05;
    if (cost < bestCost || (cost === bestCost && c.row < best.row)) { best = c; bestCost = cost; }
  }
  return best;
}

// Returns { detach() }. neighbours[row] lists the rows linked to row.
export function createKeyboard(state, vis, selection, words, neighbours) {
  const { nodes, nodeRows, edges } = state;
  const frame = drawingFrame(vis);
  const plan = nodes.length - 1;
  frame.tabIndex = 0;
  frame.setAttribute('role', 'application');
  frame.setAttribute('aria-roledescription', 'network');
  frame.setAttribute('aria-label', words.drawing(Math.max(plan, 0), edges.length));
  const spoken = element('div', { className: 'pw-visually-hidden' }, { 'aria-live': 'polite' });
  frame.parentNode.insertBefore(spoken, frame.nextSibling);

  const shown = (row) => nodes[row] && !nodes[row].hidden;
  const speak = (row) => {
    if (row === null) { spoken.textContent = ''; return; }
    const label = nodes[row].label || String(nodeRows[row].id);
    spoken.textContent = words.selected(label, classOfRow(nodeRows[row]), neighbours[row].length);
  };
  selection.onChange(speak);

  const nearestToMiddle = () => {
    const middle = vis.getViewPosition();
    const positions = vis.getPositions();
    let best = null;
    let bestDistance = Infinity;
    for (const key of Object.keys(positions)) {
      const row = Number(key);
      if (!shown(row) || isDummyRow(nodeRows[row], row)) continue;
      const d = Math.hypot(positions[key].x - middle.x, positions[key].y - middle.y);
      if (d < bestDistance) { best = row; bestDistance = d; }
    }
    return best;
  };

  const onKey = (ev) => {
    const direction = DIRECTIONS[ev.key];
    if (!direction || ev.ctrlKey || ev.metaKey || ev.altKey) return;
    ev.preventDefault();
    if (ev.shiftKey) {
      const at = vis.getViewPosition();
      const step = PAN_STEP / vis.getScale();
      vis.moveTo({ position: { x: at.x + direction[0] * step, y: at.y + direction[1] * step }, animation: false });
      return;
    }
    const current = selection.selected();
    let next;
    if (current === null) {
      next = nearestToMiddle();
    } else {
      const from = vis.getPosition(current);
      const candidates = neighbours[current].filter(shown).map((row) => ({ row, ...vis.getPosition(row) }));
      const found = stepToward(from, candidates, direction);
      next = found ? found.row : null;
    }
    if (next !== null) selection.choose(next, { move: 'reveal' });
  };
  frame.addEventListener('keydown', onKey);

  return {
    detach: () => {
      frame.removeEventListener('keydown', onKey);
      spoken.remove();
    },
  };
}
