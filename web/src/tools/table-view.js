// The network as text: a table of the nodes (label, class, number of links)
// and one of the links (from, relation, to), each sortable by any column; a
// node's name in either selects it on the drawing. Built when first opened,
// since a large plan makes a long table. Everything from the page goes in as
// text.

import { classOfRow, isDummyRow } from '../page-contract.js';
import { button, element } from './dom.js';

// The table's rows from the drawing's records and the page's rows:
//   nodes: [{ row, label, className, links }]
//   links: [{ row, from, fromLabel, relation, to, toLabel }]
// nameOf(row) is how a node is called.
export function tableModel(state, nameOf) {
  const { nodes, nodeRows, edges, linkRows } = state;
  const degree = nodes.map(() => 0);
  for (const e of edges) {
    degree[e.from] += 1;
    if (e.to !== e.from) degree[e.to] += 1;
  }
  const nodeList = [];
  nodeRows.forEach((row, i) => {
    if (!isDummyRow(row, i)) nodeList.push({ row: i, label: nameOf(i), className: classOfRow(row), links: degree[i] });
  });
  const linkList = edges.map((e) => ({
    row: e.id, from: e.from, fromLabel: nameOf(e.from),
    relation: linkRows[e.id] && linkRows[e.id].title ? String(linkRows[e.id].title) : '',
    to: e.to, toLabel: nameOf(e.to),
  }));
  return { nodes: nodeList, links: linkList };
}

const collator = typeof Intl !== 'undefined' ? new Intl.Collator(undefined, { numeric: true, sensitivity: 'base' }) : null;

// The rows sorted by `key`, ascending or not; ties keep the page's order.
export function sortedRows(rows, key, ascending) {
  const compare = (a, b) => {
    const x = a[key];
    const y = b[key];
    if (typeof x === 'number' && typeof y === 'number') return x - y;
    return collator ? collator.compare(String(x), String(y)) : String(x).localeCompare(String(y));
  };
  const sign = ascending ? 1 : -1;
  return rows.map((r, i) => [r, i]).sort((a, b) => sign * compare(a[0], b[0]) || a[1] - b[1]).map((p) => p[0]);
}

// One sortable table. columns: [{ key, title, node (the row field holding
// the node to select, for a column of node names) }].
function sortableTable(caption, columns, rows, words, choose) {
  const table = element('table', { className: 'pw-table' });
  table.appendChild(element('caption', { textContent: caption }));
  const head = element('tr');
  const body = element('tbody');
  let sortKey = null;
  let ascending = true;
  const headers = columns.map((c) => {
    const th = element('th', {}, { scope: 'col', 'aria-sort': 'none' });
    const sort = button(c.title, 'pw-sort');
    sort.title = words.sortBy(c.title);
    sort.addEventListener('click', () => {
      ascending = sortKey === c.key ? !ascending : true;
      sortKey = c.key;
      headers.forEach((h, k) => h.setAttribute('aria-sort', columns[k].key === sortKey ? (ascending ? 'ascending' : 'descending') : 'none'));
      fill(sortedRows(rows, sortKey, ascending));
    });
    th.appendChild(sort);
    head.appendChild(th);
    return th;
  });
  const fill = (ordered) => {
    const out = document.createDocumentFragment();
    for (const r of ordered) {
      const tr = element('tr');
      tr.dataset.row = String(r.row);
      for (const c of columns) {
        const td = element('td');
        if (c.node) {
          const pick = button(String(r[c.key]), 'pw-pick');
          pick.dataset.node = String(r[c.node]);
          td.appendChild(pick);
        } else {
          td.textContent = String(r[c.key]);
        }
        tr.appendChild(td);
      }
      out.appendChild(tr);
    }
    body.textContent = '';
    body.appendChild(out);
  };
  body.addEventListener('click', (ev) => {
    const pick = ev.target.closest && ev.target.closest('.pw-pick');
    if (pick) choose(Number(pick.dataset.node));
  });
  const thead = element('thead');
  thead.appendChild(head);
  table.append(thead, body);
  fill(rows);
  return table;
}

// Returns { element (the toolbar's button), region, detach() }.
export function createTableView(state, selection, words, nameOf) {
  const open = element('button', { type: 'button', className: 'pw-button pw-table-button', textContent: words.table },
    { 'aria-expanded': 'false' });
  open.title = words.tableHint;
  const region = element('section', { className: 'pw-table-region', hidden: true, tabIndex: 0 },
    { role: 'region', 'aria-label': words.tableRegion });
  open.setAttribute('aria-controls', region.id = `pw-table-${Math.random().toString(36).slice(2)}`);

  const choose = (row) => selection.choose(row, { move: 'centre' });
  let built = false;
  const build = () => {
    const model = tableModel(state, nameOf);
    region.append(
      sortableTable(words.nodesCaption, [
        { key: 'label', title: words.label, node: 'row' },
        { key: 'className', title: words.className },
        { key: 'links', title: words.linkCount },
      ], model.nodes, words, choose),
      sortableTable(words.linksCaption, [
        { key: 'fromLabel', title: words.from, node: 'from' },
        { key: 'relation', title: words.relation },
        { key: 'toLabel', title: words.to, node: 'to' },
      ], model.links, words, choose));
    built = true;
  };
  // The selected node's row is marked in the node table.
  const mark = (row) => {
    if (!built) return;
    for (const tr of region.querySelectorAll('tr[aria-current]')) tr.removeAttribute('aria-current');
    if (row === null) return;
    const tr = region.querySelector(`table:first-of-type tr[data-row="${row}"]`);
    if (tr) tr.setAttribute('aria-current', 'true');
  };
  selection.onChange(mark);

  open.addEventListener('click', () => {
    const show = region.hidden;
    if (show && !built) build();
    region.hidden = !show;
    open.setAttribute('aria-expanded', show ? 'true' : 'false');
    if (show) { mark(selection.selected()); region.scrollIntoView({ block: 'nearest' }); }
  });

  return { element: open, region };
}
