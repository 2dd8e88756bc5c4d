// What a new save changes in a drawing already on screen: which of its node
// or edge records must be replaced and which are gone. Records are compared
// by what they draw, not by where they stand (x, y): a node keeps its place
// through a save. A record the reader's tools have altered in the drawing
// (dimmed, hidden) counts as changed, so the drawing is back to what the
// page draws before the tools are made again.

const PLACE = new Set(['x', 'y']);

// Whether a and b hold the same values; a key holding undefined is the same
// as no key, as it is to the drawing.
export function sameValue(a, b) {
  if (a === b) return true;
  if (typeof a !== 'object' || typeof b !== 'object' || a === null || b === null) return false;
  if (Array.isArray(a) !== Array.isArray(b)) return false;
  const keys = new Set([...Object.keys(a), ...Object.keys(b)]);
  for (const k of keys) if (!sameValue(a[k], b[k])) return false;
  return true;
}

export function sameRecord(a, b) {
  const keys = new Set([...Object.keys(a), ...Object.keys(b)]);
  for (const k of keys) if (!PLACE.has(k) && !sameValue(a[k], b[k])) return false;
  return true;
}

// Whether a and b have the same keys holding values, at every depth. Only
// then is merging b into a the same as putting b in its place: the DataSet
// sets the keys b holds, but the drawing merges nested options (arrows,
// label outlines), keeping those b lacks.
export function sameShape(a, b) {
  const isObject = (v) => typeof v === 'object' && v !== null;
  if (!isObject(a) || !isObject(b)) return !isObject(a) && !isObject(b);
  const held = (o) => Object.keys(o).filter((k) => o[k] !== undefined);
  const keys = held(a);
  return keys.length === held(b).length && keys.every((k) => b[k] !== undefined && sameShape(a[k], b[k]));
}

// { updated: records to merge into the drawn ones, replaced: records to
// put in their place whole (or to add), gone: ids drawn that the save no
// longer has }; drawn is what the drawing holds. Merging is much the
// cheaper for the drawing, and right only where the shapes match: a merge
// keeps keys the new record lacks.
export function recordChanges(drawn, records) {
  const byId = new Map(drawn.map((r) => [r.id, r]));
  const updated = [];
  const replaced = [];
  for (const r of records) {
    const old = byId.get(r.id);
    byId.delete(r.id);
    if (old && sameRecord(old, r)) continue;
    if (old && sameShape(old, r)) updated.push(r);
    else replaced.push(r);
  }
  return { updated, replaced, gone: [...byId.keys()] };
}

// The changes applied to a DataSet in two halves, so that links can be
// taken off before their nodes and put back after them. Each call that
// changes anything costs a drawing a pass over all it shows, so none is
// made for nothing.
export function takeOut(set, changes) {
  const ids = [...changes.gone, ...changes.replaced.map((r) => r.id)];
  if (ids.length) set.remove(ids);
}

export function putIn(set, changes) {
  if (changes.replaced.length) set.add(changes.replaced);
  if (changes.updated.length) set.update(changes.updated);
}

// The moves that bring each { id, x, y } of wanted where it should stand,
// leaving out nodes already there and nodes the drawing lacks (at: its
// positions by id). Each move repaints the whole drawing, so they are made
// in one update, and only where needed.
export function movesTo(at, wanted) {
  return wanted.filter((w) => at[w.id] && (Math.abs(at[w.id].x - w.x) > 0.5 || Math.abs(at[w.id].y - w.y) > 0.5))
    .map((w) => ({ id: w.id, x: w.x, y: w.y }));
}
