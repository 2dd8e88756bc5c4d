// Where the reader last saw each node, kept in localStorage per page address
// (without its fragment) and node id. Storage may be missing or refuse
// access (pages opened from files in some browsers, private windows, a full
// quota): then nothing is remembered and nothing fails.

const PREFIX = 'plotweave.positions:';

export function storage() {
  try {
    const s = window.localStorage;
    return s || null;
  } catch (e) {
    return null;
  }
}

export function pageKey(location, prefix = PREFIX) {
  return prefix + String(location.href).split('#')[0];
}

// A small setting kept per page (the legend folded, say): its stored text,
// or null.
export function loadSetting(key) {
  const s = storage();
  try {
    return s ? s.getItem(key) : null;
  } catch (e) {
    return null;
  }
}

export function saveSetting(key, value) {
  const s = storage();
  try {
    if (s) s.setItem(key, String(value));
  } catch (e) {
    // Not kept; the reader folds it again next time.
  }
}

// Two rows with the same id are two nodes: the second and later ones are
// told apart by their order.
export function nodeKeys(ids) {
  const seen = new Map();
  return ids.map((id) => {
    const n = seen.get(id) || 0;
    seen.set(id, n + 1);
    return n === 0 ? String(id) : `${id}\u0000${n}`;
  });
}

export function loadPositions(key) {
  const s = storage();
  if (!s) return {};
  try {
    const value = JSON.parse(s.getItem(key) || '{}');
    return value && typeof value === 'object' && !Array.isArray(value) ? value : {};
  } catch (e) {
    return {};
  }
}

// positions: { nodeKey: [x, y] }
export function savePositions(key, positions) {
  const s = storage();
  if (!s) return false;
  try {
    s.setItem(key, JSON.stringify(positions));
    return true;
  } catch (e) {
    return false;
  }
}

export function forgetPositions(key) {
  const s = storage();
  if (!s) return;
  try {
    s.removeItem(key);
  } catch (e) {
    // Nothing was kept, so nothing is lost.
  }
}

// A stored position is usable when both coordinates are finite numbers.
export function storedPoint(stored, key) {
  const p = Object.prototype.hasOwnProperty.call(stored, key) ? stored[key] : null;
  if (!Array.isArray(p) || p.length !== 2) return null;
  const [x, y] = p;
  return typeof x === 'number' && typeof y === 'number' && isFinite(x) && isFinite(y) ? { x, y } : null;
}
