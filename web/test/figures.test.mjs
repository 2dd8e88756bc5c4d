// The figure's and the dimming's pure parts: colour reading, the dimmed
// looks, where link labels go and the SVG text. The browser test measures
// the real thing (pixels, parsed SVG, PDF text).

import { describe, test } from 'node:test';
import assert from 'node:assert/strict';
import { colourResolver, faded, parseColour } from '../src/tools/colours.js';
import { DIM, dimmedEdge, dimmedNode, ownEdge, ownNode } from '../src/tools/dimming.js';
import { overlap, placeLinkLabels } from '../src/tools/label-spots.js';
import { svgFigure, xmlText } from '../src/tools/svg-figure.js';
import { drawingRecords } from '../src/drawing-records.js';

// What a browser's canvas answers for the colours used here.
const BROWSER = { darkred: '#8b0000', gray: '#808080', white: '#ffffff', black: '#000000', darkcyan: '#008b8b', gold: '#ffd700', 'rgba(0,0,0,0)': 'rgba(0, 0, 0, 0)' };
const resolve = colourResolver((c) => BROWSER[c] ?? null);

describe('colours', () => {
  test('every form a plan or a browser writes reads as the same colour', () => {
    const red = { r: 139, g: 0, b: 0, a: 1 };
    for (const form of ['darkred', '#8b0000', '#8B0000', 'rgb(139,0,0)', 'rgb(139, 0, 0)', 'rgba(139, 0, 0, 1)', 'rgb(139 0 0)']) {
      assert.deepEqual(resolve(form), red, form);
    }
    assert.deepEqual(parseColour('#f80'), { r: 255, g: 136, b: 0, a: 1 });
    assert.deepEqual(parseColour('rgba(1, 2, 3, 0.5)'), { r: 1, g: 2, b: 3, a: 0.5 });
    assert.equal(resolve('nosuchcolour'), null);
    assert.equal(faded(resolve, 'nosuchcolour', 0.15), 'nosuchcolour', 'an unknown colour is left alone');
    assert.equal(faded(resolve, 'rgba(139, 0, 0, 0.5)', 0.5), 'rgba(139,0,0,0.25)', 'alpha multiplies');
  });

  test('a dimmed node or link has every colour faded, label included, and gets its own look back', () => {
    const fade = (c) => faded(resolve, c, DIM);
    const options = {
      nodes: { backgroundColor: 'white', highlightColor: 'gold', fontColor: 'black' },
      links: { fontColor: 'darkcyan' },
      groups: { A: { style: 'box', borderColor: 'darkred' }, B: { style: 'dot', borderColor: '#1f5fa0' }, C: { style: 'image', borderColor: 'rgb(20,120,40)' } },
    };
    const rows = ['A', 'B', 'C'].map((g, i) => ({ id: `n${i}`, group: g, text: `label ${i}`, style: g === 'C' ? 'image' : '' }));
    const links = [{ from: 'n0', to: 'n1', color: 'gray', style: 'arrow', text: 'x' }, { from: 'n1', to: 'n2', color: '#123456' }, { from: 'n2', to: 'n0', color: 'rgb(1,2,3)' }];
    const { nodes, edges } = drawingRecords(rows, links, options);
    const colours = (obj, out = []) => {
      for (const v of Object.values(obj)) {
        if (typeof v === 'string') out.push(v);
        else if (v && typeof v === 'object') colours(v, out);
      }
      return out;
    };
    const faint = (c) => { const p = parseColour(c); return p && Math.abs(p.a - DIM) < 0.002; };
    for (const n of nodes) {
      const d = dimmedNode(n, fade);
      const all = [...colours(d.color), d.font.color];
      assert.ok(all.length >= 7 && all.every(faint), `node ${n.id}: ${all}`);
      assert.deepEqual(ownNode(n).color, n.color);
      assert.equal(ownNode(n).font.color, n.font.color);
    }
    for (const e of edges) {
      const d = dimmedEdge(e, fade);
      const all = [...colours(d.color), d.font.color, d.font.strokeColor];
      assert.ok(all.every(faint), `link ${e.id}: ${all}`);
      assert.equal(ownEdge(e).color, e.color);
      assert.equal(ownEdge(e).font.strokeColor, '#ffffff');
    }
  });
});

// A small generator, so the cases are the same on every run.
function random(seed) {
  let s = seed;
  return () => { s = (s * 1103515245 + 12345) % 2147483648; return s / 2147483648; };
}

