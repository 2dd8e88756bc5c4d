// Everything the kit does with vis-network beyond its documented interface:
// the library's global, its node bodies, its canvas and its renderer. These
// change between releases without notice, so they are reached from here only;
// an upgrade of vis-network is checked against this file (and the browser
// tests). The rest of the kit uses the documented Network and DataSet
// methods (on, getPositions, selectNodes, moveTo, DataSet.update, ...).

// The library the build puts in front of the kit (vis-network's standalone
// bundle defines the global `vis`).
function library() {
  const vis = typeof globalThis !== 'undefined' ? globalThis.vis : undefined;
  if (!vis || !vis.Network || !vis.DataSet) throw new Error('links.Network: the vis-network bundle is missing');
  return vis;
}

// Checks at load time that the library is there, so a broken build fails
// when the script runs rather than when a page draws.
export function requireLibrary() {
  library();
}

// A drawing of the node and edge records in container: { vis, nodes, edges },
// nodes and edges being the DataSets it shows.
export function createDrawing(container, nodeRecords, edgeRecords, options) {
  const { Network, DataSet } = library();
  const nodes = new DataSet(nodeRecords);
  const edges = new DataSet(edgeRecords);
  return { vis: new Network(container, { nodes, edges }, options), nodes, edges };
}

// An empty drawing (no physics) to be filled through its DataSets, which
// paints nothing until release() is called: { vis, nodes, edges, release }.
//
// Data handed to the constructor makes a drawing without physics fit the
// view to it at once, which sizes every node and so measures every label,
// drawn or not: most of the cost of a large plan's first picture. Records
// added afterwards come in without that fit, and labels are measured as
// they are drawn; the caller sets the view itself.
export function createEmptyDrawing(container, options) {
  const { Network, DataSet } = library();
  const nodes = new DataSet();
  const edges = new DataSet();
  const vis = new Network(container, { nodes, edges }, options);
  vis.renderer.allowRedraw = false;
  return { vis, nodes, edges, release: () => { vis.renderer.allowRedraw = true; } };
}

// Where the nodes with ids 0 to count - 1 stand, hidden ones included:
// getPositions() without ids leaves the hidden ones out.
export function nodePositions(vis, count) {
  return vis.getPositions(Array.from({ length: count }, (_, i) => i));
}

// The ids of the nodes the drawing shows (hidden ones left out).
export function shownNodeIds(vis) {
  return vis.body.nodeIndices;
}

// Where a shown node stands and, once it has been drawn, how big it is:
// { x, y, width, height, options }; width and height are undefined before
// the node's shape has been measured.
export function drawnNode(vis, id) {
  const n = vis.body.nodes[id];
  const measured = n.shape && n.shape.width !== undefined;
  return {
    x: n.x,
    y: n.y,
    width: measured ? n.shape.width || 0 : undefined,
    height: measured ? n.shape.height || 0 : undefined,
    options: n.options,
  };
}

// The element that holds the drawing's canvas: its size is the drawing's
// size on the page, and it receives the pointer.
export function drawingFrame(vis) {
  return vis.canvas.frame;
}

// The canvas the drawing is painted on.
export function drawingCanvas(vis) {
  return vis.canvas.frame.canvas;
}

// Paints the pictures for which replace(image) holds with paint(ctx, factor,
// left, top, width, height) instead, until the returned undo() is called.
// Returns { count, undo }, count being how many distinct pictures that was.
export function replacePictures(vis, replace, paint) {
  const replaced = new Set();
  for (const id of vis.body.nodeIndices) {
    const obj = vis.body.nodes[id].imageObj;
    if (!obj || replaced.has(obj) || !obj.image) continue;
    if (replace(obj.image)) replaced.add(obj);
  }
  for (const obj of replaced) obj.drawImageAtPosition = paint;
  return { count: replaced.size, undo: () => { for (const obj of replaced) delete obj.drawImageAtPosition; } };
}

// Paints the whole drawing once onto `canvas` (which must stand on the page
// at width x height CSS pixels) at `pixelRatio` device pixels per drawing
// unit, with the drawing point (cx, cy) in its middle; then puts the view the
// reader has back. The screen is not repainted here: the caller does that
// (vis.redraw()) once whatever it changed for the figure is undone.
export function paintOnto(vis, canvas, { pixelRatio, cx, cy, width, height }) {
  const frame = vis.canvas.frame;
  const real = frame.canvas;
  const view = vis.body.view;
  const saved = { scale: view.scale, x: view.translation.x, y: view.translation.y, ratio: vis.canvas.pixelRatio };
  // A figure shows nothing of the reader's pointing: no selection, no hover.
  const marked = [...Object.values(vis.body.nodes), ...Object.values(vis.body.edges)].filter((o) => o.selected || o.hover);
  const states = marked.map((o) => [o.selected, o.hover]);
  for (const o of marked) { o.selected = false; o.hover = false; }
  try {
    frame.canvas = canvas;
    vis.canvas.pixelRatio = pixelRatio;
    view.scale = 1;
    view.translation = { x: width / 2 - cx, y: height / 2 - cy };
    vis.renderer._redraw();
  } finally {
    frame.canvas = real;
    vis.canvas.pixelRatio = saved.ratio;
    view.scale = saved.scale;
    view.translation = { x: saved.x, y: saved.y };
    marked.forEach((o, k) => { [o.selected, o.hover] = states[k]; });
  }
}

// The ids of the links the drawing shows (hidden ones left out).
export function shownEdgeIds(vis) {
  return vis.body.edgeIndices;
}

// The picture element a picture node is drawn with, or null.
export function nodePicture(vis, id) {
  const obj = vis.body.nodes[id] && vis.body.nodes[id].imageObj;
  return obj && obj.image ? obj.image : null;
}

// Marks the drawing with a class of the kit's own (for the print stylesheet).
export function markDrawing(vis, className) {
  vis.canvas.frame.classList.add(className);
  return () => vis.canvas.frame.classList.remove(className);
}
