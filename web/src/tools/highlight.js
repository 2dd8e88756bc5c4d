// Neighbour highlighting: the node under the pointer, or else the selected
// one, stays lit with its neighbours and the links between them; the rest
// of the network is dimmed.

import { isDummyRow } from '../page-contract.js';
import { drawingFrame } from '../vis-adapter.js';
import { browserFade, dimmedEdge, dimmedNode, ownEdge, ownNode } from './dimming.js';

// Returns { light(row or null), focus, hovering, detach() }: light() lights
// a node's neighbourhood (null: everything); focus is the lit node or null,
// hovering the node under the pointer or null.
export function createHighlight(state, vis) {
  const { network, nodes, edges, nodeRows } = state;
  const neighbours = nodes.map(() => []);
  for (const e of edges) {
    neighbours[e.from].push(e.to);
    neighbours[e.to].push(e.from);
  }

  const fade = browserFade();
  const nodeDim = [];
  const edgeDim = [];
  let focus = null;
  let dimmed = false;
  let hovering = null;
  const light = (id) => {
    focus = id !== null && id !== undefined && nodes[id] && !nodes[id].hidden ? id : null;
    if (focus === null && !dimmed) return;
    const near = new Set();
    if (focus !== null) {
      near.add(focus);
      for (const w of neighbours[focus]) near.add(w);
    }
    // The records keep their own look; only the drawing gets the dimmed one.
    const nodeUpdates = [];
    nodes.forEach((n, i) => {
      const dim = focus !== null && !near.has(i);
      if (!!nodeDim[i] !== dim) { nodeDim[i] = dim; nodeUpdates.push(dim ? dimmedNode(n, fade) : ownNode(n)); }
    });
    const edgeUpdates = [];
    edges.forEach((e, k) => {
      const dim = focus !== null && e.from !== focus && e.to !== focus;
      if (!!edgeDim[k] !== dim) { edgeDim[k] = dim; edgeUpdates.push(dim ? dimmedEdge(e, fade) : ownEdge(e)); }
    });
    dimmed = focus !== null;
    if (nodeUpdates.length) network.nodes.update(nodeUpdates);
    if (edgeUpdates.length) network.edges.update(edgeUpdates);
  };

  vis.on('hoverNode', (p) => { hovering = p.node; light(p.node); });
  // Back to the selected node's neighbourhood (the page's own initial
  // selection of its placeholder row lights nothing).
  const unpoint = () => {
    hovering = null;
    const sel = vis.getSelectedNodes();
    light(sel.length && !isDummyRow(nodeRows[sel[0]], sel[0]) ? sel[0] : null);
  };
  vis.on('blurNode', unpoint);
  // The drawing does not report a pointer that leaves it over a node.
  const onLeave = () => { if (hovering !== null) unpoint(); };
  const frame = drawingFrame(vis);
  frame.addEventListener('pointerleave', onLeave);
  vis.on('select', (p) => {
    if (hovering !== null) return;
    light(p.nodes && p.nodes.length ? p.nodes[0] : null);
  });

  return {
    light,
    get focus() { return focus; },
    get hovering() { return hovering; },
    detach: () => frame.removeEventListener('pointerleave', onLeave),
  };
}
