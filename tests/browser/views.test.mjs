// The view tools on real pages in Debian's chromium: a link to a node, the
// neighbourhood view, the table, stepping with the arrow keys, the steering
// buttons and keys, the legend's switch per relation, the opening view of a
// large plan, and what axe-core finds about accessibility.
//
//   node tests/browser/views.test.mjs --self PATH --examples DIR --out DIR [--kit DIR]

import { after, before, describe, test } from 'node:test';
import assert from 'node:assert/strict';
import { execFileSync } from 'node:child_process';
import { cpSync, existsSync, mkdirSync, readFileSync, rmSync, writeFileSync } from 'node:fs';
import { createRequire } from 'node:module';
import { dirname, join, resolve } from 'node:path';
import { fileURLToPath, pathToFileURL } from 'node:url';
import { collectErrors, withPageOf } from './page-support.mjs';

const here = dirname(fileURLToPath(import.meta.url));
function argument(name, fallback) {
  const at = process.argv.indexOf(`--${name}`);
  return at >= 0 && at + 1 < process.argv.length ? resolve(process.argv[at + 1]) : fallback;
}
const SELF = argument('self', process.env.PLOTWEAVE_SELF && resolve(process.env.PLOTWEAVE_SELF));
const EXAMPLES = argument('examples', resolve(here, '../../examples'));
const OUT = argument('out', resolve('views-test-out'));
const KIT = argument('kit', resolve(here, '../../web'));
const { launchWithKit, missingKitFiles } = await import(pathToFileURL(join(KIT, 'test-support', 'kit-browser.mjs')).href);
const { fullCapacityPlan } = await import(pathToFileURL(join(KIT, 'test-support', 'full-plan.mjs')).href);
const { readPlan } = await import(pathToFileURL(join(KIT, 'test-support', 'plan-reading.mjs')).href);
const AXE = createRequire(join(KIT, 'package.json')).resolve('axe-core/axe.min.js');

let browser;
const pages = {};
const plans = {};

before(() => {
  assert.ok(SELF && existsSync(SELF), 'plotweave_self not found (--self)');
  assert.deepEqual(missingKitFiles(join(KIT, 'site')), [], 'build the kit first');
  rmSync(OUT, { recursive: true, force: true });
  mkdirSync(OUT, { recursive: true });
  cpSync(EXAMPLES, OUT, { recursive: true });
  writeFileSync(join(OUT, 'full.lst'), fullCapacityPlan().text);
  writeFileSync(join(OUT, 'animals.lst'), [
    '#CLASS', 'Animal darkred box 1', 'Mammal darkred ellipse 1', 'Bird darkred box 1', 'Place darkblue dot 1',
    '#RELATION', 'isA gray arrow 1', 'livesIn darkcyan line 1',
    '#NODES', 'a0 Animal Animal', 'm0 Mammal Mammal', 'b0 Bird Bird', 'm1 Mammal Dog', 'm2 Mammal Cat', 'm3 Mammal Whale',
    'b1 Bird Sparrow', 'b2 Bird Penguin', 'm4 Mammal Puppy', 'p1 Place Sea', 'p2 Place Ice',
    '#LINKS', 'm0 a0 isA', 'b0 a0 isA', 'm1 m0 isA', 'm2 m0 isA', 'm3 m0 isA', 'b1 b0 isA', 'b2 b0 isA', 'm4 m1 isA',
    'm3 p1 livesIn', 'b2 p2 livesIn', '',
  ].join('\n'));
  for (const [name, plan] of [['example', 'ontology-utf8.lst'], ['full', 'full.lst'], ['animals', 'animals.lst']]) {
    execFileSync(SELF, [plan], { cwd: OUT, stdio: 'ignore', timeout: 30000 });
    pages[name] = join(OUT, `${plan.slice(0, plan.indexOf('.'))}_self.htm`);
    plans[name] = readPlan(join(OUT, plan));
  }
});

after(async () => { if (browser) await browser.close(); });

async function open(name, { hash = '', setup, viewport = { width: 1000, height: 700 } } = {}) {
  if (!browser) browser = await launchWithKit({ site: join(KIT, 'site'), profileParent: OUT, viewport });
  const page = await browser.context.newPage();
  await page.setViewportSize(viewport);
  const errors = collectErrors(page);
  // A fresh start once per tab: a reload finds what the visit kept.
  await page.addInitScript(() => {
    if (sessionStorage.getItem('visited')) return;
    sessionStorage.setItem('visited', '1');
    localStorage.clear();
  });
  if (setup) await setup(page);
  await page.goto(pathToFileURL(pages[name]).href + hash);
  await page.waitForFunction(() => document.getElementById('mynetwork').getAttribute('data-layout') === 'settled', null, { timeout: 30000 });
  return { page, errors };
}

