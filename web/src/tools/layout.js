// The opening layout: computed once, before the first picture, so the reader
// never sees a tangle drift into place.
//
// Each connected part is laid out by stress majorization from a classical
// scaling start: graph distances become drawing distances, which untangles
// trees and sparse networks of a few hundred nodes in well under a second and
// gives the same picture every time (no randomness, a fixed number of
// rounds). Parts are then packed side by side, and a last pass pushes apart
// any two nodes whose boxes still overlap, so every node can be pointed at.
//
// Nodes with a known position (remembered from an earlier visit) stay where
// they are; the others are placed among them.

const STRESS_ROUNDS = 12;
const SCALING_ROUNDS = 8;
const OVERLAP_ROUNDS = 40;
const GAP = 12;

// Breadth-first distances (in links) from `source` over the adjacency lists.
function hops(adjacency, source, out) {
  out.fill(-1);
  out[source] = 0;
  const queue = [source];
  for (let head = 0; head < queue.length; head++) {
    const v = queue[head];
    for (const w of adjacency[v]) {
      if (out[w] < 0) { out[w] = out[v] + 1; queue.push(w); }
    }
  }
  return queue;
}

function components(count, adjacency) {
  const seen = new Int32Array(count).fill(-1);
  const parts = [];
  const scratch = new Int32Array(count);
  for (let v = 0; v < count; v++) {
    if (seen[v] >= 0) continue;
    const members = hops(adjacency, v, scratch);
    for (const m of members) seen[m] = parts.length;
    parts.push(members.sort((a, b) => a - b));
  }
  return parts;
}

// Classical scaling: the two leading eigenvectors of the double-centred
// squared distance matrix, by power iteration from fixed start vectors.
export function classicalScaling(n, dist, xs, ys) {
  finish(classicalScalingSteps(n, dist, xs, ys));
}

// Pauses between steps of roughly this many pair visits, so a caller
// running the steps one task at a time never holds the page for long.
const STEP_WORK = 1.5e6;

function finish(steps) {
  for (const _ of steps) { /* run to the end */ }
}

function* classicalScalingSteps(n, dist, xs, ys) {
  const b = new Float64Array(n * n);
  const rowMean = new Float64Array(n);
  let all = 0;
  for (let i = 0; i < n; i++) {
    for (let j = 0; j < n; j++) {
      const d2 = dist[i * n + j] * dist[i * n + j];
      b[i * n + j] = d2;
      rowMean[i] += d2 / n;
    }
    all += rowMean[i] / n;
  }
  for (let i = 0; i < n; i++) {
    for (let j = 0; j < n; j++) b[i * n + j] = -0.5 * (b[i * n + j] - rowMean[i] - rowMean[j] + all);
  }
  const vectors = [];
  for (let k = 0; k < 2; k++) {
    let v = new Float64Array(n);
    for (let i = 0; i < n; i++) v[i] = k === 0 ? 1 + (i % 7) / 7 : Math.cos(i * 1.7);
    let value = 0;
    for (let round = 0; round < SCALING_ROUNDS; round++) {
      for (const u of vectors) {
        let dot = 0;
        for (let i = 0; i < n; i++) dot += v[i] * u.v[i];
        for (let i = 0; i < n; i++) v[i] -= dot * u.v[i];
      }
      const next = new Float64Array(n);
      for (let i = 0; i < n; i++) {
        let s = 0;
        const row = i * n;
        for (let j = 0; j < n; j++) s += b[row + j] * v[j];
        next[i] = s;
      }
      let norm = 0;
      for (let i = 0; i < n; i++) norm += next[i] * next[i];
      norm = Math.sqrt(norm);
      if (norm < 1e-9) break;
      value = norm;
      for (let i = 0; i < n; i++) next[i] /= norm;
      v = next;
    }
    vectors.push({ v, value });
    yield;
  }
  for (let i = 0; i < n; i++) {
    xs[i] = vectors[0].v[i] * Math.sqrt(Math.max(vectors[0].value, 0));
    ys[i] = vectors[1].v[i] * Math.sqrt(Math.max(vectors[1].value, 0));
  }
}

// Stress majorization; pinned[i] keeps node i where it is. Each pair pulls
// towards its ideal distance d with weight 1/d^2, so the update of a node
// is the weighted mean of xs[j] + d * (unit vector from j), kept as two
// precomputed factors per pair (1/d^2 and 1/d).
export function majorize(n, dist, xs, ys, pinned) {
  finish(majorizeSteps(n, dist, xs, ys, pinned));
}

