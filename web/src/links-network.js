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
import { tableRows } from './table-rows.js';
import { PLACEHOLDER_IMAGE_ATTRIBUTE, placeholderImageFor } from './page-contract.js';
import { createDrawing } from './vis-adapter.js';

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
  container.removeAttribute('data-layout');
}

Network.prototype._destroy = function () {
  if (this._detachTools) {
    this._detachTools();
    this._detachTools = null;
  }
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

Network.prototype.draw = function (nodesTable, linksTable, options) {
  options = options || {};
  this._destroy();
  this.settled = false;
  this.container.removeAttribute('data-layout');

  // A standalone copy's shared images, put where the rows name them.
  if (typeof document !== 'undefined') resolveCopyImages(nodesTable, document, PLACEHOLDER_IMAGE);
  const nodeRows = tableRows(nodesTable);
  const linkRows = tableRows(linksTable);
  const { nodes, edges } = drawingRecords(nodeRows, linkRows, options, PLACEHOLDER_IMAGE);
  this._rows = nodeRows.length;
  const visOptions = drawingOptions(options);

  // The reader's tools, when the build has them and the page address does
  // not ask for the bare drawing (#plain). They start the drawing from a
  // layout that is already at rest, so the page opens on a readable picture.
  const tools = Network.readerTools || null;
  let toolState = null;
  if (tools) {
    toolState = {
      network: this, container: this.container, nodes, edges, nodeRows, linkRows, options, visOptions,
      announceSelect: () => this._trigger('select', {}),
    };
    const changes = tools.prepare(toolState);
    for (const key in changes) visOptions[key] = Object.assign({}, visOptions[key], changes[key]);
  }

  const drawing = createDrawing(this.container, nodes, edges, visOptions);
  const { vis } = drawing;
  this.nodes = drawing.nodes;
  this.edges = drawing.edges;
  this.vis = vis;

  vis.on('select', (params) => {
    if (params && params.nodes && params.nodes.length > 0) this._trigger('select', {});
  });

  const done = () => {
    if (this.vis !== vis || this.settled) return;
    this.settled = true;
    this.container.setAttribute('data-layout', 'settled');
    const waiters = this._settledWaiters;
    this._settledWaiters = [];
    waiters.forEach((resolve) => resolve(this));
    this.container.dispatchEvent(new CustomEvent('networksettled', { bubbles: true }));
    this._trigger('ready', {});
  };
  if (tools) {
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

// [{row: n}, ...] for the selected nodes.
Network.prototype.getSelection = function () {
  if (!this.vis) return [];
  return this.vis.getSelectedNodes().map((id) => ({ row: id }));
};

// Selects the nodes of the given rows; rows outside the table are ignored.
// Raises no event.
Network.prototype.setSelection = function (selection) {
  if (!this.vis) return;
  const rows = this._rows;
  const ids = [];
  (selection || []).forEach((item) => {
    const row = item && typeof item === 'object' ? item.row : item;
    if (Number.isInteger(row) && row >= 0 && row < rows) ids.push(row);
  });
  this.vis.selectNodes(ids, false);
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
