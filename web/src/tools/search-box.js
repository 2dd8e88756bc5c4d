// The search box: a list of the matching nodes as the reader types, walked
// with the arrow keys; Enter or a click picks one. It is a combobox with a
// list popup in the way assistive technology expects one (the focus stays
// in the box, aria-activedescendant names the option under the arrows).

import { isDummyRow } from '../page-contract.js';
import { element } from './dom.js';
import { findNodes, searchEntry } from './search.js';

// The words of a title that may hold markup. A template's content is inert:
// parsing it runs no script and loads no image.
export function textOf(html) {
  if (html === undefined || html === null || html === '') return '';
  const t = document.createElement('template');
  t.innerHTML = String(html);
  return t.content.textContent.replace(/\s+/g, ' ').trim();
}

// Returns { element, input, close() }; choose(row) is called with the row
// of the node the reader picks.
export function createSearchBox(state, words, choose) {
  const { nodes, nodeRows } = state;
  const wrap = element('div', { className: 'pw-search' });
  const list = element('ul', {
    className: 'pw-results',
    id: `pw-results-${Math.random().toString(36).slice(2)}`,
    hidden: true,
  }, { role: 'listbox', 'aria-label': words.results });
  const input = element('input', {
    type: 'search',
    className: 'pw-search-input',
    placeholder: words.searchHint,
    autocomplete: 'off',
    spellcheck: false,
  }, {
    role: 'combobox', 'aria-label': words.search, 'aria-autocomplete': 'list', 'aria-controls': list.id,
    'aria-expanded': 'false', 'aria-haspopup': 'listbox',
  });
  wrap.append(input, list);

  // Built at the first search, not before the first picture: splitting
  // every label into Hangul letters takes a while on a large plan.
  let index = null;
  const entries = () => {
    if (index) return index;
    index = [];
    nodeRows.forEach((row, i) => {
      if (!isDummyRow(row, i)) index.push(searchEntry(i, row.id, nodes[i].label, nodes[i].label ? '' : textOf(row.title)));
    });
    return index;
  };
  let results = [];
  let active = -1;
  const close = () => {
    list.hidden = true;
    input.setAttribute('aria-expanded', 'false');
    input.removeAttribute('aria-activedescendant');
    active = -1;
  };
  const markActive = (k) => {
    active = k;
    [...list.children].forEach((li, j) => li.setAttribute('aria-selected', j === k ? 'true' : 'false'));
    if (k >= 0 && list.children[k]) {
      input.setAttribute('aria-activedescendant', list.children[k].id);
      list.children[k].scrollIntoView({ block: 'nearest' });
    } else {
      input.removeAttribute('aria-activedescendant');
    }
  };
  const pick = (entry) => {
    close();
    choose(entry.row);
  };
  const showResults = () => {
    results = findNodes(entries(), input.value);
    list.textContent = '';
    if (!input.value.trim()) { close(); return; }
    if (results.length === 0) {
      list.appendChild(element('li', { className: 'pw-none', textContent: words.noResults },
        { role: 'option', 'aria-disabled': 'true' }));
    }
    results.forEach((entry, k) => {
      const li = element('li', { id: `${list.id}-${k}` }, { role: 'option', 'aria-selected': 'false' });
      li.append(element('span', { textContent: entry.label || entry.id }),
        element('span', { className: 'pw-id', textContent: entry.id }));
      li.addEventListener('mousedown', (ev) => ev.preventDefault());
      li.addEventListener('click', () => pick(entry));
      list.appendChild(li);
    });
    list.hidden = false;
    input.setAttribute('aria-expanded', 'true');
    markActive(-1);
  };
  input.addEventListener('input', showResults);
  input.addEventListener('keydown', (ev) => {
    if (ev.key === 'ArrowDown' || ev.key === 'ArrowUp') {
      if (list.hidden) showResults();
      if (results.length) {
        const step = ev.key === 'ArrowDown' ? 1 : -1;
        markActive((active + step + results.length) % results.length);
      }
      ev.preventDefault();
    } else if (ev.key === 'Enter') {
      if (!results.length && input.value.trim()) showResults();
      const entry = results[active >= 0 ? active : 0];
      if (entry) pick(entry);
      ev.preventDefault();
    } else if (ev.key === 'Escape') {
      if (!list.hidden) close();
      else input.value = '';
      ev.preventDefault();
    }
  });
  input.addEventListener('blur', () => setTimeout(close, 150));

  return { element: wrap, input, close };
}
