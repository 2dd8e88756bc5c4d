// A figure of the network as SVG, written from the drawing's model: nodes
// with their shapes, colours and pictures, links with their styles and
// arrows, labels as text (so they stay selectable and searchable), and
// optionally a legend and a caption. Nothing of the reader's pointing or
// selection is part of the model, so none of it reaches a figure.
//
// The model (figure-model.js gathers it from the drawing):
//   nodes: [{ x, y, w, h, shape, size, label, font: { face, size, color },
//             border, background, picture: { href } | null }]
//   edges: [{ from, to (indices into nodes), colour, width, dashes,
//             arrows, label, font }]
//   legend: { classes: [{ name, shape, border, picture }],
//             relations: [{ name, colour, dashes, arrows }] } | null
//   caption: text | null
// measure(text, font) gives a line's width; words holds the legend's headings.

import { placeLinkLabels } from './label-spots.js';

const MARGIN = 20;
const LINE = 1.2;
const INSIDE = new Set(['box', 'text', 'ellipse', 'circle', 'database']);
const RECTANGULAR = new Set(['box', 'text', 'square', 'image', 'database']);
const ROUND = new Set(['circle', 'dot', 'circularImage', 'ellipse']);
// Korean faces readers are likely to have, before the generic family.
const FALLBACKS = '"Malgun Gothic", "Apple SD Gothic Neo", "Noto Sans CJK KR", "NanumGothic", sans-serif';
export const UI_FONT = { face: `system-ui, ${FALLBACKS}`, size: 13, color: '#222222' };
const CAPTION_FONT = { ...UI_FONT, size: 16 };

