// How much room each node takes on the drawing, estimated before anything
// is drawn, so the opening layout can keep boxes and labels apart.
//
// Label widths are estimated from their characters, not measured: measuring
// text makes the browser load the fonts (Hangul fallbacks included) before
// the first picture, which cost half a second on a large plan for labels
// that are too small to be drawn at the opening zoom anyway. The drawing
// measures the labels it draws itself. The estimate errs on the wide side,
// so boxes laid out apart stay apart.

// Shapes whose label is drawn inside them.
const LABEL_INSIDE = { box: 1, text: 1, database: 1, ellipse: 1, circle: 1 };

// The width of one character, in ems, by its kind.
function charWidth(code) {
  if (code >= 0x1100 && code <= 0x11ff) return 1;
  if (code >= 0x2e80 && code <= 0xa4cf) return 1;
  if (code >= 0xac00 && code <= 0xd7a3) return 1;
  if (code >= 0xf900 && code <= 0xfaff) return 1;
  if (code >= 0xff00 && code <= 0xff60) return 1;
  if (code === 0x20) return 0.3;
  if (code >= 0x41 && code <= 0x5a) return code === 0x49 ? 0.32 : code === 0x4d || code === 0x57 ? 0.9 : 0.7;
  if (code >= 0x61 && code <= 0x7a) return 'fijlrt'.includes(String.fromCharCode(code)) ? 0.32 : code === 0x6d || code === 0x77 ? 0.85 : 0.58;
  if (code >= 0x30 && code <= 0x39) return 0.58;
  if (code < 0x80) return '.,:;|!\'`()[]'.includes(String.fromCharCode(code)) ? 0.34 : 0.6;
  return 0.7;
}

// The estimated width in pixels of a label at a font size.
export function textWidth(text, fontSize) {
  let widest = 0;
  for (const line of String(text).split('\n')) {
    let em = 0;
    for (const c of line) em += charWidth(c.codePointAt(0));
    widest = Math.max(widest, em * fontSize);
  }
  return widest;
}

// node: the drawing's node record (shape, label, size, font).
export function nodeBox(node) {
  const fontSize = (node.font && node.font.size) || 14;
  const lines = node.label ? String(node.label).split('\n').length : 0;
  const tw = node.label ? textWidth(node.label, fontSize) : 0;
  const th = lines * (fontSize + 2);
  if (LABEL_INSIDE[node.shape]) {
    if (node.shape === 'ellipse') return { w: Math.max(tw * 1.45, 40) + 10, h: Math.max(th * 1.6, 24) };
    if (node.shape === 'circle') { const d = Math.max(tw, th) + 14; return { w: d, h: d }; }
    // The drawing makes a database as tall as it is wide.
    if (node.shape === 'database') { const d = tw + 14; return { w: d, h: Math.max(d, th + 12) }; }
    return { w: tw + 14, h: Math.max(th, fontSize) + 12 };
  }
  const size = node.size || 5;
  // Pictures keep their proportions; allow for a wide one.
  const shapeWidth = node.shape === 'image' ? size * 3 : size * 2;
  return { w: Math.max(shapeWidth, tw) + 4, h: size * 2 + (lines ? th + 6 : 0) };
}
