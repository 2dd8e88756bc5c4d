// Steering the view: fit, zoom in, zoom out and full screen, each a button
// with a key (0, +, -, F) that works anywhere on the page outside a text
// field; Escape clears the selection. The drawing grows to the window in
// full screen, and outside it whenever the page leaves room below it: the
// page fixes the drawing's height, which is the least it gets.

import { drawingFrame } from '../vis-adapter.js';
import { button } from './dom.js';
import { animation } from './selection.js';
import { fitView } from './view.js';

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

// Returns { elements, fit(), resize(), detach() }.
export function createViewControls(state, vis, selection, words, toolbarOf) {
  const { container, options } = state;
  const frame = drawingFrame(vis);
  const pageHeight = parseFloat(options.height) || frame.clientHeight || 400;
  const make = (text, key, hint) => {
    const b = button(text, 'pw-button pw-view-button');
    b.setAttribute('aria-keyshortcuts', key);
    b.title = `${hint || text} (${key})`;
    return b;
  };
  const fitButton = make(words.fit, '0', words.fitHint);
  const zoomInButton = make('+', '+', words.zoomIn);
  zoomInButton.setAttribute('aria-label', words.zoomIn);
  const zoomOutButton = make('\u2212', '-', words.zoomOut);
  zoomOutButton.setAttribute('aria-label', words.zoomOut);
  const fullButton = make(words.fullScreen, 'F');
  const canFullScreen = !!(container.requestFullscreen && document.fullscreenEnabled !== false);
  fullButton.hidden = !canFullScreen;

  const fit = () => fitView(vis, container, toolbarOf());
  const zoom = (factor) => {
    const scale = Math.min(MAX_SCALE, Math.max(MIN_SCALE, vis.getScale() * factor));
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
    fullButton.textContent = isFull() ? words.leaveFullScreen : words.fullScreen;
    fullButton.title = `${fullButton.textContent} (F)`;
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