describe('link labels', () => {
  test('move along their link off a node label that sits on its middle', () => {
    const nodeLabel = { x0: 80, y0: -10, x1: 120, y1: 10 };
    const [spot] = placeLinkLabels([nodeLabel], [{ ax: 0, ay: 0, bx: 200, by: 0, w: 30, h: 14 }]);
    const box = { x0: spot.x - 15, y0: spot.y - 7, x1: spot.x + 15, y1: spot.y + 7 };
    assert.equal(overlap(box, nodeLabel), 0);
    assert.equal(spot.y, 0, 'still on its link');
  });

  test('in sparse drawings, none covers a node, a node label or another link label', () => {
    const rnd = random(7);
    for (let round = 0; round < 20; round++) {
      const nodes = Array.from({ length: 25 }, () => ({ x: rnd() * 1200, y: rnd() * 900 }));
      const obstacles = [];
      for (const n of nodes) {
        obstacles.push({ x0: n.x - 12, y0: n.y - 12, x1: n.x + 12, y1: n.y + 12 });
        obstacles.push({ x0: n.x - 30, y0: n.y + 14, x1: n.x + 30, y1: n.y + 30 });
      }
      const labels = [];
      for (let k = 0; k < 20; k++) {
        const a = nodes[Math.floor(rnd() * nodes.length)];
        const b = nodes[Math.floor(rnd() * nodes.length)];
        if (Math.hypot(a.x - b.x, a.y - b.y) < 150) continue;
        labels.push({ ax: a.x, ay: a.y, bx: b.x, by: b.y, w: 40, h: 16 });
      }
      const spots = placeLinkLabels(obstacles, labels);
      const boxes = spots.map((s, k) => ({ x0: s.x - labels[k].w / 2, y0: s.y - labels[k].h / 2, x1: s.x + labels[k].w / 2, y1: s.y + labels[k].h / 2 }));
      boxes.forEach((b, k) => {
        for (const o of obstacles) assert.equal(overlap(b, o), 0, `round ${round}: label ${k} covers a node or its label`);
        for (let j = 0; j < k; j++) assert.equal(overlap(b, boxes[j]), 0, `round ${round}: labels ${j} and ${k}`);
      });
    }
  });
});

describe('svg figure', () => {
  const measure = (text, font) => String(text).length * (font.size || 14) * 0.6;
  const words = { classes: 'Classes', linkKinds: 'Links' };
  const font = { face: '"함초롬바탕", sans-serif', size: 15, color: 'black' };
  const model = {
    nodes: [
      { x: 0, y: 0, w: 80, h: 30, shape: 'box', label: '정도전 <b>&', font, border: 'darkred', background: 'white', picture: null },
      { x: 300, y: 0, w: 30, h: 30, shape: 'dot', size: 15, label: 'Two\nlines', font, border: 'darkblue', background: 'white', picture: null },
      { x: 150, y: 200, w: 50, h: 40, shape: 'image', label: undefined, font, border: 'white', background: 'white', picture: { href: 'img/a"b.png' } },
    ],
    edges: [{ from: 0, to: 1, colour: 'gray', width: 1, dashes: true, arrows: { to: { enabled: true, type: 'arrow' } }, label: 'builtBy', font }],
    legend: { classes: [{ name: 'Person', shape: 'box', border: 'darkred' }], relations: [{ name: 'builtBy', colour: 'gray', dashes: true, arrows: null }] },
    caption: 'A & B',
  };

  test('holds labels as escaped text in named fonts with fallbacks, and grows to hold the legend and caption', () => {
    const plainFigure = svgFigure({ ...model, legend: null, caption: null }, { measure, words });
    const full = svgFigure(model, { measure, words });
    assert.ok(full.text.includes('>정도전 &lt;b&gt;&amp;</tspan>'));
    assert.ok(full.text.includes('>Two</tspan>') && full.text.includes('>lines</tspan>'), 'one tspan per line');
    assert.ok(full.text.includes('href="img/a&quot;b.png"'));
    assert.ok(full.text.includes('font-family="&quot;함초롬바탕&quot;, &quot;Malgun Gothic&quot;'));
    assert.ok(full.text.includes('stroke-dasharray="5 5"'));
    assert.ok(full.text.includes('<title>A &amp; B</title>'));
    assert.ok(full.height > plainFigure.height + 40, 'legend and caption take room below the drawing');
    assert.equal(xmlText('a\u0001b\u000bc'), 'abc', 'characters XML cannot hold are dropped');
    const [, w, h] = /viewBox="0 0 (\d+) (\d+)"/.exec(full.text);
    assert.deepEqual([Number(w), Number(h)], [full.width, full.height]);
  });
});
