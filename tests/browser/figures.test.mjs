// Figures, dimming, hover text and phones, checked in a real browser the way
// a reader meets them: pixels on the canvas, files saved, PDFs read back as
// text, sizes on a phone's screen.
//
//   node tests/browser/figures.test.mjs --self PATH --examples DIR --out DIR [--kit DIR]

import { after, before, describe, test } from 'node:test';
import assert from 'node:assert/strict';
import { execFileSync } from 'node:child_process';
import { cpSync, existsSync, mkdirSync, readFileSync, rmSync, writeFileSync } from 'node:fs';
import { dirname, join, resolve } from 'node:path';
import { fileURLToPath, pathToFileURL } from 'node:url';
import { collectErrors, withPageOf } from './page-support.mjs';

const here = dirname(fileURLToPath(import.meta.url));
function argument(name, fallback) {
  const at = process.argv.indexOf(`--${name}`);
  return at >= 0 && at + 1 < process.argv.length ? resolve(process.argv[at + 1]) : fallback;
}
const SELF = argument('self');
const EXAMPLES = argument('examples', resolve(here, '../../examples'));
const OUT = argument('out', resolve('figures-test-out'));
const KIT = argument('kit', resolve(here, '../../web'));
const SITE = join(KIT, 'site');
const { launchWithKit, missingKitFiles } = await import(pathToFileURL(join(KIT, 'test-support', 'kit-browser.mjs')).href);
const { readPlan } = await import(pathToFileURL(join(KIT, 'test-support', 'plan-reading.mjs')).href);

let browser;
let dir;
before(async () => {
  assert.ok(SELF && existsSync(SELF), 'the program is needed (--self)');
  assert.deepEqual(missingKitFiles(SITE), [], 'kit files are missing: npm run build in web/');
  rmSync(OUT, { recursive: true, force: true });
  mkdirSync(OUT, { recursive: true });
  dir = join(OUT, 'plans');
  cpSync(EXAMPLES, dir, { recursive: true });
  browser = await launchWithKit({ site: SITE, profileParent: OUT, viewport: { width: 1000, height: 700 } });
});
after(async () => { if (browser) await browser.close(); });

function pageOf(planName, text) {
  if (text !== undefined) writeFileSync(join(dir, planName), text);
  execFileSync(SELF, [planName], { cwd: dir, timeout: 30000 });
  return join(dir, `${planName.slice(0, planName.indexOf('.'))}_self.htm`);
}

async function open(file, { hash = '', context = browser.context } = {}) {
  const page = await context.newPage();
  const errors = collectErrors(page);
  await page.goto(pathToFileURL(file).href + hash);
  await page.waitForFunction(() => document.getElementById('mynetwork').getAttribute('data-layout') === 'settled', null, { timeout: 20000 });
  return { page, errors };
}

const withPage = withPageOf(open);

const nodePoint = (page, row) => page.evaluate((id) => {
  const v = network.vis;
  const p = v.canvasToDOM(v.getPosition(id));
  const box = v.canvas.frame.canvas.getBoundingClientRect();
  return { x: box.left + p.x, y: box.top + p.y };
}, row);

// Ink (darkness times coverage) in boxes of the drawing's canvas, given in
// drawing coordinates: { x, y, w, h }.
const inkIn = (page, boxes) => page.evaluate((list) => {
  const v = network.vis;
  const c = v.canvas.frame.canvas;
  const ratio = c.width / c.clientWidth;
  const g = c.getContext('2d');
  return list.map((b) => {
    const p = v.canvasToDOM({ x: b.x, y: b.y });
    const s = v.getScale();
    const w = Math.max(1, Math.round(b.w * s * ratio)); const h = Math.max(1, Math.round(b.h * s * ratio));
    const px = g.getImageData(Math.round(p.x * ratio - w / 2), Math.round(p.y * ratio - h / 2), w, h).data;
    let ink = 0;
    for (let k = 0; k < px.length; k += 4) ink += (px[k + 3] / 255) * (765 - px[k] - px[k + 1] - px[k + 2]) / 765;
    return ink;
  });
}, boxes);

