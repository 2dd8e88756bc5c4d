// plotweave-preview in headless Chromium: the page follows the plan through a
// save that adds a node, one (by rename) that breaks a class name and one
// that fixes it and drops a node, keeping the reader's zoom; the findings
// panel shows and selects; nothing but the page, its client and its findings is
// served, the pictures being inside the page as in a standalone copy; Ctrl+C
// ends it; the plan's folder is as it was.
//
//   node tests/preview/preview.test.mjs --preview PATH --examples DIR --kit DIR --out DIR

import { after, before, test } from 'node:test';
import assert from 'node:assert/strict';
import { spawn } from 'node:child_process';
import { createHash } from 'node:crypto';
import { cpSync, lstatSync, mkdirSync, readFileSync, readdirSync, readlinkSync, renameSync, rmSync, symlinkSync,
  writeFileSync } from 'node:fs';
import { request } from 'node:http';
import { createRequire } from 'node:module';
import { join, resolve } from 'node:path';

function argument(name) {
  const at = process.argv.indexOf(`--${name}`);
  return at >= 0 ? resolve(process.argv[at + 1]) : undefined;
}
const PREVIEW = argument('preview');
const EXAMPLES = argument('examples');
const KIT = argument('kit');
const OUT = argument('out');
const FOLDER = join(OUT, 'plan');
const PLAN = join(FOLDER, 'ontology.lst');

// Every name in the folder with what it holds.
function listing(folder) {
  const out = {};
  const walk = (dir, prefix) => {
    for (const name of readdirSync(dir).sort()) {
      const path = join(dir, name);
      const st = lstatSync(path);
      const key = prefix + name;
      if (st.isDirectory()) { out[key] = 'dir'; walk(path, `${key}/`); }
      else if (st.isSymbolicLink()) out[key] = `link ${readlinkSync(path)}`;
      else out[key] = createHash('sha256').update(readFileSync(path)).digest('hex');
    }
  };
  walk(folder, '');
  return out;
}

function get(port, path, host = `127.0.0.1:${port}`) {
  return new Promise((done, fail) => {
    const req = request({ host: '127.0.0.1', port, path, headers: { Host: host } }, (res) => {
      const chunks = [];
      res.on('data', (c) => chunks.push(c));
      res.on('end', () => done({ status: res.statusCode, body: Buffer.concat(chunks) }));
    });
    req.on('error', fail);
    req.end();
  });
}

let child;
let port;
let output = '';
let browser;
let before_;

before(async () => {
  rmSync(OUT, { recursive: true, force: true });
  mkdirSync(FOLDER, { recursive: true });
  cpSync(join(EXAMPLES, 'ontology.lst'), PLAN);
  cpSync(join(EXAMPLES, 'img'), join(FOLDER, 'img'), { recursive: true });
  // Bait outside the folder, and a link to it inside that a node will name.
  writeFileSync(join(OUT, 'secret.png'), 'outside the folder');
  symlinkSync('../../secret.png', join(FOLDER, 'img', 'out.png'));
  before_ = listing(FOLDER);

  child = spawn(PREVIEW, ['--port', '0', '--kit', KIT, 'ontology.lst'], { cwd: FOLDER, stdio: ['ignore', 'pipe', 'pipe'] });
  child.stdout.on('data', (d) => { output += d; });
  child.stderr.on('data', (d) => { output += d; });
  for (let i = 0; i < 100 && !/127\.0\.0\.1:(\d+)/.test(output); i++) await new Promise((r) => setTimeout(r, 50));
  port = Number(/127\.0\.0\.1:(\d+)/.exec(output)[1]);

  const { chromium } = createRequire(join(KIT, '..', 'package.json'))('playwright-core');
  browser = await chromium.launch({ executablePath: '/usr/bin/chromium', headless: true,
    args: ['--no-sandbox', '--disable-gpu', '--disable-background-networking'] });
});

after(async () => {
  if (browser) await browser.close();
  if (child && child.exitCode === null) child.kill('SIGKILL');
});

// Writes the plan as an editor does: in place, or a new file renamed over it.
function save(text, byRename) {
  const bytes = Buffer.from(text, 'latin1');
  if (!byRename) { writeFileSync(PLAN, bytes); return; }
  writeFileSync(`${PLAN}.new`, bytes);
  renameSync(`${PLAN}.new`, PLAN);
}

