// The reader's tools around a links.Network drawing: an opening layout that
// is already at rest, remembered positions, legend and filters, search,
// neighbour highlighting and figure export, in one small toolbar.
//
// links.Network asks for them through links.Network.readerTools (set by the
// kit's entry unless the page address asks for the bare drawing, #plain):
//
//   prepare(state)              before the drawing is made; places the nodes
//                               and returns what the drawing's options change
//   attach(state, vis, settled) once the drawing exists; builds the tools,
//                               calls settled() when the first picture is on
//                               screen and returns a function removing them
//
// state holds the links.Network (network), its container, the node and edge
// records of the drawing (nodes, edges), the page's rows (nodeRows, linkRows,
// keyed as page-contract.js names them), the page's options, the drawing's
// options (visOptions) and announceSelect(), which tells the page that the
// reader selected a node. Each concern lives in its own module and gets the
// same state.

import { createFigureExport } from './figure-export.js';
import { createFilters } from './filters.js';
import { createHighlight } from './highlight.js';
import { layOutAgain, placeNodes, rememberPositions } from './placement.js';
import { createSearchBox } from './search-box.js';
import { fitView } from './view.js';
import { button, element } from './dom.js';
import { strings } from './strings.js';
import { STYLE } from './style.js';
import { FIGURE_STYLE } from './figure-style.js';
import { createHover } from './hover.js';
import { printAsVectors } from './figure-print.js';

// Whether the page address asks for the bare drawing: #plain, alone or among
// other words of the fragment.
export function plainRequested(location) {
  return /^#(?:.*[&,;])?plain(?:[&,;=]|$)/i.test(String(location.hash || ''));
}

function injectStyle() {
  if (document.getElementById('pw-tools-style')) return;
  const style = document.createElement('style');
  style.id = 'pw-tools-style';
  style.textContent = STYLE + FIGURE_STYLE;
  (document.head || document.documentElement).appendChild(style);
}

function prepare(state) {
  placeNodes(state);
  return {
    physics: { enabled: false },
    layout: { randomSeed: state.visOptions.layout.randomSeed, improvedLayout: false },
    interaction: { hover: true, hoverConnectedEdges: false },
  };
}

function attach(state, vis, settled) {
  const { container } = state;
  const words = strings(navigator.language);
  injectStyle();
  container.classList.add('pw-network');
  if (getComputedStyle(container).position === 'static') container.style.position = 'relative';

  const lights = createHighlight(state, vis);
  const filters = createFilters(state, vis, words, (dropped) => lights.light(dropped ? null : lights.focus));
  vis.on('dragEnd', (p) => { if (p.nodes && p.nodes.length) rememberPositions(state, vis); });

  // A node picked in the search box is shown (its class too, if switched
  // off), selected, brought into view and announced to the page.
  const search = createSearchBox(state, words, (row) => {
    filters.reveal(row);
    vis.selectNodes([row], false);
    vis.focus(row, { scale: Math.max(vis.getScale(), 1), animation: false });
    lights.light(row);
    state.announceSelect();
  });
  const relayout = button(words.relayout, 'pw-button');
  const figure = createFigureExport(state, vis, words, lights);
  const toolbar = element('div', { className: 'pw-toolbar' }, { role: 'group', 'aria-label': words.tools });
  toolbar.append(search.element, relayout, ...figure.elements);

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

  // The first picture is the finished layout; report it once it is on screen.
  fitView(vis, container, toolbar);
  let reported = false;
  vis.on('afterDrawing', () => {
    if (reported) return;
    reported = true;
    rememberPositions(state, vis);
    settled();
  });
  vis.redraw();

  return () => {
    figure.detach();
    lights.detach();
    hover.detach();
    unprint();
    window.removeEventListener('beforeprint', beforePrint);
    toolbar.remove();
    filters.region.remove();
    container.classList.remove('pw-network');
  };
}

export const readerTools = { prepare, attach };
