// The images of a standalone copy. A copy carries each image that more than
// one use shares once, in a table ahead of the page's own script: a JSON
// script element marked with IMAGE_TABLE_ATTRIBUTE,
//
//   {"placeholder": ADDRESS, "images": {ADDRESS: "data:...", ...}}
//
// and its rows keep their addresses; the placeholder's picture is the one the
// network script element carries. Before the drawing, the node table's image
// values and the pictures of its titles (which the page's own script puts
// into the page as they stand) are given their data: URIs, so that neither
// asks for a file. A page without the table is left as it is.

import { IMAGE_TABLE_ATTRIBUTE, NODE_COLUMNS } from './page-contract.js';

// What the bundler writes: no quote or angle bracket can end the attribute
// the URI goes into.
const DATA_URI = /^data:[\w.+-]+\/[\w.+-]+;base64,[A-Za-z0-9+/]*={0,2}$/;
const TITLE_IMAGE = /<img src="([^"]*)"/g;

const tables = new WeakMap();

// The copy's table as a Map from address to data: URI, or null when the
// document has none (or one that cannot be read). Entries that are not a
// data: URI are left out.
export function imageTableOf(doc, placeholderImage) {
  const element = doc && doc.querySelector ? doc.querySelector(`script[${IMAGE_TABLE_ATTRIBUTE}]`) : null;
  if (!element) return null;
  if (tables.has(element)) return tables.get(element);
  let table = null;
  try {
    const parsed = JSON.parse(element.textContent);
    table = new Map();
    const images = parsed && typeof parsed.images === 'object' && parsed.images ? parsed.images : {};
    for (const [address, uri] of Object.entries(images)) {
      if (typeof uri === 'string' && DATA_URI.test(uri)) table.set(address, uri);
    }
    if (parsed && typeof parsed.placeholder === 'string' && DATA_URI.test(String(placeholderImage))) {
      table.set(parsed.placeholder, placeholderImage);
    }
  } catch (e) {
    table = null;
  }
  tables.set(element, table);
  return table;
}

// `title` with the address of each of its pictures that the table holds
// replaced by the picture's data: URI.
export function titleWithImages(table, title) {
  if (typeof title !== 'string' || !title.includes('<img src="')) return title;
  return title.replace(TITLE_IMAGE, (whole, address) => (table.has(address) ? `<img src="${table.get(address)}"` : whole));
}

function imageOf(table, image) {
  return typeof image === 'string' && table.has(image) ? table.get(image) : image;
}

// Gives the rows of the node table (a DataTable or an array of rows keyed by
// column) the copy's images, in place, so that the page's own script finds
// them too. Rows already given them stay as they are.
export function resolveCopyImages(nodesTable, doc, placeholderImage) {
  const table = imageTableOf(doc, placeholderImage);
  if (!table || !nodesTable) return;
  const [, , , TITLE, , IMAGE] = NODE_COLUMNS;
  if (Array.isArray(nodesTable)) {
    for (const row of nodesTable) {
      if (!row) continue;
      row[TITLE] = titleWithImages(table, row[TITLE]);
      row[IMAGE] = imageOf(table, row[IMAGE]);
    }
    return;
  }
  if (typeof nodesTable.setValue !== 'function') return;
  const columns = { [TITLE]: -1, [IMAGE]: -1 };
  for (let c = 0; c < nodesTable.getNumberOfColumns(); c++) {
    const label = nodesTable.getColumnLabel(c);
    if (columns[label] === -1) columns[label] = c;
  }
  const change = (col, resolve) => {
    if (col < 0) return;
    for (let r = 0; r < nodesTable.getNumberOfRows(); r++) {
      const value = nodesTable.getValue(r, col);
      const resolved = resolve(table, value);
      if (resolved !== value) nodesTable.setValue(r, col, resolved);
    }
  };
  change(columns[TITLE], titleWithImages);
  change(columns[IMAGE], imageOf);
}
