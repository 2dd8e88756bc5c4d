// Opens the pages that both programs write for the example plans and for a
// generated plan at full capacity in a real browser (Debian's chromium,
// driven by playwright-core) and checks that they draw and react as a reader
// expects, with the kit's reader tools and without them (#plain, or a kit
// built with --plain).
//
//   node tests/browser/pages.test.mjs --self PATH --blank PATH \
//        --examples DIR --out DIR [--kit DIR]
//
// The page's absolute script and image addresses are answered from the built
// laboratory-server kit (web/site) through request interception; every other
// request to the network is refused, so nothing leaves the machine.

import { after, before, describe, test } from 'node:test';
import assert from 'node:assert/strict';
import { execFileSync } from 'node:child_process';
import { cpSync, existsSync, mkdirSync, mkdtempSync, readFileSync, readdirSync, rmSync, statSync, writeFileSync } from 'node:fs';
import { dirname, join, resolve } from 'node:path';
import { fileURLToPath, pathToFileURL } from 'node:url';
import { collectErrors } from './page-support.mjs';

const here = dirname(fileURLToPath(import.meta.url));

function argument(name, envName, fallback) {
  const at = process.argv.indexOf(`--${name}`);
  if (at >= 0 && at + 1 < process.argv.length) return resolve(process.argv[at + 1]);
  if (process.env[envName]) return resolve(process.env[envName]);
  return fallback;
}

const PROGRAMS = {
  self: { path: argument('self', 'PLOTWEAVE_SELF'), target: '_self', page: (base) => `${base}_self.htm` },
  blank: { path: argument('blank', 'PLOTWEAVE_BLANK'), target: '_blank', page: (base) => `${base}.htm` },
};
const EXAMPLES = argument('examples', 'PLOTWEAVE_EXAMPLES', resolve(here, '../../examples'));
const OUT = argument('out', 'PLOTWEAVE_BROWSER_OUT', resolve('browser-test-out'));
const KIT = argument('kit', 'PLOTWEAVE_KIT', resolve(here, '../../web'));
const SITE = join(KIT, 'site');
const VIEWPORT = { width: 1000, height: 700 };
const { CHROMIUM, launchWithKit, missingKitFiles } = await import(pathToFileURL(join(KIT, 'test-support', 'kit-browser.mjs')).href);
const { fullCapacityPlan } = await import(pathToFileURL(join(KIT, 'test-support', 'full-plan.mjs')).href);
const { expectedTitle, readPlan } = await import(pathToFileURL(join(KIT, 'test-support', 'plan-reading.mjs')).href);
// Plans this large get a sample of their nodes clicked, not every one.
const CLICK_ALL_UP_TO = 40;

let browser;
let context;
let aborted = [];

function runProgram(which, dir, planName) {
  const stdout = execFileSync(PROGRAMS[which].path, [planName], { cwd: dir, encoding: 'latin1', timeout: 30000 });
  const page = join(dir, PROGRAMS[which].page(planName.slice(0, planName.indexOf('.'))));
  assert.ok(existsSync(page), `${which} wrote no page for ${planName}:\n${stdout}`);
  const bytes = readFileSync(page);
  assert.deepEqual([...bytes.subarray(0, 3)], [0xef, 0xbb, 0xbf], 'the page starts with the UTF-8 byte-order mark');
  return page;
}

// Opens a page and records its script errors and console errors from the
// first byte on.
async function openPage(file, { hash = '', setup } = {}) {
  const page = await context.newPage();
  const errors = collectErrors(page);
  if (setup) await setup(page);
  await page.goto(pathToFileURL(file).href + hash);
  return { page, errors };
}

// Opens a page, waits for its layout to settle and counts the 'select'
// events its handler gets from then on in window.selectEvents.
async function openCounting(file) {
  const opened = await openPage(file);
  await waitSettled(opened.page);
  await opened.page.evaluate(() => {
    window.selectEvents = 0;
    google.visualization.events.addListener(network, 'select', () => { window.selectEvents += 1; });
  });
  return opened;
}

async function waitSettled(page) {
  await page.waitForFunction(
    () => document.getElementById('mynetwork').getAttribute('data-layout') === 'settled',
    null, { timeout: 20000 });
}

// Where node `row` is drawn, in page coordinates.
function nodePoint(page, row) {
  return page.evaluate((id) => {
    const v = network.vis;
    const p = v.canvasToDOM(v.getPosition(id));
    const box = v.canvas.frame.canvas.getBoundingClientRect();
    return { x: box.left + p.x, y: box.top + p.y, hit: v.getNodeAt(p) };
  }, row);
}