const withPage = withPageOf(open);

const rowOf = (plan, id) => plan.nodes.findIndex((f) => f[0] === id) + 1;
const selected = (page) => page.evaluate(() => network.getSelection().map((s) => s.row));
const visibleRows = (page) => page.evaluate(() => network.vis.body.nodeIndices.filter((r) => r !== 0).sort((a, b) => a - b));
const visibleEdges = (page) => page.evaluate(() => network.vis.body.edgeIndices.map(Number).sort((a, b) => a - b));

// Rows within k links of `row`, by the plan's own links.
function near(plan, row, k) {
  const seen = new Set([row]);
  let frontier = [row];
  for (let s = 0; s < k; s++) {
    const next = [];
    for (const [a, b] of plan.links) {
      for (const [x, y] of [[rowOf(plan, a), rowOf(plan, b)], [rowOf(plan, b), rowOf(plan, a)]]) {
        if (frontier.includes(x) && !seen.has(y)) { seen.add(y); next.push(y); }
      }
    }
    frontier = next;
  }
  return [...seen].sort((a, b) => a - b);
}

// Where the node is on screen, relative to the drawing's middle.
const offCentre = (page, row) => page.evaluate((r) => {
  const v = network.vis;
  const p = v.canvasToDOM(v.getPosition(r));
  const c = v.canvas.frame.canvas;
  return Math.hypot(p.x - c.clientWidth / 2, p.y - c.clientHeight / 2);
}, row);

describe('a link to a node', () => {
  test('opens the page on the node, copies a link that does the same, and leaves #plain alone', { timeout: 60000 }, async () => {
    const plan = plans.full;
    const id = plan.nodes[300][0];
    await withPage('full', {
      hash: `#node=${encodeURIComponent(id)}`,
      setup: (p) => p.addInitScript(() => {
        window.copied = [];
        navigator.clipboard.writeText = async (text) => { window.copied.push(text); };
      }),
    }, async (page) => {
      assert.deepEqual(await selected(page), [rowOf(plan, id)]);
      assert.ok(await offCentre(page, rowOf(plan, id)) < 2, 'centred');
      assert.ok((await page.innerHTML('#info')).includes(plan.nodes[300][2]), 'the page shows its title');
      assert.ok(await page.evaluate(() => network.vis.getScale()) >= 0.59, 'at a legible zoom');

      // Another node, then the toolbar's link: it names that node.
      const other = plan.nodes[17][0];
      await page.getByRole('combobox', { name: 'Search nodes' }).fill(other);
      await page.keyboard.press('Enter');
      await page.getByRole('button', { name: 'Copy link' }).click();
      await page.waitForFunction(() => window.copied.length === 1);
      const link = await page.evaluate(() => window.copied[0]);
      assert.equal(link, `${pathToFileURL(pages.full).href}#node=${encodeURIComponent(other)}`);
      await page.goto(link);
      await page.waitForFunction(() => document.getElementById('mynetwork').getAttribute('data-layout') === 'settled');
      await page.waitForFunction((row) => network.getSelection().length === 1 && network.getSelection()[0].row === row, rowOf(plan, other));

      // Following a link within the page moves there.
      await page.evaluate((target) => { location.hash = `node=${encodeURIComponent(target)}`; }, id);
      await page.waitForFunction((row) => network.getSelection()[0].row === row, rowOf(plan, id));
    });

    const bare = await open('example', { hash: `#plain&node=${plans.example.nodes[2][0]}` });
    try {
      assert.deepEqual(await selected(bare.page), [0], 'the bare drawing has no tools and keeps the page\'s selection');
      assert.equal(await bare.page.locator('#mynetwork button').count(), 0);
      assert.deepEqual(bare.errors, []);
    } finally {
      await bare.page.close();
    }
  });
});

