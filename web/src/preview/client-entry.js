// The preview's client, loaded by pages that plotweave-preview serves, after
// the network script: it listens for saves of the plan (Server-Sent Events),
// shows the findings of each, and redraws the page's drawing from the new
// save's page while keeping the reader's view. A refused save leaves the last
// good drawing, marked as stale.

import { createFindingsPanel } from './findings-panel.js';
import { drawnVersionOf, ownScript, pageParts, recordDrawing, replaceImageTable } from './page-script.js';
import { captureView, restoreView, rowsById } from './view-state.js';

const own = document.currentScript;
let shown = Number(new URL(own ? own.src : location.href).searchParams.get('drawn') || 0);
const root = document.documentElement;
root.dataset.previewDrawn = String(shown);

function container() { return document.getElementById('mynetwork'); }
function drawingNetwork() { const n = window.network; return n && n.vis ? n : null; }

function nodeRows() {
  const t = window.nodesTable;
  const ids = [];
  for (let r = 0; t && r < t.getNumberOfRows(); r++) ids.push(String(t.getValue(r, 0)));
  return rowsById(ids);
}

// A finding's node or link, selected and brought into view; the page is
// told of a node as when the reader clicks it.
function pick(finding) {
  const network = drawingNetwork();
  if (!network) return;
  const vis = network.vis;
  if (finding.node !== null) {
    const row = nodeRows().get(finding.node);
    if (row === undefined) return;
    vis.selectNodes([row], false);
    vis.focus(row, { scale: vis.getScale(), animation: false });
    const g = window.google;
    if (g && g.visualization && g.visualization.events) g.visualization.events.trigger(network, 'select', {});
  } else if (finding.link !== null && network.edges && network.edges.get(finding.link)) {
    vis.setSelection({ nodes: [], edges: [finding.link] }, { unselectAll: true, highlightEdges: false });
  }
}

const panel = createFindingsPanel(pick);
function place() {
  if (!document.body) return;
  document.body.insertBefore(panel.element, document.body.firstChild);
}
if (document.body) place();
else document.addEventListener('DOMContentLoaded', place, { once: true });

// The script the drawing was last made from: a save that leaves it as it was
// (a comment, blanks) needs no redraw.
let drawnScript = null;

async function redraw(pageText) {
  const network = drawingNetwork();
  const { script, images } = pageParts(pageText);
  if (!network || !script) return false;
  if (drawnScript === null) drawnScript = ownScript(document);
  if (script === drawnScript) return true;
  // A script that cannot be run leaves the last drawing, marked stale, and
  // is tried again at the next save.
  let drawing = null;
  try {
    drawing = recordDrawing(script, window.google.visualization);
  } catch (e) {
    drawing = null;
  }
  if (!drawing) return false;
  drawnScript = script;
  const view = captureView(network, window.nodesTable, window.linksTable);
  replaceImageTable(document, images);
  window.nodesTable = drawing.nodes;
  window.linksTable = drawing.links;
  // On the drawing on screen when the kit can (a fraction of the time of a
  // fresh one), else afresh.
  if (typeof network.update === 'function') network.update(drawing.nodes, drawing.links, drawing.options);
  else network.draw(drawing.nodes, drawing.links, drawing.options);
  await network.whenSettled();
  restoreView(network, drawing.nodes, drawing.links, view);
  return true;
}

async function fetchText(address) {
  const response = await fetch(address, { cache: 'no-store' });
  if (!response.ok) throw new Error(`${address}: ${response.status}`);
  return response.text();
}

let busy = false;
let again = false;
async function refresh() {
  if (busy) { again = true; return; }
  busy = true;
  try {
    do {
      again = false;
      const state = JSON.parse(await fetchText('/preview/state'));
      if (state.drawn > shown) {
        if (!drawingNetwork()) { location.reload(); return; }
        const page = await fetchText(location.pathname);
        if (await redraw(page)) shown = drawnVersionOf(page) || state.drawn;
      }
      const box = container();
      if (box) box.classList.toggle('pw-stale', state.drawn !== shown || state.state !== 'drawn');
      panel.show(state);
      root.dataset.previewDrawn = String(shown);
      root.dataset.previewVersion = String(state.version);
    } while (again);
  } catch (e) {
    // The server may be gone (Ctrl+C); the page stays as it is.
    root.dataset.previewError = String(e && e.message);
  } finally {
    busy = false;
  }
}

const events = new EventSource('/preview/events');
events.addEventListener('save', () => { refresh(); });