before(async () => {
  for (const [which, p] of Object.entries(PROGRAMS)) {
    assert.ok(p.path && existsSync(p.path), `program for the ${which} build not found (--${which})`);
  }
  assert.ok(existsSync(CHROMIUM), `${CHROMIUM} is missing: run tools/install-test-deps.sh`);
  assert.deepEqual(missingKitFiles(SITE), [], 'kit files are missing: run npm ci && npm run build in web/');
  rmSync(OUT, { recursive: true, force: true });
  mkdirSync(join(OUT, 'screenshots'), { recursive: true });
  browser = await launchWithKit({ site: SITE, profileParent: OUT, viewport: VIEWPORT, locale: 'en-US' });
  ({ context, aborted } = browser);
});

after(async () => {
  if (browser) await browser.close();
});

const planNames = existsSync(EXAMPLES) ? readdirSync(EXAMPLES).filter((f) => f.endsWith('.lst')).sort() : [];
const FULL_PLAN = 'full.lst';

// Each build works in its own copy of the examples, so the pages find the
// images the plans name relative to them; the copy holds the full plan too.
function workDir(name) {
  const dir = join(OUT, name);
  if (!existsSync(dir)) {
    cpSync(EXAMPLES, dir, { recursive: true });
    writeFileSync(join(dir, FULL_PLAN), fullCapacityPlan().text);
  }
  return dir;
}

test('there are example plans to open', () => {
  assert.ok(planNames.length > 0, `no .lst files in ${EXAMPLES}`);
});

