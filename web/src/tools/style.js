// The tools' look: small, quiet, and clear focus for keyboard users. The
// legend sits under the drawing so it never covers it; printing drops the
// tools and keeps the drawing on one page.
export const STYLE = `
.pw-network { position: relative; }
.pw-toolbar { position: absolute; top: 6px; right: 6px; z-index: 5; display: flex; flex-wrap: wrap; gap: 4px;
  align-items: center; justify-content: flex-end; max-width: calc(100% - 12px); padding: 4px;
  background: rgba(255,255,255,0.92); border: 1px solid #c8c8c8; border-radius: 6px;
  font: 13px system-ui, sans-serif; text-align: left; }
.pw-toolbar button, .pw-toolbar select, .pw-toolbar input, .pw-legend button {
  font: inherit; color: #222; background: #fff; border: 1px solid #999; border-radius: 4px; padding: 2px 8px; }
.pw-toolbar button:hover, .pw-legend button:hover { background: #f0f0f0; }
.pw-network :focus-visible { outline: 3px solid #1a5fb4; outline-offset: 1px; }
.pw-search { position: relative; }
.pw-search-input { width: 13em; }
.pw-results { position: absolute; right: 0; top: 100%; margin: 2px 0 0; padding: 2px 0; list-style: none;
  min-width: 100%; max-height: 240px; overflow-y: auto; background: #fff; border: 1px solid #999;
  border-radius: 4px; box-shadow: 0 2px 6px rgba(0,0,0,0.2); z-index: 6; }
.pw-results li { padding: 3px 8px; cursor: pointer; white-space: nowrap; display: flex; gap: 8px; justify-content: space-between; }
.pw-results li[aria-selected="true"], .pw-results li:hover { background: #dbe8fb; }
.pw-results .pw-id { color: #666; font-size: 11px; }
.pw-results .pw-none { color: #666; cursor: default; }
.pw-status { flex-basis: 100%; max-width: 30em; font-size: 12px; color: #333; }
.pw-status:empty { display: none; }
.pw-legend { margin: 4px 0 0; padding: 4px 6px; border-top: 1px solid #ddd; font: 12px system-ui, sans-serif; text-align: left; }
.pw-legend-header { display: flex; align-items: center; gap: 6px; }
.pw-legend-title { font-weight: 600; }
.pw-legend .pw-collapse { padding: 0 6px; }
.pw-legend-group { display: flex; flex-wrap: wrap; align-items: center; gap: 2px 8px; margin-top: 4px; }
.pw-legend-heading { color: #555; min-width: 4em; }
.pw-legend ul { display: flex; flex-wrap: wrap; gap: 2px 6px; margin: 0; padding: 0; list-style: none; }
.pw-legend .pw-entry { display: inline-flex; align-items: center; gap: 4px; border-color: transparent; padding: 1px 4px; }
.pw-legend .pw-entry svg { flex: none; }
.pw-legend .pw-entry[aria-pressed="false"] { color: #595959; text-decoration: line-through; }
.pw-legend .pw-entry[aria-pressed="false"] svg { opacity: 0.35; }
.pw-legend .pw-count { color: #595959; font-size: 11px; }
@media print {
  .pw-toolbar, .pw-legend .pw-collapse { display: none !important; }
  .pw-network { break-inside: avoid; page-break-inside: avoid; }
  .pw-network canvas { max-width: 100%; }
}
`;
