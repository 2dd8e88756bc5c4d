// The neighbourhood view: only the nodes within k links (1 to 3) of the
// selected node stay on the drawing, for a large plan read one corner at a
// time. A new selection moves the neighbourhood; leaving the view shows
// everything the legend lets through again.

import { element } from './dom.js';
import { animation } from './selection.js';

export const MAX_STEPS = 3;

// The rows at most k links away from start over the adjacency lists
// (start included), as a Set.
export function withinSteps(adjacency, start, k) {
  const near = new Set([start]);
  let frontier = [start];
  for (let step = 0; step < k && frontier.length; step++) {
    const next = [];
    for (const v of frontier) {
      for (const w of adjacency[v]) {
        if (!near.has(w)) { near.add(w); next.push(w); }
      }
    }
    frontier = next;
  }
  return near;
}

// Returns { elements, active(), detach() }. linkShown(edge) tells whether a
// link's relation is switched on in the legend: hidden relations are not
// followed.
export function createNeighbourhood(state, vis, selection, filters, words) {
  const { nodes, edges } = state;
  const toggle = element('button', { type: 'button', className: 'pw-button pw-neighbourhood', textContent: words.neighbourhood },
    { 'aria-pressed': 'false' });
  toggle.title = words.neighbourhoodHint;
  const steps = element('select', { className: 'pw-steps' }, { 'aria-label': words.steps });
  for (let k = 1; k <= MAX_STEPS; k++) steps.appendChild(element('option', { value: String(k), textContent: words.stepCount(k) }));

  steps.hidden = true;
  let on = false;
  let centre = null;
  const adjacency = () => {
    const lists = nodes.map(() => []);
    for (const e of edges) {
      if (filters.hiddenKind.has(filters.kindOfEdge.get(e.id)) || e.from === e.to) continue;
      lists[e.from].push(e.to);
      lists[e.to].push(e.from);
    }
    return lists;
  };
  const show = (move) => {
    if (!on || centre === null) { filters.setOutside(null); return; }
    const near = withinSteps(adjacency(), centre, Number(steps.value) || 1);
    filters.setOutside((row) => !near.has(row));
    if (move) {
      const shown = [...near].filter((row) => !nodes[row].hidden);
      vis.fit({ nodes: shown, maxZoomLevel: 1.5, animation: animation() });
    }
  };

  toggle.addEventListener('click', () => {
    on = !on;
    toggle.setAttribute('aria-pressed', on ? 'true' : 'false');
    steps.hidden = !on;
    centre = on ? selection.selected() : null;
    show(true);
    if (!on) vis.fit({ animation: animation() });
  });
  steps.addEventListener('change', () => show(true));
  selection.onChange((row) => {
    if (!on || row === null || row === centre) return;
    centre = row;
    show(false);
  });

  return { elements: [toggle, steps], active: () => on };
}