for (const which of Object.keys(PROGRAMS)) {
  describe(`pages of the ${which} build`, () => {
    let dir;
    before(() => { dir = workDir(which); });

    for (const planName of [...planNames, FULL_PLAN]) {
      test(planName, { timeout: 90000 }, async () => {
        const plan = readPlan(join(dir, planName));
        const target = PROGRAMS[which].target;
        const file = runProgram(which, dir, planName);
        const abortedBefore = aborted.length;
        const { page, errors } = await openCounting(file);
        try {

          // One node per node row, the dummy first; one edge per link.
          const drawn = await page.evaluate(() => {
            const v = network.vis;
            const rows = nodesTable.getNumberOfRows();
            const nodes = [];
            for (let r = 0; r < rows; r++) {
              const n = v.body.nodes[r];
              nodes.push(n && {
                id: nodesTable.getValue(r, 0), label: n.options.label, shape: n.options.shape,
                border: n.options.color.border, image: n.options.image,
                imageSrc: n.imageObj && n.imageObj.image ? n.imageObj.image.src : null,
                imageLoaded: !!(n.imageObj && n.imageObj.image && n.imageObj.image.complete && n.imageObj.image.naturalWidth > 0),
              });
            }
            const edges = Object.values(v.body.edges).map((e) => ({
              from: nodesTable.getValue(e.fromId, 0), to: nodesTable.getValue(e.toId, 0), connected: e.connected,
              color: e.options.color.color, dashes: e.options.dashes, arrowTo: e.options.arrows.to.enabled,
              label: e.options.label,
            }));
            return { rows, nodes, edges, visNodes: v.body.nodeIndices.length };
          });
          assert.equal(drawn.rows, plan.nodes.length + 1, 'node rows: the dummy and one per plan node');
          assert.equal(drawn.visNodes, drawn.rows, 'one drawn node per node row');
          assert.equal(drawn.nodes[0].id, '00000');
          assert.equal(drawn.edges.length, plan.links.length, 'one edge per link');

          plan.nodes.forEach((fields, i) => {
            const node = drawn.nodes[i + 1];
            const [id, className, label, , image, number] = fields;
            const cls = plan.classes.get(className);
            const imageNode = fields.length >= 6 && parseInt(number, 10) === 1;
            assert.equal(node.id, id);
            if (imageNode) {
              assert.equal(node.shape, 'image', `${id} is drawn as an image`);
              const want = new URL(image, pathToFileURL(file)).href;
              assert.equal(node.imageSrc, want, `${id} shows its own image`);
              assert.ok(node.imageLoaded, `${id}: ${image} loaded`);
              assert.equal(node.label ?? '', cls.labelFlag ? label.replaceAll('_', ' ') : '');
            } else {
              assert.equal(node.shape, { box: 'box', dot: 'dot', ellipse: 'ellipse' }[cls.style] ?? node.shape);
              assert.equal(node.border, cls.border, `${id} has its class's border colour`);
              assert.equal(node.label, label.replaceAll('_', ' '));
            }
          });
          plan.links.forEach(([from, to, relation], i) => {
            const edge = drawn.edges[i];
            const rel = plan.relations.get(relation);
            assert.deepEqual([edge.from, edge.to, edge.connected], [from, to, true]);
            assert.equal(edge.color, rel.color);
            assert.equal(edge.dashes, rel.style.includes('dash'), `${from}-${to} dashed as '${rel.style}'`);
            const arrowAtEnd = rel.style.includes('arrow') && !/center|moving/.test(rel.style);
            assert.equal(edge.arrowTo, arrowAtEnd, `${from}-${to} arrow as '${rel.style}'`);
            assert.equal(edge.label ?? '', rel.labelFlag ? relation.replaceAll('_', ' ') : '');
          });

          // The page selects row 0, the dummy, which shows nothing;
          // selecting through links.Network raises no event either.
          assert.deepEqual(await page.evaluate(() => network.getSelection()), [{ row: 0 }]);
          assert.equal(await page.innerHTML('#info'), '');
          assert.deepEqual(await page.evaluate(() => {
            network.setSelection([{ row: 1 }]);
            const sel = network.getSelection();
            network.setSelection([{ row: 0 }]);
            return [sel, window.selectEvents, document.getElementById('info').innerHTML];
          }), [[{ row: 1 }], 0, '']);

          // Every node can be pointed at: none lies under another. A large
          // plan opens on a part of itself, so the whole of it is brought
          // into view (and drawn, which measures every node) first.
          await page.evaluate(() => { network.vis.fit({ animation: false }); network.vis.redraw(); });
          assert.deepEqual(await page.evaluate(() => {
            const v = network.vis;
            return v.body.nodeIndices.filter((id) => v.getNodeAt(v.canvasToDOM(v.getPosition(id))) !== id && id !== 0);
          }), [], 'nodes covered by others');

          // Clicking a node shows exactly its title, anchors with this
          // build's target.
          const step = plan.nodes.length <= CLICK_ALL_UP_TO ? 1 : Math.ceil(plan.nodes.length / 24);
          for (let i = 0; i < plan.nodes.length; i += step) {
            const row = i + 1;
            const point = await nodePoint(page, row);
            assert.equal(point.hit, row, `node ${plan.nodes[i][0]} is not covered by another`);
            const before = await page.evaluate(() => window.selectEvents);
            await page.mouse.click(point.x, point.y);
            const got = await page.evaluate((want) => {
              const t = document.createElement('template');
              t.innerHTML = want;
              const info = document.getElementById('info');
              const a = info.querySelector('a');
              return { info: info.innerHTML, want: t.innerHTML, target: a && a.getAttribute('target'), events: window.selectEvents };
            }, expectedTitle(plan.nodes[i], target));
            assert.equal(got.events, before + 1, `one 'select' for a click on ${plan.nodes[i][0]}`);
            assert.equal(got.info, got.want, `title of ${plan.nodes[i][0]}`);
            if (plan.nodes[i].length >= 4) assert.equal(got.target, target);
          }

          // A click on empty canvas, or on a link, empties the node
          // selection: no 'select', no error, the info area keeps its text.
          const infoBefore = await page.innerHTML('#info');
          const eventsBefore = await page.evaluate(() => window.selectEvents);
          const spots = await page.evaluate(() => {
            const v = network.vis;
            const box = v.canvas.frame.canvas.getBoundingClientRect();
            let empty = null;
            for (let y = 10; y < box.height && !empty; y += 20) {
              for (let x = 10; x < box.width && !empty; x += 20) {
                if (v.getNodeAt({ x, y }) === undefined && v.getEdgeAt({ x, y }) === undefined) empty = { x: box.left + x, y: box.top + y };
              }
            }
            let link = null;
            for (const e of Object.values(v.body.edges)) {
              const a = v.canvasToDOM(v.getPosition(e.fromId));
              const b = v.canvasToDOM(v.getPosition(e.toId));
              for (const f of [0.3, 0.35, 0.4, 0.6, 0.65, 0.7]) {
                const p = { x: a.x + (b.x - a.x) * f, y: a.y + (b.y - a.y) * f };
                if (v.getNodeAt(p) === undefined && v.getEdgeAt(p) === e.id) {
                  link = { x: box.left + p.x, y: box.top + p.y };
                  break;
                }
              }
              if (link) break;
            }
            return { empty, link };
          });
          assert.ok(spots.empty, 'found a spot of empty canvas');
          await page.mouse.click(spots.empty.x, spots.empty.y);
          assert.deepEqual(await page.evaluate(() => network.getSelection()), []);
          if (plan.links.length > 0) {
            assert.ok(spots.link, 'found a spot on a link');
            await page.mouse.click(spots.link.x, spots.link.y);
          }
          assert.equal(await page.evaluate(() => window.selectEvents), eventsBefore);
          assert.equal(await page.innerHTML('#info'), infoBefore);

          // Hangul in the drawing's fonts: with no Korean font every syllable
          // is the same empty box.
          const labels = drawn.nodes.map((n) => n && n.label).filter((l) => l && /[\uac00-\ud7a3]/.test(l));
          if (labels.length > 0) {
            const glyphs = await page.evaluate(() => {
              const face = network.vis.body.nodes[1].options.font.face;
              const draw = (text) => {
                const c = document.createElement('canvas');
                c.width = 40; c.height = 40;
                const g = c.getContext('2d');
                g.font = `30px ${face}`;
                g.fillStyle = 'black';
                g.fillText(text, 4, 32);
                const px = g.getImageData(0, 0, 40, 40).data;
                let ink = 0;
                for (let k = 3; k < px.length; k += 4) if (px[k] > 0) ink++;
                return { ink, px: Array.from(px).join() };
              };
              const a = draw('한'); const b = draw('글'); const c = draw('도');
              return { ink: [a.ink, b.ink, c.ink], distinct: new Set([a.px, b.px, c.px]).size };
            });
            assert.ok(glyphs.ink.every((n) => n > 0), 'Hangul leaves ink');
            assert.equal(glyphs.distinct, 3, 'Hangul syllables are drawn as distinct glyphs, not as boxes');
          }

          // Back to the opening picture for the screenshot.
          await page.mouse.click(spots.empty.x, spots.empty.y);
          await page.evaluate(() => document.getElementById('info').innerHTML = '');
          const shot = join(OUT, 'screenshots', `${which}-${planName.replace(/\.lst$/, '')}.png`);
          await page.screenshot({ path: shot });
          assert.ok(statSync(shot).size > 0);

          assert.deepEqual(errors, [], 'no script or console errors');
          assert.deepEqual(aborted.slice(abortedBefore), [], 'every request is answered locally');
        } finally {
          await page.close();
        }
      });
    }
  });
}

