// The toolbar's figure export: "Save image" opens a small dialog with the
// format (PNG, SVG or PDF), the PNG's resolution, the legend and the caption
// (the page's first caption, editable), then saves; a word tells how the
// last export went. A PNG is the drawing's own picture with the legend and
// caption drawn under it.

import { TaintedFigure, drawFigure, figureName, offerDownload, pngOf, withKey } from './figure.js';
import { button, element } from './dom.js';
import { firstCaption, svgKeyOfDrawing, svgOfDrawing } from './figure-model.js';
import { printFigure } from './figure-print.js';

function labelled(text, control) {
  const label = element('label');
  label.append(control, element('span', { textContent: text }));
  return label;
}

function choice(label, options) {
  const select = element('select', { className: 'pw-scale' }, { 'aria-label': label });
  for (const [value, text] of options) select.appendChild(element('option', { value, textContent: text }));
  return select;
}

// Returns { elements, detach() }: the controls to put in the toolbar.
// lights is the neighbour highlighting, turned off while a PNG is made.
export function createFigureExport(state, vis, words, lights) {
  const save = button(words.saveImage, 'pw-button');
  save.setAttribute('aria-haspopup', 'dialog');
  const status = element('span', { className: 'pw-status' }, { role: 'status', 'aria-live': 'polite' });

  const format = choice(words.format, [['png', words.formatPng], ['svg', words.formatSvg], ['pdf', words.formatPdf]]);
  const scale = choice(words.scale, [['2', words.scale2], ['3', words.scale3]]);
  const legend = element('input', { type: 'checkbox', checked: true });
  const caption = element('input', { type: 'checkbox' });
  const captionText = element('input', { type: 'text' }, { 'aria-label': words.captionText });
  const ok = button(words.save, 'pw-button');
  const cancel = button(words.cancel, 'pw-button');
  const dialog = element('dialog', { className: 'pw-figure-dialog' }, { 'aria-label': words.saveImage });
  const row = (...parts) => { const r = element('div', { className: 'pw-row' }); r.append(...parts); return r; };
  dialog.append(
    row(element('span', { textContent: words.format }), format, scale),
    row(labelled(words.withLegend, legend), labelled(words.withCaption, caption)),
    row(captionText),
    row(ok, cancel),
  );
  const sync = () => {
    scale.disabled = format.value !== 'png';
    captionText.disabled = !caption.checked;
  };
  format.addEventListener('change', sync);
  caption.addEventListener('change', sync);

  save.addEventListener('click', () => {
    if (dialog.open) return;
    if (!captionText.value) {
      captionText.value = firstCaption(document);
      caption.checked = captionText.value !== '';
    }
    sync();
    if (!dialog.isConnected) state.container.appendChild(dialog);
    dialog.showModal();
    format.focus();
  });
  cancel.addEventListener('click', () => dialog.close());
  dialog.addEventListener('close', () => { if (document.activeElement === document.body || dialog.contains(document.activeElement)) save.focus(); });

  // A word about the last figure, kept long enough to be read.
  let statusTimer = null;
  const say = (text) => {
    status.textContent = text;
    clearTimeout(statusTimer);
    statusTimer = setTimeout(() => { status.textContent = ''; }, 15000);
  };

  const chosen = () => ({ legend: legend.checked, caption: caption.checked ? captionText.value.trim() : '' });
  const savePng = async () => {
    // A figure shows the network, not the reader's pointing: nothing dimmed.
    const lit = lights.focus;
    let figure;
    try {
      lights.light(null);
      figure = drawFigure(vis, Number(scale.value) || 2);
    } finally {
      lights.light(lit);
    }
    const parts = chosen();
    let canvas = figure.canvas;
    if (parts.legend || parts.caption) {
      canvas = await withKey(canvas, figure.factor, svgKeyOfDrawing(state, vis, words, parts, canvas.width / figure.factor));
    }
    const blob = await pngOf(canvas);
    offerDownload(blob, figureName(window.location, words.untitled));
    say(figure.masked ? words.masked(figure.masked) : figure.reduced ? words.reduced : words.saved);
  };
  const saveVector = (kind) => {
    const parts = chosen();
    const figure = svgOfDrawing(state, vis, words, parts);
    if (kind === 'svg') {
      offerDownload(new Blob([figure.text], { type: 'image/svg+xml' }), figureName(window.location, words.untitled, 'svg'));
      say(words.saved);
    } else {
      printFigure(figure, parts.caption);
      say(words.printed);
    }
  };
  ok.addEventListener('click', async () => {
    const kind = format.value;
    dialog.close();
    say(words.saving);
    try {
      if (kind === 'png') await savePng();
      else saveVector(kind);
    } catch (e) {
      say(e instanceof TaintedFigure ? words.tainted : words.failed);
    }
  });

  return { elements: [save, status], detach: () => { clearTimeout(statusTimer); dialog.remove(); } };
}