// Text for XML: markup characters escaped, characters XML cannot hold dropped.
export function xmlText(value) {
  return String(value === undefined || value === null ? '' : value)
    .replace(/[\u0000-\u0008\u000b\u000c\u000e-\u001f\ufffe\uffff]/g, '')
    .replace(/&/g, '&amp;').replace(/</g, '&lt;').replace(/>/g, '&gt;')
    .replace(/"/g, '&quot;').replace(/'/g, '&apos;');
}

const num = (v) => String(Math.round(v * 100) / 100);

function attrs(map) {
  let s = '';
  for (const [k, v] of Object.entries(map)) if (v !== undefined && v !== null && v !== false) s += ` ${k}="${typeof v === 'number' ? num(v) : xmlText(v)}"`;
  return s;
}

// The node's face first, then faces that have Hangul, then the generic one.
export function figureFontFamily(face) {
  const given = String(face || '').replace(/,?\s*(sans-serif|serif|monospace)\s*$/i, '').trim();
  return given ? `${given}, ${FALLBACKS}` : FALLBACKS;
}

const linesOf = (text) => (text === undefined || text === null || text === '' ? [] : String(text).split('\n'));

// Lines of text centred on x, the first line's middle at y.
function textLines(lines, x, y, font, extra = {}) {
  const size = font.size || 14;
  const spans = lines.map((line, k) => `<tspan${attrs({ x, y: y + k * size * LINE })}>${xmlText(line)}</tspan>`).join('');
  return `<text${attrs({ 'font-family': figureFontFamily(font.face), 'font-size': size, fill: font.color || '#000000',
    'text-anchor': 'middle', 'dominant-baseline': 'central', ...extra })}>${spans}</text>`;
}

function labelSize(lines, font, measure) {
  const size = font.size || 14;
  return { w: Math.max(0, ...lines.map((l) => measure(l, font))), h: lines.length * size * LINE };
}

// Where a node's label goes: inside its shape or under it.
function nodeLabelBox(n, measure) {
  const lines = linesOf(n.label);
  if (!lines.length) return null;
  const { w, h } = labelSize(lines, n.font, measure);
  const top = INSIDE.has(n.shape) ? n.y - h / 2 : n.y + n.h / 2 + 3;
  return { lines, x0: n.x - w / 2, x1: n.x + w / 2, y0: top, y1: top + h, first: top + (n.font.size || 14) * LINE / 2 };
}

// How far from its centre a node's outline lies in direction (ux, uy).
function borderDistance(n, ux, uy) {
  const hw = n.w / 2;
  const hh = n.h / 2;
  if (RECTANGULAR.has(n.shape)) return Math.min(ux ? hw / Math.abs(ux) : Infinity, uy ? hh / Math.abs(uy) : Infinity);
  if (n.shape === 'ellipse') return 1 / Math.sqrt((ux / hw) ** 2 + (uy / hh) ** 2);
  return ROUND.has(n.shape) ? hw : n.size || hw;
}

function polygon(points, paint) {
  return `<polygon${attrs({ points: points.map(([x, y]) => `${num(x)},${num(y)}`).join(' '), ...paint })}/>`;
}

function shapeOf(n, paint, clipId) {
  const { x, y, w, h } = n;
  const r = n.size || w / 2;
  switch (n.shape) {
    case 'text': return '';
    case 'box': return `<rect${attrs({ x: x - w / 2, y: y - h / 2, width: w, height: h, rx: 6, ...paint })}/>`;
    case 'square': return `<rect${attrs({ x: x - w / 2, y: y - h / 2, width: w, height: h, ...paint })}/>`;
    case 'ellipse': return `<ellipse${attrs({ cx: x, cy: y, rx: w / 2, ry: h / 2, ...paint })}/>`;
    case 'circle': case 'dot': return `<circle${attrs({ cx: x, cy: y, r: w / 2, ...paint })}/>`;
    case 'database': {
      const e = h * 0.1; const x0 = x - w / 2; const x1 = x + w / 2; const y0 = y - h / 2; const y1 = y + h / 2;
      const a = `${num(w / 2)} ${num(e)} 0 0`;
      return `<path${attrs({ d: `M${num(x0)} ${num(y0 + e)}A${a} 1 ${num(x1)} ${num(y0 + e)}L${num(x1)} ${num(y1 - e)}A${a} 1 ${num(x0)} ${num(y1 - e)}Z`
        + `M${num(x0)} ${num(y0 + e)}A${a} 0 ${num(x1)} ${num(y0 + e)}`, ...paint })}/>`;
    }
    case 'diamond': return polygon([[x, y - r], [x + r, y], [x, y + r], [x - r, y]], paint);
    case 'hexagon': return polygon([0, 1, 2, 3, 4, 5].map((k) => [x + r * Math.cos(k * Math.PI / 3), y + r * Math.sin(k * Math.PI / 3)]), paint);
    case 'star': {
      const s = r * 0.82; const cy = y + 0.1 * s;
      return polygon([...Array(10).keys()].map((k) => {
        const q = k % 2 === 0 ? s * 1.3 : s * 0.5;
        return [x + q * Math.sin(k * Math.PI / 5), cy - q * Math.cos(k * Math.PI / 5)];
      }), paint);
    }
    case 'triangle': case 'triangleDown': {
      const side = 2 * r; const ir = Math.sqrt(3) / 6 * side; const ht = Math.sqrt(side * side - r * r);
      const sign = n.shape === 'triangle' ? 1 : -1;
      return polygon([[x, y - sign * (ht - ir)], [x + r, y + sign * ir], [x - r, y + sign * ir]], paint);
    }
    case 'image': {
      const frame = `<rect${attrs({ x: x - w / 2 - 0.5, y: y - h / 2 - 0.5, width: w + 1, height: h + 1, ...paint })}/>`;
      return frame + picture(n, x - w / 2, y - h / 2, w, h);
    }
    case 'circularImage':
      return `<clipPath id="${clipId}"><circle${attrs({ cx: x, cy: y, r: w / 2 })}/></clipPath>`
        + `<g clip-path="url(#${clipId})">${picture(n, x - w / 2, y - h / 2, w, h)}</g>`
        + `<circle${attrs({ cx: x, cy: y, r: w / 2, ...paint, fill: 'none' })}/>`;
    default: return `<rect${attrs({ x: x - w / 2, y: y - h / 2, width: w, height: h, ...paint })}/>`;
  }
}

function picture(n, x, y, w, h) {
  if (!n.picture || !n.picture.href) return '';
  return `<image${attrs({ x, y, width: w, height: h, href: n.picture.href, 'xlink:href': n.picture.href, preserveAspectRatio: 'none' })}/>`;
}

// An arrowhead with its tip at (x, y) pointing along (ux, uy).
function arrowHead(x, y, ux, uy, length, type, colour) {
  if (type === 'circle') return `<circle${attrs({ cx: x, cy: y, r: length / 2, fill: colour })}/>`;
  const at = (a, b) => [x + ux * a * length - uy * b * length, y + uy * a * length + ux * b * length];
  return polygon([at(0, 0), at(-1, 0.3), at(-0.9, 0), at(-1, -0.3)], { fill: colour, stroke: colour, 'stroke-width': 1 });
}

function edgeOf(e, a, b) {
  const paint = { stroke: e.colour, 'stroke-width': e.width || 1, fill: 'none', 'stroke-dasharray': e.dashes ? '5 5' : undefined };
  if (a === b) {
    const r = Math.max(10, a.h / 2);
    return { svg: `<circle${attrs({ cx: a.x + a.w / 2, cy: a.y - a.h / 2, r, ...paint })}/>`,
      span: { ax: a.x + a.w / 2 - r, ay: a.y - a.h / 2 - r, bx: a.x + a.w / 2 + r, by: a.y - a.h / 2 - r } };
  }
  const dx = b.x - a.x; const dy = b.y - a.y;
  const len = Math.hypot(dx, dy) || 1;
  const ux = dx / len; const uy = dy / len;
  const da = Math.min(borderDistance(a, ux, uy), len / 2);
  const db = Math.min(borderDistance(b, -ux, -uy), len / 2);
  const ax = a.x + ux * da; const ay = a.y + uy * da;
  const bx = b.x - ux * db; const by = b.y - uy * db;
  const arrows = e.arrows || {};
  const head = 10 + 5 * (e.width || 1);
  let ex = bx; let ey = by; let heads = '';
  if (arrows.to) {
    ex = bx - ux * head * 0.9; ey = by - uy * head * 0.9;
    heads += arrowHead(bx, by, ux, uy, head, arrows.to.type, e.colour);
  }
  if (arrows.middle) {
    const f = arrows.middle.scaleFactor || 1;
    const mx = (ax + bx) / 2 + ux * head * f / 2; const my = (ay + by) / 2 + uy * head * f / 2;
    heads += arrowHead(mx, my, ux, uy, head * f, arrows.middle.type, e.colour);
  }
  return { svg: `<line${attrs({ x1: ax, y1: ay, x2: ex, y2: ey, ...paint })}/>${heads}`, span: { ax, ay, bx, by } };
}

// The small pictures of the legend, 16 high at (x, y): { svg, w }. A class
// with pictures and shapes shows both, as the page's legend does.
function classSwatch(c, x, y) {
  let svg = '';
  let w = 0;
  if (c.shape) {
    const r = ['dot', 'circle', 'star', 'triangle', 'triangleDown', 'diamond', 'hexagon', 'square'].includes(c.shape) ? 6 : 0;
    const n = { shape: c.shape === 'text' ? 'box' : c.shape, x: x + 11, y: y + 8, w: r ? 12 : 18, h: r ? 12 : 10, size: r || 5 };
    if (c.shape === 'ellipse') { n.w = 18; n.h = 12; }
    svg += shapeOf(n, { fill: '#ffffff', stroke: c.border, 'stroke-width': 2 }, '');
    w += 22;
  }
  if (c.picture) {
    const px = x + w;
    svg += `<rect${attrs({ x: px + 2, y: y + 1, width: 18, height: 14, fill: '#f4f4f4', stroke: '#777777' })}/>`
      + polygon([[px + 3, y + 14], [px + 9, y + 7], [px + 13, y + 11], [px + 15, y + 9], [px + 19, y + 14]], { fill: '#999999' });
    w += 22;
  }
  return { svg, w };
}

function relationSwatch(r, x, y) {
  const e = { colour: r.colour, width: 1, dashes: r.dashes, arrows: r.arrows };
  const end = (at) => ({ x: at, y: y + 8, w: 0, h: 0, shape: 'dot', size: 0 });
  return { svg: edgeOf(e, end(x), end(x + 30)).svg, w: 32 };
}

// The legend as rows of entries that wrap at `width`; returns { svg, height }.
function legendOf(legend, width, top, measure, words) {
  let svg = '';
  let y = top;
  const font = UI_FONT;
  const groups = [[words.classes, legend.classes, classSwatch], [words.linkKinds, legend.relations, relationSwatch]];
  for (const [heading, entries, swatch] of groups) {
    if (!entries.length) continue;
    let x = MARGIN;
    svg += textLines([heading], x, y + 8, { ...font, color: '#555555' }, { 'text-anchor': 'start' });
    x += measure(heading, font) + 12;
    for (const entry of entries) {
      const sw = swatch(entry, 0, 0).w;
      const w = sw + 4 + measure(entry.name, font) + 12;
      if (x + w > width - MARGIN && x > MARGIN + 60) { x = MARGIN + 60; y += 22; }
      svg += swatch(entry, x, y).svg;
      svg += textLines([entry.name], x + sw + 4, y + 8, font, { 'text-anchor': 'start' });
      x += w;
    }
    y += 26;
  }
  return { svg, height: y - top };
}

// Returns { text, width, height }: the figure as an SVG document.
export function svgFigure(model, { measure, words }) {
  const { nodes, edges } = model;
  let x0 = Infinity; let y0 = Infinity; let x1 = -Infinity; let y1 = -Infinity;
  const grow = (b) => { x0 = Math.min(x0, b.x0); y0 = Math.min(y0, b.y0); x1 = Math.max(x1, b.x1); y1 = Math.max(y1, b.y1); };
  const obstacles = [];
  const labelBoxes = nodes.map((n) => {
    const shape = { x0: n.x - n.w / 2, y0: n.y - n.h / 2, x1: n.x + n.w / 2, y1: n.y + n.h / 2 };
    if (n.shape !== 'text') obstacles.push(shape);
    grow(shape);
    const box = nodeLabelBox(n, measure);
    if (box) { obstacles.push(box); grow(box); }
    return box;
  });

  const drawn = edges.map((e) => ({ e, ...edgeOf(e, nodes[e.from], nodes[e.to]) }));
  const labelled = drawn.filter((d) => linesOf(d.e.label).length);
  const sizes = labelled.map((d) => labelSize(linesOf(d.e.label), d.e.font, measure));
  const spots = placeLinkLabels(obstacles, labelled.map((d, k) => ({ ...d.span, w: sizes[k].w + 4, h: sizes[k].h + 2 })));
  spots.forEach((s, k) => grow({ x0: s.x - sizes[k].w / 2 - 2, x1: s.x + sizes[k].w / 2 + 2, y0: s.y - sizes[k].h / 2 - 1, y1: s.y + sizes[k].h / 2 + 1 }));
  for (const d of drawn) grow({ x0: Math.min(d.span.ax, d.span.bx), x1: Math.max(d.span.ax, d.span.bx), y0: Math.min(d.span.ay, d.span.by), y1: Math.max(d.span.ay, d.span.by) });
  if (!isFinite(x0)) { x0 = 0; y0 = 0; x1 = 0; y1 = 0; }

  const caption = model.caption ? String(model.caption) : '';
  let width = Math.max(x1 - x0 + 2 * MARGIN, caption ? measure(caption, CAPTION_FONT) + 2 * MARGIN : 0, model.legend ? 320 : 0);
  width = Math.ceil(width);
  const dx = (width - (x1 - x0)) / 2 - x0;
  const dy = MARGIN - y0;
  const bottom = y1 - y0 + 2 * MARGIN;

  const body = [];
  body.push(`<g${attrs({ transform: `translate(${num(dx)} ${num(dy)})` })}>`);
  body.push('<g class="links">', ...drawn.map((d) => d.svg), '</g>');
  body.push('<g class="nodes">');
  nodes.forEach((n, k) => {
    body.push(shapeOf(n, { fill: n.background, stroke: n.border, 'stroke-width': 1 }, `pw-clip-${k}`));
    const box = labelBoxes[k];
    if (box) body.push(textLines(box.lines, n.x, box.first, n.font));
  });
  body.push('</g><g class="link-labels">');
  labelled.forEach((d, k) => {
    const s = spots[k]; const z = sizes[k];
    body.push(`<rect${attrs({ x: s.x - z.w / 2 - 2, y: s.y - z.h / 2 - 1, width: z.w + 4, height: z.h + 2, fill: '#ffffff', 'fill-opacity': 0.85 })}/>`);
    body.push(textLines(linesOf(d.e.label), s.x, s.y - z.h / 2 + (d.e.font.size || 14) * LINE / 2, d.e.font));
  });
  body.push('</g></g>');

  return svgDocument(body, width, bottom, model, measure, words);
}

// The legend and the caption from `top` down, and the document around body.
function svgDocument(body, width, top, model, measure, words) {
  const caption = model.caption ? String(model.caption) : '';
  let bottom = top;
  if (model.legend) {
    const legend = legendOf(model.legend, width, bottom, measure, words);
    body.push(`<g class="legend">${legend.svg}</g>`);
    bottom += legend.height + 6;
  }
  if (caption) {
    body.push(`<g class="caption">${textLines([caption], width / 2, bottom + 10, CAPTION_FONT)}</g>`);
    bottom += 20 + MARGIN;
  }
  const height = Math.ceil(bottom);
  const text = '<?xml version="1.0" encoding="UTF-8"?>\n'
    + `<svg xmlns="http://www.w3.org/2000/svg" xmlns:xlink="http://www.w3.org/1999/xlink" version="1.1"${attrs({ width, height, viewBox: `0 0 ${width} ${height}` })}>\n`
    + (caption ? `<title>${xmlText(caption)}</title>\n` : '')
    + `<rect${attrs({ width, height, fill: '#ffffff' })}/>\n${body.join('\n')}\n</svg>\n`;
  return { text, width, height };
}

// Only the legend and the caption, `width` wide: what goes under a PNG.
export function svgKey(model, { measure, words, width }) {
  return svgDocument([], Math.ceil(width), 8, model, measure, words);
}