test('the opening layout is the same every time', { timeout: 30000 }, async () => {
  const dir = workDir('self');
  const positions = [];
  for (const planName of [planNames[0], FULL_PLAN]) {
    const file = runProgram('self', dir, planName);
    for (let k = 0; k < 2; k++) {
      // Nothing remembered: the layout is computed afresh each time.
      const { page, errors } = await openPage(file, { setup: forgetEverything });
      await waitSettled(page);
      positions.push(await page.evaluate(() => network.vis.getPositions()));
      assert.deepEqual(errors, []);
      await page.close();
    }
  }
  assert.ok(Object.keys(positions[0]).length > 1);
  assert.deepEqual(positions[1], positions[0]);
  assert.deepEqual(positions[3], positions[2]);
});

describe('an apostrophe in a label', () => {
  const plan = (label) => [
    '#PROJECT', 'h1 Apostrophes', '#CLASS', 'Person darkred box 1', '#RELATION', 'knows gray line 1',
    '#NODES', `p001 Person ${label}`, 'p002 Person Kim_Minsu', '#LINKS', 'p001 p002 knows', '',
  ].join('\n');
  let dir;
  before(() => {
    dir = join(OUT, 'apostrophe');
    mkdirSync(dir, { recursive: true });
  });

  test('written plainly, ends the page script with a syntax error', { timeout: 30000 }, async () => {
    writeFileSync(join(dir, 'plain.lst'), plan("O'Neil"));
    const file = runProgram('self', dir, 'plain.lst');
    const { page, errors } = await openPage(file);
    try {
      await page.waitForTimeout(300);
      assert.ok(errors.some((e) => /^page error: .*(Unexpected identifier|missing \) after argument list|SyntaxError)/.test(e)),
        `expected a syntax error, got ${JSON.stringify(errors)}`);
      assert.equal(await page.evaluate(() => typeof draw), 'undefined', 'the script never ran');
      assert.equal(await page.evaluate(() => document.getElementById('mynetwork').childElementCount), 0);
    } finally {
      await page.close();
    }
  });

  test('written with a backslash before it, draws and shows it', { timeout: 30000 }, async () => {
    writeFileSync(join(dir, 'escaped.lst'), plan("O\\'Neil"));
    const file = runProgram('self', dir, 'escaped.lst');
    const { page, errors } = await openPage(file);
    try {
      await waitSettled(page);
      assert.equal(await page.evaluate(() => network.vis.body.nodes[1].options.label), "O'Neil");
      const point = await nodePoint(page, 1);
      await page.mouse.click(point.x, point.y);
      assert.equal(await page.innerHTML('#info'), "O'Neil");
      assert.deepEqual(errors, []);
    } finally {
      await page.close();
    }
  });
});