describe('dimming', () => {
  // Colour names, hex and rgb() for nodes and links; a hub with one
  // neighbour, and pairs that have nothing to do with it.
  const PLAN = ['#CLASS', 'Named darkred dot 1', 'Hex #1f5fa0 box 1', 'Rgb rgb(20,120,40) ellipse 1',
    '#RELATION', 'linkN darkred line 1', 'linkH #1f5fa0 dash-line 1', 'linkR rgb(20,120,40) arrow 1',
    '#NODES', 'h1 Named 허브', 'n1 Named Near', 'x1 Named Xray', 'y1 Hex 양키', 'z1 Rgb Zulu', 'w1 Hex Whiskey', 'v1 Named Victor',
    '#LINKS', 'h1 n1 linkN', 'x1 y1 linkH', 'z1 w1 linkR', 'v1 x1 linkN', ''].join('\n');

  test('pointing at a node fades every other node, link and label on the canvas', { timeout: 60000 }, async () => {
    await withPage(pageOf('colours.lst', PLAN), async (page) => {
      // Node rows 3..7 are the strangers; their links are rows 1..3.
      const boxes = await page.evaluate(() => {
        const v = network.vis;
        const out = [];
        for (const id of [3, 4, 5, 6, 7]) {
          const b = v.getBoundingBox(id);
          out.push({ what: `node ${id} (${v.body.nodes[id].options.color.border})`, x: (b.left + b.right) / 2, y: (b.top + b.bottom) / 2, w: b.right - b.left, h: b.bottom - b.top });
        }
        for (const id of [1, 2, 3]) {
          const e = v.body.edges[id];
          const a = v.getPosition(e.fromId); const b = v.getPosition(e.toId);
          out.push({ what: `link ${id} (${e.options.color.color}) and its label`, x: (a.x + b.x) / 2, y: (a.y + b.y) / 2, w: 60, h: 24 });
        }
        return out;
      });
      const hub = await page.evaluate(() => { const b = network.vis.getBoundingBox(1); return { x: (b.left + b.right) / 2, y: (b.top + b.bottom) / 2, w: 20, h: 20 }; });
      const lit = await inkIn(page, [...boxes, hub]);
      const point = await nodePoint(page, 1);
      await page.mouse.move(point.x, point.y);
      await page.waitForTimeout(100);
      const dim = await inkIn(page, [...boxes, hub]);
      boxes.forEach((b, k) => {
        assert.ok(lit[k] > 5, `${b.what} has ink to lose (${lit[k]})`);
        assert.ok(dim[k] < 0.45 * lit[k], `${b.what}: ink ${dim[k].toFixed(1)} of ${lit[k].toFixed(1)} while another node is pointed at`);
      });
      assert.ok(dim[boxes.length] > 0.8 * lit[boxes.length], 'the node pointed at keeps its ink');

      // Selecting does the same; leaving gives every pixel back.
      await page.mouse.click(point.x, point.y);
      await page.mouse.move(1, 1);
      await page.waitForTimeout(100);
      const selected = await inkIn(page, boxes);
      boxes.forEach((b, k) => assert.ok(selected[k] < 0.45 * lit[k], `${b.what} dimmed while another node is selected`));
      // A click on empty canvas lets the selection go.
      const corner = await page.evaluate(() => { const b = network.vis.canvas.frame.canvas.getBoundingClientRect(); return { x: b.left + 4, y: b.top + 4 }; });
      await page.mouse.click(corner.x, corner.y);
      await page.waitForTimeout(100);
      const back = await inkIn(page, boxes);
      boxes.forEach((b, k) => assert.ok(Math.abs(back[k] - lit[k]) < 0.05 * lit[k] + 1, `${b.what} back to its ink`));
    });
  });
});

