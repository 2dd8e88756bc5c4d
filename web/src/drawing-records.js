// The page's rows as the drawing's node and edge records: shape, colours,
// fonts, sizes, pictures and link styles, from the row, its class (the
// page's options.groups) and the page's defaults, in that order. Rows are
// keyed by the column names of page-contract.js (id, group, text, ...).
//
// Nodes are keyed by their row in the node table, so a selection maps back
// to a row whatever the ids hold (two rows with the same id are two nodes; a
// link attaches to the first row with its id, as the plan reader resolves
// names). A link whose ends are not both in the node table is not drawn.

export const DEFAULT_RADIUS = 5;
export const DEFAULT_IMAGE_RADIUS = 25;
const DEFAULT_BORDER = '#2B7CE9';

// Node styles: the traditional names of this network script and every
// vis-network shape, looked up without regard to case.
const SHAPES = new Map(Object.entries({
  rect: 'box', rectangle: 'box', label: 'text',
  box: 'box', text: 'text', circle: 'circle', ellipse: 'ellipse',
  database: 'database', dot: 'dot', star: 'star', triangle: 'triangle',
  triangledown: 'triangleDown', square: 'square', diamond: 'diamond',
  hexagon: 'hexagon', image: 'image', circularimage: 'circularImage',
}));
const DEFAULT_SHAPE = 'box';
// Shapes whose size is set by the radius; the others grow with their label.
const SIZED_SHAPES = new Set(['dot', 'star', 'triangle', 'triangleDown', 'square', 'diamond', 'hexagon', 'image', 'circularImage']);
const PICTURE_SHAPES = new Set(['image', 'circularImage']);

function isSet(v) {
  return v !== undefined && v !== null && v !== '';
}

function first(...values) {
  return values.find(isSet);
}

function asNumber(v) {
  if (!isSet(v)) return undefined;
  const n = Number(v);
  return Number.isFinite(n) ? n : undefined;
}

function textOrUndefined(v) {
  return isSet(v) ? String(v) : undefined;
}

export function shapeOf(style) {
  if (!isSet(style)) return undefined;
  return SHAPES.get(String(style).toLowerCase()) || DEFAULT_SHAPE;
}

// Link styles: 'line', 'arrow', 'arrow-center', 'dash-line',
// 'moving-arrows', 'moving-dot' and combinations such as 'dash-arrow'.
// Moving styles are drawn still, with their marker in the middle.
export function linkStyle(style) {
  const s = String(style || 'line').toLowerCase();
  const result = { dashes: s.includes('dash'), arrows: undefined };
  const middle = /center|centre|middle|moving/.test(s);
  if (s.includes('arrow')) {
    result.arrows = middle ? { middle: { enabled: true, type: 'arrow' } } : { to: { enabled: true, type: 'arrow' } };
  } else if (/moving/.test(s) && s.includes('dot')) {
    result.arrows = { middle: { enabled: true, type: 'circle', scaleFactor: 0.6 } };
  }
  return result;
}

// A font family list that ends in a generic family, so a face missing on
// this machine (the Korean faces of Windows, say) falls back to one that
// has the glyphs.
export function fontFamily(face) {
  if (!face) return 'sans-serif';
  const f = String(face).trim();
  if (/[,"']/.test(f)) return `${f}, sans-serif`;
  return `"${f}", sans-serif`;
}

// The page's class of that name; only the groups object's own entries
// count, so a class called 'constructor' or 'toString' is an ordinary one.
export function groupOf(groups, name) {
  return isSet(name) && groups && Object.prototype.hasOwnProperty.call(groups, name) ? groups[name] : undefined;
}

function nodeRecord(row, index, groups, nodeOpts, placeholderImage) {
  const group = groupOf(groups, row.group) || {};
  const shape = shapeOf(row.style) || shapeOf(group.style) || shapeOf(nodeOpts.style) || DEFAULT_SHAPE;
  const picture = PICTURE_SHAPES.has(shape);
  const border = first(group.borderColor, nodeOpts.borderColor, DEFAULT_BORDER);
  const background = first(group.backgroundColor, nodeOpts.backgroundColor, 'white');
  const highlight = first(group.highlightColor, nodeOpts.highlightColor, background);
  const node = {
    id: index,
    label: textOrUndefined(row.text),
    shape,
    color: {
      border,
      background,
      highlight: { border, background: highlight },
      hover: { border, background },
    },
    font: {
      face: fontFamily(first(group.fontFace, nodeOpts.fontFace)),
      size: first(asNumber(group.fontSize), asNumber(nodeOpts.fontSize), 14),
      color: first(group.fontColor, nodeOpts.fontColor, 'black'),
    },
  };
  if (SIZED_SHAPES.has(shape)) {
    node.size = first(asNumber(row.radius), asNumber(group.radius), asNumber(nodeOpts.radius),
      picture ? DEFAULT_IMAGE_RADIUS : DEFAULT_RADIUS);
  }
  if (picture) {
    node.image = String(first(row.image, group.image, nodeOpts.image, placeholderImage));
    if (shape === 'image') {
      // A frame in the background colour that turns to the highlight
      // colour, so a selected picture shows that it is selected.
      node.shapeProperties = { useBorderWithImage: true };
      node.borderWidthSelected = 3;
      node.color.border = background;
      node.color.hover.border = background;
      node.color.highlight.border = highlight;
    }
  }
  return node;
}

function edgeRecord(row, index, from, to, linkOpts) {
  const style = linkStyle(first(row.style, linkOpts.style));
  const color = first(row.color, linkOpts.color, DEFAULT_BORDER);
  const edge = {
    id: index,
    from,
    to,
    label: textOrUndefined(row.text),
    title: textOrUndefined(row.title),
    color: { color, highlight: color, hover: color, inherit: false },
    dashes: style.dashes,
    width: first(asNumber(row.width), asNumber(linkOpts.width), 1),
    font: {
      face: fontFamily(linkOpts.fontFace),
      size: first(asNumber(linkOpts.fontSize), 14),
      color: first(linkOpts.fontColor, '#343434'),
    },
  };
  const length = first(asNumber(row.length), asNumber(linkOpts.length));
  if (length !== undefined) edge.length = length;
  if (style.arrows) edge.arrows = style.arrows;
  return edge;
}

// { nodes, edges }: one node per row of nodeRows (its id the row number),
// one edge per row of linkRows whose ends are both found (its id the link's
// row number). options are the page's drawing options; placeholderImage
// stands in for a picture node without a picture.
export function drawingRecords(nodeRows, linkRows, options = {}, placeholderImage = undefined) {
  const nodeOpts = options.nodes || {};
  const linkOpts = options.links || options.edges || {};
  const groups = options.groups || {};
  const rowOfId = new Map();
  const nodes = nodeRows.map((row, index) => {
    if (isSet(row.id) && !rowOfId.has(String(row.id))) rowOfId.set(String(row.id), index);
    return nodeRecord(row, index, groups, nodeOpts, placeholderImage);
  });
  const edges = [];
  linkRows.forEach((row, index) => {
    const from = isSet(row.from) ? rowOfId.get(String(row.from)) : undefined;
    const to = isSet(row.to) ? rowOfId.get(String(row.to)) : undefined;
    if (from !== undefined && to !== undefined) edges.push(edgeRecord(row, index, from, to, linkOpts));
  });
  return { nodes, edges };
}