test('ids and classes named like the properties of every object are ordinary names', { timeout: 30000 }, async () => {
  const dir = join(OUT, 'object-names');
  mkdirSync(dir, { recursive: true });
  writeFileSync(join(dir, 'names.lst'), [
    '#PROJECT', 'h1 Names', '#CLASS', 'constructor darkred box 1', 'toString darkblue dot 1', '#RELATION', 'knows gray line 1',
    '#NODES', '__proto__ constructor Proto', 'constructor toString Cons', 'valueOf constructor Value',
    '#LINKS', '__proto__ constructor knows', 'constructor valueOf knows', 'valueOf __proto__ knows', '',
  ].join('\n'));
  const file = runProgram('self', dir, 'names.lst');
  for (const hash of ['', '#plain']) {
    const { page, errors } = await openPage(file, { hash });
    try {
      await waitSettled(page);
      const drawn = await page.evaluate(() => ({
        edges: Object.values(network.vis.body.edges).map((e) => [e.fromId, e.toId, e.connected]),
        borders: [1, 2, 3].map((r) => network.vis.body.nodes[r].options.color.border),
        legend: [...document.querySelectorAll('.pw-legend .pw-entry-name')].map((b) => b.textContent),
      }));
      assert.deepEqual(drawn.edges, [[1, 2, true], [2, 3, true], [3, 1, true]], `every link drawn ${hash}`);
      assert.deepEqual(drawn.borders, ['darkred', 'darkblue', 'darkred'], `class colours ${hash}`);
      assert.deepEqual(drawn.legend, hash ? [] : ['constructor', 'toString', 'knows']);
      assert.deepEqual(errors, []);
    } finally {
      await page.close();
    }
  }
});

// ---------------------------------------------------------------------------
// The reader's tools, found as a reader (or an assistive technology) finds
// them: by role and English name.

function forgetEverything(page) {
  return page.addInitScript(() => { try { localStorage.clear(); } catch (e) { /* none */ } });
}

const CHOSEONG = 'ㄱㄲㄴㄷㄸㄹㅁㅂㅃㅅㅆㅇㅈㅉㅊㅋㅌㅍㅎ';
function initials(text) {
  return [...text].map((c) => {
    const k = c.codePointAt(0) - 0xac00;
    return k >= 0 && k < 11172 ? CHOSEONG[Math.floor(k / 588)] : '';
  }).join('');
}

const visibleRows = (page) => page.evaluate(() => network.vis.body.nodeIndices.slice().sort((a, b) => a - b));
const visibleEdges = (page) => page.evaluate(() => network.vis.body.edgeIndices.slice().sort((a, b) => a - b));

function pngSize(bytes) {
  assert.deepEqual([...bytes.subarray(0, 8)], [0x89, 0x50, 0x4e, 0x47, 0x0d, 0x0a, 0x1a, 0x0a], 'a PNG file');
  return { width: bytes.readUInt32BE(16), height: bytes.readUInt32BE(20) };
}

// Only `row` and its direct neighbours are at full strength.
async function assertLit(page, plan, rowOf, row) {
  const dims = await page.evaluate(() => Object.values(network.vis.body.nodes).map((n) => [n.id, n.options.opacity]));
  const near = new Set([row]);
  for (const [a, b] of plan.links) { if (rowOf(a) === row) near.add(rowOf(b)); if (rowOf(b) === row) near.add(rowOf(a)); }
  for (const [id, o] of dims) assert.equal(o ?? 1, near.has(id) ? 1 : 0.15, `opacity of row ${id} while ${row} is lit`);
}

// Types into the search box and takes the first result with Enter; returns
// what a reader sees afterwards.
async function searchFor(page, query) {
  const box = page.getByRole('combobox', { name: 'Search nodes' });
  await box.fill('');
  await box.pressSequentially(query);
  await box.press('Enter');
  return page.evaluate(() => ({ sel: network.getSelection(), info: document.getElementById('info').innerHTML, events: window.selectEvents }));
}

