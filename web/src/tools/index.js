// The reader's tools around a links.Network drawing: an opening layout that
// is already at rest, remembered positions, legend and filters, search,
// neighbour highlighting and figure export, in one small toolbar.
//
// links.Network asks for them through links.Network.readerTools (set by the
// kit's entry unless the page address asks for the bare drawing, #plain):
//
//   prepare(state)              before the drawing is made; returns what the
//                               drawing's options change, and leaves in
//                               state.work a generator that places the nodes,
//                               to be run to its end (a slice per task) first
//   attach(state, vis, settled) once the drawing exists; builds the tools,
//                               calls settled() when the first picture is on
//                               screen and returns a function removing them
//   prepareUpdate(state, previous, vis)
//                               instead of prepare() when a new save of the
//                               page is shown on the drawing on screen
//                               (state.update is set); previous is the
//                               state of the tools it had
//
// state holds the links.Network (network), its container, the node and edge
// records of the drawing (nodes, edges), the page's rows (nodeRows, linkRows,
// keyed as page-contract.js names them), the page's options, the drawing's
// options (visOptions), announceSelect(), which tells the page that the
// reader selected a node, and quick, whether the plan is small enough to be
// drawn in one go. Each concern lives in its own module and gets the
// same state. attach() leaves in it relight(), which lights the selection as
// it stands (links.Network's showSelection()).

import { createFigureExport } from './figure-export.js';
import { createFilters } from './filters.js';
import { createHighlight } from './highlight.js';
import { layOutAgain, placeNodes, placeUpdatedNodes, rememberPositions } from './placement.js';
import { createSearchBox } from './search-box.js';
import { fitView } from './view.js';
import { addStyle, button, element } from './dom.js';
import { strings } from './strings.js';
import { STYLE } from './style.js';
import { FIGURE_STYLE } from './figure-style.js';
import { createHover } from './hover.js';
import { printAsVectors } from './figure-print.js';
import { createSelection } from './selection.js';
import { attachViews } from './views.js';
import { labelOptions, legibleScale, openingView } from './label-zoom.js';
import { tintNodes } from './view-options.js';

// Whether the page address asks for the bare drawing: #plain, alone or among
// other words of the fragment.
export function plainRequested(location) {
  return /^#(?:.*[&,;])?plain(?:[&,;=]|$)/i.test(String(location.hash || ''));
}

function injectStyle() {
  addStyle('pw-tools-style', STYLE + FIGURE_STYLE);
}

function prepare(state) {
  // The layout is run by links.Network a slice at a time (state.work).
  state.work = placeNodes(state);
  tintNodes(state);
  state.legibleScale = legibleScale(state.nodes);
  return {
    physics: { enabled: false },
    layout: { randomSeed: state.visOptions.layout.randomSeed, improvedLayout: false },
    interaction: { hover: true, hoverConnectedEdges: false },
    ...labelOptions(),
  };
}

function prepareUpdate(state, previous, vis) {
  placeUpdatedNodes(state, previous, vis);
  tintNodes(state);
  state.legibleScale = legibleScale(state.nodes);
}

// The drawing outlives its tools when a new save is shown on it, so every
// handler the tools give it is taken off again with them.
function recordHandlers(vis) {
  const given = [];
  vis.on = function (name, fn) {
    given.push([name, fn]);
    return Object.getPrototypeOf(vis).on.call(this, name, fn);
  };
  return () => {
    delete vis.on;
    for (const [name, fn] of given) vis.off(name, fn);
  };
}

function attach(state, vis, settled) {
  const { container } = state;
  const takeHandlers = recordHandlers(vis);
  const words = strings(navigator.language);
  injectStyle();
  container.classList.add('pw-network');
  if (getComputedStyle(container).position === 'static') container.style.position = 'relative';

  const lights = createHighlight(state, vis);
  const filters = createFilters(state, vis, words, (dropped) => lights.light(dropped ? null : lights.focus));
  vis.on('dragEnd', (p) => { if (p.nodes && p.nodes.length) rememberPositions(state, vis); });

  // A node picked in the search box is shown (its class too, if switched
  // off), selected, brought into view and announced to the page.
  const selection = createSelection(state, vis, filters, lights);
  state.relight = selection.relight;
  const search = createSearchBox(state, words, (row) => selection.choose(row));
  const relayout = button(words.relayout, 'pw-button');
  const figure = createFigureExport(state, vis, words, lights);
  const toolbar = element('div', { className: 'pw-toolbar' }, { role: 'group', 'aria-label': words.tools });
  toolbar.append(search.element, relayout, ...figure.elements);
  const views = attachViews(state, vis, {
    selection, filters, toolbarOf: () => toolbar, rememberPositions: () => rememberPositions(state, vis),
  });
  toolbar.append(...views.controls);

  relayout.addEventListener('click', () => {
    layOutAgain(state, vis);
    fitView(vis, container, toolbar);
    rememberPositions(state, vis);
  });

  // Escape anywhere in the tools leaves the highlight and closes lists.
  const onKey = (ev) => {
    if (ev.key !== 'Escape' || ev.target === search.input) return;
    search.close();
    if (lights.hovering === null) lights.light(null);
  };
  toolbar.addEventListener('keydown', onKey);
  filters.region.addEventListener('keydown', onKey);

  const beforePrint = () => fitView(vis, container, null);
  window.addEventListener('beforeprint', beforePrint);

  container.appendChild(toolbar);
  container.appendChild(filters.region);
  const hover = createHover(state, vis, words);
  container.appendChild(hover.element);
  const unprint = printAsVectors(state, vis, words);
  container.append(...views.regions);

  // The first picture is the finished layout; report it once it is on screen.
  // A new save keeps the reader's view, and the node the address names was
  // shown when the page opened.
  views.fitFrame();
  if (!state.update) openingView(vis, state, toolbar.offsetHeight + 12);
  let reported = false;
  vis.on('afterDrawing', () => {
    if (reported) return;
    reported = true;
    rememberPositions(state, vis);
    if (state.update) settled();
    else views.opened(settled);
  });
  // A small plan's first picture is painted at once; a large one's comes
  // with the next frame, in a task of its own (the drawing asks for it
  // itself once its data is in; this makes sure).
  if (state.quick) vis.redraw();
  else requestAnimationFrame(() => { if (!reported) vis.redraw(); });

  return () => {
    takeHandlers();
    figure.detach();
    lights.detach();
    hover.detach();
    unprint();
    views.detach();
    window.removeEventListener('beforeprint', beforePrint);
    toolbar.remove();
    filters.region.remove();
    for (const region of views.regions) region.remove();
    container.classList.remove('pw-network');
  };
}

export const readerTools = { prepare, prepareUpdate, attach };
