// A plan at the program's full capacity: 10 project lines, 100 classes, 100
// relations, 512 nodes and 800 links, the same bytes every time. The nodes
// form a tree grown by preferential attachment with cross links on top, the
// way ontologies tend to look: a few hubs, many leaves. Some nodes are
// pictures (the example plans' images, so copy examples/img beside the plan).
//
// Written as UTF-8 with a byte-order mark, which the programs convert.

const SHAPES = ['box', 'dot', 'ellipse', 'circle', 'star', 'triangle', 'diamond', 'square', 'database', 'hexagon'];
const COLOURS = ['darkred', 'darkblue', 'darkgreen', 'purple', 'teal', 'olive', 'maroon', 'navy', 'chocolate', 'crimson',
  '#1f77b4', '#ff7f0e', '#2ca02c', '#d62728', '#9467bd', '#8c564b', '#e377c2', '#7f7f7f', '#bcbd22', '#17becf'];
const LINK_STYLES = ['line', 'arrow', 'dash-line', 'dash-arrow', 'arrow-center', 'moving-arrows'];
const SYLLABLES = '가나다라마바사아자차카타파하고노도로모보소오조초코토포호한국서울부산대전광주문화역사인물장소기록도성궁궐학교병원시장공원강산';
const WORDS = ['alpha', 'river', 'stone', 'garden', 'harbour', 'temple', 'market', 'school', 'bridge', 'tower', 'library', 'museum'];
const IMAGES = ['img/sungnyemun.png', 'img/heunginjimun.png', 'img/sukjeongmun.png'];

// A small seeded generator, so the plan does not depend on Math.random.
function generator(seed) {
  let s = seed >>> 0;
  const next = () => {
    s = (s + 0x6d2b79f5) >>> 0;
    let t = s;
    t = Math.imul(t ^ (t >>> 15), t | 1);
    t ^= t + Math.imul(t ^ (t >>> 7), t | 61);
    return ((t ^ (t >>> 14)) >>> 0) / 4294967296;
  };
  return { next, below: (n) => Math.floor(next() * n), pick: (list) => list[Math.floor(next() * list.length)] };
}

export const FULL_NODES = 512;
export const FULL_LINKS = 800;

export function fullCapacityPlan(seed = 20261207) {
  const rng = generator(seed);
  const out = ['#PROJECT'];
  for (let i = 0; i < 10; i++) out.push(`h${(i % 6) + 1} Full_capacity_plan_${i + 1}`);
  out.push('#CLASS');
  for (let i = 0; i < 100; i++) {
    out.push(`Class${String(i).padStart(3, '0')} ${COLOURS[i % COLOURS.length]} ${SHAPES[i % SHAPES.length]} ${i % 4 === 3 ? 0 : 1}`);
  }
  out.push('#RELATION');
  for (let i = 0; i < 100; i++) {
    out.push(`rel${String(i).padStart(3, '0')} ${COLOURS[(i * 7) % COLOURS.length]} ${LINK_STYLES[i % LINK_STYLES.length]} ${i % 2}`);
  }
  out.push('#NODES');
  const labels = [];
  for (let i = 0; i < FULL_NODES; i++) {
    const id = `n${String(i).padStart(3, '0')}`;
    let label;
    if (rng.next() < 0.5) {
      label = '';
      const n = 2 + rng.below(3);
      for (let k = 0; k < n; k++) label += SYLLABLES[rng.below(SYLLABLES.length)];
    } else {
      label = `${rng.pick(WORDS)}_${i}`;
    }
    labels.push(label);
    const cls = `Class${String(rng.below(100)).padStart(3, '0')}`;
    if (i % 40 === 7) {
      out.push(`${id} ${cls} ${label} /pages/${id}.html ${IMAGES[i % IMAGES.length]} 1`);
    } else if (i % 3 === 0) {
      out.push(`${id} ${cls} ${label}`);
    } else {
      out.push(`${id} ${cls} ${label} /pages/${id}.html`);
    }
  }
  out.push('#LINKS');
  const seen = new Set();
  const links = [];
  const degree = new Array(FULL_NODES).fill(1);
  let total = 1;
  const add = (a, b) => {
    const key = a < b ? `${a}-${b}` : `${b}-${a}`;
    if (a === b || seen.has(key)) return false;
    seen.add(key);
    links.push([a, b]);
    degree[a] += 1; degree[b] += 1;
    return true;
  };
  // Preferential attachment: a new node joins an earlier one chosen by degree.
  for (let i = 1; i < FULL_NODES; i++) {
    let r = rng.below(total);
    let j = 0;
    while (j < i - 1 && r >= degree[j]) { r -= degree[j]; j++; }
    add(i, j);
    total = degree.slice(0, i + 1).reduce((a, b) => a + b, 0);
  }
  while (links.length < FULL_LINKS) add(rng.below(FULL_NODES), rng.below(FULL_NODES));
  for (const [a, b] of links) {
    out.push(`n${String(a).padStart(3, '0')} n${String(b).padStart(3, '0')} rel${String(rng.below(100)).padStart(3, '0')}`);
  }
  out.push('');
  return { text: `\ufeff${out.join('\n')}`, labels };
}
