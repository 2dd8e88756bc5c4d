// The toolbar's figure export: a button, the choice of resolution and a
// word on how the last export went.

import { TaintedFigure, drawFigure, figureName, offerDownload, pngOf } from './figure.js';
import { button, element } from './dom.js';

// Returns { elements, detach() }: the controls to put in the toolbar.
// lights is the neighbour highlighting, turned off while the figure is made.
export function createFigureExport(vis, words, lights) {
  const save = button(words.saveImage, 'pw-button');
  const scale = element('select', { className: 'pw-scale' }, { 'aria-label': words.scale });
  for (const [value, text] of [['2', words.scale2], ['3', words.scale3]]) {
    scale.appendChild(element('option', { value, textContent: text }));
  }
  const status = element('span', { className: 'pw-status' }, { role: 'status', 'aria-live': 'polite' });

  // A word about the last figure, kept long enough to be read.
  let statusTimer = null;
  const say = (text) => {
    status.textContent = text;
    clearTimeout(statusTimer);
    statusTimer = setTimeout(() => { status.textContent = ''; }, 15000);
  };
  save.addEventListener('click', async () => {
    say(words.saving);
    // A figure shows the network, not the reader's pointing: nothing dimmed.
    const lit = lights.focus;
    try {
      lights.light(null);
      let figure;
      try {
        figure = drawFigure(vis, Number(scale.value) || 2);
      } finally {
        lights.light(lit);
      }
      const blob = await pngOf(figure.canvas);
      offerDownload(blob, figureName(window.location, words.untitled));
      say(figure.masked ? words.masked(figure.masked) : figure.reduced ? words.reduced : words.saved);
    } catch (e) {
      say(e instanceof TaintedFigure ? words.tainted : words.failed);
    }
  });

  return { elements: [save, scale, status], detach: () => clearTimeout(statusTimer) };
}