// Opens "Save image", picks the format and saves; returns the download
// (none for PDF, which goes to the print dialog).
async function saveFigure(page, format, { caption } = {}) {
  await page.getByRole('button', { name: 'Save image' }).click();
  const dialog = page.getByRole('dialog', { name: 'Save image' });
  await dialog.getByRole('combobox', { name: 'Format' }).selectOption(format);
  if (caption !== undefined) await dialog.getByRole('textbox', { name: 'Caption text' }).fill(caption);
  const waiting = format === 'pdf' ? null : page.waitForEvent('download');
  await dialog.getByRole('button', { name: 'Save', exact: true }).click();
  return waiting;
}

function pdfText(pdf, name) {
  const file = join(OUT, name);
  writeFileSync(file, pdf);
  return execFileSync('pdftotext', ['-enc', 'UTF-8', file, '-'], { encoding: 'utf8' });
}

describe('figures', () => {
  let file;
  let plan;
  before(() => {
    file = pageOf('ontology-utf8.lst');
    plan = readPlan(join(dir, 'ontology-utf8.lst'));
  });
  // The labels drawn on screen: nodes of classes that show labels, links of
  // relations that do.
  const drawnLabels = (page) => page.evaluate(() => ({
    nodes: Object.values(network.vis.body.nodes).map((n) => n.options.label).filter(Boolean),
    links: Object.values(network.vis.body.edges).map((e) => e.options.label).filter(Boolean),
  }));

  test('SVG: well-formed, labels as text, legend and caption, no selection, link labels clear of node labels', { timeout: 60000 }, async () => {
    await withPage(file, async (page) => {
      const labels = await drawnLabels(page);
      // A selected and hovered node must not show in the figure.
      const point = await nodePoint(page, 1);
      await page.mouse.click(point.x, point.y);
      const download = await saveFigure(page, 'svg');
      assert.match(download.suggestedFilename(), /\.svg$/);
      const svg = readFileSync(await download.path(), 'utf8');
      assert.ok(!/gold/i.test(svg), 'no selection colour in the figure');
      const found = await page.evaluate((text) => {
        const doc = new DOMParser().parseFromString(text, 'image/svg+xml');
        if (doc.getElementsByTagName('parsererror').length) return { error: doc.getElementsByTagName('parsererror')[0].textContent };
        const texts = (sel) => [...doc.querySelectorAll(sel)].map((t) => t.textContent);
        // Drawn in the page, the two kinds of label must not overlap.
        const holder = document.createElement('div');
        holder.appendChild(document.importNode(doc.documentElement, true));
        document.body.appendChild(holder);
        const boxes = (sel) => [...holder.querySelectorAll(sel)].map((t) => t.getBBox());
        const nodeBoxes = boxes('.nodes text');
        const linkBoxes = boxes('.link-labels text');
        const overlaps = [];
        for (const a of linkBoxes) for (const b of nodeBoxes) {
          if (a.x < b.x + b.width && b.x < a.x + a.width && a.y < b.y + b.height && b.y < a.y + a.height) overlaps.push([a.x, a.y, b.x, b.y]);
        }
        holder.remove();
        return {
          nodes: texts('.nodes text'), links: texts('.link-labels text'), legend: texts('.legend text'), caption: texts('.caption text'),
          fonts: [...doc.querySelectorAll('text')].map((t) => t.getAttribute('font-family')), images: doc.querySelectorAll('image').length,
          overlaps,
        };
      }, svg);
      assert.equal(found.error, undefined, 'the SVG parses');
      assert.deepEqual(found.nodes.sort(), labels.nodes.sort(), 'every node label, as text');
      assert.deepEqual(found.links.sort(), labels.links.sort(), 'every link label, as text');
      assert.ok(found.nodes.some((t) => /[\uac00-\ud7a3]/.test(t)), 'Hangul labels are text');
      assert.deepEqual(found.caption, ['한양 도성 답사 지도'], 'the page\'s first caption');
      for (const cls of plan.classes.keys()) assert.ok(found.legend.includes(cls), `legend has ${cls}`);
      for (const rel of new Set(plan.links.map((l) => l[2]))) assert.ok(found.legend.includes(rel), `legend has ${rel}`);
      assert.ok(found.fonts.every((f) => /sans-serif$/.test(f) && f.includes(',')), 'fonts are named with fallbacks');
      assert.equal(found.images, plan.nodes.filter((f) => f.length >= 6 && f[5] === '1').length, 'pictures are in the figure');
      assert.deepEqual(found.overlaps, [], 'link labels clear of node labels');

      // The PNG leaves the selection out as well: gold on screen, none in the file.
      const goldIn = (b64) => page.evaluate(async (data) => {
        const img = new Image();
        img.src = `data:image/png;base64,${data}`;
        await img.decode();
        const c = document.createElement('canvas');
        c.width = img.width; c.height = img.height;
        c.getContext('2d').drawImage(img, 0, 0);
        const px = c.getContext('2d').getImageData(0, 0, c.width, c.height).data;
        let n = 0;
        for (let k = 0; k < px.length; k += 4) if (px[k] > 235 && px[k + 1] > 195 && px[k + 1] < 235 && px[k + 2] < 60) n++;
        return n;
      }, b64);
      assert.ok(await goldIn((await page.screenshot()).toString('base64')) > 20, 'the selected node is gold on screen');
      const png = readFileSync(await (await saveFigure(page, 'png')).path());
      assert.equal(await goldIn(png.toString('base64')), 0, 'no selection colour in the PNG');
      // Its legend and caption go under it.
      await page.getByRole('button', { name: 'Save image' }).click();
      await page.getByRole('checkbox', { name: 'Legend' }).uncheck();
      await page.getByRole('checkbox', { name: 'Caption' }).uncheck();
      await page.getByRole('button', { name: 'Cancel' }).click();
      const bare = readFileSync(await (await saveFigure(page, 'png')).path());
      assert.equal(bare.readUInt32BE(16), png.readUInt32BE(16), 'as wide');
      assert.ok(png.readUInt32BE(20) > bare.readUInt32BE(20) + 100, 'taller with legend and caption');
      await page.getByRole('button', { name: 'Save image' }).click();
      await page.getByRole('checkbox', { name: 'Legend' }).check();
      await page.getByRole('checkbox', { name: 'Caption' }).check();
      await page.getByRole('button', { name: 'Cancel' }).click();

      // A class switched off leaves the figure and its legend.
      await page.getByRole('region', { name: 'Legend' }).getByRole('button', { name: 'Record', exact: true }).click();
      const fewer = readFileSync(await (await saveFigure(page, 'svg', { caption: '도성 <답사> & 지도' })).path(), 'utf8');
      assert.ok(!fewer.includes('태조실록') && !fewer.includes('>Record<'), 'hidden nodes and their class are left out');
      assert.ok(!fewer.includes('>recordedIn<'), 'so are relations whose links are all hidden');
      assert.ok(fewer.includes('>도성 &lt;답사&gt; &amp; 지도<'), 'the edited caption, as text');
    });
  });

  test('PDF: the figure alone, and the printed page, hold the labels as text', { timeout: 60000 }, async () => {
    await withPage(file, async (page) => {
      const labels = (await drawnLabels(page)).nodes.filter((l) => /[\uac00-\ud7a3]/.test(l));
      assert.ok(labels.length > 0);
      // The print dialog cannot be driven; the test prints in its place.
      await page.evaluate(() => { window.print = () => { window.printAsked = true; }; });
      await saveFigure(page, 'pdf');
      assert.equal(await page.evaluate(() => window.printAsked), true);
      const alone = await page.pdf({ preferCSSPageSize: true });
      writeFileSync(join(OUT, 'figure.pdf'), alone);
      const text = pdfText(alone, 'figure.pdf');
      for (const l of labels) assert.ok(text.includes(l), `${l} in the figure's PDF`);
      assert.match(text, /한양 도성 답사 지도/);
      assert.doesNotMatch(text, /Legend|Save image/, 'the figure alone, not the page');
      const sheet = execFileSync('pdfinfo', [join(OUT, 'figure.pdf')], { encoding: 'utf8' });
      assert.match(sheet, /Pages:\s+1\n/, 'one sheet');
      await page.evaluate(() => window.dispatchEvent(new Event('afterprint')));

      const printed = pdfText(await page.pdf({ format: 'A4' }), 'page.pdf');
      for (const l of labels) assert.ok(printed.includes(l), `${l} in the printed page`);
      assert.equal(await page.evaluate(() => document.querySelector('.pw-print-figure')), null, 'the print figure goes after printing');
    });
  });

  test('hover text names the node and its class, as text', { timeout: 60000 }, async () => {
    await withPage(file, async (page) => {
      // g001: a picture without a label; its title is markup.
      const row = plan.nodes.findIndex((f) => f[0] === 'g001') + 1;
      const point = await nodePoint(page, row);
      await page.mouse.move(point.x, point.y);
      const tip = page.getByRole('tooltip');
      await tip.waitFor({ state: 'visible' });
      assert.equal(await tip.textContent(), '숭례문Class: Gate');
      assert.equal(await tip.locator('a, img').count(), 0, 'no markup from the page');
      await page.mouse.move(1, 1);
      await tip.waitFor({ state: 'hidden' });
    });
  });
});

