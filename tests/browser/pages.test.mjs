// Opens the pages that both programs write for the example plans in a real
// browser (Debian's chromium, driven by playwright-core) and checks that they
// draw and react as a reader expects.
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
import { createRequire } from 'node:module';
import { dirname, join, resolve } from 'node:path';
import { fileURLToPath, pathToFileURL } from 'node:url';

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
const CHROMIUM = '/usr/bin/chromium';
const VIEWPORT = { width: 1000, height: 700 };

// What the kit serves, by path; the host part is whatever the build chose.
const KIT_FILES = {
  '/jsapi': ['jsapi', 'text/javascript; charset=utf-8'],
  '/Graph/network/network.js': ['Graph/network/network.js', 'text/javascript; charset=utf-8'],
  '/VR/style/noimage.png': ['VR/style/noimage.png', 'image/png'],
};

// ---------------------------------------------------------------------------
// A plain reading of a plan, enough for the example plans: it gives the test
// its own expectation of what each page must show.

function decodePlan(bytes) {
  if (bytes[0] === 0xef && bytes[1] === 0xbb && bytes[2] === 0xbf) return new TextDecoder('utf-8').decode(bytes.subarray(3));
  if (bytes[0] === 0xff && bytes[1] === 0xfe) return new TextDecoder('utf-16le').decode(bytes.subarray(2));
  if (bytes[0] === 0xfe && bytes[1] === 0xff) return new TextDecoder('utf-16be').decode(bytes.subarray(2));
  return new TextDecoder('euc-kr').decode(bytes);
}

function readPlan(file) {
  const plan = { classes: new Map(), relations: new Map(), nodes: [], links: [] };
  let section = '';
  for (const raw of decodePlan(readFileSync(file)).split('\n')) {
    const line = raw.replace(/\r$/, '');
    const fields = line.split(/\s+/).filter(Boolean);
    if (fields.length === 0) continue;
    if (fields[0].startsWith('#')) {
      section = fields[0].toUpperCase().slice(0, 5);
      continue;
    }
    if (section === '#CLAS') plan.classes.set(fields[0], { border: fields[1], style: fields[2], labelFlag: fields.length > 3 ? parseInt(fields[3], 10) : 1 });
    if (section === '#RELA') plan.relations.set(fields[0], { color: fields[1], style: fields[2], labelFlag: fields.length > 3 ? parseInt(fields[3], 10) : 0 });
    if (section === '#NODE') plan.nodes.push(fields);
    if (section === '#LINK') plan.links.push(fields);
  }
  return plan;
}

// The title markup a node line must produce in the given build.
function expectedTitle(fields, target) {
  const [, , label, ref, image, number] = fields;
  const n = fields.length >= 6 ? 6 : fields.length;
  const imageNode = n === 6 && parseInt(number, 10) === 1;
  if (n === 3) return label;
  if (n === 4 || imageNode) return `<a href="${ref}" target="${target}">${label}</a>`;
  return `<a href="${ref}" target="${target}"><img src="${image}"/></a>`;
}

// ---------------------------------------------------------------------------

let chromium;
let context;
let userDataDir;
const aborted = [];

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
async function openPage(file) {
  const page = await context.newPage();
  const errors = [];
  page.on('pageerror', (e) => errors.push(`page error: ${e.message}`));
  page.on('console', (m) => { if (m.type() === 'error') errors.push(`console error: ${m.text()}`); });
  await page.goto(pathToFileURL(file).href);
  return { page, errors };
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
  for (const [, [file]] of Object.entries(KIT_FILES)) {
    assert.ok(existsSync(join(SITE, file)), `kit file ${file} is missing: run npm ci && npm run build in web/`);
  }
  ({ chromium } = createRequire(join(KIT, 'package.json'))('playwright-core'));

  rmSync(OUT, { recursive: true, force: true });
  mkdirSync(join(OUT, 'screenshots'), { recursive: true });
  userDataDir = mkdtempSync(join(OUT, 'profile-'));
  context = await chromium.launchPersistentContext(userDataDir, {
    executablePath: CHROMIUM,
    headless: true,
    args: ['--no-sandbox', '--disable-gpu', '--disable-background-networking', '--disable-component-update',
      '--disable-sync', '--no-first-run'],
    viewport: VIEWPORT,
    deviceScaleFactor: 1,
  });
  await context.route('**/*', async (route) => {
    const url = new URL(route.request().url());
    if (url.protocol === 'file:' || url.protocol === 'data:') return route.continue();
    const served = KIT_FILES[url.pathname];
    if (served && (url.protocol === 'http:' || url.protocol === 'https:')) {
      return route.fulfill({ status: 200, contentType: served[1], body: readFileSync(join(SITE, served[0])) });
    }
    aborted.push(url.href);
    return route.abort();
  });
});

after(async () => {
  if (context) await context.close();
  if (userDataDir) rmSync(userDataDir, { recursive: true, force: true });
});

const planNames = existsSync(EXAMPLES) ? readdirSync(EXAMPLES).filter((f) => f.endsWith('.lst')).sort() : [];

test('there are example plans to open', () => {
  assert.ok(planNames.length > 0, `no .lst files in ${EXAMPLES}`);
});

for (const which of Object.keys(PROGRAMS)) {
  describe(`pages of the ${which} build`, () => {
    let dir;
    before(() => {
      // Each build works in its own copy of the examples, so the pages find
      // the images the plans name relative to them.
      dir = join(OUT, which);
      cpSync(EXAMPLES, dir, { recursive: true });
    });

    for (const planName of planNames) {
      test(planName, { timeout: 60000 }, async () => {
        const plan = readPlan(join(EXAMPLES, planName));
        const target = PROGRAMS[which].target;
        const file = runProgram(which, dir, planName);
        const abortedBefore = aborted.length;
        const { page, errors } = await openPage(file);
        try {
          await waitSettled(page);
          await page.evaluate(() => {
            window.selectEvents = 0;
            google.visualization.events.addListener(network, 'select', () => { window.selectEvents += 1; });
          });

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
            assert.equal(edge.arrowTo, rel.style === 'arrow', `${from}-${to} arrow as '${rel.style}'`);
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

          // Clicking a node shows exactly its title, anchors with this
          // build's target.
          for (let i = 0; i < plan.nodes.length; i++) {
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

test('the layout is the same every time', { timeout: 30000 }, async () => {
  const dir = join(OUT, 'self');
  const planName = planNames[0];
  const file = runProgram('self', dir, planName);
  const positions = [];
  for (let k = 0; k < 2; k++) {
    const { page, errors } = await openPage(file);
    await waitSettled(page);
    positions.push(await page.evaluate(() => network.vis.getPositions()));
    assert.deepEqual(errors, []);
    await page.close();
  }
  assert.ok(Object.keys(positions[0]).length > 1);
  assert.deepEqual(positions[1], positions[0]);
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
