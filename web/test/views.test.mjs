// The view tools' pure parts: links to a node, the neighbourhood, stepping
// with the arrow keys, the table's order, the opening view's choice, tints,
// the tree layout and the drawing's height. The browser test drives them on
// real pages.

import { describe, test } from 'node:test';
import assert from 'node:assert/strict';
import { linkToNode, nodeFromHash, rowOfId } from '../src/tools/permalink.js';
import { plainRequested } from '../src/tools/index.js';
import { withinSteps } from '../src/tools/neighbourhood.js';
import { stepToward } from '../src/tools/keyboard.js';
import { sortedRows, tableModel } from '../src/tools/table-view.js';
import { openingChoice, partsBySize } from '../src/tools/label-zoom.js';
import { collidingTints } from '../src/tools/tints.js';
import { forestOf, treeLayout } from '../src/tools/tree-layout.js';
import { frameHeight, shortcutOf } from '../src/tools/view-controls.js';
import { neighbourLists } from '../src/tools/views.js';
import { nodeBox } from '../src/tools/sizes.js';

describe('a link to a node', () => {
  test('round-trips any id through the fragment, keeping the fragment\'s other words', () => {
    const page = 'file:///C:/maps/ontology_self.htm';
    for (const id of ['p001', '숭례문', 'a&b=c#d', '100%', '__proto__', 'x,y;z', ' spaced ']) {
      for (const hash of ['', '#', '#plain', '#node=old&plain', '#print&node=zz']) {
        const link = linkToNode(page + hash, id);
        assert.ok(link.startsWith(`${page}#`));
        assert.equal(nodeFromHash(link.slice(link.indexOf('#'))), id, `${id} after ${hash}`);
        assert.equal(plainRequested({ hash: link.slice(link.indexOf('#')) }), hash.includes('plain'), `${id} after ${hash}`);
        assert.equal((link.match(/node=/g) || []).length, 1);
      }
    }
    assert.equal(linkToNode('http://lab/p.htm#node=a&plain', null), 'http://lab/p.htm#plain');
    assert.equal(linkToNode('http://lab/p.htm#node=a', null), 'http://lab/p.htm');
  });

  test('finds the first plan node with the id, never the placeholder row', () => {
    const rows = [{ id: '00000', group: 'dummy' }, { id: 'a' }, { id: '00000' }, { id: 'a' }];
    assert.equal(rowOfId(rows, '00000'), 2);
    assert.equal(rowOfId(rows, 'a'), 1);
    assert.equal(rowOfId(rows, 'b'), -1);
    assert.equal(rowOfId(rows, nodeFromHash('#plain')), -1);
    assert.equal(nodeFromHash('#node=%E0%A4%A'), '%E0%A4%A', 'a broken escape is taken as written');
  });
});

describe('neighbourhood', () => {
  // A path 0-1-2-3-4 with a branch 2-5 and a loner 6.
  const adjacency = neighbourLists(7, [[0, 1], [1, 2], [2, 3], [3, 4], [2, 5], [1, 1]].map(([from, to]) => ({ from, to })));

  test('holds the nodes at most k links away', () => {
    assert.deepEqual(adjacency[1], [0, 2], 'a link to itself is no neighbour');
    assert.deepEqual([...withinSteps(adjacency, 0, 1)].sort(), [0, 1]);
    assert.deepEqual([...withinSteps(adjacency, 0, 2)].sort(), [0, 1, 2]);
    assert.deepEqual([...withinSteps(adjacency, 0, 3)].sort(), [0, 1, 2, 3, 5]);
    assert.deepEqual([...withinSteps(adjacency, 6, 3)], [6]);
  });
});

describe('stepping with the arrow keys', () => {
  const from = { x: 0, y: 0 };
  const around = [
    { row: 1, x: 100, y: 5 }, { row: 2, x: 40, y: -60 }, { row: 3, x: -80, y: 0 }, { row: 4, x: 0, y: 200 }, { row: 5, x: 300, y: 2 },
  ];

  test('goes to the neighbour most nearly in the arrow\'s direction, nearer on a tie', () => {
    assert.equal(stepToward(from, around, [1, 0]).row, 1);
    assert.equal(stepToward(from, around, [-1, 0]).row, 3);
    assert.equal(stepToward(from, around, [0, 1]).row, 4);
    assert.equal(stepToward(from, around, [0, -1]).row, 2);
    assert.equal(stepToward(from, [{ row: 7, x: 50, y: 0 }, { row: 8, x: 500, y: 0 }], [1, 0]).row, 7);
  });

  test('goes nowhere when nothing lies that way', () => {
    assert.equal(stepToward(from, around.filter((c) => c.x <= 0), [1, 0]), null);
    assert.equal(stepToward(from, [{ row: 9, x: 0, y: 0 }], [1, 0]), null);
  });
});

