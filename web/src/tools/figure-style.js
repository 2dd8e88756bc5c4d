// The look of the figure dialog, the hover text, the printed figure and the
// tools on a phone.
export const FIGURE_STYLE = `
.pw-figure-dialog { font: 13px system-ui, sans-serif; color: #222; border: 1px solid #999; border-radius: 6px; padding: 12px 14px;
  max-width: calc(100vw - 32px); }
.pw-figure-dialog::backdrop { background: rgba(0,0,0,0.2); }
.pw-figure-dialog .pw-row { display: flex; flex-wrap: wrap; align-items: center; gap: 6px 10px; margin: 0 0 8px; }
.pw-figure-dialog label { display: inline-flex; align-items: center; gap: 6px; }
.pw-figure-dialog input[type=text] { width: 22em; max-width: 100%; }
.pw-figure-dialog button, .pw-figure-dialog select, .pw-figure-dialog input { font: inherit; color: #222; }
.pw-figure-dialog button { background: #fff; border: 1px solid #999; border-radius: 4px; padding: 2px 12px; }
.pw-hover { position: absolute; z-index: 4; pointer-events: none; max-width: 18em; padding: 3px 7px; background: #fffffe;
  border: 1px solid #888; border-radius: 4px; box-shadow: 0 1px 4px rgba(0,0,0,0.2); font: 13px system-ui, sans-serif;
  color: #111; text-align: left; }
.pw-hover[hidden] { display: none; }
.pw-hover-name { display: block; font-weight: 600; overflow-wrap: anywhere; }
.pw-hover-class { display: block; color: #444; font-size: 12px; }
.pw-print-figure { display: none; }
@media print {
  .pw-hover, .pw-figure-dialog { display: none !important; }
  .pw-network .pw-drawing { display: none !important; }
  .pw-print-figure { display: block; width: 100%; }
  .pw-print-figure svg { display: block; width: 100%; height: auto; max-height: 90vh; }
}
.pw-figure-sheet { display: none; }
@media print {
  html.pw-figure-only body > :not(.pw-figure-sheet) { display: none !important; }
  html.pw-figure-only body { margin: 0; padding: 0; }
  html.pw-figure-only .pw-figure-sheet { display: block; }
  .pw-figure-sheet svg { display: block; }
}
@media (max-width: 600px) {
  .pw-toolbar { position: static; max-width: none; justify-content: flex-start; font-size: 14px; }
  .pw-toolbar button, .pw-toolbar select, .pw-toolbar input, .pw-legend button,
  .pw-figure-dialog button, .pw-figure-dialog select, .pw-figure-dialog input { min-height: 44px; font-size: 14px; }
  .pw-figure-dialog input[type=checkbox] { min-width: 24px; }
  .pw-search, .pw-search-input { flex: 1 1 12em; }
  .pw-results li { min-height: 44px; align-items: center; }
  .pw-results .pw-id, .pw-status, .pw-hover-class, .pw-legend .pw-count { font-size: 12px; }
  .pw-legend { font-size: 13px; }
}
`;

// The page has no viewport of its own, so a phone would lay it out as a
// desktop page shrunk to a fifth; the tools give it the device's width.
// Zooming stays the reader's: nothing here limits the scale.
export function fitPhones(doc) {
  if (!doc.head || doc.querySelector('meta[name="viewport"]')) return;
  const meta = doc.createElement('meta');
  meta.name = 'viewport';
  meta.content = 'width=device-width, initial-scale=1';
  doc.head.appendChild(meta);
}
