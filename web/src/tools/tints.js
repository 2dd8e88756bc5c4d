// Tints for classes the plan paints alike: when two or more classes share a
// border colour (a plan of many classes runs out of colour names), each of
// them gets its own light fill, and keeps the plan's colour as its border.

// Light fills, far apart in hue and each dark text stays readable on
// (contrast above 12:1 with black).
const TINTS = ['#ffe0e0', '#e0ecff', '#e2f7e2', '#fff2cc', '#f0e2ff', '#dff7f7', '#ffe6f2', '#eeeeee',
  '#fde9d9', '#e6f0d0', '#dde3f5', '#f7f0dc'];

function normalised(colour) {
  return String(colour || '').trim().toLowerCase().replace(/\s+/g, '');
}

// classes: [{ key, border }] in the legend's order. Returns a Map from class
// key to its tint, for the classes whose border another class shares; the
// first class of each colour keeps its plain fill when that is enough to
// tell them apart (two classes), the others take the tints in turn.
export function collidingTints(classes) {
  const byColour = new Map();
  for (const c of classes) {
    if (!c.border) continue;
    const k = normalised(c.border);
    if (!byColour.has(k)) byColour.set(k, []);
    byColour.get(k).push(c.key);
  }
  const tints = new Map();
  for (const keys of byColour.values()) {
    if (keys.length < 2) continue;
    keys.forEach((key, i) => { if (i > 0) tints.set(key, TINTS[(i - 1) % TINTS.length]); });
  }
  return tints;
}