describe('the full-capacity plan', () => {
  test('opens legible, and the neighbourhood view shows k steps around the selection', { timeout: 60000 }, async () => {
    const plan = plans.full;
    await withPage('full', async (page) => {
      const opening = await page.evaluate(() => ({
        scale: network.vis.getScale(), threshold: network.vis.body.nodes[1].options.scaling.label.drawThreshold,
        font: network.vis.body.nodes[1].options.font.size,
      }));
      assert.ok(opening.scale * 15 >= opening.threshold - 0.01, `labels legible at the opening zoom ${opening.scale}`);

      const hub = rowOf(plan, plan.nodes[3][0]);
      await page.evaluate((row) => { location.hash = `node=${nodesTable.getValue(row, 0)}`; }, hub);
      await page.waitForFunction((row) => network.getSelection()[0] && network.getSelection()[0].row === row, hub);
      const all = await visibleRows(page);
      assert.equal(all.length, plan.nodes.length);
      const toggle = page.getByRole('button', { name: 'Neighbourhood' });
      await toggle.click();
      assert.equal(await toggle.getAttribute('aria-pressed'), 'true');
      assert.deepEqual(await visibleRows(page), near(plan, hub, 1));
      await page.getByRole('combobox', { name: 'Steps from the selected node' }).selectOption('2');
      assert.deepEqual(await visibleRows(page), near(plan, hub, 2));
      // Every link left on the drawing joins two nodes left on it.
      const shown = new Set(near(plan, hub, 2));
      const edges = await visibleEdges(page);
      assert.deepEqual(edges, plan.links.map(([a, b], i) => (shown.has(rowOf(plan, a)) && shown.has(rowOf(plan, b)) ? i : -1)).filter((i) => i >= 0));

      // Selecting a node at the edge moves the neighbourhood to it.
      const edge = near(plan, hub, 2).find((r) => !near(plan, hub, 1).includes(r));
      await page.evaluate((row) => { location.hash = `node=${nodesTable.getValue(row, 0)}`; }, edge);
      await page.waitForFunction((row) => network.getSelection()[0].row === row, edge);
      assert.deepEqual(await visibleRows(page), near(plan, edge, 2));

      await toggle.click();
      assert.deepEqual(await visibleRows(page), all, 'leaving it restores everything');
    });
  });

  test('the legend has a switch per relation, with counts, even for relations that look alike', { timeout: 60000 }, async () => {
    const plan = plans.full;
    await withPage('full', async (page) => {
      const legend = page.getByRole('region', { name: 'Legend' });
      const used = [...new Set(plan.links.map((l) => l[2]))];
      const entries = await legend.locator('.pw-legend-group').nth(1).locator('.pw-entry').evaluateAll((buttons) =>
        buttons.map((b) => [b.querySelector('.pw-entry-name').textContent, Number(b.querySelector('.pw-count').textContent)]));
      assert.deepEqual(entries.map((e) => e[0]).sort(), used.sort());
      for (const [name, count] of entries) assert.equal(count, plan.links.filter((l) => l[2] === name).length, name);

      // Two relations drawn alike: each switch hides its own links only.
      const look = (r) => JSON.stringify([plan.relations.get(r).color, plan.relations.get(r).style]);
      const [a, b] = used.flatMap((r) => used.filter((s) => s > r && look(s) === look(r)).map((s) => [r, s]))[0];
      const allEdges = await visibleEdges(page);
      await legend.getByRole('button', { name: a, exact: true }).click();
      const ofA = plan.links.map((l, i) => (l[2] === a ? i : -1)).filter((i) => i >= 0);
      assert.deepEqual(await visibleEdges(page), allEdges.filter((e) => !ofA.includes(e)), `${a} alone hidden, ${b} stays`);

      // An entry switched off keeps readable text and a second cue.
      const off = await legend.getByRole('button', { name: a, exact: true }).evaluate((el) => {
        const s = getComputedStyle(el);
        return { colour: s.color, line: s.textDecorationLine };
      });
      assert.equal(off.line, 'line-through');
      const [r, g, bl] = off.colour.match(/\d+/g).map(Number);
      const lum = (c) => { c /= 255; return c <= 0.03928 ? c / 12.92 : ((c + 0.055) / 1.055) ** 2.4; };
      const contrast = 1.05 / (0.2126 * lum(r) + 0.7152 * lum(g) + 0.0722 * lum(bl) + 0.05);
      assert.ok(contrast >= 4.5, `contrast ${contrast.toFixed(2)} on white`);

      // The fold is kept for the next visit.
      await legend.getByRole('button', { name: 'Hide legend' }).click();
      await page.reload();
      await page.waitForFunction(() => document.getElementById('mynetwork').getAttribute('data-layout') === 'settled');
      assert.equal(await legend.getByRole('button', { name: 'Show legend' }).getAttribute('aria-expanded'), 'false');
    });
  });
});

