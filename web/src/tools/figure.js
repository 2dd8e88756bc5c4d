// A picture of the whole network for papers and slides: every visible node,
// not only the part in view, drawn afresh at two or three device pixels per
// drawing pixel on white, as a PNG.
//
// The network's own renderer draws into a canvas of the figure's size for
// the moment of one frame; the view the reader has is put back at once.

import { drawingCanvas, paintOnto, replacePictures, shownNodeIds } from '../vis-adapter.js';

// Chromium refuses canvases beyond these; larger figures are drawn smaller.
const MAX_SIDE = 16384;
const MAX_PIXELS = 120e6;
const MARGIN = 20;

export class TaintedFigure extends Error {}

// The figure's frame in drawing units: the bounding box of every visible
// node, or at least the size of the drawing on screen.
function frameOf(vis, screen) {
  let left = Infinity; let top = Infinity; let right = -Infinity; let bottom = -Infinity;
  for (const id of shownNodeIds(vis)) {
    const box = vis.getBoundingBox(id);
    if (!box) continue;
    left = Math.min(left, box.left); right = Math.max(right, box.right);
    top = Math.min(top, box.top); bottom = Math.max(bottom, box.bottom);
  }
  if (!isFinite(left)) { left = 0; right = 0; top = 0; bottom = 0; }
  const width = Math.max(right - left + 2 * MARGIN, screen.width);
  const height = Math.max(bottom - top + 2 * MARGIN, screen.height);
  return { cx: (left + right) / 2, cy: (top + bottom) / 2, width, height };
}

// Whether the browser lets a canvas that shows this picture be read back:
// pictures from another server (without permission) or from files opened
// directly do not.
function readable(image) {
  try {
    const c = document.createElement('canvas');
    c.width = 1;
    c.height = 1;
    const g = c.getContext('2d');
    g.drawImage(image, 0, 0, 1, 1);
    g.getImageData(0, 0, 1, 1);
    return true;
  } catch (e) {
    return false;
  }
}

// An empty frame in place of a picture that would block the export.
function drawFrame(ctx, factor, left, top, width, height) {
  ctx.save();
  ctx.fillStyle = '#eeeeee';
  ctx.fillRect(left, top, width, height);
  ctx.strokeStyle = '#999999';
  ctx.lineWidth = Math.max(1, Math.min(width, height) / 25);
  ctx.strokeRect(left, top, width, height);
  ctx.restore();
}

// Pictures that cannot be read back are drawn as frames while the figure is
// made; returns how many pictures that was and a function that undoes it.
function maskUnreadable(vis) {
  return replacePictures(vis, (image) => image.complete && image.naturalWidth !== 0 && !readable(image), drawFrame);
}

// Draws the figure; returns { canvas, factor, reduced, masked }, masked
// being the number of pictures drawn as empty frames. Throws TaintedFigure
// when the figure still cannot be read back.
export function drawFigure(vis, factor) {
  const real = drawingCanvas(vis);
  const frame = frameOf(vis, { width: real.clientWidth, height: real.clientHeight });
  const f = Math.min(factor, MAX_SIDE / frame.width, MAX_SIDE / frame.height, Math.sqrt(MAX_PIXELS / (frame.width * frame.height)));
  const reduced = f < factor;

  const figure = document.createElement('canvas');
  figure.width = Math.round(frame.width * f);
  figure.height = Math.round(frame.height * f);
  // The renderer reads the canvas's size on the page, so the figure canvas
  // stands on the page, out of sight, while it is drawn.
  figure.style.cssText = `position:fixed;left:-${frame.width + 100}px;top:0;width:${frame.width}px;height:${frame.height}px;visibility:hidden`;
  figure.setAttribute('aria-hidden', 'true');
  document.body.appendChild(figure);

  const mask = maskUnreadable(vis);
  try {
    paintOnto(vis, figure, { pixelRatio: f, cx: frame.cx, cy: frame.cy, width: frame.width, height: frame.height });
  } finally {
    mask.undo();
    figure.remove();
    figure.removeAttribute('style');
    vis.redraw();
  }
  const g = figure.getContext('2d');
  g.setTransform(1, 0, 0, 1, 0, 0);
  g.globalCompositeOperation = 'destination-over';
  g.fillStyle = '#ffffff';
  g.fillRect(0, 0, figure.width, figure.height);
  try {
    g.getImageData(0, 0, 1, 1);
  } catch (e) {
    throw new TaintedFigure(String(e && e.message));
  }
  return { canvas: figure, factor: f, reduced, masked: mask.count };
}

// The figure with `key` (an SVG document { text, width, height } as wide
// as the figure in drawing units) under it.
export async function withKey(canvas, factor, key) {
  const image = new Image();
  image.src = `data:image/svg+xml;charset=utf-8,${encodeURIComponent(key.text)}`;
  await image.decode();
  const out = document.createElement('canvas');
  out.width = canvas.width;
  out.height = canvas.height + Math.round(key.height * factor);
  const g = out.getContext('2d');
  g.drawImage(canvas, 0, 0);
  g.drawImage(image, 0, canvas.height, out.width, out.height - canvas.height);
  return out;
}

export function pngOf(canvas) {
  return new Promise((resolve, reject) => {
    try {
      canvas.toBlob((blob) => (blob ? resolve(blob) : reject(new Error('no image'))), 'image/png');
    } catch (e) {
      reject(e instanceof DOMException && e.name === 'SecurityError' ? new TaintedFigure(e.message) : e);
    }
  });
}

export function offerDownload(blob, name) {
  const url = URL.createObjectURL(blob);
  const a = document.createElement('a');
  a.href = url;
  a.download = name;
  a.style.display = 'none';
  document.body.appendChild(a);
  a.click();
  a.remove();
  setTimeout(() => URL.revokeObjectURL(url), 60000);
}

// The page's file name with .png (or the given ending) in place of its own.
export function figureName(location, fallback, ending = 'png') {
  const path = decodeURIComponent(String(location.pathname || '').split('/').pop() || '');
  const base = path.replace(/\.[^.]*$/, '').replace(/[\\/:*?"<>|\u0000-\u001f]+/g, '_');
  return `${base || fallback}.${ending}`;
}
