// What a new save's page would draw: its own script is run against stand-ins
// for the loader and links.Network, which only record the tables and options
// it hands to draw(). The page's DataTables are the loader's own, so the
// drawing reads them exactly as it read the first page's.

import { IMAGE_TABLE_ATTRIBUTE } from '../page-contract.js';

const isOwn = (text) => /function\s+draw\s*\(/.test(text) && /nodesTable/.test(text);

// The page's own script in a document, which fills the tables and defines
// draw(), or null. It is the last inline script of the head that does: a
// standalone page carries the kit's scripts inline before it.
export function ownScript(doc) {
  const scripts = [...doc.querySelectorAll('head script:not([src])')].reverse();
  const own = scripts.find((s) => isOwn(s.textContent));
  return own ? own.textContent : null;
}

// The inline scripts of a page's head as [{ attributes, text }], read from
// the page's text the way the browser reads them (each from its tag to its
// end tag, line ends as LF) rather than by parsing the whole page as a
// document: a copy carries most of a megabyte of the kit's scripts, and a
// save is to be shown at once.
function headScripts(pageText) {
  const text = String(pageText);
  const tags = /<script(?=[\s/>])([^>]*)>|<\/head/gi;
  // As the browser ends a script: at "</script" followed by a blank, "/" or
  // ">" ("</scripts>" in a label does not end it).
  const ends = /<\/script(?=[\s/>])/gi;
  const scripts = [];
  for (let m; (m = tags.exec(text)) !== null && m[0][1] !== '/';) {
    ends.lastIndex = tags.lastIndex;
    if (!ends.exec(text)) break;
    const body = text.slice(tags.lastIndex, ends.lastIndex - '</script'.length);
    if (!/\ssrc\s*=/i.test(m[1])) scripts.push({ attributes: m[1], text: body.replace(/\r\n?/g, '\n') });
    tags.lastIndex = ends.lastIndex;
  }
  return scripts;
}

// { script: the page's own script (as ownScript finds it in a document) or
// null, images: the text of a copy's table of shared images or null }.
export function pageParts(pageText) {
  const scripts = headScripts(pageText);
  const own = scripts.filter((s) => isOwn(s.text)).pop();
  const marked = new RegExp(`\\s${IMAGE_TABLE_ATTRIBUTE}(?![\\w-])`, 'i');
  const images = scripts.filter((s) => marked.test(s.attributes)).pop();
  return { script: own ? own.text : null, images: images ? images.text : null };
}

// Puts a new save's table of shared images in place of the document's, so
// that the drawing finds the pictures the save shares (a picture used once
// more is moved into the table). The table is JSON, set as text.
export function replaceImageTable(doc, text) {
  const old = doc.querySelector(`script[${IMAGE_TABLE_ATTRIBUTE}]`);
  if (text === null) { if (old) old.remove(); return; }
  if (old && old.textContent === text) return;
  const table = doc.createElement('script');
  table.type = 'application/json';
  table.setAttribute(IMAGE_TABLE_ATTRIBUTE, '');
  table.textContent = text;
  if (old) old.replaceWith(table);
  else doc.head.appendChild(table);
}

// The save a served page was made from, as the preview server marks it.
export function drawnVersionOf(pageText) {
  const m = /\/preview\/client\.js\?drawn=(\d+)/.exec(String(pageText));
  return m ? Number(m[1]) : 0;
}

// { nodes, links, options } of the last draw() the script makes, or null.
// `visualization` is the loader's google.visualization.
export function recordDrawing(scriptText, visualization) {
  let drawing = null;
  let onLoad = null;
  function RecordingNetwork() {}
  RecordingNetwork.prototype.draw = function (nodes, links, options) { drawing = { nodes, links, options: options || {} }; };
  RecordingNetwork.prototype.setSelection = function () {};
  RecordingNetwork.prototype.getSelection = function () { return []; };
  const google = {
    load() {},
    setOnLoadCallback(fn) { onLoad = fn; },
    visualization: { DataTable: visualization.DataTable, events: { addListener() {}, removeListener() {}, trigger() {} } },
  };
  const elements = { getElementById: () => ({ innerHTML: '', appendChild() {} }) };
  // The page's script is the one the browser ran when the page was opened;
  // it runs here with no reach to the real document or network.
  // eslint-disable-next-line no-new-func
  const run = new Function('google', 'links', 'document', `${scriptText}\n;return typeof draw === 'function' ? draw : null;`);
  const draw = run(google, { Network: RecordingNetwork }, elements);
  const start = onLoad || draw;
  if (typeof start === 'function') start();
  return drawing;
}
