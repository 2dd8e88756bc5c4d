// links.Network for Plotweave pages, drawn with vis-network. A page uses it
// like this:
//
//   var network = new links.Network(container);
//   google.visualization.events.addListener(network, 'select', onselect);
//   network.draw(nodesTable, linksTable, options);
//   network.setSelection([{row: 0}]);
//   ... network.getSelection()  ->  [{row: n}, ...]
//
// Nodes are keyed by their row in the node table (see drawing-records.js).
// network.update(nodesTable, linksTable, options) shows the tables of a new
// save of the same page on the drawing on screen (the preview's redraw), and
// network.showSelection() lights a selection put back after it.
//
// 'select' is raised only when the user's action leaves at least one node
// selected: the page's handler reads sel[0] without a guard, so a click on
// empty canvas or on a link, which empties the node selection, raises
// nothing. setSelection() raises nothing either.
//
// When the layout has settled the container gets data-layout="settled" and a
// bubbling 'networksettled' DOM event; whenSettled() returns a promise for
// the same moment. The layout uses a fixed seed, so a page is drawn the same
// way every time in a window of the same size.
//
// A build with the reader's tools sets Network.readerTools; draw() then lets
// them place the nodes before the first picture and add their controls after
// it (see tools/index.js). Without them, the drawing settles by simulation.

import { resolveCopyImages } from './copy-images.js';
import { drawingRecords } from './drawing-records.js';
import { movesTo, putIn, recordChanges, takeOut } from './record-changes.js';
import { tableRows } from './table-rows.js';
import { PLACEHOLDER_IMAGE_ATTRIBUTE, placeholderImageFor } from './page-contract.js';
import { createDrawing, createEmptyDrawing, nodePositions } from './vis-adapter.js';

const LAYOUT_SEED = 20170919;

// The placeholder image lives on the same server as this script; a copy of
// the page that carries this script inline hands it over in an attribute.
// Read while the script runs, the only time currentScript names it.
export function placeholderImageOf(script) {
  const given = script && script.getAttribute(PLACEHOLDER_IMAGE_ATTRIBUTE);
  if (given) return given;
  return script && script.src ? placeholderImageFor(script.src) : undefined;
}
const PLACEHOLDER_IMAGE = placeholderImageOf(typeof document !== 'undefined' ? document.currentScript : null);

function isSet(v) {
  return v !== undefined && v !== null && v !== '';
}

// The network each container currently shows, so that a new network on
// the same container retires the old one instead of leaving its
// simulation and listeners running.
const current = new WeakMap();

export function Network(container) {
  if (!container || container.nodeType !== 1) {
    throw new Error('links.Network: a container element is required');
  }
  const previous = current.get(container);
  if (previous) previous._destroy();
  current.set(container, this);
  this.container = container;
  this.vis = null;
  this.nodes = null;
  this.edges = null;
  this.settled = false;
  this._rows = 0;
  this._settledWaiters = [];
  this._ownListeners = {};
  this._detachTools = null;
  this._pendingStep = null;
  this._pendingSoon = null;
  this._pendingSelection = [];
  this._staging = null;
  this._toolState = null;
  this._options = null;
  this._generation = 0;
  container.removeAttribute('data-layout');
}

Network.prototype._destroy = function () {
  this._pendingSoon = null;
  if (this._pendingStep !== null) {
    clearTimeout(this._pendingStep);
    this._pendingStep = null;
  }
  if (this._staging) {
    this._staging.destroy();
    this._staging = null;
  }
  if (this._detachTools) {
    this._detachTools();
    this._detachTools = null;
  }
  this._toolState = null;
  if (this.vis) {
    this.vis.destroy();
    this.vis = null;
  }
};

// The drawing's own options for the page's options.
function drawingOptions(options) {
  const stabilize = options.stabilize === true || options.stabilize === 'true';
  return {
    width: isSet(options.width) ? String(options.width) : '100%',
    height: isSet(options.height) ? String(options.height) : '400px',
    autoResize: true,
    layout: { randomSeed: LAYOUT_SEED, improvedLayout: true },
    interaction: {
      selectable: options.selectable !== false && options.selectable !== 'false',
      selectConnectedEdges: false,
      hover: false,
      tooltipDelay: 200,
    },
    nodes: { brokenImage: PLACEHOLDER_IMAGE },
    edges: { smooth: false },
    physics: {
      solver: 'barnesHut',
      stabilization: { enabled: true, iterations: stabilize ? 1000 : 400, fit: true },
    },
  };
}