describe('the table view', () => {
  const state = {
    nodes: [{}, {}, {}, {}],
    nodeRows: [
      { id: '00000', group: 'dummy' }, { id: 'p2', group: 'Person' }, { id: 'g1', group: 'Gate_image', style: 'image' }, { id: 'p10', group: 'Person' },
    ],
    edges: [{ id: 0, from: 1, to: 2 }, { id: 2, from: 3, to: 3 }, { id: 3, from: 2, to: 3 }],
    linkRows: [{ title: 'builtBy' }, { title: 'x' }, { title: 'self' }, { title: '' }],
  };
  const names = ['', '세종', 'Gate <b>one</b>', 'Item 10'];

  test('lists every plan node with its class and links, and every drawn link', () => {
    const model = tableModel(state, (row) => names[row]);
    assert.deepEqual(model.nodes, [
      { row: 1, label: '세종', className: 'Person', links: 1 },
      { row: 2, label: 'Gate <b>one</b>', className: 'Gate', links: 2 },
      { row: 3, label: 'Item 10', className: 'Person', links: 2 },
    ]);
    assert.deepEqual(model.links.map((l) => [l.fromLabel, l.relation, l.toLabel]),
      [['세종', 'builtBy', 'Gate <b>one</b>'], ['Item 10', 'self', 'Item 10'], ['Gate <b>one</b>', '', 'Item 10']]);
  });

  test('sorts numbers as numbers, text in natural order, ties in the page\'s order', () => {
    const rows = [{ k: 'item 10', n: 2 }, { k: 'Item 9', n: 10 }, { k: 'item 9', n: 2 }, { k: 'alpha', n: 1 }];
    assert.deepEqual(sortedRows(rows, 'k', true).map((r) => r.k), ['alpha', 'Item 9', 'item 9', 'item 10']);
    assert.deepEqual(sortedRows(rows, 'k', false).map((r) => r.k), ['item 10', 'Item 9', 'item 9', 'alpha']);
    assert.deepEqual(sortedRows(rows, 'n', true).map((r) => r.n), [1, 2, 2, 10]);
    assert.deepEqual(sortedRows(rows, 'n', false).map((r) => r.k), ['Item 9', 'item 10', 'item 9', 'alpha']);
  });
});

describe('the opening view', () => {
  const edges = [[1, 2], [2, 3], [3, 1], [3, 4], [5, 6]].map(([from, to]) => ({ from, to }));
  const parts = partsBySize(8, edges, (v) => v === 0);
  const degree = [0, 2, 2, 3, 1, 1, 1, 0];

  test('fits everything when labels stay legible, else the largest part, else its hub', () => {
    assert.deepEqual(parts, [[1, 2, 3, 4], [5, 6], [7]]);
    assert.deepEqual(openingChoice(parts, degree, () => 0.8, 0.6), { fit: [1, 2, 3, 4, 5, 6, 7] });
    assert.deepEqual(openingChoice(parts, degree, (rows) => (rows.length > 4 ? 0.3 : 0.7), 0.6), { fit: [1, 2, 3, 4] });
    assert.deepEqual(openingChoice(parts, degree, () => 0.1, 0.6), { centre: 3, scale: 0.6 });
    assert.deepEqual(openingChoice([], degree, () => 1, 0.6), { fit: [] });
  });
});

describe('tints for classes painted alike', () => {
  test('every class sharing a colour can be told apart, the others keep their fill', () => {
    const classes = [
      { key: 'A', border: 'darkred' }, { key: 'B', border: 'DarkRed' }, { key: 'C', border: 'navy' },
      { key: 'D', border: ' darkred' }, { key: 'E', border: '#1f77b4' }, { key: 'F', border: '#1F77B4' }, { key: 'G' },
    ];
    const tints = collidingTints(classes);
    assert.deepEqual([...tints.keys()].sort(), ['B', 'D', 'F']);
    assert.notEqual(tints.get('B'), tints.get('D'));
    const many = collidingTints(Array.from({ length: 12 }, (_, i) => ({ key: `K${i}`, border: 'gray' })));
    assert.equal(new Set(many.values()).size, 11, 'twelve classes of one colour: eleven tints and the plain fill');
  });
});

