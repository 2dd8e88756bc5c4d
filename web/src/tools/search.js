// Node search as the reader types: by label or id, without regard to case;
// a picture node shown without a label is known by the text of its title.
// Hangul matches syllable by syllable and letter by letter, so a query typed
// halfway through a syllable ("숭ㄹ") already finds 숭례문, and a query of
// initial consonants only ("ㅅㄹㅁ") matches their initial consonants.

import { disassemble, getChoseong } from 'es-hangul';

const CONSONANTS_ONLY = /^[\u3131-\u314e\s]+$/;

export function searchEntry(row, id, label, titleText) {
  const name = label || titleText || '';
  const texts = [name, id].filter((t) => t !== undefined && t !== null && t !== '').map((t) => String(t));
  return {
    row,
    id: String(id),
    label: String(name),
    plain: texts.map((t) => t.toLowerCase()),
    letters: texts.map((t) => disassemble(t.toLowerCase())),
    initials: texts.map((t) => getChoseong(t).replace(/\s+/g, '')),
  };
}

// Entries that match the query, best first: whole text, then text starting
// with the query, then anywhere; ties keep the table order.
export function findNodes(entries, query, limit = 20) {
  const q = String(query || '').trim().toLowerCase();
  if (!q) return [];
  const letters = disassemble(q);
  const initials = CONSONANTS_ONLY.test(q) ? q.replace(/\s+/g, '') : null;
  const found = [];
  for (const e of entries) {
    let rank = -1;
    for (let k = 0; k < e.plain.length; k++) {
      let r = -1;
      if (e.plain[k] === q) r = 0;
      else if (e.plain[k].startsWith(q) || e.letters[k].startsWith(letters)) r = 1;
      else if (e.plain[k].includes(q) || e.letters[k].includes(letters)) r = 2;
      else if (initials && e.initials[k].includes(initials)) r = e.initials[k].startsWith(initials) ? 3 : 4;
      if (r >= 0 && (rank < 0 || r < rank)) rank = r;
    }
    if (rank >= 0) found.push({ entry: e, rank });
  }
  found.sort((a, b) => a.rank - b.rank || a.entry.row - b.entry.row);
  return found.slice(0, limit).map((f) => f.entry);
}
