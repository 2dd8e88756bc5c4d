// Colours with an alpha: the drawing library fades only hex and rgb()
// colours, and plans mostly name theirs (darkred, gray), so every colour is
// turned into rgba() here before it is faded.

// { r, g, b, a } for the forms a canvas context gives back for any CSS colour
// (#rrggbb, rgb(...), rgba(...)), or null for anything else.
export function parseColour(text) {
  const s = String(text || '').trim().toLowerCase();
  let m = /^#([0-9a-f]{2})([0-9a-f]{2})([0-9a-f]{2})([0-9a-f]{2})?$/.exec(s);
  if (m) return { r: parseInt(m[1], 16), g: parseInt(m[2], 16), b: parseInt(m[3], 16), a: m[4] ? parseInt(m[4], 16) / 255 : 1 };
  m = /^#([0-9a-f])([0-9a-f])([0-9a-f])$/.exec(s);
  if (m) return { r: parseInt(m[1] + m[1], 16), g: parseInt(m[2] + m[2], 16), b: parseInt(m[3] + m[3], 16), a: 1 };
  m = /^rgba?\(\s*([\d.]+)\s*[, ]\s*([\d.]+)\s*[, ]\s*([\d.]+)\s*(?:[,/]\s*([\d.]+)(%?)\s*)?\)$/.exec(s);
  if (!m) return null;
  const a = m[4] === undefined ? 1 : Number(m[4]) / (m[5] ? 100 : 1);
  return { r: Math.round(Number(m[1])), g: Math.round(Number(m[2])), b: Math.round(Number(m[3])), a: Math.min(1, a) };
}

export function rgbaText({ r, g, b, a }) {
  return `rgba(${r},${g},${b},${Math.round(a * 1000) / 1000})`;
}

// A function from any CSS colour to { r, g, b, a } (null when the browser
// does not know it), through normalise(text), which gives back the browser's
// own form of a colour or null. Answers are kept: a plan has few colours.
export function colourResolver(normalise) {
  const known = new Map();
  return (colour) => {
    const key = String(colour || '');
    if (!known.has(key)) known.set(key, parseColour(key) || parseColour(normalise(key)));
    return known.get(key);
  };
}

// The browser's normaliser: a 2D context turns any colour it accepts into
// #rrggbb or rgba(); one it refuses leaves the previous value, so each
// colour is tried after two different ones to tell a refusal.
export function canvasNormaliser(doc = document) {
  const g = doc.createElement('canvas').getContext('2d');
  return (text) => {
    if (!g) return null;
    g.fillStyle = '#000000';
    g.fillStyle = text;
    const first = g.fillStyle;
    g.fillStyle = '#ffffff';
    g.fillStyle = text;
    return first === g.fillStyle ? first : null;
  };
}

// colour faded to `alpha` times its own opacity, as rgba(); a colour that
// cannot be read stays as it is.
export function faded(resolve, colour, alpha) {
  const c = resolve(colour);
  return c ? rgbaText({ ...c, a: c.a * alpha }) : colour;
}
