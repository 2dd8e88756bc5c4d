// The key to the picture: one entry per class that has nodes on the page and
// one per link appearance in use, each a switch that hides or shows what it
// stands for. Everything from the page goes in as text or as attribute
// values, never as markup.

import { element, svg } from './dom.js';

// A small picture of a node's shape in its class's border colour (and its
// tint, when it has one).
function shapeSwatch(shape, colour, fill) {
  const box = svg('svg', { width: 22, height: 16, viewBox: '0 0 22 16', 'aria-hidden': 'true', focusable: 'false' });
  const paint = { fill: fill || 'white', stroke: colour, 'stroke-width': 2 };
  let el;
  switch (shape) {
    case 'dot': case 'circle': el = svg('circle', { cx: 11, cy: 8, r: 6, ...paint }); break;
    case 'ellipse': el = svg('ellipse', { cx: 11, cy: 8, rx: 9, ry: 6, ...paint }); break;
    case 'triangle': el = svg('polygon', { points: '11,1 19,15 3,15', ...paint }); break;
    case 'triangleDown': el = svg('polygon', { points: '3,1 19,1 11,15', ...paint }); break;
    case 'diamond': el = svg('polygon', { points: '11,1 18,8 11,15 4,8', ...paint }); break;
    case 'star': el = svg('polygon', { points: '11,1 13,6 19,6 14,10 16,15 11,12 6,15 8,10 3,6 9,6', ...paint }); break;
    case 'hexagon': el = svg('polygon', { points: '6,2 16,2 20,8 16,14 6,14 2,8', ...paint }); break;
    case 'square': el = svg('rect', { x: 5, y: 2, width: 12, height: 12, ...paint }); break;
    default: el = svg('rect', { x: 2, y: 3, width: 18, height: 10, rx: 2, ...paint });
  }
  box.appendChild(el);
  return box;
}

// A framed landscape: the sign for picture nodes.
function imageSwatch() {
  const box = svg('svg', { width: 22, height: 16, viewBox: '0 0 22 16', 'aria-hidden': 'true', focusable: 'false' });
  box.appendChild(svg('rect', { x: 2, y: 1, width: 18, height: 14, fill: '#f4f4f4', stroke: '#777', 'stroke-width': 1.5 }));
  box.appendChild(svg('polygon', { points: '3,14 9,7 13,11 15,9 19,14', fill: '#999' }));
  box.appendChild(svg('circle', { cx: 15, cy: 5, r: 2, fill: '#bbb' }));
  return box;
}

function linkSwatch(colour, dashes, arrows) {
  const box = svg('svg', { width: 34, height: 16, viewBox: '0 0 34 16', 'aria-hidden': 'true', focusable: 'false' });
  const line = svg('line', { x1: 2, y1: 8, x2: 31, y2: 8, stroke: colour, 'stroke-width': 2 });
  if (dashes) line.setAttribute('stroke-dasharray', '5 3');
  box.appendChild(line);
  if (arrows) {
    const at = arrows.middle ? 20 : 32;
    if (arrows.middle && arrows.middle.type === 'circle') box.appendChild(svg('circle', { cx: 17, cy: 8, r: 3, fill: colour }));
    else box.appendChild(svg('polygon', { points: `${at},8 ${at - 8},3 ${at - 8},13`, fill: colour }));
  }
  return box;
}

// What the page's rows say about classes and link appearances.
//   nodes: [{ row, className, shape, border, picture }]
//   links: [{ row, colour, dashes, arrows, relation }]
export function legendEntries(nodes, links) {
  const classes = new Map();
  for (const n of nodes) {
    let c = classes.get(n.className);
    if (!c) {
      c = { key: n.className, name: n.className, shape: null, border: null, picture: false, rows: [] };
      classes.set(n.className, c);
    }
    if (n.picture) c.picture = true;
    else if (c.shape === null) { c.shape = n.shape; c.border = n.border; c.fill = n.fill; }
    c.rows.push(n.row);
  }
  // One switch per relation, even when relations look alike; links without
  // a relation name are told apart by their look.
  const kinds = new Map();
  for (const l of links) {
    const key = JSON.stringify([l.relation || '', l.colour, !!l.dashes, l.arrows || null]);
    let k = kinds.get(key);
    if (!k) {
      k = { key, colour: l.colour, dashes: !!l.dashes, arrows: l.arrows || null, name: l.relation || '', rows: [] };
      kinds.set(key, k);
    }
    k.rows.push(l.row);
  }
  return { classes: [...classes.values()], kinds: [...kinds.values()] };
}

// A switch named by its entry; the count beside the name is read out as the
// switch's description, with what a press does.
function entryButton(swatches, text, count, words, onToggle) {
  const button = element('button', { type: 'button', className: 'pw-entry' }, { 'aria-pressed': 'true' });
  const describe = (shown) => { button.title = `${shown ? words.hide : words.show} (${count})`; };
  describe(true);
  button.append(...swatches, element('span', { className: 'pw-entry-name', textContent: text }),
    element('span', { className: 'pw-count', textContent: String(count) }, { 'aria-hidden': 'true' }));
  button.addEventListener('click', () => {
    const shown = button.getAttribute('aria-pressed') !== 'true';
    button.setAttribute('aria-pressed', shown ? 'true' : 'false');
    describe(shown);
    onToggle(shown);
  });
  return button;
}

function group(title, items) {
  const list = element('ul');
  for (const item of items) list.appendChild(element('li')).appendChild(item);
  const wrap = element('div', { className: 'pw-legend-group' });
  wrap.append(element('div', { className: 'pw-legend-heading', textContent: title }), list);
  return wrap;
}

// Builds the legend region. onClass(entry, shown) and onKind(entry, shown)
// apply a switch; onFold(open) follows the reader folding it.
export function buildLegend(entries, words, onClass, onKind, onFold = () => {}) {
  const region = element('section', { className: 'pw-legend' }, { role: 'region', 'aria-label': words.legend });
  const header = element('div', { className: 'pw-legend-header' });
  const title = element('span', { className: 'pw-legend-title', textContent: words.legend });
  const body = element('div', { className: 'pw-legend-body', id: `pw-legend-${Math.random().toString(36).slice(2)}` });
  const toggle = element('button', { type: 'button', className: 'pw-collapse' }, { 'aria-controls': body.id });
  const setOpen = (open) => {
    toggle.setAttribute('aria-expanded', open ? 'true' : 'false');
    toggle.textContent = open ? '\u25b4' : '\u25be';
    toggle.setAttribute('aria-label', open ? words.hideLegend : words.showLegend);
    toggle.title = open ? words.hideLegend : words.showLegend;
    body.hidden = !open;
  };
  toggle.addEventListener('click', () => {
    const open = toggle.getAttribute('aria-expanded') !== 'true';
    setOpen(open);
    onFold(open);
  });
  setOpen(true);
  header.append(title, toggle);

  const classButtons = entries.classes.map((c) => {
    const swatches = [];
    if (c.shape !== null) swatches.push(shapeSwatch(c.shape, c.border, c.fill));
    if (c.picture) swatches.push(imageSwatch());
    return entryButton(swatches, c.name, c.rows.length, words, (shown) => onClass(c, shown));
  });
  const kindButtons = entries.kinds.map((k) => entryButton([linkSwatch(k.colour, k.dashes, k.arrows)],
    k.name, k.rows.length, words, (shown) => onKind(k, shown)));
  if (classButtons.length) body.appendChild(group(words.classes, classButtons));
  if (kindButtons.length) body.appendChild(group(words.linkKinds, kindButtons));
  region.append(header, body);
  return { region, classButtons, setOpen };
}