describe('the tree layout', () => {
  test('finds the relations whose links form a forest, either way round', () => {
    assert.deepEqual([...forestOf(4, [[1, 0], [2, 0], [3, 1]])], [-1, 0, 0, 1], 'child isA parent');
    assert.deepEqual([...forestOf(4, [[0, 1], [0, 2], [1, 3]])], [-1, 0, 0, 1], 'parent hasPart child');
    assert.equal(forestOf(3, [[0, 1], [1, 2], [2, 0]]), null, 'a cycle');
    assert.equal(forestOf(4, [[1, 0], [1, 2], [3, 2], [3, 0]]), null, 'two parents both ways');
    assert.equal(forestOf(2, [[1, 1]]), null, 'a link to itself');
  });

  test('puts children a level under their parent, side by side without overlap', () => {
    // 0 is left out; 1 is the root of 2, 3; 3 of 4, 5; 6 stands alone.
    const parent = Int32Array.from([-1, -1, 1, 1, 3, 3, -1]);
    const sizes = [20, 80, 60, 40, 120, 30, 50].map((w) => ({ w, h: 24 }));
    const { x, y } = treeLayout(7, parent, sizes, (v) => v === 0);
    for (const [child, up] of [[2, 1], [3, 1], [4, 3], [5, 3]]) assert.ok(y[child] > y[up], `${child} under ${up}`);
    assert.equal(y[2], y[3]);
    assert.ok(x[1] > Math.min(x[2], x[3]) && x[1] < Math.max(x[2], x[3]), 'a parent over its children');
    for (let a = 1; a < 7; a++) {
      for (let b = a + 1; b < 7; b++) {
        const apart = Math.abs(x[a] - x[b]) >= (sizes[a].w + sizes[b].w) / 2 || Math.abs(y[a] - y[b]) >= 24;
        assert.ok(apart, `${a} and ${b} overlap`);
      }
    }
    assert.ok(y[6] > y[4], 'a node outside the tree goes under it');
  });
});

describe('steering', () => {
  test('keys stand for the buttons only without a modifier', () => {
    assert.equal(shortcutOf({ key: '+' }), 'zoomIn');
    assert.equal(shortcutOf({ key: '-' }), 'zoomOut');
    assert.equal(shortcutOf({ key: '0' }), 'fit');
    assert.equal(shortcutOf({ key: 'f' }), 'fullScreen');
    assert.equal(shortcutOf({ key: 'Escape' }), 'clear');
    assert.equal(shortcutOf({ key: '+', ctrlKey: true }), null, 'the browser\'s own zoom');
    assert.equal(shortcutOf({ key: 'x' }), null);
  });

  test('the drawing grows into free room below the page, never below its own height', () => {
    const page = { pageHeight: 520, currentHeight: 520, fullScreen: false, belowHeight: 0 };
    assert.equal(frameHeight({ ...page, windowHeight: 1000, documentHeight: 760 }), 760);
    assert.equal(frameHeight({ ...page, windowHeight: 700, documentHeight: 760 }), 520);
    assert.equal(frameHeight({ ...page, windowHeight: 1000, documentHeight: 1000, currentHeight: 760 }), 760, 'steady once grown');
    assert.equal(frameHeight({ ...page, windowHeight: 900, documentHeight: 700, fullScreen: true, belowHeight: 120 }), 780);
  });
});

describe('node sizes before drawing', () => {
  test('wide and Hangul labels make wider boxes, lines make taller ones', () => {
    const box = (label) => nodeBox({ shape: 'box', label, font: { size: 14 } });
    assert.ok(box('세종대왕').w > box('Sejong').w);
    assert.ok(box('MMMM').w > box('iiii').w);
    assert.ok(box('a\nb').h > box('ab').h);
    assert.equal(box('ab\nlonger line').w, box('longer line').w);
  });
});

describe('packing separate parts', () => {
  test('small parts fill the height beside a large one instead of rows under it', async () => {
    const { layoutNetwork } = await import('../src/tools/layout.js');
    // A star of 13 and 30 lone nodes.
    const count = 43;
    const links = Array.from({ length: 12 }, (_, j) => [0, j + 1]);
    const sizes = Array.from({ length: count }, () => ({ w: 60, h: 26 }));
    const r = layoutNetwork({ count, links, sizes, known: new Array(count).fill(null), aspect: 1.6 });
    const span = (from, to) => {
      const ys = Array.from(r.y.slice(from, to));
      const xs = Array.from(r.x.slice(from, to));
      return { top: Math.min(...ys), bottom: Math.max(...ys), left: Math.min(...xs), right: Math.max(...xs) };
    };
    const star = span(0, 13);
    const loners = span(13, count);
    assert.ok(loners.top >= star.top - 1 && loners.bottom <= star.bottom + 1, 'the loners stand within the star\'s height');
    assert.ok(loners.left > star.right, 'beside it');
  });
});
