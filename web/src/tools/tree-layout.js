// A layered layout for plans whose relation forms a tree (is-a, partOf):
// every node below its parent, siblings side by side, each subtree as wide
// as its leaves need. Nodes the relation does not reach go in rows under the
// trees.

const SIBLING_GAP = 16;
const LEVEL_GAP = 70;
const TREE_GAP = 48;

// The rows' parents under one relation, or null when its links do not form
// a forest either way round (child to parent, as "wheel partOf car", or
// parent to child). links: [[from, to]].
export function forestOf(count, links) {
  for (const childFirst of [true, false]) {
    const parent = new Int32Array(count).fill(-1);
    let ok = links.length > 0;
    for (const [from, to] of links) {
      const [child, up] = childFirst ? [from, to] : [to, from];
      if (child === up || parent[child] >= 0) { ok = false; break; }
      parent[child] = up;
    }
    if (ok && !hasCycle(parent)) return parent;
  }
  return null;
}

function hasCycle(parent) {
  const state = new Uint8Array(parent.length);
  for (let v = 0; v < parent.length; v++) {
    const path = [];
    let u = v;
    while (u >= 0 && state[u] === 0) { state[u] = 1; path.push(u); u = parent[u]; }
    if (u >= 0 && state[u] === 1) return true;
    for (const w of path) state[w] = 2;
  }
  return false;
}

// Positions { x, y } (Float64Arrays) for count nodes with the given parents
// (-1: none) and box sizes [{ w, h }]; skip(v) leaves a node out (at 0, 0).
export function treeLayout(count, parent, sizes, skip = () => false) {
  const children = Array.from({ length: count }, () => []);
  for (let v = 0; v < count; v++) if (!skip(v) && parent[v] >= 0) children[parent[v]].push(v);
  const x = new Float64Array(count);
  const y = new Float64Array(count);
  const levelHeight = Math.max(...sizes.map((s) => s.h), 1) + LEVEL_GAP;
  const roots = [];
  const loners = [];
  for (let v = 0; v < count; v++) {
    if (skip(v) || parent[v] >= 0) continue;
    (children[v].length ? roots : loners).push(v);
  }
  // Leaves take the next place along; a parent stands over its children.
  let cursor = 0;
  const place = (v, depth) => {
    y[v] = depth * levelHeight;
    if (children[v].length === 0) {
      x[v] = cursor + sizes[v].w / 2;
      cursor += sizes[v].w + SIBLING_GAP;
      return;
    }
    for (const c of children[v]) place(c, depth + 1);
    const first = children[v][0];
    const last = children[v][children[v].length - 1];
    x[v] = (x[first] + x[last]) / 2;
    // A parent wider than its children pushes what follows along.
    cursor = Math.max(cursor, x[v] + sizes[v].w / 2 + SIBLING_GAP);
  };
  let deepest = 0;
  const depthOf = (v) => { let d = 0; for (let u = v; parent[u] >= 0; u = parent[u]) d++; return d; };
  for (const r of roots) {
    place(r, 0);
    cursor += TREE_GAP;
  }
  for (let v = 0; v < count; v++) if (!skip(v) && (parent[v] >= 0 || children[v].length)) deepest = Math.max(deepest, depthOf(v));
  // The rest in rows as wide as the trees (or a square's side).
  const width = Math.max(cursor, Math.sqrt(loners.reduce((s, v) => s + (sizes[v].w + SIBLING_GAP) * levelHeight, 0)));
  let rowX = 0;
  let rowY = roots.length ? (deepest + 1) * levelHeight + TREE_GAP : 0;
  for (const v of loners) {
    if (rowX > 0 && rowX + sizes[v].w > width) { rowX = 0; rowY += levelHeight; }
    x[v] = rowX + sizes[v].w / 2;
    y[v] = rowY;
    rowX += sizes[v].w + SIBLING_GAP;
  }
  return { x, y };
}
