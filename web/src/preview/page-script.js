// What a new save's page would draw: its own script is run against stand-ins
// for the loader and links.Network, which only record the tables and options
// it hands to draw(). The page's DataTables are the loader's own, so the
// drawing reads them exactly as it read the first page's.

const isOwn = (text) => /function\s+draw\s*\(/.test(text) && /nodesTable/.test(text);

// The page's own script in a document, which fills the tables and defines
// draw(), or null. It is the last inline script of the head that does: a
// standalone page carries the kit's scripts inline before it.
export function ownScript(doc) {
  const scripts = [...doc.querySelectorAll('head script:not([src])')].reverse();
  const own = scripts.find((s) => isOwn(s.textContent));
  return own ? own.textContent : null;
}

// The same in a page's text, read the way the browser reads a head's
// scripts (each from its tag to the next </script, line ends as LF) rather
// than by parsing the whole page as a document: a copy carries most of a
// megabyte of the kit's scripts, and a save is to be shown at once.
export function drawingScript(pageText) {
  const text = String(pageText);
  const tags = /<script(?=[\s/>])([^>]*)>|<\/head/gi;
  const ends = /<\/script/gi;
  let own = null;
  for (let m; (m = tags.exec(text)) !== null && m[0][1] !== '/';) {
    ends.lastIndex = tags.lastIndex;
    if (!ends.exec(text)) break;
    const body = text.slice(tags.lastIndex, ends.lastIndex - '</script'.length);
    if (!/\ssrc\s*=/i.test(m[1]) && isOwn(body)) own = body.replace(/\r\n?/g, '\n');
    tags.lastIndex = ends.lastIndex;
  }
  return own;
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