describe('phones', () => {
  test('a 390-px screen: the device width, 44-px controls, 12-px text, pinch-zoom kept; #plain adds nothing', { timeout: 60000 }, async () => {
    const phone = await launchWithKit({ site: SITE, profileParent: OUT, viewport: { width: 390, height: 844 }, phone: true });
    try {
      const file = pageOf('ontology-utf8.lst');
      const { page, errors } = await open(file, { context: phone.context });
      const seen = await page.evaluate(() => {
        const shown = (el) => { const r = el.getBoundingClientRect(); return r.width > 0 && r.height > 0 && getComputedStyle(el).visibility !== 'hidden'; };
        const controls = [...document.querySelectorAll('#mynetwork button, #mynetwork input, #mynetwork select')].filter(shown);
        const texts = [...document.querySelectorAll('#mynetwork *')].filter((el) => shown(el)
          && [...el.childNodes].some((n) => n.nodeType === 3 && n.data.trim()));
        return {
          width: document.documentElement.clientWidth,
          viewport: document.querySelector('meta[name="viewport"]').content,
          low: controls.filter((c) => c.getBoundingClientRect().height < 44).map((c) => c.outerHTML.slice(0, 60)),
          small: texts.filter((t) => parseFloat(getComputedStyle(t).fontSize) < 12).map((t) => t.outerHTML.slice(0, 60)),
          controls: controls.length,
        };
      });
      assert.equal(seen.width, 390, 'laid out at the device width');
      assert.doesNotMatch(seen.viewport, /user-scalable\s*=\s*(no|0)|maximum-scale/);
      assert.ok(seen.controls >= 3);
      assert.deepEqual(seen.low, [], 'controls under 44 px');
      assert.deepEqual(seen.small, [], 'text under 12 px');
      await page.screenshot({ path: join(OUT, 'phone.png'), fullPage: true });
      // The figure dialog too.
      await page.getByRole('button', { name: 'Save image' }).tap();
      assert.deepEqual(await page.getByRole('dialog').evaluate((d) => [...d.querySelectorAll('button, input, select')]
        .filter((c) => c.getBoundingClientRect().height < 44).map((c) => c.outerHTML.slice(0, 60))), [], 'dialog controls under 44 px');
      assert.deepEqual(errors, []);
      await page.close();

      const plain = await open(file, { hash: '#plain', context: phone.context });
      assert.deepEqual(await plain.page.evaluate(() => [
        document.querySelectorAll('meta[name="viewport"]').length, document.querySelectorAll('.pw-hover, .pw-toolbar').length]), [0, 0]);
      await plain.page.close();
    } finally {
      await phone.close();
    }
  });
});