function* majorizeSteps(n, dist, xs, ys, pinned) {
  const roundsPerStep = Math.max(1, Math.floor(STEP_WORK / Math.max(n * n, 1)));
  const weight = new Float64Array(n * n);
  const reach = new Float64Array(n * n);
  const total = new Float64Array(n);
  for (let i = 0; i < n; i++) {
    let sw = 0;
    for (let j = 0; j < n; j++) {
      const d = dist[i * n + j];
      if (j === i || d <= 0) continue;
      weight[i * n + j] = 1 / (d * d);
      reach[i * n + j] = 1 / d;
      sw += 1 / (d * d);
    }
    total[i] = sw;
  }
  for (let round = 0; round < STRESS_ROUNDS; round++) {
    if (round > 0 && round % roundsPerStep === 0) yield;
    for (let i = 0; i < n; i++) {
      if (pinned[i] || total[i] === 0) continue;
      const row = i * n;
      const xi = xs[i];
      const yi = ys[i];
      let sx = 0;
      let sy = 0;
      for (let j = 0; j < n; j++) {
        const w = weight[row + j];
        if (w === 0) continue;
        let dx = xi - xs[j];
        let dy = yi - ys[j];
        let len = Math.sqrt(dx * dx + dy * dy);
        if (len < 1e-6) { dx = ((i * 31 + j * 17) % 11) - 5 || 1; dy = ((i * 13 + j * 7) % 11) - 5 || 1; len = Math.sqrt(dx * dx + dy * dy); }
        const pull = reach[row + j] / len;
        sx += w * xs[j] + pull * dx;
        sy += w * ys[j] + pull * dy;
      }
      xs[i] = sx / total[i];
      ys[i] = sy / total[i];
    }
  }
}

function* layoutPart(members, adjacency, sizes, length, xs, ys, known) {
  const n = members.length;
  if (n === 1) {
    const v = members[0];
    if (!known[v]) { xs[v] = 0; ys[v] = 0; }
    return;
  }
  const local = new Map(members.map((v, i) => [v, i]));
  const localAdjacency = members.map((v) => adjacency[v].map((w) => local.get(w)));
  const dist = new Float64Array(n * n);
  const row = new Int32Array(n);
  for (let i = 0; i < n; i++) {
    hops(localAdjacency, i, row);
    for (let j = 0; j < n; j++) {
      // Ideal distance grows with the boxes at both ends, so large labels do
      // not crowd their neighbours.
      const reach = (sizes[members[i]].r + sizes[members[j]].r) * 0.5;
      dist[i * n + j] = row[j] * (length + reach);
    }
  }
  const lx = new Float64Array(n);
  const ly = new Float64Array(n);
  const pinned = members.map((v) => known[v]);
  if (pinned.some(Boolean)) {
    // Newcomers start at the middle of their placed neighbours.
    let cx = 0; let cy = 0; let placed = 0;
    members.forEach((v, i) => { if (pinned[i]) { lx[i] = xs[v]; ly[i] = ys[v]; cx += xs[v]; cy += ys[v]; placed++; } });
    cx /= placed; cy /= placed;
    const ready = pinned.slice();
    for (let pass = 0; pass < n && ready.some((r) => !r); pass++) {
      for (let i = 0; i < n; i++) {
        if (ready[i]) continue;
        const near = localAdjacency[i].filter((j) => ready[j]);
        if (near.length === 0 && pass < n - 1) continue;
        let sx = 0; let sy = 0;
        for (const j of near) { sx += lx[j]; sy += ly[j]; }
        const k = near.length || 1;
        lx[i] = (near.length ? sx / k : cx) + length * 0.5 * Math.cos(i * 2.4);
        ly[i] = (near.length ? sy / k : cy) + length * 0.5 * Math.sin(i * 2.4);
        ready[i] = true;
      }
    }
  } else {
    yield;
    yield* classicalScalingSteps(n, dist, lx, ly);
  }
  yield* majorizeSteps(n, dist, lx, ly, pinned);
  members.forEach((v, i) => { xs[v] = lx[i]; ys[v] = ly[i]; });
}

function boxOf(members, xs, ys, sizes) {
  let left = Infinity; let top = Infinity; let right = -Infinity; let bottom = -Infinity;
  for (const v of members) {
    left = Math.min(left, xs[v] - sizes[v].w / 2);
    right = Math.max(right, xs[v] + sizes[v].w / 2);
    top = Math.min(top, ys[v] - sizes[v].h / 2);
    bottom = Math.max(bottom, ys[v] + sizes[v].h / 2);
  }
  return { left, top, right, bottom, width: right - left, height: bottom - top };
}

