// The plan's findings beside the drawing: where the last save stands, and
// one line per finding (severity, line, column, message). A finding about a
// node or link selects it when clicked. Plan text goes in as text only.

const STYLE = `
#pw-preview { font: 13px/1.4 system-ui, sans-serif; border: 1px solid #ccc; border-radius: 6px; margin: 6px;
  padding: 4px 8px; background: #fafafa; text-align: left; }
#pw-preview .pw-status { font-weight: 600; }
#pw-preview[data-state="refused"] .pw-status, #pw-preview[data-state="unreadable"] .pw-status,
#pw-preview[data-state="missing"] .pw-status { color: #a00; }
#pw-preview ol { list-style: none; margin: 4px 0 0; padding: 0; max-height: 28vh; overflow: auto; }
#pw-preview li button { all: unset; display: block; width: 100%; padding: 2px 4px; cursor: default; white-space: pre-wrap; }
#pw-preview li button[data-target] { cursor: pointer; }
#pw-preview li button[data-target]:hover, #pw-preview li button:focus { background: #e8eefc; outline: 1px solid #9ab; }
#pw-preview .pw-severity { display: inline-block; min-width: 5.5em; font-weight: 600; }
#pw-preview .pw-error { color: #b00020; } #pw-preview .pw-warning { color: #8a5a00; } #pw-preview .pw-note { color: #345; }
.pw-stale { opacity: 0.45; filter: grayscale(0.6); outline: 3px dashed #b00020; outline-offset: -3px; }
`;

function text(tag, className, content) {
  const e = document.createElement(tag);
  if (className) e.className = className;
  e.textContent = content;
  return e;
}

function plural(n, word) { return `${n} ${word}${n === 1 ? '' : 's'}`; }

export function statusLine(state) {
  const c = state.counts || { errors: 0, warnings: 0, notes: 0 };
  const counts = `${plural(c.errors, 'error')}, ${plural(c.warnings, 'warning')}, ${plural(c.notes, 'note')}`;
  switch (state.state) {
    case 'drawn': return `Drawn from the last save: ${counts}.`;
    case 'refused': return `Refused: ${counts}. The drawing is the last good one (stale).`;
    case 'starting': return 'Reading the plan…';
    case 'missing': return 'The plan is not there; waiting for the next save.';
    case 'not-a-file': return 'The plan is not a regular file; waiting for the next save.';
    case 'too-large': return 'The plan or its page is too large to preview; waiting for the next save.';
    case 'kit-unreadable': return 'The kit cannot be read; waiting for the next save.';
    default: return 'The plan cannot be read; waiting for the next save.';
  }
}

// Returns { element, show(state) }; onPick(finding) follows a click on a
// finding about a node or link.
export function createFindingsPanel(onPick) {
  if (!document.getElementById('pw-preview-style')) {
    const style = text('style', '', STYLE);
    style.id = 'pw-preview-style';
    (document.head || document.documentElement).appendChild(style);
  }
  const element = document.createElement('section');
  element.id = 'pw-preview';
  element.setAttribute('aria-label', 'Plan findings');
  const status = text('div', 'pw-status', 'Waiting for the plan…');
  status.setAttribute('role', 'status');
  const list = document.createElement('ol');
  element.append(status, list);

  const show = (state) => {
    element.dataset.state = state.state;
    status.textContent = statusLine(state);
    const items = (state.findings || []).map((f) => {
      const item = document.createElement('li');
      item.dataset.severity = f.severity;
      item.dataset.line = String(f.line);
      const b = document.createElement('button');
      b.type = 'button';
      if (f.node !== null || f.link !== null) {
        b.dataset.target = f.node !== null ? `node:${f.node}` : `link:${f.link}`;
        b.addEventListener('click', () => onPick(f));
      }
      b.append(text('span', `pw-severity pw-${f.severity}`, f.severity),
        text('span', 'pw-place', `${f.line}:${f.column} `), text('span', 'pw-message', f.message));
      item.appendChild(b);
      return item;
    });
    const c = state.counts || {};
    const total = (c.errors || 0) + (c.warnings || 0) + (c.notes || 0);
    if (total > items.length) items.push(text('li', 'pw-more', `… and ${total - items.length} more (see the console)`));
    list.replaceChildren(...items);
  };
  return { element, show };
}