// The page draws, then at once draws again on a new network with the same
// tables, then selects its placeholder row. So with the reader's tools,
// draw() only reads the tables; the drawing is made in later tasks (only the last draw's, since a new
// network or a new draw cancels the pending one), and no single task holds
// the page up for long: the opening layout, then the drawing with its tools,
// then the first picture.
Network.prototype.draw = function (nodesTable, linksTable, options) {
  options = options || {};
  this._destroy();
  this.settled = false;
  this.container.removeAttribute('data-layout');
  // A standalone copy's shared images, put where the rows name them.
  if (typeof document !== 'undefined') resolveCopyImages(nodesTable, document, PLACEHOLDER_IMAGE);
  const nodeRows = tableRows(nodesTable);
  const linkRows = tableRows(linksTable);
  this._rows = nodeRows.length;
  this._options = options;
  this._pendingSelection = [];
  // The bare drawing (no tools) is made at once, as it always was. A small
  // plan is made as soon as the page's script is done, before the browser
  // paints anything; a large one in a task of its own.
  if (!Network.readerTools) this._build(nodeRows, linkRows, options);
  else if (nodeRows.length + linkRows.length <= QUICK_SIZE) this._soon(() => this._build(nodeRows, linkRows, options));
  else this._later(() => this._build(nodeRows, linkRows, options));
};

// Runs step once the script running now is done, unless the network is
// retired first.
Network.prototype._soon = function (step) {
  const token = {};
  this._pendingSoon = token;
  queueMicrotask(() => {
    if (this._pendingSoon !== token) return;
    this._pendingSoon = null;
    step();
  });
};

// Runs step in a task of its own, unless the network is retired first.
Network.prototype._later = function (step) {
  this._pendingStep = setTimeout(() => {
    this._pendingStep = null;
    step();
  }, 0);
};

Network.prototype._build = function (nodeRows, linkRows, options) {
  const { nodes, edges } = drawingRecords(nodeRows, linkRows, options, PLACEHOLDER_IMAGE);
  const visOptions = drawingOptions(options);

  // The reader's tools, when the build has them and the page address does
  // not ask for the bare drawing (#plain). They start the drawing from a
  // layout that is already at rest, so the page opens on a readable picture.
  const tools = Network.readerTools || null;
  if (!tools) {
    this._show(createDrawing(this.container, nodes, edges, visOptions), nodes, null, null);
    return;
  }
  const toolState = this._toolStateFor(nodes, edges, nodeRows, linkRows, options, visOptions);
  const changes = tools.prepare(toolState);
  for (const key in changes) visOptions[key] = Object.assign({}, visOptions[key], changes[key]);
  if (toolState.quick) {
    this._run(toolState.work, () => {}, Infinity);
    this._stage(nodes, edges, visOptions, tools, toolState);
    return;
  }
  this._run(toolState.work, () => this._later(() => this._stage(nodes, edges, visOptions, tools, toolState)));
};

// What the reader's tools are given (see tools/index.js). A small plan is
// made in one task, its first picture at once; a large one a part per task.
Network.prototype._toolStateFor = function (nodes, edges, nodeRows, linkRows, options, visOptions) {
  return {
    network: this, container: this.container, nodes, edges, nodeRows, linkRows, options, visOptions,
    announceSelect: () => this._trigger('select', {}),
    quick: nodeRows.length + linkRows.length <= QUICK_SIZE,
  };
};

// Runs the steps of a generator for a slice of time per task, then then().
const SLICE_MS = 40;
const QUICK_SIZE = 300;
Network.prototype._run = function (work, then, slice = SLICE_MS) {
  const start = Date.now();
  for (;;) {
    if (!work || work.next().done) { then(); return; }
    if (Date.now() - start >= slice) { this._later(() => this._run(work, then, slice)); return; }
  }
};

// The drawing for the tools, filled a part per task: an empty drawing that
// paints nothing yet, its nodes, its links; then the tools, and the first
// picture.
Network.prototype._stage = function (nodes, edges, visOptions, tools, toolState) {
  const drawing = createEmptyDrawing(this.container, visOptions);
  if (toolState.quick) {
    drawing.nodes.add(nodes);
    drawing.edges.add(edges);
    drawing.release();
    this._show(drawing, nodes, tools, toolState);
    return;
  }
  this._staging = drawing.vis;
  drawing.nodes.add(nodes);
  this._later(() => {
    drawing.edges.add(edges);
    this._later(() => {
      this._staging = null;
      drawing.release();
      this._show(drawing, nodes, tools, toolState);
    });
  });
};

Network.prototype._show = function (drawing, nodes, tools, toolState) {
  const { vis } = drawing;
  this.nodes = drawing.nodes;
  this.edges = drawing.edges;
  this.vis = vis;
  vis.selectNodes(this._pendingSelection, false);
  this._pendingSelection = [];

  vis.on('select', (params) => {
    if (params && params.nodes && params.nodes.length > 0) this._trigger('select', {});
  });

  const done = this._settler();
  if (tools) {
    this._toolState = toolState;
    this._detachTools = tools.attach(toolState, vis, done);
    return;
  }
  vis.once('stabilized', () => {
    // Show the whole network once it has come to rest.
    vis.fit();
    done();
  });
  if (nodes.length === 0) setTimeout(done, 0);
};

