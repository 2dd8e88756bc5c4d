// The rows of one of the page's DataTables (or of an array of plain objects)
// as objects keyed by column label; page-contract.js names the labels.

export function tableRows(table) {
  if (!table) return [];
  if (Array.isArray(table)) return table.slice();
  const cols = table.getNumberOfColumns();
  const labels = [];
  for (let c = 0; c < cols; c++) {
    labels.push(table.getColumnLabel(c) || (table.getColumnId ? table.getColumnId(c) : ''));
  }
  const rows = [];
  const n = table.getNumberOfRows();
  for (let r = 0; r < n; r++) {
    const row = {};
    for (let k = 0; k < cols; k++) {
      if (labels[k] && !Object.prototype.hasOwnProperty.call(row, labels[k])) row[labels[k]] = table.getValue(r, k);
    }
    rows.push(row);
  }
  return rows;
}
