// The look of the view tools, beside the tools' own style (style.js).
export const VIEW_STYLE = `
.pw-view-group { display: inline-flex; gap: 2px; }
.pw-toolbar .pw-icon-button { min-width: 28px; padding: 2px 5px; line-height: 1; display: inline-flex; align-items: center; justify-content: center; }
.pw-icon-button svg { display: block; }
.pw-toolbar button[aria-pressed="true"] { background: #dbe8fb; border-color: #1a5fb4; }
.pw-link-note { font-size: 12px; color: #333; max-width: 30em; overflow-wrap: anywhere; }
.pw-link-note:empty { display: none; }
.pw-visually-hidden { position: absolute !important; width: 1px; height: 1px; overflow: hidden;
  clip: rect(0 0 0 0); clip-path: inset(50%); white-space: nowrap; }
.pw-network:fullscreen { background: #fff; overflow: auto; }
.pw-view-menu { position: relative; }
.pw-view-menu > summary { list-style: none; cursor: pointer; border: 1px solid #999; border-radius: 4px; padding: 2px 8px; background: #fff; color: #222; }
.pw-view-menu > summary::-webkit-details-marker { display: none; }
.pw-view-menu[open] > summary { background: #dbe8fb; }
.pw-view-menu-body { position: absolute; right: 0; top: 100%; margin-top: 2px; z-index: 7; display: flex; flex-direction: column; gap: 4px;
  padding: 6px 8px; background: #fff; border: 1px solid #999; border-radius: 4px; box-shadow: 0 2px 6px rgba(0,0,0,0.2); white-space: nowrap; }
.pw-view-menu-body label { display: flex; align-items: center; gap: 6px; }
.pw-table-region { max-height: 60vh; overflow: auto; margin: 4px 0 0; padding: 4px 6px; border-top: 1px solid #ddd;
  font: 13px system-ui, sans-serif; text-align: left; }
.pw-table-region[hidden] { display: none; }
.pw-table { border-collapse: collapse; width: auto; margin: 0 0 8px; }
.pw-table caption { text-align: left; font-weight: 600; padding: 2px 0; }
.pw-table th, .pw-table td { font: 13px system-ui, sans-serif; text-align: left; padding: 2px 8px; border-bottom: 1px solid #e4e4e4; }
.pw-table tr[aria-current="true"] td { background: #fff3b0; }
.pw-table .pw-sort, .pw-table .pw-pick { font: inherit; color: #1a3f7a; background: none; border: 0; padding: 0; cursor: pointer; text-align: left; }
.pw-table .pw-sort { font-weight: 600; color: #222; }
.pw-table th[aria-sort="ascending"] .pw-sort::after { content: " \\25b4"; }
.pw-table th[aria-sort="descending"] .pw-sort::after { content: " \\25be"; }
.pw-table .pw-pick { text-decoration: underline; }
@media print { .pw-table-region { max-height: none; overflow: visible; } .pw-view-menu { display: none; } }
`;
