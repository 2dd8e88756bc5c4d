// The legend and the filters it switches: one entry per class that has nodes
// on the page and one per link appearance; switching an entry off hides its
// nodes (and their links) or its links.

import { classOfRow, isDummyRow, isPictureRow } from '../page-contract.js';
import { groupOf } from '../drawing-records.js';
import { buildLegend, legendEntries } from './legend.js';
import { loadSetting, pageKey, saveSetting } from './positions.js';

const FOLD_PREFIX = 'plotweave.legend-open:';

// Returns { region, isHidden(row), reveal(row), setOutside(fn), kindOfEdge,
// hiddenKind }:
// region is the legend's element; reveal() shows a node's class again if it
// is switched off; setOutside(fn) hides as well the rows for which fn(row)
// holds (null: none), as the neighbourhood view does.
// afterChange(selectionDropped) follows every change, selectionDropped
// telling whether the selected node was hidden and so unselected.
export function createFilters(state, vis, words, afterChange) {
  const { network, nodes, edges, nodeRows, linkRows, options } = state;
  const groups = options.groups || {};
  const hiddenClass = new Set();
  const hiddenKind = new Set();
  const classOf = [];
  const kindOfEdge = new Map();

  const legendNodes = [];
  nodeRows.forEach((row, i) => {
    if (isDummyRow(row, i)) return;
    const className = classOfRow(row);
    const cls = groupOf(groups, className) || {};
    classOf[i] = className;
    legendNodes.push({ row: i, className, picture: isPictureRow(row), shape: nodes[i].shape, border: cls.borderColor || nodes[i].color.border, fill: nodes[i].color.background });
  });
  const legendLinks = edges.map((e) => ({
    row: e.id, colour: e.color.color, dashes: e.dashes, arrows: e.arrows || null,
    relation: linkRows[e.id] && linkRows[e.id].title ? String(linkRows[e.id].title) : '',
  }));
  const entries = legendEntries(legendNodes, legendLinks);
  // Classes in the order the page defines them.
  const classOrder = Object.keys(groups);
  const rank = (name) => { const k = classOrder.indexOf(name); return k < 0 ? classOrder.length : k; };
  entries.classes.sort((a, b) => rank(a.name) - rank(b.name));
  for (const k of entries.kinds) for (const r of k.rows) kindOfEdge.set(r, k.key);

  const isHidden = (i) => classOf[i] !== undefined && hiddenClass.has(classOf[i]);
  let outside = null;
  const apply = () => {
    const nodeUpdates = [];
    nodes.forEach((n, i) => {
      const hidden = isHidden(i) || (outside !== null && outside(i));
      if (!!n.hidden !== hidden) { n.hidden = hidden; nodeUpdates.push({ id: i, hidden }); }
    });
    const edgeUpdates = [];
    for (const e of edges) {
      const hidden = hiddenKind.has(kindOfEdge.get(e.id)) || !!nodes[e.from].hidden || !!nodes[e.to].hidden;
      if (!!e.hidden !== hidden) { e.hidden = hidden; edgeUpdates.push({ id: e.id, hidden }); }
    }
    if (nodeUpdates.length) network.nodes.update(nodeUpdates);
    if (edgeUpdates.length) network.edges.update(edgeUpdates);
    // The page's handler reads the first selected row without a guard, so
    // a selection that disappears is dropped without a 'select'.
    const dropped = vis.getSelectedNodes().some((id) => nodes[id] && nodes[id].hidden);
    if (dropped) vis.unselectAll();
    afterChange(dropped);
  };
  const foldKey = pageKey(window.location, FOLD_PREFIX);
  const legend = buildLegend(entries, words,
    (c, shown) => { if (shown) hiddenClass.delete(c.key); else hiddenClass.add(c.key); apply(); },
    (k, shown) => { if (shown) hiddenKind.delete(k.key); else hiddenKind.add(k.key); apply(); },
    (open) => saveSetting(foldKey, open ? '1' : '0'));
  if (loadSetting(foldKey) === '0') legend.setOpen(false);

  // The class's own switch turns it back on, so the switch shows it.
  const reveal = (row) => {
    if (!isHidden(row)) return;
    const k = entries.classes.findIndex((c) => c.key === classOf[row]);
    if (k >= 0) legend.classButtons[k].click();
  };
  const setOutside = (fn) => { outside = fn; apply(); };

  return { region: legend.region, isHidden, reveal, setOutside, kindOfEdge, hiddenKind };
}
