// Hover text: pointing at a node shows what it is, its label (or, for a
// picture without one, its title's text) and its class, as plain text.

import { classOfRow, isDummyRow } from '../page-contract.js';
import { drawingFrame } from '../vis-adapter.js';
import { element } from './dom.js';

// The text a reader sees of a piece of the page's markup: parsed into an
// inert document (nothing loads, nothing runs) and read back as text.
export function textOfMarkup(markup) {
  const doc = new DOMParser().parseFromString(`<body>${String(markup || '')}</body>`, 'text/html');
  return (doc.body.textContent || '').replace(/\s+/g, ' ').trim();
}

// { name, className } for a node row, or null for the placeholder row.
export function hoverText(row, index) {
  if (!row || isDummyRow(row, index)) return null;
  const label = String(row.text || '').replace(/\s+/g, ' ').trim();
  return { name: label || textOfMarkup(row.title) || String(row.id || ''), className: classOfRow(row) };
}

// Returns { element, detach() }.
export function createHover(state, vis, words) {
  const { container, nodeRows } = state;
  const tip = element('div', { className: 'pw-hover', hidden: true }, { role: 'tooltip' });
  const name = element('span', { className: 'pw-hover-name' });
  const kind = element('span', { className: 'pw-hover-class' });
  tip.append(name, kind);

  const hide = () => { tip.hidden = true; };
  vis.on('hoverNode', (p) => {
    const text = hoverText(nodeRows[p.node], p.node);
    if (!text) { hide(); return; }
    name.textContent = text.name;
    kind.textContent = text.className ? `${words.hoverClass}: ${text.className}` : '';
    tip.hidden = false;
    // Beside the node, kept inside the drawing.
    const at = vis.canvasToDOM(vis.getPosition(p.node));
    const frame = drawingFrame(vis);
    const box = frame.getBoundingClientRect();
    const outer = container.getBoundingClientRect();
    const x = Math.min(Math.max(0, box.left - outer.left + at.x + 14), Math.max(0, container.clientWidth - tip.offsetWidth - 4));
    const y = Math.min(Math.max(0, box.top - outer.top + at.y + 14), Math.max(0, box.bottom - outer.top - tip.offsetHeight - 4));
    tip.style.left = `${x}px`;
    tip.style.top = `${y}px`;
  });
  vis.on('blurNode', hide);
  vis.on('dragStart', hide);
  const frame = drawingFrame(vis);
  frame.addEventListener('pointerleave', hide);
  return { element: tip, detach: () => { frame.removeEventListener('pointerleave', hide); tip.remove(); } };
}
