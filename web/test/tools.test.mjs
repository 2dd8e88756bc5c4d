// The reader tools' pure parts: layout, search, remembered positions and the
// legend's grouping. The browser test covers them on real pages.

import { describe, test } from 'node:test';
import assert from 'node:assert/strict';
import { layoutNetwork } from '../src/tools/layout.js';
import { findNodes, searchEntry } from '../src/tools/search.js';
import { nodeKeys, storedPoint } from '../src/tools/positions.js';
import { legendEntries } from '../src/tools/legend.js';

function overlaps(r, sizes, gap = 0) {
  const found = [];
  for (let i = 0; i < sizes.length; i++) {
    for (let j = i + 1; j < sizes.length; j++) {
      if (Math.abs(r.x[i] - r.x[j]) < (sizes[i].w + sizes[j].w) / 2 + gap && Math.abs(r.y[i] - r.y[j]) < (sizes[i].h + sizes[j].h) / 2 + gap) found.push([i, j]);
    }
  }
  return found;
}

describe('layout', () => {
  // A tree of 40 with a few cross links, two separate pairs and a lone node.
  const count = 45;
  const links = [];
  for (let i = 1; i < 40; i++) links.push([i, Math.floor((i - 1) / 3)]);
  links.push([5, 30], [12, 27], [40, 41], [42, 43]);
  const sizes = Array.from({ length: count }, (_, i) => ({ w: 40 + (i % 5) * 20, h: 24 }));
  const none = new Array(count).fill(null);

  test('is the same every time and leaves no two boxes overlapping', () => {
    const a = layoutNetwork({ count, links, sizes, known: none });
    const b = layoutNetwork({ count, links, sizes, known: none });
    assert.deepEqual([...a.x, ...a.y], [...b.x, ...b.y]);
    assert.ok([...a.x, ...a.y].every(Number.isFinite));
    assert.deepEqual(overlaps(a, sizes), []);
  });

  test('pushes apart the wide boxes round a hub', () => {
    const star = Array.from({ length: 16 }, (_, i) => ({ w: i ? 220 : 40, h: 30 }));
    const r = layoutNetwork({ count: 16, links: star.slice(1).map((_, i) => [0, i + 1]), sizes: star, known: new Array(16).fill(null) });
    assert.deepEqual(overlaps(r, star), []);
  });

  test('puts linked nodes nearer than unlinked ones', () => {
    const r = layoutNetwork({ count, links, sizes, known: none });
    const d = (i, j) => Math.hypot(r.x[i] - r.x[j], r.y[i] - r.y[j]);
    const linked = links.slice(0, 39).map(([i, j]) => d(i, j));
    const all = [];
    for (let i = 0; i < 40; i++) for (let j = i + 1; j < 40; j++) all.push(d(i, j));
    const mean = (v) => v.reduce((s, x) => s + x, 0) / v.length;
    assert.ok(mean(linked) < 400, `linked nodes ${mean(linked)} apart`);
    assert.ok(mean(linked) * 2 < mean(all), 'linked nodes lie much closer than nodes on the whole');
  });

  test('keeps remembered nodes where they were and places newcomers near their neighbours', () => {
    const first = layoutNetwork({ count, links, sizes, known: none });
    const known = Array.from({ length: count }, (_, i) => (i < 35 ? { x: first.x[i], y: first.y[i] } : null));
    const again = layoutNetwork({ count, links, sizes, known });
    for (let i = 0; i < 35; i++) assert.deepEqual([again.x[i], again.y[i]], [first.x[i], first.y[i]], `node ${i} stays`);
    // Node 36 hangs off node 11, which stayed.
    assert.ok(Math.hypot(again.x[36] - again.x[11], again.y[36] - again.y[11]) < 600);
  });

  test('copes with no links, one node, and links to rows outside the table', () => {
    const one = layoutNetwork({ count: 1, links: [[0, 3], [-1, 0]], sizes: [{ w: 10, h: 10 }], known: [null] });
    assert.ok(Number.isFinite(one.x[0]) && Number.isFinite(one.y[0]));
    const loose = Array.from({ length: 6 }, () => ({ w: 50, h: 20 }));
    const r = layoutNetwork({ count: 6, links: [], sizes: loose, known: new Array(6).fill(null) });
    assert.deepEqual(overlaps(r, loose), []);
  });
});

