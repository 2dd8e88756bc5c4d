// What a figure shows, gathered from the drawing: the nodes and links it
// shows where it shows them, in the looks the page gives them (never the
// dimmed, selected or hovered ones), the legend of what is shown and the
// page's first caption.

import { classOfRow, firstCaption, isDummyRow } from '../page-contract.js';
import { drawnNode, nodePicture, shownEdgeIds, shownNodeIds } from '../vis-adapter.js';
import { nodeBox } from './sizes.js';
import { figureFontFamily, svgFigure, svgKey } from './svg-figure.js';

let measurer = null;
export function measureText(text, font) {
  if (!measurer) measurer = document.createElement('canvas').getContext('2d');
  measurer.font = `${font.size || 14}px ${figureFontFamily(font.face)}`;
  return measurer.measureText(String(text)).width;
}

// A picture as a data: address when the browser lets the page read it back;
// otherwise its own address, which the figure then refers to.
function pictureHref(image) {
  if (!image || !image.complete || !image.naturalWidth) return image ? image.src : null;
  try {
    const c = document.createElement('canvas');
    c.width = image.naturalWidth;
    c.height = image.naturalHeight;
    c.getContext('2d').drawImage(image, 0, 0);
    return c.toDataURL('image/png');
  } catch (e) {
    return image.src;
  }
}

export function figureModel(state, vis, { legend, caption, pictures = true }) {
  const { nodes: records, edges: edgeRecords, nodeRows, linkRows } = state;
  const ids = shownNodeIds(vis).filter((id) => records[id] && !isDummyRow(nodeRows[id], id));
  const index = new Map();
  const positions = vis.getPositions(ids);
  const nodes = ids.map((id, k) => {
    index.set(id, k);
    const r = records[id];
    const drawn = drawnNode(vis, id);
    const box = drawn.width !== undefined ? { w: drawn.width, h: drawn.height } : nodeBox(r);
    const picture = r.shape === 'image' || r.shape === 'circularImage';
    return {
      x: positions[id].x, y: positions[id].y, w: box.w, h: box.h, shape: r.shape, size: r.size,
      label: r.label, font: r.font, border: r.color.border, background: r.color.background,
      picture: picture && pictures ? { href: pictureHref(nodePicture(vis, id)) } : null,
    };
  });
  const byId = new Map(edgeRecords.map((e) => [e.id, e]));
  const edges = shownEdgeIds(vis).map((id) => byId.get(id))
    .filter((e) => e && index.has(e.from) && index.has(e.to))
    .map((e) => ({ from: index.get(e.from), to: index.get(e.to), colour: e.color.color, width: e.width, dashes: e.dashes,
      arrows: e.arrows || null, label: e.label, font: e.font, relation: linkRows[e.id] ? String(linkRows[e.id].title || '') : '' }));

  let key = null;
  if (legend) {
    const classes = new Map();
    for (const id of ids) {
      const name = classOfRow(nodeRows[id]);
      const r = records[id];
      const picture = r.shape === 'image' || r.shape === 'circularImage';
      const c = classes.get(name) || { name, shape: null, border: null, picture: false };
      if (picture) c.picture = true;
      else if (!c.shape) { c.shape = r.shape; c.border = r.color.border; }
      classes.set(name, c);
    }
    const relations = new Map();
    for (const e of edges) {
      if (e.relation && !relations.has(e.relation)) relations.set(e.relation, { name: e.relation, colour: e.colour, dashes: e.dashes, arrows: e.arrows });
    }
    key = { classes: [...classes.values()], relations: [...relations.values()] };
  }
  return { nodes, edges, legend: key, caption: caption || null };
}

// The figure as SVG text: { text, width, height }.
export function svgOfDrawing(state, vis, words, options) {
  return svgFigure(figureModel(state, vis, options), { measure: measureText, words });
}

// The legend and caption alone, `width` wide, to go under a PNG.
export function svgKeyOfDrawing(state, vis, words, options, width) {
  return svgKey(figureModel(state, vis, { ...options, pictures: false }), { measure: measureText, words, width });
}

export { firstCaption };
