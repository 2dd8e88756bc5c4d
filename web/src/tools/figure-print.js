// Figures on paper. Printing the page prints the drawing as the SVG figure,
// vectors fitted to the page, instead of the canvas bitmap; "Save image" as
// PDF prints the figure alone on a page of its size, for the browser's own
// print to PDF (which keeps text as text, with the fonts the reader has).

import { drawingFrame, markDrawing } from '../vis-adapter.js';
import { element } from './dom.js';
import { svgOfDrawing } from './figure-model.js';

function svgElement(text, doc) {
  const parsed = new DOMParser().parseFromString(text, 'image/svg+xml');
  if (parsed.getElementsByTagName('parsererror').length) throw new Error('figure is not well-formed');
  return doc.importNode(parsed.documentElement, true);
}

// Prints the figure alone: the page's print shows only the figure, on a
// sheet of the figure's size, until the print is over. The figure stays in
// this page so that its pictures load as they do on screen (a new window of
// a page opened from a file could not show them). Most browsers hold the
// script in print() until the dialog closes, and every one reports the end
// with 'afterprint'; the next pointer press ends it too, in case none does.
let endSheet = null;
export function printFigure(figure, title) {
  if (endSheet) endSheet();
  const sheet = element('div', { className: 'pw-figure-sheet' }, { 'aria-hidden': 'true' });
  sheet.appendChild(svgElement(figure.text, document));
  const page = element('style', { textContent: `@page { size: ${figure.width}px ${figure.height}px; margin: 0; }` });
  const root = document.documentElement;
  const oldTitle = document.title;
  const end = () => {
    sheet.remove();
    page.remove();
    root.classList.remove('pw-figure-only');
    document.title = oldTitle;
    window.removeEventListener('afterprint', end);
    window.removeEventListener('pointerdown', end, true);
    endSheet = null;
  };
  endSheet = end;
  (document.head || root).appendChild(page);
  document.body.appendChild(sheet);
  root.classList.add('pw-figure-only');
  // The browser offers the title as the PDF's file name.
  if (title) document.title = title;
  window.addEventListener('afterprint', end);
  window.addEventListener('pointerdown', end, true);
  window.print();
}

// While the page prints, the drawing is replaced by its SVG figure. Returns
// detach().
export function printAsVectors(state, vis, words) {
  const unmark = markDrawing(vis, 'pw-drawing');
  let holder = null;
  const before = () => {
    after();
    // Printing the figure alone needs no second one.
    if (document.documentElement.classList.contains('pw-figure-only')) return;
    try {
      const figure = svgOfDrawing(state, vis, words, { legend: false, caption: '' });
      holder = element('div', { className: 'pw-print-figure' }, { 'aria-hidden': 'true' });
      holder.appendChild(svgElement(figure.text, document));
      const svg = holder.firstChild;
      svg.removeAttribute('width');
      svg.removeAttribute('height');
      svg.setAttribute('preserveAspectRatio', 'xMidYMid meet');
      drawingFrame(vis).after(holder);
    } catch (e) {
      holder = null;  // the bitmap prints instead
    }
  };
  const after = () => { if (holder) holder.remove(); holder = null; };
  window.addEventListener('beforeprint', before);
  window.addEventListener('afterprint', after);
  const query = window.matchMedia ? window.matchMedia('print') : null;
  const change = (ev) => { if (ev.matches && !holder) before(); };
  if (query && query.addEventListener) query.addEventListener('change', change);
  return () => {
    window.removeEventListener('beforeprint', before);
    window.removeEventListener('afterprint', after);
    if (query && query.removeEventListener) query.removeEventListener('change', change);
    after();
    unmark();
  };
}