describe('search', () => {
  const rows = [['p001', '정도전'], ['g001', '숭례문'], ['g002', '흥인지문'], ['s002', 'Namsan Mountain'], ['r001', '태조실록'], ['x', 'Sungnyemun Gate']];
  const entries = rows.map(([id, label], i) => searchEntry(i + 1, id, label));
  const ids = (q) => findNodes(entries, q).map((e) => e.id);

  test('finds by label or id without regard to case, best matches first', () => {
    assert.deepEqual(ids('namsan'), ['s002']);
    assert.deepEqual(ids('MOUNTAIN'), ['s002']);
    assert.deepEqual(ids('G00'), ['g001', 'g002']);
    assert.deepEqual(ids('sungnyemun gate'), ['x']);
    assert.deepEqual(ids('s'), ['s002', 'x']);
    assert.deepEqual(ids('   '), []);
    assert.deepEqual(ids('nowhere'), []);
  });

  test('Hangul matches by syllables, by letters typed so far and by initial consonants', () => {
    assert.deepEqual(ids('례문'), ['g001']);
    assert.deepEqual(ids('숭ㄹ'), ['g001']);
    assert.deepEqual(ids('수'), ['g001']);
    assert.deepEqual(ids('ㅅㄹㅁ'), ['g001']);
    assert.deepEqual(ids('ㅎㅇㅈㅁ'), ['g002']);
    assert.deepEqual(ids('ㅅㄹ'), ['g001', 'r001']);
    assert.deepEqual(ids('ㄱㄴ'), []);
  });
});

describe('remembered positions', () => {
  test('a repeated id gets its own key by order', () => {
    assert.deepEqual(nodeKeys(['a', 'b', 'a', 'a']), ['a', 'b', 'a\u00001', 'a\u00002']);
  });

  test('only finite pairs of numbers count as positions', () => {
    const stored = { a: [1, 2], b: [1], c: ['1', 2], d: [Infinity, 0], e: null, f: { x: 1, y: 2 } };
    assert.deepEqual(storedPoint(stored, 'a'), { x: 1, y: 2 });
    for (const k of ['b', 'c', 'd', 'e', 'f', 'toString', 'missing']) assert.equal(storedPoint(stored, k), null, k);
  });
});

describe('legend entries', () => {
  test('one entry per class and one per relation, even for relations that look alike', () => {
    const { classes, kinds } = legendEntries(
      [{ row: 1, className: 'Gate', picture: true }, { row: 2, className: 'Gate', picture: false, shape: 'dot', border: 'green' },
        { row: 3, className: 'Person', picture: false, shape: 'box', border: 'red' }],
      [{ row: 0, colour: 'gray', dashes: false, arrows: { to: {} }, relation: 'builtBy' },
        { row: 1, colour: 'gray', dashes: false, arrows: { to: {} }, relation: 'madeBy' },
        { row: 2, colour: 'gray', dashes: true, arrows: null, relation: 'builtBy' },
        { row: 3, colour: 'gray', dashes: false, arrows: { to: {} }, relation: 'builtBy' }]);
    assert.deepEqual(classes.map((c) => [c.name, c.shape, c.border, c.picture, c.rows]),
      [['Gate', 'dot', 'green', true, [1, 2]], ['Person', 'box', 'red', false, [3]]]);
    assert.deepEqual(kinds.map((k) => [k.name, k.dashes, k.rows]), [['builtBy', false, [0, 3]], ['madeBy', false, [1]], ['builtBy', true, [2]]]);
    const unnamed = legendEntries([], [{ row: 0, colour: 'red' }, { row: 1, colour: 'red' }, { row: 2, colour: 'blue' }]);
    assert.deepEqual(unnamed.kinds.map((k) => [k.name, k.colour, k.rows]), [['', 'red', [0, 1]], ['', 'blue', [2]]], 'links without a relation go by their look');
  });
});

describe('remembering positions', () => {
  test('every node is remembered under its key, whatever its id, and read back', async () => {
    const kept = new Map();
    globalThis.window = { localStorage: { getItem: (k) => kept.get(k) ?? null, setItem: (k, v) => kept.set(k, v) } };
    try {
      const { rememberPositions } = await import('../src/tools/placement.js');
      const { loadPositions } = await import('../src/tools/positions.js');
      const ids = ['__proto__', 'constructor', 'a', 'a', 'b'];
      const state = { keys: nodeKeys(ids), storageKey: 'page' };
      const vis = { getPositions: () => ({ 0: { x: 1, y: 2 }, 1: { x: 3, y: 4 }, 2: { x: 5, y: 6 }, 3: { x: 7, y: 8 }, 4: { x: NaN, y: 0 } }) };
      rememberPositions(state, vis);
      const stored = loadPositions('page');
      assert.deepEqual(state.keys.map((k) => storedPoint(stored, k)),
        [{ x: 1, y: 2 }, { x: 3, y: 4 }, { x: 5, y: 6 }, { x: 7, y: 8 }, null]);
    } finally {
      delete globalThis.window;
    }
  });
});
