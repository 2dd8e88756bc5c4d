// A new save shown on the drawing on screen: the changes found between the
// drawn records and the save's, applied to vis-network's own DataSet, leave
// it holding exactly the save's records (places aside); and the page's own
// script and image table are found in a served page's text as the browser
// finds them.

import { test } from 'node:test';
import assert from 'node:assert/strict';
import { DataSet } from 'vis-data/standalone';
import { putIn, recordChanges, takeOut } from '../src/record-changes.js';
import { pageParts } from '../src/preview/page-script.js';

function generator(seed) {
  let s = seed >>> 0;
  const next = () => {
    s = (Math.imul(s, 1664525) + 1013904223) >>> 0;
    return s / 4294967296;
  };
  return { chance: (p) => next() < p, pick: (list) => list[Math.floor(next() * list.length)] };
}

// A node or edge record as drawings hold them: optional keys at every
// depth, some holding undefined, and the marks the reader's tools leave.
function record(rng, id) {
  const r = { id, x: rng.pick([0, 10, -5]), y: rng.pick([0, 7]), shape: rng.pick(['box', 'image', 'dot']) };
  r.label = rng.pick(['a', 'b', '숭례문', undefined]);
  r.color = { border: rng.pick(['red', 'blue']), background: rng.pick(['white', '#ffcc00']) };
  if (rng.chance(0.5)) r.color.hover = { border: rng.pick(['red', 'blue']), background: rng.pick(['white', 'gray']) };
  if (rng.chance(0.5)) r.font = { size: rng.pick([12, 14]), color: rng.pick(['black', 'rgba(0,0,0,0.3)']) };
  if (rng.chance(0.3)) r.size = rng.pick([20, 25]);
  if (rng.chance(0.3)) r.image = rng.pick(['img/a.png', 'data:image/png;base64,AAAA']);
  if (rng.chance(0.2)) r.hidden = rng.pick([true, false]);
  return r;
}

// What the drawing shows of a record: its keys holding values, without
// its place.
function shown(r) {
  const plain = JSON.parse(JSON.stringify(r));
  delete plain.x;
  delete plain.y;
  return plain;
}

test('applied changes leave the DataSet holding the new records, whatever keys came and went', () => {
  const rng = generator(20261211);
  for (let round = 0; round < 300; round++) {
    const drawn = Array.from({ length: 1 + Math.floor(rng.pick([1, 5, 12])) }, (_, i) => record(rng, i));
    const set = new DataSet(drawn);
    // The save keeps some records as they were, changes or redraws others,
    // drops some and adds some.
    const saved = [];
    for (const r of drawn) {
      if (rng.chance(0.15)) continue;
      saved.push(rng.chance(0.5) ? { ...structuredClone(r), x: r.x + 1 } : record(rng, r.id));
    }
    for (let k = 0; k < rng.pick([0, 1, 3]); k++) saved.push(record(rng, drawn.length + k));
    const changes = recordChanges(set.get(), saved);
    takeOut(set, changes);
    putIn(set, changes);
    const byId = new Map(set.get().map((r) => [r.id, shown(r)]));
    assert.deepEqual([...byId.keys()].sort((a, b) => a - b), saved.map((r) => r.id).sort((a, b) => a - b));
    for (const r of saved) assert.deepEqual(byId.get(r.id), shown(r), `round ${round}, record ${r.id}`);
    // A record that only moved is left alone: the drawing keeps its place.
    for (const r of saved) {
      const was = drawn.find((d) => d.id === r.id);
      if (was && JSON.stringify(shown(was)) === JSON.stringify(shown(r))) {
        assert.ok(!changes.updated.includes(r) && !changes.replaced.includes(r));
      }
    }
  }
});

test("the page's own script and its image table are found in the text as the browser's parser finds them", () => {
  // A label may hold what looks like an end tag but is none.
  const own = "var nodesTable = new google.visualization.DataTable();\r\nnodesTable.addRow(['s002', 'Namsan_</scripts>', '</script-x']);\r\n"
    + 'function draw() { network.draw(nodesTable); }\r\n';
  const table = '{"placeholder":"x","images":{"img/a.png":"data:image/png;base64,AAAA"}}';
  const page = [
    '<!DOCTYPE html><html><HEAD><meta charset="utf-8">',
    '<script type="text/javascript" src="http://lab/jsapi"></script>',
    // The kit's scripts inline, one naming draw() and the tables in a string.
    "<SCRIPT>var s = '</head>'; function draw ( ) { return 'nodesTable'; }</SCRIPT>",
    '<script type="application/json" data-plotweave-images-old>{}</script>',
    `<script type="application/json" DATA-PLOTWEAVE-IMAGES>${table}</script>`,
    `<script type="text/javascript">${own}</script>`,
    '<scripts>function draw() { nodesTable }</scripts>',
    '</head><body><script>function draw() { nodesTable; }</script></body></html>',
  ].join('\n');
  assert.deepEqual(pageParts(page), { script: own.replace(/\r\n/g, '\n'), images: table });
  assert.deepEqual(pageParts(page.replace(`<script type="text/javascript">${own}</script>`, '').replace(table, '')),
    { script: "var s = '</head>'; function draw ( ) { return 'nodesTable'; }", images: '' });
  assert.deepEqual(pageParts('<html><head><script>function draw() { nodesTable }'), { script: null, images: null },
    'an unended script is no script');
  assert.equal(pageParts('<html><head></head><body><script>function draw() { nodesTable }</script>').script, null);
});
