// The view tools beside the toolbar's own: steering (fit, zoom, full screen),
// the link to a node, the neighbourhood view, the table, the keyboard on the
// drawing and the View menu for large plans. index.js makes the selection
// and hands it here with the legend's filters.

import { addStyle, element } from './dom.js';
import { createKeyboard } from './keyboard.js';
import { createNeighbourhood } from './neighbourhood.js';
import { createPermalink } from './permalink.js';
import { textOf } from './search-box.js';
import { createTableView } from './table-view.js';
import { createViewControls } from './view-controls.js';
import { createViewOptions } from './view-options.js';
import { viewWords } from './view-words.js';
import { VIEW_STYLE } from './view-style.js';

// Lists of the rows linked to each row (each once, no row itself).
export function neighbourLists(count, edges) {
  const sets = Array.from({ length: count }, () => new Set());
  for (const e of edges) {
    if (e.from === e.to) continue;
    sets[e.from].add(e.to);
    sets[e.to].add(e.from);
  }
  return sets.map((s) => [...s].sort((a, b) => a - b));
}

// Returns { controls (toolbar elements), regions (to put under the legend),
// fitFrame() (sizes the drawing to the room it has, once the tools are on
// the page), opened(done) (once the first picture is on screen; calls done()
// when the view is ready), detach() }.
export function attachViews(state, vis, { selection, filters, toolbarOf, rememberPositions }) {
  const words = viewWords(navigator.language);
  addStyle('pw-views-style', VIEW_STYLE);
  const { nodes, nodeRows, edges } = state;
  const nameOf = (row) => nodes[row].label || textOf(nodeRows[row].title) || String(nodeRows[row].id);
  const neighbours = neighbourLists(nodes.length, edges);

  const steering = createViewControls(state, vis, selection, words, toolbarOf);
  const permalink = createPermalink(state, selection, words);
  const neighbourhood = createNeighbourhood(state, vis, selection, filters, words);
  const table = createTableView(state, selection, words, nameOf);
  const keyboard = createKeyboard(state, vis, selection, words, neighbours);
  const options = createViewOptions(state, vis, words, { rememberPositions, fit: steering.fit });

  const group = element('span', { className: 'pw-view-group' });
  group.append(...steering.elements);
  return {
    controls: [group, ...neighbourhood.elements, table.element, options.element, permalink.element],
    regions: [table.region],
    fitFrame: steering.resize,
    opened: (done) => permalink.open(done),
    detach: () => {
      steering.detach();
      permalink.detach();
      keyboard.detach();
      options.detach();
    },
  };
}