// Lights the selected node's neighbourhood, as a click on it would, without
// moving the view or telling the page: for a selection put back after an
// update. Without the tools there is nothing to light.
Network.prototype.showSelection = function () {
  const state = this._toolState;
  if (state && state.relight) state.relight();
};

// The function that reports the drawing on screen settled, once; only the
// last drawing or update made reports.
Network.prototype._settler = function () {
  const vis = this.vis;
  const generation = ++this._generation;
  return () => {
    if (this.vis !== vis || this.settled || this._generation !== generation) return;
    this.settled = true;
    this.container.setAttribute('data-layout', 'settled');
    const waiters = this._settledWaiters;
    this._settledWaiters = [];
    waiters.forEach((resolve) => resolve(this));
    this.container.dispatchEvent(new CustomEvent('networksettled', { bubbles: true }));
    this._trigger('ready', {});
  };
};

// A new save of the page shown on the drawing already on screen, as the
// preview does: nodes keep their places, only the records that changed are
// replaced, and the reader's tools are made again from the new rows, which
// costs a fraction of a fresh drawing. Without the tools, before the first
// drawing has settled or with other drawing options, it draws afresh.
Network.prototype.update = function (nodesTable, linksTable, options) {
  options = options || {};
  const tools = Network.readerTools;
  const previous = this._toolState;
  if (!tools || !tools.prepareUpdate || !previous || !this.vis || !this.settled
      || JSON.stringify(options) !== JSON.stringify(this._options)) {
    this.draw(nodesTable, linksTable, options);
    return;
  }
  if (typeof document !== 'undefined') resolveCopyImages(nodesTable, document, PLACEHOLDER_IMAGE);
  const nodeRows = tableRows(nodesTable);
  const linkRows = tableRows(linksTable);
  const { nodes, edges } = drawingRecords(nodeRows, linkRows, options, PLACEHOLDER_IMAGE);
  const vis = this.vis;
  const toolState = this._toolStateFor(nodes, edges, nodeRows, linkRows, options, previous.visOptions);
  toolState.update = true;
  tools.prepareUpdate(toolState, previous, vis);

  this.settled = false;
  this.container.removeAttribute('data-layout');
  // The drawing is changed while the tools' controls still stand, so the
  // page is laid out once, after they are made again.
  const at = nodePositions(vis, this._rows);
  const nodeChanges = recordChanges(this.nodes.get(), nodes);
  const edgeChanges = recordChanges(this.edges.get(), edges);
  // Links off before their nodes and back on after them.
  takeOut(this.edges, edgeChanges);
  takeOut(this.nodes, nodeChanges);
  putIn(this.nodes, nodeChanges);
  putIn(this.edges, edgeChanges);
  // A record kept as it was may now stand for another node of the plan
  // (rows moved), which stood elsewhere.
  const changed = new Set([...nodeChanges.replaced, ...nodeChanges.updated].map((n) => n.id));
  const moves = movesTo(at, nodes.filter((n) => !changed.has(n.id)));
  if (moves.length) this.nodes.update(moves);
  this._rows = nodeRows.length;
  this._options = options;
  this._toolState = toolState;
  this._detachTools();
  this._detachTools = tools.attach(toolState, vis, this._settler());
};

// [{row: n}, ...] for the selected nodes (before the drawing is made: the
// ones it will select).
Network.prototype.getSelection = function () {
  const ids = this.vis ? this.vis.getSelectedNodes() : this._pendingSelection;
  return ids.map((id) => ({ row: id }));
};

// Selects the nodes of the given rows; rows outside the table are ignored.
// Raises no event.
Network.prototype.setSelection = function (selection) {
  const rows = this._rows;
  const ids = [];
  (selection || []).forEach((item) => {
    const row = item && typeof item === 'object' ? item.row : item;
    if (Number.isInteger(row) && row >= 0 && row < rows) ids.push(row);
  });
  if (this.vis) this.vis.selectNodes(ids, false);
  else this._pendingSelection = ids;
};

Network.prototype.whenSettled = function () {
  if (this.settled) return Promise.resolve(this);
  return new Promise((resolve) => { this._settledWaiters.push(resolve); });
};

Network.prototype.redraw = function () {
  if (this.vis) this.vis.redraw();
};

Network.prototype.setSize = function (width, height) {
  if (this.vis) this.vis.setSize(width, height);
};

// Events go through the loader's event registry when the page has one, so
// google.visualization.events.addListener(network, ...) receives them.
Network.prototype._trigger = function (name, args) {
  const g = globalThis.google;
  if (g && g.visualization && g.visualization.events && g.visualization.events.trigger) {
    g.visualization.events.trigger(this, name, args);
    return;
  }
  (this._ownListeners[name] || []).slice().forEach((fn) => fn(args));
};

// For pages without the loader.
Network.prototype.addListener = function (name, fn) {
  (this._ownListeners[name] = this._ownListeners[name] || []).push(fn);
};

// Makes links.Network what the page's script finds.
export function publish(global) {
  const links = global.links = global.links || {};
  links.Network = Network;
}
