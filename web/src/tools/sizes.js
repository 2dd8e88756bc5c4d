// How much room each node takes on the drawing, estimated before anything
// is drawn, so the opening layout can keep boxes and labels apart.

// Shapes whose label is drawn inside them.
const LABEL_INSIDE = { box: 1, text: 1, database: 1, ellipse: 1, circle: 1 };

let measurer = null;

function textWidth(text, font) {
  if (!measurer) measurer = document.createElement('canvas').getContext('2d');
  measurer.font = font;
  let widest = 0;
  for (const line of String(text).split('\n')) widest = Math.max(widest, measurer.measureText(line).width);
  return widest;
}

// node: the drawing's node record (shape, label, size, font).
export function nodeBox(node) {
  const fontSize = (node.font && node.font.size) || 14;
  const lines = node.label ? String(node.label).split('\n').length : 0;
  const tw = node.label ? textWidth(node.label, `${fontSize}px ${(node.font && node.font.face) || 'sans-serif'}`) : 0;
  const th = lines * (fontSize + 2);
  if (LABEL_INSIDE[node.shape]) {
    if (node.shape === 'ellipse') return { w: Math.max(tw * 1.45, 40) + 10, h: Math.max(th * 1.6, 24) };
    if (node.shape === 'circle') { const d = Math.max(tw, th) + 14; return { w: d, h: d }; }
    return { w: tw + 14, h: Math.max(th, fontSize) + 12 };
  }
  const size = node.size || 5;
  // Pictures keep their proportions; allow for a wide one.
  const shapeWidth = node.shape === 'image' ? size * 3 : size * 2;
  return { w: Math.max(shapeWidth, tw) + 4, h: size * 2 + (lines ? th + 6 : 0) };
}
