// Where a figure puts its link labels: on its link, off every node and node
// label and off the labels placed before it. The middle of the link is
// tried first, then spots further along it either way, then the same spots
// moved off the line to either side, up to three times its size; a label
// with no free spot goes where it covers least.

const ALONG = [0.5];
for (let d = 0.05; d < 0.42; d += 0.05) ALONG.push(0.5 - d, 0.5 + d);
const CELL = 64;

// Boxes are { x0, y0, x1, y1 }.
function overlap(a, b) {
  const w = Math.min(a.x1, b.x1) - Math.max(a.x0, b.x0);
  const h = Math.min(a.y1, b.y1) - Math.max(a.y0, b.y0);
  return w > 0 && h > 0 ? w * h : 0;
}

// A grid of boxes, so a label is checked only against its neighbours.
function boxGrid() {
  const cells = new Map();
  const keys = (b, fn) => {
    for (let i = Math.floor(b.x0 / CELL); i <= Math.floor(b.x1 / CELL); i++) {
      for (let j = Math.floor(b.y0 / CELL); j <= Math.floor(b.y1 / CELL); j++) fn(`${i},${j}`);
    }
  };
  return {
    add(b) { keys(b, (k) => { if (!cells.has(k)) cells.set(k, []); cells.get(k).push(b); }); },
    covered(b) {
      let area = 0;
      const seen = new Set();
      keys(b, (k) => {
        for (const o of cells.get(k) || []) {
          if (seen.has(o)) continue;
          seen.add(o);
          area += overlap(b, o);
        }
      });
      return area;
    },
  };
}

const boxAt = (x, y, w, h) => ({ x0: x - w / 2, y0: y - h / 2, x1: x + w / 2, y1: y + h / 2 });

// obstacles: boxes no label may cover (node shapes and node labels).
// labels: [{ ax, ay, bx, by, w, h }]: the visible part of the link from
// (ax, ay) to (bx, by) and the label's size. Returns one { x, y } centre per
// label, in the same order.
export function placeLinkLabels(obstacles, labels) {
  const grid = boxGrid();
  for (const o of obstacles) grid.add(o);
  return labels.map((l) => {
    const dx = l.bx - l.ax;
    const dy = l.by - l.ay;
    const len = Math.hypot(dx, dy) || 1;
    // Off the line: far enough that the label clears it whatever its slope.
    const nx = -dy / len;
    const ny = dx / len;
    const side = Math.abs(nx) * l.w / 2 + Math.abs(ny) * l.h / 2 + 3;
    let best = null;
    for (const shift of [0, side, -side, 2 * side, -2 * side, 3 * side, -3 * side]) {
      for (const t of ALONG) {
        const x = l.ax + dx * t + nx * shift;
        const y = l.ay + dy * t + ny * shift;
        const box = boxAt(x, y, l.w, l.h);
        const covered = grid.covered(box);
        if (!best || covered < best.covered) best = { x, y, box, covered };
        if (covered === 0) break;
      }
      if (best.covered === 0) break;
    }
    grid.add(best.box);
    return { x: best.x, y: best.y };
  });
}

export { overlap };