test('the page follows the plan, keeps the view and shows the findings', async () => {
  const original = readFileSync(PLAN, 'latin1');
  const page = await browser.newPage({ viewport: { width: 1200, height: 900 } });
  const errors = [];
  const outside = [];
  page.on('pageerror', (e) => errors.push(e.message));
  await page.route('**/*', (route) => {
    const url = new URL(route.request().url());
    if (url.host === `127.0.0.1:${port}`) return route.continue();
    outside.push(url.href);
    return route.abort();
  });
  await page.goto(`http://127.0.0.1:${port}/`);
  await page.waitForFunction(() => document.getElementById('mynetwork').getAttribute('data-layout') === 'settled');
  await page.waitForSelector('#pw-preview[data-state="drawn"]');
  const ids = () => page.evaluate(() => network.vis.body.data.nodes.get().map((n) => nodesTable.getValue(n.id, 0)));
  assert.ok((await ids()).includes('g003'));

  // The reader sizes nodes by their links (View menu), moves a node,
  // switches a class off in the legend, zooms and pans.
  const sizeByLinks = async (p) => {
    await p.locator('.pw-view-menu summary').click();
    await p.locator('.pw-view-menu label', { hasText: 'Size by links' }).locator('input').check();
    await p.locator('.pw-view-menu summary').click();
  };
  await sizeByLinks(page);
  const rowOf = (id) => page.evaluate((i) => { for (let r = 1; r < nodesTable.getNumberOfRows(); r++) if (nodesTable.getValue(r, 0) === i) return r; return -1; }, id);
  const where = async (id) => page.evaluate((r) => network.vis.getPositions([r])[r], await rowOf(id));
  await page.evaluate((r) => network.nodes.update([{ id: r, x: 321, y: -123 }]), await rowOf('p002'));
  const recordSwitch = page.locator('.pw-legend .pw-entry').filter({ has: page.locator('.pw-entry-name', { hasText: /^Record$/ }) });
  await recordSwitch.click();
  assert.equal(await recordSwitch.getAttribute('aria-pressed'), 'false');
  await page.evaluate(() => network.vis.moveTo({ position: { x: 40, y: -30 }, scale: 1.7, animation: false }));
  const hiddenAt = await where('r001');
  const times = [];
  const saved = async (text, byRename, drawn, ready) => {
    const start = Date.now();
    save(text, byRename);
    await page.waitForFunction(ready, drawn, { polling: 'raf', timeout: 10000 });
    times.push(Date.now() - start);
  };

  // 1. Nodes are added, in place: one names a picture that is a link out,
  // one a picture another node shows, which the page then shares.
  const added = original.replace('#LINKS', 'p003 Person Newcomer /people/new.html img/out.png 1\n'
    + 'p004 Person Second /people/second.html img/sungnyemun.png 1\n#LINKS');
  await saved(added, false, 2, (n) => document.documentElement.dataset.previewDrawn === String(n) &&
    document.getElementById('mynetwork').getAttribute('data-layout') === 'settled');
  assert.ok((await ids()).includes('p003'));
  assert.ok(Math.abs(await page.evaluate(() => network.vis.getScale()) - 1.7) < 0.01, 'the zoom is kept');
  assert.deepEqual(await where('p002'), { x: 321, y: -123 }, 'the moved node stays where it was put');
  assert.equal(await recordSwitch.getAttribute('aria-pressed'), 'false', 'the legend switch stays off');
  assert.ok(await page.locator('.pw-view-menu label', { hasText: 'Size by links' }).locator('input').isChecked(),
    "the View menu's choice stays");
  assert.ok(await page.evaluate((r) => network.nodes.get(r).hidden, await rowOf('r001')), 'its nodes stay hidden');
  assert.deepEqual(await where('r001'), hiddenAt, 'where they stood');

  // 2. A class is renamed by a rename-save: its nodes name an unknown class.
  const broken = added.replace('\nPerson darkred box 1', '\nPersonne darkred box 1');
  await saved(broken, true, 3, () => document.querySelector('#pw-preview[data-state="refused"]') !== null);
  const finding = page.locator('#pw-preview li[data-severity="error"] button[data-target="node:p001"]');
  assert.match(await finding.textContent(), /Person/);
  assert.ok(await page.evaluate(() => document.getElementById('mynetwork').classList.contains('pw-stale')));
  assert.ok((await ids()).includes('p003'), 'the last good drawing stays');
  await finding.click();
  assert.deepEqual(await page.evaluate(() => network.getSelection().map((s) => nodesTable.getValue(s.row, 0))), ['p001']);

  // 3. Fixed, a node dropped with its link, and a relation's arrow moved to
  // the middle of its links, while the drawing is dimmed around p001.
  const fixed = added.replace(/^s002 .*\n/m, '').replace(/^g001 s002 nextTo\n/m, '')
    .replace('\nbuiltBy gray arrow 1', '\nbuiltBy gray arrow-center 1');
  await saved(fixed, true, 4, (n) => document.documentElement.dataset.previewDrawn === String(n) &&
    document.querySelector('#pw-preview[data-state="drawn"]') !== null);
  assert.equal(await page.locator('#pw-preview li[data-severity="error"]').count(), 0);
  assert.ok(!(await page.evaluate(() => document.getElementById('mynetwork').classList.contains('pw-stale'))));
  assert.ok(!(await ids()).includes('s002'), 'the dropped node is gone');
  assert.ok((await ids()).includes('p003'));
  assert.ok(Math.abs(await page.evaluate(() => network.vis.getScale()) - 1.7) < 0.01, 'the zoom is kept');
  assert.deepEqual(await page.evaluate(() => network.getSelection().map((s) => nodesTable.getValue(s.row, 0))), ['p001'],
    'the selection is kept');
  assert.ok(await page.evaluate(() => network.nodes.get().some((n) => n.opacity < 1)), 'and its neighbourhood lit');

  // The saves were shown on the drawing on screen: it is the drawing a fresh
  // page makes of the last save once the reader does the same there (sizes
  // by links, Record switched off, p001 selected), and its tools were made once, from the new
  // rows. Compared are the records and what the drawing made of them, whose
  // nested options it merges. (A switch turned on again leaves hidden: false,
  // the same as none.)
  const drawing = (p) => p.evaluate(() => {
    const plain = (list) => list.map(({ x, y, hidden, ...r }) => (hidden ? { ...r, hidden } : r)).sort((a, b) => a.id - b.id);
    const made = (objects) => Object.keys(objects).sort().map((id) => {
      const o = objects[id].options;
      return [id, o.color, o.font && [o.font.color, o.font.strokeColor, o.font.size], o.shape, o.image, o.dashes, !!o.hidden,
        o.arrows && ['to', 'middle', 'from'].map((k) => o.arrows[k] && o.arrows[k].enabled)];
    });
    return JSON.stringify({ nodes: plain(network.nodes.get()), edges: plain(network.edges.get()),
      drawnNodes: made(network.vis.body.nodes), drawnEdges: made(network.vis.body.edges) });
  });
  const fresh = await browser.newPage({ viewport: { width: 1200, height: 900 } });
  await fresh.goto(`http://127.0.0.1:${port}/`);
  await fresh.waitForFunction(() => document.getElementById('mynetwork').getAttribute('data-layout') === 'settled');
  await sizeByLinks(fresh);
  await fresh.locator('.pw-legend .pw-entry').filter({ has: fresh.locator('.pw-entry-name', { hasText: /^Record$/ }) }).click();
  await fresh.evaluate(() => {
    for (let r = 1; r < nodesTable.getNumberOfRows(); r++) if (nodesTable.getValue(r, 0) === 'p001') network.setSelection([{ row: r }]);
    network.showSelection();
  });
  assert.deepEqual(JSON.parse(await drawing(page)), JSON.parse(await drawing(fresh)));
  await fresh.close();
  assert.equal(await page.locator('.pw-toolbar').count(), 1);
  await page.fill('.pw-search-input', 'Newcomer');
  assert.equal(await page.locator('.pw-results li .pw-id').first().textContent(), 'p003');

  console.log(`save to redraw (ms): ${times.join(', ')}`);
  assert.deepEqual(errors, []);
  assert.deepEqual(outside, [], 'nothing is asked of another host');
  await page.close();
  // The console printed each save's findings once, in the checker's form.
  assert.equal((output.match(/ontology\.lst:16:6: error: class "Person" is not declared/g) || []).length, 1);
  assert.equal((output.match(/: refused \(/g) || []).length, 1);
});

test('the page carries its pictures from inside the folder and nothing else is served', async () => {
  const page = (await get(port, '/ontology.htm')).body.toString('utf8');
  const picture = readFileSync(join(FOLDER, 'img', 'sungnyemun.png')).toString('base64');
  assert.ok(page.includes(`data:image/png;base64,${picture}`), 'the picture inside the folder is taken in');
  assert.ok(!page.includes(Buffer.from('outside the folder').toString('base64')), 'the linked one is not');
  assert.ok(page.includes("'img/out.png'"), 'its address stays as it was');
  for (const path of ['/img/sungnyemun.png', '/img/out.png', '/ontology.lst', '/../secret.png', '/%2e%2e/secret.png',
    '/img/..%2f..%2fsecret.png', '//etc/passwd', '/etc/passwd', '/jsapi', '/img/']) {
    const { status, body } = await get(port, path);
    assert.equal(status, 404, path);
    assert.ok(!body.includes('outside the folder'), path);
  }
  assert.equal((await get(port, '/preview/client.js')).status, 200);
  assert.equal((await get(port, '/ontology.htm', 'preview.example:80')).status, 403, 'another host name is refused');
});

test('Ctrl+C ends it cleanly and the folder is as it was', async () => {
  const ended = new Promise((done) => child.on('exit', (code, signal) => done({ code, signal })));
  child.kill('SIGINT');
  assert.deepEqual(await ended, { code: 0, signal: null });
  assert.match(output, /stopped/);
  const now = listing(FOLDER);
  delete now['ontology.lst'];
  const was = { ...before_ };
  delete was['ontology.lst'];
  assert.deepEqual(now, was);
});
