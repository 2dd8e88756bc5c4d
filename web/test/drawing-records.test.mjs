// The page's rows as the drawing's node and edge records, without a browser.

import { describe, test } from 'node:test';
import assert from 'node:assert/strict';
import { readFileSync } from 'node:fs';
import { drawingRecords, linkStyle, shapeOf } from '../src/drawing-records.js';
import { parsePage } from '../src/page-contract.js';
import { tableRows } from '../src/table-rows.js';

const PLACEHOLDER = 'http://lab/VR/style/noimage.png';
const node = (id, extra = {}) => ({ id, group: 'C', text: id, title: '', style: 'box', image: '', url: '', ...extra });
const link = (from, to, extra = {}) => ({ from, to, color: 'red', style: 'line', title: 'r', text: '', ...extra });
const ends = (edges) => edges.map((e) => [e.id, e.from, e.to]);

describe('links between rows', () => {
  test('ids that name properties of every object are ordinary ids', () => {
    const ids = ['__proto__', 'constructor', 'toString', 'hasOwnProperty', 'valueOf', 'a'];
    const { nodes, edges } = drawingRecords(ids.map((id) => node(id)),
      [link('__proto__', 'a'), link('constructor', '__proto__'), link('a', 'toString'), link('hasOwnProperty', 'valueOf'),
        link('a', 'prototype'), link('length', 'a')]);
    assert.deepEqual(nodes.map((n) => [n.id, n.label]), ids.map((id, i) => [i, id]));
    assert.deepEqual(ends(edges), [[0, 0, 5], [1, 1, 0], [2, 5, 2], [3, 3, 4]], 'no link to a row that is not there');
  });

  test('a link joins the first row with its id; unknown and missing ends drop it but keep the ids of the rest', () => {
    const { nodes, edges } = drawingRecords([node('a'), node('b'), node('a'), node(''), node('undefined')],
      [link('a', 'b'), link('b', 'x'), link(undefined, 'b'), link('', 'a'), link('b', 'a'), link('undefined', 'a')]);
    assert.equal(nodes.length, 5, 'two rows with one id are two nodes');
    assert.deepEqual(ends(edges), [[0, 0, 1], [4, 1, 0], [5, 4, 0]]);
  });

  test('the golden page draws every link between the rows the plan names', () => {
    const page = parsePage(readFileSync(new URL('../../tests/golden/ontology.htm', import.meta.url), 'utf8'));
    const { nodes, edges } = drawingRecords(page.nodes, page.links, {}, PLACEHOLDER);
    assert.equal(nodes.length, page.nodes.length);
    assert.equal(edges.length, page.links.length);
    edges.forEach((e, i) => {
      assert.equal(e.id, i);
      assert.deepEqual([page.nodes[e.from].id, page.nodes[e.to].id], [page.links[i].from, page.links[i].to]);
      assert.equal(e.label, page.links[i].text || undefined);
      assert.equal(e.title, page.links[i].title);
    });
    const pictures = nodes.filter((n) => n.shape === 'image');
    assert.deepEqual(pictures.map((n) => n.image), ['img/sungnyemun.png', 'img/heunginjimun.png']);
  });
});

describe('node records', () => {
  const options = {
    nodes: { backgroundColor: 'white', highlightColor: 'gold', fontFace: '맑은 고딕', fontSize: 15 },
    groups: { Person: { style: 'dot', borderColor: 'darkred', radius: 15 }, Pic: { style: 'image' } },
  };

  test('style and size come from the row, then its class, then the page', () => {
    const { nodes } = drawingRecords([
      node('p', { group: 'Person', style: '' }),
      node('q', { group: 'Person', style: 'ELLIPSE' }),
      node('r', { group: 'Person', style: 'no-such-shape' }),
      node('s', { group: 'Nobody', style: '' }),
      node('t', { group: 'constructor', style: '' }),
    ], [], options);
    assert.deepEqual(nodes.map((n) => [n.shape, n.size, n.color.border]), [
      ['dot', 15, 'darkred'], ['ellipse', undefined, 'darkred'], ['box', undefined, 'darkred'],
      ['box', undefined, '#2B7CE9'], ['box', undefined, '#2B7CE9'],
    ]);
    assert.ok(nodes.every((n) => !('size' in n) || n.shape === 'dot'), 'shapes that grow with their label have no size');
    assert.equal(nodes[0].font.face, '"맑은 고딕", sans-serif');
    assert.deepEqual(nodes[0].color.highlight, { border: 'darkred', background: 'gold' });
  });

  test('a picture node shows its picture, or the placeholder, framed in the highlight colour when selected', () => {
    const { nodes } = drawingRecords([node('g', { style: 'image', image: 'img/g.png', text: '' }),
      node('h', { group: 'Pic', style: '' }), node('i', { style: 'circularimage', image: '' })], [], options, PLACEHOLDER);
    assert.deepEqual(nodes.map((n) => [n.shape, n.image, n.size, n.label]), [
      ['image', 'img/g.png', 25, undefined], ['image', PLACEHOLDER, 25, 'h'], ['circularImage', PLACEHOLDER, 25, 'i']]);
    assert.deepEqual(nodes[0].color.border, 'white');
    assert.deepEqual(nodes[0].color.highlight.border, 'gold');
    assert.equal(nodes[2].shapeProperties, undefined);
  });
});

describe('link records', () => {
  test('link styles give dashes and arrow markers', () => {
    const table = {
      line: [false, null], arrow: [false, 'to'], 'arrow-center': [false, 'middle'], 'dash-line': [true, null],
      'dash-arrow': [true, 'to'], 'moving-arrows': [false, 'middle'], 'moving-dot': [false, 'middle circle'], DASH: [true, null],
    };
    for (const [style, [dashes, marker]] of Object.entries(table)) {
      const got = linkStyle(style);
      const where = got.arrows ? Object.keys(got.arrows)[0] : null;
      const shownMarker = where && got.arrows[where].type === 'circle' ? `${where} circle` : where;
      assert.deepEqual([got.dashes, shownMarker], [dashes, marker], style);
    }
  });

  test('colour, width and length from the row before the page', () => {
    const { edges } = drawingRecords([node('a'), node('b')],
      [link('a', 'b', { color: '', width: 'x' }), link('a', 'b', { length: '90', width: '3' })],
      { links: { color: 'navy', length: 150, fontSize: 15 } });
    assert.deepEqual(edges.map((e) => [e.color.color, e.width, e.length, e.font.size]), [['navy', 1, 150, 15], ['red', 3, 90, 15]]);
    assert.equal(shapeOf(''), undefined);
  });
});

test('table rows are keyed by column label, the first of two alike winning', () => {
  const cells = [['n1', 'x', 'y', 'z'], ['n2', 'p', 'q', 'r']];
  const labels = ['id', 'constructor', 'id', ''];
  const table = {
    getNumberOfColumns: () => 4,
    getNumberOfRows: () => 2,
    getColumnLabel: (c) => labels[c],
    getColumnId: (c) => (c === 3 ? 'url' : ''),
    getValue: (r, c) => cells[r][c],
  };
  assert.deepEqual(tableRows(table), [{ id: 'n1', constructor: 'x', url: 'z' }, { id: 'n2', constructor: 'p', url: 'r' }]);
  assert.deepEqual(tableRows(null), []);
});