describe('the example', () => {
  test('the table lists every node and link, sorts, and selects', { timeout: 60000 }, async () => {
    const plan = plans.example;
    await withPage('example', async (page) => {
      await page.getByRole('button', { name: 'Table' }).click();
      const region = page.getByRole('region', { name: 'Network as tables' });
      const nodes = region.getByRole('table', { name: 'Nodes' });
      const links = region.getByRole('table', { name: 'Links' });
      assert.equal(await nodes.locator('tbody tr').count(), plan.nodes.length);
      assert.equal(await links.locator('tbody tr').count(), plan.links.length);
      const rows = await nodes.locator('tbody tr').evaluateAll((trs) => trs.map((tr) => [...tr.cells].map((c) => c.textContent)));
      plan.nodes.forEach((f, i) => {
        const degree = plan.links.filter((l) => l[0] === f[0] || l[1] === f[0]).length;
        assert.deepEqual(rows[i].slice(1), [f[1], String(degree)], f[0]);
      });

      await nodes.getByRole('button', { name: 'Links' }).click();
      await nodes.getByRole('button', { name: 'Links' }).click();
      assert.equal(await nodes.locator('th').nth(2).getAttribute('aria-sort'), 'descending');
      const counts = await nodes.locator('tbody tr td:nth-child(3)').allTextContents();
      assert.deepEqual(counts.map(Number), counts.map(Number).sort((a, b) => b - a));

      // The first row's node gets selected, shown and announced.
      const first = await nodes.locator('tbody tr').first().getAttribute('data-row');
      await nodes.locator('tbody tr').first().getByRole('button').click();
      assert.deepEqual(await selected(page), [Number(first)]);
      assert.notEqual(await page.innerHTML('#info'), '');
      assert.equal(await nodes.locator('tbody tr[aria-current="true"]').getAttribute('data-row'), first);
    });
  });

  test('arrow keys step along links, keys and buttons steer, Escape clears', { timeout: 60000 }, async () => {
    const plan = plans.example;
    await withPage('example', async (page) => {
      const frame = page.getByRole('application');
      assert.match(await frame.getAttribute('aria-label'), new RegExp(`${plan.nodes.length} nodes, ${plan.links.length} links`));
      await frame.focus();
      await page.keyboard.press('ArrowRight');
      let [at] = await selected(page);
      assert.ok(at > 0, 'an arrow with nothing selected selects a node');
      const linked = (row) => new Set(plan.links.flatMap(([a, b]) => (rowOf(plan, a) === row ? [rowOf(plan, b)] : rowOf(plan, b) === row ? [rowOf(plan, a)] : [])));
      let moves = 0;
      for (const key of ['ArrowRight', 'ArrowDown', 'ArrowLeft', 'ArrowUp', 'ArrowRight', 'ArrowLeft']) {
        await page.keyboard.press(key);
        const [now] = await selected(page);
        if (now !== at) { assert.ok(linked(at).has(now), `${key} from ${at} to ${now}, a linked node`); moves++; }
        at = now;
      }
      assert.ok(moves >= 2, 'the arrows moved along the links');
      assert.ok((await page.innerHTML('#info')) !== '', 'each step is announced to the page');

      const scale = () => page.evaluate(() => network.vis.getScale());
      // The fit key shows the whole network; after zooming, so does the
      // button. (Without motion, for readers who ask for none.)
      await page.emulateMedia({ reducedMotion: 'reduce' });
      await page.keyboard.press('0');
      const before = await scale();
      await page.keyboard.press('+');
      await page.waitForFunction((s) => network.vis.getScale() > s * 1.2, before);
      await page.getByRole('button', { name: 'Zoom out' }).click();
      await page.getByRole('button', { name: 'Zoom out' }).click();
      await page.waitForFunction((s) => network.vis.getScale() < s * 0.9, before);
      await page.getByRole('button', { name: 'Fit' }).click();
      assert.ok(Math.abs(await scale() - before) < 1e-6, `fitted at ${await scale()}, first at ${before}`);
      await page.emulateMedia({ reducedMotion: 'no-preference' });

      await page.keyboard.press('Escape');
      assert.deepEqual(await selected(page), []);

      // A search result is flown to, not jumped to.
      const target = rowOf(plan, 'r002');
      await page.getByRole('combobox', { name: 'Search nodes' }).fill('r002');
      assert.equal(await page.getByRole('combobox', { name: 'Search nodes' }).getAttribute('aria-expanded'), 'true');
      await page.keyboard.press('Enter');
      const start = await offCentre(page, target);
      await page.waitForFunction((row) => {
        const v = network.vis;
        const p = v.canvasToDOM(v.getPosition(row));
        return Math.hypot(p.x - v.canvas.frame.canvas.clientWidth / 2, p.y - v.canvas.frame.canvas.clientHeight / 2) < 2;
      }, target);
      assert.ok(start > 2, 'the view moved over time');
    });
  });

  test('the drawing grows to a tall window and to the screen', { timeout: 60000 }, async () => {
    await withPage('example', { viewport: { width: 1200, height: 1100 } }, async (page) => {
      // The drawing grows once the page has laid itself out, which a loaded
      // machine may not have done by the time the page reports it is drawn.
      await page.waitForFunction(() => network.vis.canvas.frame.clientHeight > 520, null, { timeout: 20000 })
        .catch(() => assert.fail('more than the page\'s 520 px in a tall window'));
      assert.ok(await page.evaluate(() => document.documentElement.scrollHeight <= window.innerHeight + 1), 'without a scroll bar');
      await page.getByRole('button', { name: 'Full screen' }).click();
      await page.waitForFunction(() => document.fullscreenElement !== null);
      // The button is renamed when the browser reports the change.
      await page.getByRole('button', { name: 'Leave full screen' }).waitFor({ timeout: 10000 });
    });
  });
});

