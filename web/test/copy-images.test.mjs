// A standalone copy's table of shared images, put into the page's node table
// by the kit, with the loader stand-in's own DataTable.

import { test } from 'node:test';
import assert from 'node:assert/strict';
import { readFileSync } from 'node:fs';
import vm from 'node:vm';
import { imageTableOf, resolveCopyImages } from '../src/copy-images.js';
import { IMAGE_TABLE_ATTRIBUTE, NODE_COLUMNS } from '../src/page-contract.js';

const window = {};
vm.runInNewContext(readFileSync(new URL('../src/jsapi.js', import.meta.url), 'utf8'), { window });
const { DataTable } = window.google.visualization;

const PLACEHOLDER = 'http://lab/VR/style/noimage.png';
const PLACEHOLDER_URI = 'data:image/png;base64,cGxhY2Vob2xkZXI=';
const A = 'data:image/png;base64,iVBORw0KGgpB';
const B = 'data:image/svg+xml;base64,PHN2Zy8+';

// A document holding the table script element with this text.
function copyWith(text) {
  return {
    querySelector: (selector) => (selector === `script[${IMAGE_TABLE_ATTRIBUTE}]` ? { textContent: text } : null),
  };
}
const TABLE = JSON.stringify({
  placeholder: PLACEHOLDER,
  images: { 'img/a.png': A, 'img/b b.svg': B, 'img/evil.png': 'javascript:alert(1)', 'img/quote.png': `${A}"><b>` },
});

function nodesTable(rows) {
  const table = new DataTable();
  NODE_COLUMNS.forEach((label) => table.addColumn('string', label));
  rows.forEach(([title, image]) => table.addRow(['n', 'C', 'n', title, 'image', image, '/n.html']));
  return table;
}
const values = (table, col) => [...Array(table.getNumberOfRows()).keys()].map((r) => table.getValue(r, col));

test('shared images and the placeholder take their data: URIs in titles and image values, nothing else', () => {
  const img = (src) => `<a href="/n.html" target="_self"><img src="${src}"/></a>`;
  const rows = [
    [img('img/a.png'), 'img/a.png'],
    [`${img('img/b b.svg')} and ${img('img/a.png')}`, PLACEHOLDER],
    ['img/a.png as text', 'img/once.png'],
    [img('img/evil.png'), 'img/quote.png'],
    [img('img/a.png?v=1'), 'http://lab/img/a.png'],
  ];
  const table = nodesTable(rows);
  resolveCopyImages(table, copyWith(TABLE), PLACEHOLDER_URI);
  assert.deepEqual(values(table, 3), [img(A), `${img(B)} and ${img(A)}`, 'img/a.png as text', img('img/evil.png'),
    img('img/a.png?v=1')]);
  assert.deepEqual(values(table, 5), [A, PLACEHOLDER_URI, 'img/once.png', 'img/quote.png', 'http://lab/img/a.png']);

  // The page draws twice: the second time finds nothing left to do.
  const once = [values(table, 3), values(table, 5)];
  resolveCopyImages(table, copyWith(TABLE), PLACEHOLDER_URI);
  assert.deepEqual([values(table, 3), values(table, 5)], once);

  // Rows given as objects are resolved the same way.
  const objects = rows.map(([title, image]) => ({ title, image }));
  resolveCopyImages(objects, copyWith(TABLE), PLACEHOLDER_URI);
  assert.deepEqual(objects.map((r) => [r.title, r.image]), once[0].map((title, i) => [title, once[1][i]]));
});

test('a page without a readable table is left as it is', () => {
  for (const doc of [{ querySelector: () => null }, copyWith('{"images": '), copyWith('null')]) {
    const table = nodesTable([['<img src="img/a.png"/>', 'img/a.png']]);
    resolveCopyImages(table, doc, PLACEHOLDER_URI);
    assert.deepEqual([values(table, 3), values(table, 5)], [['<img src="img/a.png"/>'], ['img/a.png']]);
  }
  assert.equal(imageTableOf({ querySelector: () => null }, PLACEHOLDER_URI), null);
  // Without a placeholder picture of its own, the placeholder's address stays.
  assert.equal(imageTableOf(copyWith(TABLE), undefined).has(PLACEHOLDER), false);
});
