// How a node or link looks while it is dimmed: every colour it is drawn
// with, label included, faded through an alpha. The drawing library's own
// opacity fades only hex and rgb() colours and never labels, so it is set
// as well only for what has no colour of its own (pictures).

import { colourResolver, canvasNormaliser, faded } from './colours.js';

export const DIM = 0.15;

const fadeAll = (fade, obj) => {
  const out = {};
  for (const [k, v] of Object.entries(obj || {})) {
    if (typeof v === 'string') out[k] = fade(v);
    else if (v && typeof v === 'object') out[k] = fadeAll(fade, v);
    else out[k] = v;
  }
  return out;
};

// The update that dims a node record, and the one that gives it its own look
// back. fade(colour) is the colour dimmed.
export function dimmedNode(record, fade) {
  return {
    id: record.id,
    opacity: DIM,
    color: fadeAll(fade, record.color),
    font: { ...record.font, color: fade(record.font.color) },
  };
}

export function dimmedEdge(record, fade) {
  return {
    id: record.id,
    color: { ...fadeAll(fade, record.color), inherit: false },
    font: { ...record.font, color: fade(record.font.color), strokeColor: fade('#ffffff') },
  };
}

export function ownNode(record) {
  return { id: record.id, opacity: 1, color: record.color, font: record.font };
}

export function ownEdge(record) {
  return { id: record.id, color: record.color, font: { ...record.font, strokeColor: '#ffffff' } };
}

// fade(colour) for this browser, DIM times each colour's own alpha.
export function browserFade(alpha = DIM) {
  const resolve = colourResolver(canvasNormaliser(document));
  return (colour) => faded(resolve, colour, alpha);
}