describe('a plan whose relation forms a tree', () => {
  test('lays out as a tree, tints classes painted alike, sizes by links', { timeout: 60000 }, async () => {
    const plan = plans.animals;
    await withPage('animals', async (page) => {
      const fills = () => page.evaluate(() => [1, 2, 3, 4].map((r) => network.vis.body.nodes[r].options.color.background));
      const tinted = await fills();
      assert.equal(new Set(tinted.slice(0, 3)).size, 3, `three darkred classes, three fills: ${tinted}`);
      assert.equal(await page.evaluate(() => network.vis.body.nodes[1].options.color.border), 'darkred', 'the plan colour stays the border');

      await page.locator('.pw-view-menu summary').click();
      await page.getByRole('combobox', { name: 'Layout' }).selectOption({ label: 'Tree by isA' });
      const at = await page.evaluate(() => network.vis.getPositions());
      for (const [child, parent, relation] of plan.links) {
        if (relation === 'isA') assert.ok(at[rowOf(plan, child)].y > at[rowOf(plan, parent)].y, `${child} under ${parent}`);
      }

      const size = () => page.evaluate(() => network.vis.body.nodes[2].options.font.size);
      const plainSize = await size();
      await page.getByRole('checkbox', { name: 'Size by links' }).check();
      assert.ok(await size() > plainSize, 'Mammal, with four links, grows');
      await page.getByRole('checkbox', { name: 'Tint alike classes' }).uncheck();
      assert.deepEqual((await fills()).slice(0, 3), ['white', 'white', 'white']);
    });
  });
});

describe('accessibility', () => {
  // The page's own markup (a table for layout, no language) is the
  // program's fixed output; everything else is the kit's to get right.
  const PAGE_OWN = new Set(['html-has-lang', 'document-title']);

  for (const name of ['example', 'full']) {
    test(`axe-core finds nothing serious on the ${name} page, tools open`, { timeout: 90000 }, async () => {
      await withPage(name, async (page) => {
        await page.getByRole('button', { name: 'Table' }).click();
        await page.getByRole('combobox', { name: 'Search nodes' }).fill('a');
        await page.addScriptTag({ path: AXE });
        const found = await page.evaluate(async () => {
          const result = await window.axe.run(document, { resultTypes: ['violations'] });
          return result.violations.map((v) => ({ id: v.id, impact: v.impact, nodes: v.nodes.slice(0, 3).map((n) => n.target.join(' ')) }));
        });
        const serious = found.filter((v) => (v.impact === 'serious' || v.impact === 'critical') && !PAGE_OWN.has(v.id));
        assert.deepEqual(serious, []);
      });
    });
  }
});