// Parts with no remembered node go on shelves below what is already placed
// (or from the origin), tallest first, in rows about as wide as the window's
// shape suggests. A part much shorter than its shelf is stacked in a column
// with the next ones, so small parts fill the shelf's height instead of
// leaving it empty under them.
function packParts(parts, xs, ys, sizes, known, aspect) {
  const fixed = parts.filter((p) => p.some((v) => known[v]));
  const free = parts.filter((p) => !p.some((v) => known[v]))
    .map((members) => ({ members, box: boxOf(members, xs, ys, sizes) }))
    .sort((a, b) => b.box.height - a.box.height || b.box.width - a.box.width || a.members[0] - b.members[0]);
  if (free.length === 0) return;
  const gap = GAP * 2;
  let area = 0;
  for (const f of free) area += (f.box.width + gap) * (f.box.height + gap);
  const shelf = Math.max(...free.map((f) => f.box.width), Math.sqrt(area * aspect));
  let originX = 0;
  let y = 0;
  if (fixed.length > 0) {
    const box = boxOf(fixed.flat(), xs, ys, sizes);
    originX = box.left;
    y = box.bottom + GAP * 6;
  }
  let x = originX;
  let shelfHeight = 0;
  // The column being filled: where it stands, how far down it is, how wide.
  let column = null;
  for (const { members, box } of free) {
    let left;
    let top;
    if (column && column.down + box.height <= shelfHeight) {
      left = column.x;
      top = y + column.down;
      column.down += box.height + gap;
      column.width = Math.max(column.width, box.width);
      x = Math.max(x, column.x + column.width + gap);
    } else {
      if (x > originX && x + box.width > originX + shelf) {
        x = originX;
        y += shelfHeight + gap;
        shelfHeight = 0;
      }
      if (shelfHeight === 0) shelfHeight = box.height;
      left = x;
      top = y;
      column = { x, down: box.height + gap, width: box.width };
      x += box.width + gap;
    }
    for (const v of members) {
      xs[v] += left - box.left;
      ys[v] += top - box.top;
    }
  }
}

// Pushes overlapping boxes apart along the axis of least overlap; a pinned
// node never moves, so only its neighbour gives way.
export function separate(count, xs, ys, sizes, known) {
  const order = Array.from({ length: count }, (_, i) => i);
  for (let round = 0; round < OVERLAP_ROUNDS; round++) {
    order.sort((a, b) => xs[a] - sizes[a].w / 2 - (xs[b] - sizes[b].w / 2) || a - b);
    let moved = false;
    for (let p = 0; p < count; p++) {
      const i = order[p];
      const rightI = xs[i] + sizes[i].w / 2 + GAP;
      for (let q = p + 1; q < count; q++) {
        const j = order[q];
        if (xs[j] - sizes[j].w / 2 > rightI) break;
        const ox = (sizes[i].w + sizes[j].w) / 2 + GAP - Math.abs(xs[i] - xs[j]);
        const oy = (sizes[i].h + sizes[j].h) / 2 + GAP - Math.abs(ys[i] - ys[j]);
        if (ox <= 0 || oy <= 0) continue;
        const shareI = known[i] ? 0 : known[j] ? 1 : 0.5;
        const shareJ = known[j] ? 0 : known[i] ? 1 : 0.5;
        if (shareI === 0 && shareJ === 0) continue;
        moved = true;
        if (ox < oy) {
          const s = xs[i] < xs[j] || (xs[i] === xs[j] && i < j) ? -1 : 1;
          xs[i] += s * ox * shareI;
          xs[j] -= s * ox * shareJ;
        } else {
          const s = ys[i] < ys[j] || (ys[i] === ys[j] && i < j) ? -1 : 1;
          ys[i] += s * oy * shareI;
          ys[j] -= s * oy * shareJ;
        }
      }
    }
    if (!moved) break;
  }
}

// count nodes; links as [from, to] index pairs; sizes[i] = { w, h } of the
// node's drawn box; known[i] = { x, y } or null; `length` the links' natural
// length; `aspect` the drawing's width over its height.
// Returns { x: Float64Array, y: Float64Array }.
export function layoutNetwork(network) {
  const steps = layoutSteps(network);
  for (;;) {
    const step = steps.next();
    if (step.done) return step.value;
  }
}

// The same, a step at a time: a generator whose steps each take a moment,
// returning the positions when done.
export function* layoutSteps({ count, links, sizes, known, length = 150, aspect = 1.6 }) {
  const adjacency = Array.from({ length: count }, () => []);
  for (const [a, b] of links) {
    if (a === b || a < 0 || b < 0 || a >= count || b >= count) continue;
    adjacency[a].push(b);
    adjacency[b].push(a);
  }
  for (const list of adjacency) list.sort((a, b) => a - b);
  const boxes = sizes.map((s) => ({ w: s.w, h: s.h, r: Math.max(s.w, s.h) }));
  const isKnown = known.map(Boolean);
  const xs = new Float64Array(count);
  const ys = new Float64Array(count);
  known.forEach((p, i) => { if (p) { xs[i] = p.x; ys[i] = p.y; } });
  const parts = components(count, adjacency);
  for (const members of parts) yield* layoutPart(members, adjacency, boxes, length, xs, ys, isKnown);
  packParts(parts, xs, ys, boxes, isKnown, aspect);
  separate(count, xs, ys, boxes, isKnown);
  return { x: xs, y: ys };
}