describe('reader tools', () => {
  let dir;
  before(() => { dir = workDir('tools'); });

  for (const planName of [...planNames, FULL_PLAN]) {
    test(planName, { timeout: 90000 }, async () => {
      const plan = readPlan(join(dir, planName));
      const file = runProgram('self', dir, planName);
      const abortedBefore = aborted.length;
      const { page, errors } = await openCounting(file);
      try {
        const rowOf = (id) => plan.nodes.findIndex((f) => f[0] === id) + 1;

        // Legend: every class with nodes, in the plan's order, and every
        // relation in use by name.
        const legend = page.getByRole('region', { name: 'Legend' });
        const usedClasses = [...plan.classes.keys()].filter((c) => plan.nodes.some((f) => f[1] === c));
        const entries = await legend.getByRole('button', { pressed: true }).locator('.pw-entry-name').allTextContents();
        assert.deepEqual(entries.slice(0, usedClasses.length), usedClasses);
        const linkText = entries.slice(usedClasses.length).join(', ');
        for (const [, , relation] of plan.links) assert.ok(linkText.includes(relation), `legend names ${relation}`);

        // Neighbours: pointing at a node dims every node it is not linked to.
        const linked = plan.links.find(([a, b]) => a !== b);
        const hub = rowOf(linked[0]);
        const point = await nodePoint(page, hub);
        await page.mouse.move(point.x, point.y);
        await assertLit(page, plan, rowOf, hub);
        await page.mouse.move(1, 1);
        assert.ok((await page.evaluate(() => Object.values(network.vis.body.nodes).every((n) => (n.options.opacity ?? 1) === 1))), 'all lit again');

        // Search by label, typed in another case, and by id: the node is
        // selected and centred, its title shown, one 'select' raised.
        const counts = new Map();
        for (const f of plan.nodes) counts.set(f[2].toLowerCase(), (counts.get(f[2].toLowerCase()) || 0) + 1);
        const byLabel = plan.nodes.find((f) => /[a-z]/i.test(f[2]) && counts.get(f[2].toLowerCase()) === 1);
        let got = await searchFor(page, byLabel[2].replaceAll('_', ' ').toUpperCase());
        assert.deepEqual(got.sel, [{ row: rowOf(byLabel[0]) }], `search for ${byLabel[2]}`);
        assert.equal(got.info, await page.evaluate(() => { const t = document.createElement('template'); t.innerHTML = nodesTable.getValue(network.getSelection()[0].row, 3); return t.innerHTML; }));
        assert.equal(got.events, 1);
        // The view flies there.
        await page.waitForFunction((row) => {
          const v = network.vis;
          const p = v.canvasToDOM(v.getPosition(row));
          const c = v.canvas.frame.canvas;
          return Math.abs(p.x - c.clientWidth / 2) < 2 && Math.abs(p.y - c.clientHeight / 2) < 2;
        }, rowOf(byLabel[0]), { timeout: 5000 });
        await assertLit(page, plan, rowOf, rowOf(byLabel[0]));

        // Initial consonants: 숭례문 in the examples, a Korean label whose
        // initials no other label shares in the generated plan.
        const korean = plan.nodes.filter((f) => /^[\uac00-\ud7a3]+$/.test(f[2]));
        const target = korean.find((f) => f[2] === '숭례문')
          || korean.find((f) => plan.nodes.filter((g) => initials(g[2]).includes(initials(f[2]))).length === 1);
        if (target) {
          got = await searchFor(page, initials(target[2]));
          assert.deepEqual(got.sel, [{ row: rowOf(target[0]) }], `initials of ${target[2]}`);
          assert.equal(got.events, 2);
          assert.ok(got.info.length > 0 && got.info.includes(target[2]) || got.info.includes('<img'), 'its title is shown');
        }

        // Filters: a class switched off takes its nodes and their links; a
        // selected node among them is let go without a 'select'.
        const cls = usedClasses[0];
        const members = plan.nodes.map((f, i) => (f[1] === cls ? i + 1 : 0)).filter(Boolean);
        // The search above flies to its node; the view is fitted once that
        // flight has ended, so the node stays where it is clicked.
        await page.waitForFunction(() => new Promise((resolve) => {
          const view = () => JSON.stringify([network.vis.getViewPosition(), network.vis.getScale()]);
          const before = view();
          requestAnimationFrame(() => requestAnimationFrame(() => resolve(view() === before)));
        }));
        await page.evaluate(() => network.vis.fit({ animation: false }));
        const member = await nodePoint(page, members[0]);
        await page.mouse.click(member.x, member.y);
        assert.deepEqual(await page.evaluate(() => network.getSelection()), [{ row: members[0] }], 'a member is selected');
        const eventsBefore = await page.evaluate(() => window.selectEvents);
        const infoBefore = await page.innerHTML('#info');
        const allRows = await visibleRows(page);
        const allEdges = await visibleEdges(page);
        const classButton = legend.getByRole('button', { name: cls, exact: true });
        await classButton.click();
        assert.equal(await classButton.getAttribute('aria-pressed'), 'false');
        assert.deepEqual(await visibleRows(page), allRows.filter((r) => !members.includes(r)));
        const cut = plan.links.map(([a, b], i) => (members.includes(rowOf(a)) || members.includes(rowOf(b)) ? i : -1)).filter((i) => i >= 0);
        assert.deepEqual(await visibleEdges(page), allEdges.filter((e) => !cut.includes(e)));
        assert.deepEqual(await page.evaluate(() => network.getSelection()), []);
        assert.equal(await page.evaluate(() => window.selectEvents), eventsBefore);
        assert.equal(await page.innerHTML('#info'), infoBefore);
        await classButton.press('Enter');
        assert.deepEqual(await visibleRows(page), allRows);

        // A relation switched off hides just its links.
        const relation = plan.links[0][2];
        const kindButton = legend.getByRole('button', { name: relation, exact: true });
        const kindRows = plan.links.map(([, , r], i) => (r === relation ? i : -1)).filter((i) => i >= 0);
        await kindButton.first().click();
        assert.deepEqual(await visibleEdges(page), allEdges.filter((e) => !kindRows.includes(e)));
        await kindButton.first().click();
        assert.deepEqual(await visibleEdges(page), allEdges);

        // The legend folds away and comes back.
        const fold = legend.getByRole('button', { name: 'Hide legend' });
        await fold.click();
        assert.equal(await legend.getByRole('button', { name: cls, exact: true }).isVisible(), false);
        await legend.getByRole('button', { name: 'Show legend' }).press('Enter');
        assert.equal(await classButton.isVisible(), true);

        // Keyboard: Tab reaches the search box with a visible focus ring;
        // arrows and Enter pick a result, Escape closes the list.
        await page.evaluate(() => document.activeElement && document.activeElement.blur());
        await page.mouse.click(1, 1);
        let focused = '';
        for (let k = 0; k < 12 && focused !== 'Search nodes'; k++) {
          await page.keyboard.press('Tab');
          focused = await page.evaluate(() => document.activeElement && document.activeElement.getAttribute('aria-label'));
        }
        assert.equal(focused, 'Search nodes', 'Tab reaches the search box');
        assert.notEqual(await page.evaluate(() => getComputedStyle(document.activeElement).outlineStyle), 'none');
        await page.keyboard.type(byLabel[0]);
        const options = page.getByRole('listbox');
        assert.ok(await options.isVisible());
        await page.keyboard.press('Escape');
        assert.equal(await options.isVisible(), false);
        await page.keyboard.press('ArrowDown');
        await page.keyboard.press('Enter');
        assert.deepEqual(await page.evaluate(() => network.getSelection()), [{ row: rowOf(byLabel[0]) }]);

        // Save image: the whole network as a PNG at least twice the
        // drawing's size, with a word about pictures it had to leave out.
        const drawingSize = await page.evaluate(() => {
          const c = network.vis.canvas.frame.canvas;
          return { width: c.clientWidth, height: c.clientHeight };
        });
        const figureDialog = page.getByRole('dialog', { name: 'Save image' });
        const download = page.waitForEvent('download');
        await page.getByRole('button', { name: 'Save image' }).click();
        await figureDialog.getByRole('button', { name: 'Save', exact: true }).click();
        const saved = readFileSync(await (await download).path());
        const size = pngSize(saved);
        assert.ok(size.width >= 2 * drawingSize.width && size.height >= 2 * drawingSize.height,
          `figure ${size.width}x${size.height} for a ${drawingSize.width}x${drawingSize.height} drawing`);
        const status = await page.getByRole('status').textContent();
        const pictures = plan.nodes.some((f) => f.length >= 6 && parseInt(f[5], 10) === 1);
        assert.match(status, pictures ? /without \d+ picture/ : /^Image saved/);
        await assertLit(page, plan, rowOf, rowOf(byLabel[0]));
        if (planName !== FULL_PLAN) {
          await page.getByRole('button', { name: 'Save image' }).press('Enter');
          await figureDialog.getByRole('combobox', { name: 'Image resolution' }).selectOption('3');
          const larger = page.waitForEvent('download');
          await figureDialog.getByRole('button', { name: 'Save', exact: true }).press('Enter');
          const three = pngSize(readFileSync(await (await larger).path()));
          assert.ok(Math.abs(three.width - size.width * 1.5) <= 1 && Math.abs(three.height - size.height * 1.5) <= 1,
            `three times: ${three.width}x${three.height} after ${size.width}x${size.height}`);
        }

        await page.screenshot({ path: join(OUT, 'screenshots', `tools-${planName.replace(/\.lst$/, '')}.png`) });
        assert.deepEqual(errors, [], 'no script or console errors');
        assert.deepEqual(aborted.slice(abortedBefore), [], 'every request is answered locally');
      } finally {
        await page.close();
      }
    });
  }

  test('speak Korean to a Korean browser', { timeout: 30000 }, async () => {
    const file = runProgram('self', dir, planNames[0]);
    const { page, errors } = await openPage(file, {
      setup: (p) => p.addInitScript(() => Object.defineProperty(navigator, 'language', { get: () => 'ko-KR' })),
    });
    try {
      await waitSettled(page);
      assert.ok(await page.getByRole('region', { name: '범례' }).isVisible());
      assert.ok(await page.getByRole('combobox', { name: '노드 검색' }).isVisible());
      assert.ok(await page.getByRole('button', { name: '이미지 저장' }).isVisible());
      assert.ok(await page.getByRole('button', { name: '다시 배치' }).isVisible());
      assert.deepEqual(errors, []);
    } finally {
      await page.close();
    }
  });

  test('storage that refuses access costs the memory, nothing else', { timeout: 30000 }, async () => {
    const file = runProgram('self', dir, planNames[0]);
    const { page, errors } = await openPage(file, {
      setup: (p) => p.addInitScript(() => Object.defineProperty(window, 'localStorage', {
        get() { throw new DOMException('denied', 'SecurityError'); },
      })),
    });
    try {
      await waitSettled(page);
      await page.getByRole('button', { name: 'Re-layout' }).click();
      const got = await searchFor(page, 'p001');
      assert.deepEqual(got.sel, [{ row: 1 }]);
      assert.deepEqual(errors, []);
    } finally {
      await page.close();
    }
  });

  test('positions stay put across visits and regeneration; Re-layout forgets them', { timeout: 60000 }, async () => {
    const work = join(OUT, 'positions');
    mkdirSync(work, { recursive: true });
    const lines = ['#CLASS', 'Person darkred box 1', '#RELATION', 'knows gray line 1', '#NODES',
      'a1 Person Alpha', 'a2 Person Beta', 'a3 Person Gamma', 'a4 Person Delta', '#LINKS', 'a1 a2 knows', 'a2 a3 knows', 'a3 a4 knows'];
    writeFileSync(join(work, 'kept.lst'), `${lines.join('\n')}\n`);
    const file = runProgram('self', work, 'kept.lst');
    const positionsOf = async () => {
      const { page, errors } = await openPage(file);
      await waitSettled(page);
      const p = await page.evaluate(() => network.vis.getPositions());
      assert.deepEqual(errors, []);
      return { page, p };
    };

    let { page, p: opening } = await positionsOf();
    const from = await nodePoint(page, 2);
    await page.mouse.move(from.x, from.y);
    await page.mouse.down();
    await page.mouse.move(from.x + 40, from.y + 60, { steps: 5 });
    await page.mouse.up();
    const dragged = await page.evaluate(() => network.vis.getPositions());
    assert.notDeepEqual(dragged[2], opening[2], 'the node was dragged');
    await page.close();

    let again;
    ({ page, p: again } = await positionsOf());
    assert.deepEqual(again, dragged, 'the next visit shows the dragged position');
    await page.close();

    // Two more nodes in the plan: the four known ones keep their places.
    const grown = [...lines.slice(0, 9), 'a5 Person Epsilon', 'a6 Person Zeta', ...lines.slice(9), 'a4 a5 knows', 'a5 a6 knows'];
    writeFileSync(join(work, 'kept.lst'), `${grown.join('\n')}\n`);
    runProgram('self', work, 'kept.lst');
    ({ page, p: again } = await positionsOf());
    for (const row of [0, 1, 2, 3, 4]) assert.deepEqual(again[row], dragged[row], `row ${row} stays`);
    assert.equal(Object.keys(again).length, 7);

    await page.getByRole('button', { name: 'Re-layout' }).click();
    const fresh = await page.evaluate(() => network.vis.getPositions());
    await page.close();
    ({ page, p: again } = await positionsOf());
    assert.deepEqual(again, fresh, 'the new layout is the one remembered');
    await page.close();
    const { page: clean } = await openPage(file, { setup: forgetEverything });
    await waitSettled(clean);
    assert.deepEqual(await clean.evaluate(() => network.vis.getPositions()), fresh, 'Re-layout gives the opening layout');
    await clean.close();
  });
});

