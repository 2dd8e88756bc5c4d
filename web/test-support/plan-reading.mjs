// A plain reading of a plan, enough for the example plans and the generated
// full-capacity plan: it gives the tests their own expectation of what a
// page must hold and show, written apart from the programs' reader.

import { readFileSync } from 'node:fs';

export function decodePlan(bytes) {
  if (bytes[0] === 0xef && bytes[1] === 0xbb && bytes[2] === 0xbf) return new TextDecoder('utf-8').decode(bytes.subarray(3));
  if (bytes[0] === 0xff && bytes[1] === 0xfe) return new TextDecoder('utf-16le').decode(bytes.subarray(2));
  if (bytes[0] === 0xfe && bytes[1] === 0xff) return new TextDecoder('utf-16be').decode(bytes.subarray(2));
  return new TextDecoder('euc-kr').decode(bytes);
}

export function readPlan(file) {
  const plan = { classes: new Map(), relations: new Map(), nodes: [], links: [] };
  let section = '';
  for (const raw of decodePlan(readFileSync(file)).split('\n')) {
    const line = raw.replace(/\r$/, '');
    const fields = line.split(/\s+/).filter(Boolean);
    if (fields.length === 0) continue;
    if (fields[0].startsWith('#')) {
      section = fields[0].toUpperCase().slice(0, 5);
      continue;
    }
    if (section === '#CLAS') plan.classes.set(fields[0], { border: fields[1], style: fields[2], labelFlag: fields.length > 3 ? parseInt(fields[3], 10) : 1 });
    if (section === '#RELA') plan.relations.set(fields[0], { color: fields[1], style: fields[2], labelFlag: fields.length > 3 ? parseInt(fields[3], 10) : 0 });
    if (section === '#NODE') plan.nodes.push(fields);
    if (section === '#LINK') plan.links.push(fields);
  }
  return plan;
}

// Whether a node line asks for its picture to be drawn in place of the node.
export function isImageNode(fields) {
  return fields.length >= 6 && parseInt(fields[5], 10) === 1;
}

// The title markup a node line must produce in the given build.
export function expectedTitle(fields, target) {
  const [, , label, ref, image] = fields;
  const n = fields.length >= 6 ? 6 : fields.length;
  if (n === 3) return label;
  if (n === 4 || isImageNode(fields)) return `<a href="${ref}" target="${target}">${label}</a>`;
  return `<a href="${ref}" target="${target}"><img src="${image}"/></a>`;
}

// Underscores stand for blanks in the texts a page shows.
export const shown = (text) => text.replaceAll('_', ' ');
