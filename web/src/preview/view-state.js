// What the reader has done to the drawing, kept across a redraw: zoom and
// pan, where nodes stand (hidden ones too), which nodes and links are
// selected, the legend's switches and the View menu's choices. Nodes and
// links are known by their ids, since a save may move them to other rows; a
// node that is gone is simply left out.

import { movesTo } from '../record-changes.js';
import { nodePositions } from '../vis-adapter.js';

function rowIds(table) {
  const ids = [];
  const n = table ? table.getNumberOfRows() : 0;
  for (let r = 0; r < n; r++) ids.push(String(table.getValue(r, 0)));
  return ids;
}

function linkKeys(table) {
  const keys = [];
  const n = table ? table.getNumberOfRows() : 0;
  for (let r = 0; r < n; r++) keys.push(JSON.stringify([table.getValue(r, 0), table.getValue(r, 1), table.getValue(r, 4)]));
  return keys;
}

// The first row of each id; row 0 is the page's placeholder row.
export function rowsById(ids) {
  const rows = new Map();
  ids.forEach((id, row) => { if (row > 0 && !rows.has(id)) rows.set(id, row); });
  return rows;
}

// Each legend switch, known by its group's heading and its own name (not by
// the count beside the name, which a save may change).
function legendSwitches(container) {
  return [...container.querySelectorAll('.pw-legend .pw-entry')].map((b) => {
    const name = b.querySelector('.pw-entry-name') || b;
    const group = b.closest('.pw-legend-group');
    const heading = group && group.querySelector('.pw-legend-heading');
    return {
      text: `${heading ? heading.textContent : ''}\u0000${name.textContent}`,
      shown: b.getAttribute('aria-pressed') !== 'false',
      button: b,
    };
  });
}

// The View menu's boxes (size by links, tints), known by their text, and its
// layout choice, known by its option's text.
function viewChoices(container) {
  const boxes = [...container.querySelectorAll('.pw-view-menu label')]
    .map((label) => ({ text: label.textContent, input: label.querySelector('input[type="checkbox"]') }))
    .filter((b) => b.input);
  const layout = container.querySelector('.pw-view-menu select.pw-layout');
  return { boxes, layout };
}

export function captureView(network, nodesTable, linksTable) {
  const vis = network.vis;
  if (!vis) return null;
  const ids = rowIds(nodesTable);
  const keys = linkKeys(linksTable);
  const positions = new Map();
  const at = nodePositions(vis, ids.length);
  for (const row in at) if (ids[row] !== undefined && Number(row) > 0) positions.set(ids[row], at[row]);
  const fold = network.container.querySelector('.pw-legend .pw-collapse');
  const choices = viewChoices(network.container);
  return {
    scale: vis.getScale(),
    position: vis.getViewPosition(),
    positions,
    selectedNodes: vis.getSelectedNodes().map((row) => ids[row]).filter((id) => id !== undefined),
    selectedLinks: vis.getSelectedEdges().map((id) => keys[id]).filter((k) => k !== undefined),
    hiddenEntries: legendSwitches(network.container).filter((s) => !s.shown).map((s) => s.text),
    legendOpen: fold ? fold.getAttribute('aria-expanded') !== 'false' : null,
    boxes: choices.boxes.map((b) => [b.text, b.input.checked]),
    layout: choices.layout && choices.layout.selectedIndex > 0
      ? choices.layout.options[choices.layout.selectedIndex].textContent : null,
  };
}

export function restoreView(network, nodesTable, linksTable, view) {
  const vis = network.vis;
  if (!vis || !view) return;
  const ids = rowIds(nodesTable);
  const rows = rowsById(ids);
  // Only nodes that did not come back where they stood are moved.
  const wanted = [...view.positions].map(([id, p]) => ({ id: rows.get(id), x: p.x, y: p.y }));
  const moves = movesTo(nodePositions(vis, ids.length), wanted.filter((w) => w.id !== undefined));
  if (moves.length > 0) network.nodes.update(moves);
  const hidden = new Set(view.hiddenEntries);
  for (const s of legendSwitches(network.container)) if (s.shown && hidden.has(s.text)) s.button.click();
  // A box the reader changed is changed again (its tool does what it did);
  // the layout chosen is only shown as chosen, the nodes standing where
  // they stood.
  const { boxes, layout } = viewChoices(network.container);
  const was = new Map(view.boxes);
  for (const b of boxes) if (was.has(b.text) && was.get(b.text) !== b.input.checked) b.input.click();
  if (layout && view.layout !== null) {
    const option = [...layout.options].find((o) => o.textContent === view.layout);
    if (option) layout.value = option.value;
  }
  const fold = network.container.querySelector('.pw-legend .pw-collapse');
  if (fold && view.legendOpen !== null && (fold.getAttribute('aria-expanded') !== 'false') !== view.legendOpen) fold.click();

  const nodeRows = view.selectedNodes.map((id) => rows.get(id)).filter((row) => row !== undefined);
  const keys = linkKeys(linksTable);
  const linkRows = view.selectedLinks.map((k) => keys.indexOf(k)).filter((i) => i >= 0);
  vis.setSelection({ nodes: nodeRows, edges: linkRows }, { unselectAll: true, highlightEdges: false });
  if (typeof network.showSelection === 'function') network.showSelection();
  vis.moveTo({ position: view.position, scale: view.scale, animation: false });
}