describe('today\'s drawing, without the tools', () => {
  let dir;
  let plainSite;
  before(() => {
    dir = workDir('plain');
    plainSite = join(OUT, 'plain-site');
    execFileSync(process.execPath, [join(KIT, 'build.mjs'), plainSite, '--plain'], { stdio: 'ignore', timeout: 60000 });
  });

  test('#plain and a kit built with --plain draw the same, with no tools', { timeout: 60000 }, async () => {
    const plainScript = readFileSync(join(plainSite, 'Graph', 'network', 'network.js'));
    assert.ok(plainScript.length < statSync(join(SITE, 'Graph', 'network', 'network.js')).size);
    assert.ok(!existsSync(join(plainSite, 'Graph', 'network', 'licenses', 'es-hangul')));
    assert.ok(existsSync(join(SITE, 'Graph', 'network', 'licenses', 'es-hangul')));
    const file = runProgram('self', dir, planNames[0]);
    const drawings = [];
    for (const how of ['hash', 'build']) {
      const { page, errors } = await openPage(file, {
        hash: how === 'hash' ? '#plain' : '',
        setup: how === 'build' ? (p) => p.route('**/Graph/network/network.js', (route) => route.fulfill({
          status: 200, contentType: 'text/javascript; charset=utf-8', body: plainScript })) : undefined,
      });
      try {
        await waitSettled(page);
        drawings.push(await page.evaluate(() => ({
          tools: !!links.Network.readerTools,
          controls: document.querySelectorAll('#mynetwork button, #mynetwork input, #mynetwork [role=region]').length,
          positions: network.vis.getPositions(),
          physics: network.vis.physics.options.enabled,
        })));
        const point = await nodePoint(page, 1);
        await page.mouse.click(point.x, point.y);
        assert.notEqual(await page.innerHTML('#info'), '', 'a click still shows the title');
        assert.deepEqual(errors, []);
      } finally {
        await page.close();
      }
    }
    assert.deepEqual(drawings[0], drawings[1]);
    assert.equal(drawings[0].tools, false);
    assert.equal(drawings[0].controls, 0);
    assert.equal(drawings[0].physics, true, 'laid out by simulation as before');
  });
});
