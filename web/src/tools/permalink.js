// A link to a node: PAGE#node=ID opens the page with that node selected and
// centred. The fragment may carry other words as well (#plain&node=ID is
// the bare drawing, which has no tools and so ignores it); words are joined
// by '&', and the id is percent-encoded, so an id holding '&', '=' or '#'
// stays one word. Fragments work the same on file:// and on a server.

import { isDummyRow } from '../page-contract.js';
import { button, element } from './dom.js';
import { icon } from './view-controls.js';

// Two links of a chain.
const LINK_ICON = 'M7 9.5a3 3 0 0 0 4.2 0l2.3-2.3a3 3 0 0 0-4.2-4.2L8.2 4.1M9 6.5a3 3 0 0 0-4.2 0L2.5 8.8a3 3 0 0 0 4.2 4.2l1.1-1.1';

const NODE_WORD = /^node=/i;

function words(hash) {
  return String(hash || '').replace(/^#/, '').split(/[&,;]/).filter((w) => w !== '');
}

function decoded(text) {
  try {
    return decodeURIComponent(text);
  } catch (e) {
    return text;
  }
}

// The node id a fragment asks for, or null.
export function nodeFromHash(hash) {
  const word = words(hash).find((w) => NODE_WORD.test(w));
  return word === undefined ? null : decoded(word.slice(word.indexOf('=') + 1));
}

// The address `href` with its fragment asking for node `id` (none: no node),
// keeping the fragment's other words.
export function linkToNode(href, id) {
  const at = String(href).indexOf('#');
  const base = at < 0 ? String(href) : String(href).slice(0, at);
  const kept = at < 0 ? [] : words(String(href).slice(at)).filter((w) => !NODE_WORD.test(w));
  if (id !== null && id !== undefined) kept.push(`node=${encodeURIComponent(String(id))}`);
  return kept.length ? `${base}#${kept.join('&')}` : base;
}

// The row of the first plan node with that id, as links resolve ids.
export function rowOfId(nodeRows, id) {
  if (id === null) return -1;
  return nodeRows.findIndex((row, i) => !isDummyRow(row, i) && String(row.id) === id);
}

// Puts text on the clipboard; false when the browser refuses.
async function copyText(text) {
  try {
    if (navigator.clipboard && navigator.clipboard.writeText) {
      await navigator.clipboard.writeText(text);
      return true;
    }
  } catch (e) {
    // Refused (no permission, no focus): try the older way.
  }
  const area = element('textarea', { value: text, readOnly: true }, { 'aria-hidden': 'true' });
  area.style.cssText = 'position:fixed;top:0;left:0;width:1px;height:1px;opacity:0;';
  document.body.appendChild(area);
  area.select();
  let done = false;
  try {
    done = document.execCommand('copy');
  } catch (e) {
    done = false;
  }
  area.remove();
  return done;
}

// Returns { element, open(done), detach() }: the copy button; open() selects
// the node the page address names (called once the drawing is on screen).
export function createPermalink(state, selection, words) {
  const { nodeRows } = state;
  const copy = button('', 'pw-button pw-icon-button pw-copy-link');
  copy.appendChild(icon(LINK_ICON));
  copy.setAttribute('aria-label', words.copyLink);
  copy.title = words.copyLinkHint;
  const note = element('span', { className: 'pw-link-note' }, { 'aria-live': 'polite' });
  const wrap = element('span', { className: 'pw-link' });
  wrap.append(copy, note);

  let noteTimer = null;
  copy.addEventListener('click', async () => {
    const row = selection.selected();
    const link = linkToNode(window.location.href, row === null ? null : nodeRows[row].id);
    const copied = await copyText(link);
    note.textContent = copied ? words.linkCopied : `${words.linkShown} ${link}`;
    clearTimeout(noteTimer);
    noteTimer = setTimeout(() => { note.textContent = ''; }, copied ? 4000 : 30000);
  });

  // At the opening the node is simply there; a fragment changed later (a
  // link followed within the page) moves the view to it.
  const select = (initial) => {
    const row = rowOfId(nodeRows, nodeFromHash(window.location.hash));
    if (row >= 0) selection.choose(row, { move: 'centre', scale: state.legibleScale || 1, animate: !initial });
  };
  // The page selects its placeholder row right after drawing, so the
  // node is selected once the page's script has run; then done().
  const open = (done) => {
    if (rowOfId(nodeRows, nodeFromHash(window.location.hash)) < 0) { done(); return; }
    setTimeout(() => { select(true); done(); }, 0);
  };
  const onHash = () => select(false);
  window.addEventListener('hashchange', onHash);

  return {
    element: wrap,
    open,
    detach: () => { clearTimeout(noteTimer); window.removeEventListener('hashchange', onHash); },
  };
}
