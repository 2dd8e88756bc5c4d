// Steering the view: fit, zoom in, zoom out and full screen, each a button
// with a key (0, +, -, F) that works anywhere on the page outside a text
// field; Escape clears the selection. The drawing grows to the window in
// full screen, and outside it whenever the page leaves room below it: the
// page fixes the drawing's height, which is the least it gets.

import { drawingFrame } from '../vis-adapter.js';
import { button, svg } from './dom.js';
import { animation } from './selection.js';
import { fitAll } from './label-zoom.js';

const ZOOM_STEP = 1.25;
const MIN_SCALE = 0.02;
const MAX_SCALE = 8;

// Whether a key press belongs to a control that reads keys itself.
export function typingInto(target) {
  if (!target || target.nodeType !== 1) return false;
  if (target.isContentEditable) return true;
  const tag = target.tagName;
  return tag === 'INPUT' || tag === 'TEXTAREA' || tag === 'SELECT';
}

// The shortcut a key press stands for, or null.
export function shortcutOf(ev) {
  if (ev.ctrlKey || ev.metaKey || ev.altKey) return null;
  switch (ev.key) {
    case '+': case '=': return 'zoomIn';
    case '-': case '_': return 'zoomOut';
    case '0': return 'fit';
    case 'f': case 'F': return 'fullScreen';
    case 'Escape': return 'clear';
    default: return null;
  }
}

// The drawing's height: the page's own unless there is more room, in full
// screen the whole window but what the tools under the drawing take.
export function frameHeight({ pageHeight, windowHeight, documentHeight, currentHeight, fullScreen, belowHeight }) {
  if (fullScreen) return Math.max(200, windowHeight - belowHeight);
  const room = windowHeight - (documentHeight - currentHeight);
  return Math.max(pageHeight, Math.floor(room));
}

// How tall the page's content is, margins included (the document's own
// height is never less than the window's).
function contentHeight() {
  const body = document.body;
  const style = getComputedStyle(body);
  return body.offsetHeight + (parseFloat(style.marginTop) || 0) + (parseFloat(style.marginBottom) || 0);
}

// Small line pictures for the buttons that are named by their aria-label.
const ICONS = {
  fit: 'M2 6V2h4M10 2h4v4M14 10v4h-4M6 14H2v-4M5 5l-3-3M11 5l3-3M11 11l3 3M5 11l-3 3',
  fullScreen: 'M2 6V2h4M10 2h4v4M14 10v4h-4M6 14H2v-4',
  leaveFullScreen: 'M6 2v4H2M14 6h-4V2M10 14v-4h4M2 10h4v4',
};
export function icon(path) {
  const box = svg('svg', { width: 16, height: 16, viewBox: '0 0 16 16', 'aria-hidden': 'true', focusable: 'false' });
  box.appendChild(svg('path', { d: path, fill: 'none', stroke: 'currentColor', 'stroke-width': 1.6, 'stroke-linecap': 'round' }));
  return box;
}

// A button shown as a picture or a sign, named for assistive technology and
// in its tooltip, with its key.
function iconButton(content, name, key) {
  const b = button('', 'pw-button pw-icon-button');
  if (typeof content === 'string') b.textContent = content;
  else b.appendChild(content);
  b.setAttribute('aria-label', name);
  b.setAttribute('aria-keyshortcuts', key);
  b.title = `${name} (${key})`;
  return b;
}

// Returns { elements, fit(), resize(), detach() }.
export function createViewControls(state, vis, selection, words, toolbarOf) {
  const { container, options } = state;
  const frame = drawingFrame(vis);
  const pageHeight = parseFloat(options.height) || frame.clientHeight || 400;
  const fitButton = iconButton(icon(ICONS.fit), words.fit, '0');
  const zoomInButton = iconButton('+', words.zoomIn, '+');
  const zoomOutButton = iconButton('\u2212', words.zoomOut, '-');
  const fullButton = iconButton(icon(ICONS.fullScreen), words.fullScreen, 'F');
  const canFullScreen = !!(container.requestFullscreen && document.fullscreenEnabled !== false);
  fullButton.hidden = !canFullScreen;

  const fit = () => fitAll(vis, state, toolbarOf().offsetHeight + 12, animation());
  // Presses in quick succession add up, from where the last one aims.
  let aim = null;
  const zoom = (factor) => {
    const from = aim && performance.now() - aim.at < 600 ? aim.scale : vis.getScale();
    const scale = Math.min(MAX_SCALE, Math.max(MIN_SCALE, from * factor));
    aim = { scale, at: performance.now() };
    vis.moveTo({ position: vis.getViewPosition(), scale, animation: animation() });
  };
  const isFull = () => document.fullscreenElement === container;
  const toggleFull = () => {
    if (!canFullScreen) return;
    if (isFull()) document.exitFullscreen().catch(() => {});
    else container.requestFullscreen().catch(() => {});
  };

  let height = frame.clientHeight;
  const resize = () => {
    const full = isFull();
    const below = full ? container.scrollHeight - frame.offsetHeight : 0;
    const want = frameHeight({
      pageHeight,
      windowHeight: window.innerHeight,
      documentHeight: contentHeight(),
      currentHeight: frame.offsetHeight,
      fullScreen: full,
      belowHeight: below,
    });
    if (Math.abs(want - height) < 2) return;
    const centre = vis.getViewPosition();
    height = want;
    vis.setSize('100%', `${want}px`);
    vis.moveTo({ position: centre, scale: vis.getScale(), animation: false });
  };
  const onFullScreen = () => {
    const name = isFull() ? words.leaveFullScreen : words.fullScreen;
    fullButton.replaceChildren(icon(isFull() ? ICONS.leaveFullScreen : ICONS.fullScreen));
    fullButton.setAttribute('aria-label', name);
    fullButton.title = `${name} (F)`;
    resize();
    fit();
  };

  fitButton.addEventListener('click', fit);
  zoomInButton.addEventListener('click', () => zoom(ZOOM_STEP));
  zoomOutButton.addEventListener('click', () => zoom(1 / ZOOM_STEP));
  fullButton.addEventListener('click', toggleFull);

  const actions = { fit, zoomIn: () => zoom(ZOOM_STEP), zoomOut: () => zoom(1 / ZOOM_STEP), fullScreen: toggleFull };
  const onKey = (ev) => {
    if (ev.defaultPrevented) return;
    const what = shortcutOf(ev);
    if (what === null) return;
    if (what === 'clear') {
      // (The search box takes its own Escape: it closes its list.)
      if (selection.selected() !== null) selection.clear();
      return;
    }
    if (typingInto(ev.target)) return;
    actions[what]();
    ev.preventDefault();
  };
  document.addEventListener('keydown', onKey);
  document.addEventListener('fullscreenchange', onFullScreen);
  window.addEventListener('resize', resize);

  return {
    elements: [fitButton, zoomInButton, zoomOutButton, fullButton],
    fit,
    resize,
    detach: () => {
      document.removeEventListener('keydown', onKey);
      document.removeEventListener('fullscreenchange', onFullScreen);
      window.removeEventListener('resize', resize);
    },
  };
}
