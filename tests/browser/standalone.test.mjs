// Opens the standalone copies that plotweave-bundle writes of the example
// pages from disk, with every request to the network refused, and checks that
// each draws and reacts exactly as its page does when the kit is served.
//
//   node tests/browser/standalone.test.mjs --self PATH --blank PATH \
//        --bundle PATH --examples DIR --kit DIR --out DIR

import { after, before, describe, test } from 'node:test';
import assert from 'node:assert/strict';
import { execFileSync } from 'node:child_process';
import { cpSync, existsSync, mkdirSync, readFileSync, readdirSync, rmSync, writeFileSync } from 'node:fs';
import { dirname, join, resolve } from 'node:path';
import { fileURLToPath, pathToFileURL } from 'node:url';
import { collectErrors } from './page-support.mjs';

const here = dirname(fileURLToPath(import.meta.url));

function argument(name, fallback) {
  const at = process.argv.indexOf(`--${name}`);
  return at >= 0 && at + 1 < process.argv.length ? resolve(process.argv[at + 1]) : fallback;
}

const PROGRAMS = { self: argument('self'), blank: argument('blank') };
const PAGE_NAME = { self: (base) => `${base}_self.htm`, blank: (base) => `${base}.htm` };
const BUNDLE = argument('bundle');
const EXAMPLES = argument('examples', resolve(here, '../../examples'));
const KIT = argument('kit', resolve(here, '../../web'));
const SITE = join(KIT, 'site');
const OUT = argument('out', resolve('standalone-test-out'));
const { CHROMIUM, KIT_FILES, launchWithKit } = await import(pathToFileURL(join(KIT, 'test-support', 'kit-browser.mjs')).href);

let browser;
let context;

// The served page: the kit answers its absolute addresses, files beside it
// load from disk. The copy: nothing but the copy itself and data: URIs. The
// page's own routes decide every request, before the browser's.
async function open(file, offline) {
  const page = await context.newPage();
  const errors = collectErrors(page);
  const refused = [];
  const own = pathToFileURL(file).href;
  page.on('requestfailed', (r) => errors.push(`failed: ${decodeURI(r.url()).slice(60)} ${r.failure() && r.failure().errorText}`));
  await page.route('**/*', (route) => {
    const url = new URL(route.request().url());
    if (url.protocol === 'data:' || url.href === own) return route.continue();
    if (!offline) {
      if (url.protocol === 'file:') return route.continue();
      const served = KIT_FILES[url.pathname];
      if (served) return route.fulfill({ status: 200, contentType: served[1], body: readFileSync(join(SITE, served[0])) });
    }
    refused.push(url.href);
    return route.abort();
  });
  await page.goto(own);
  await page.waitForFunction(
    () => document.getElementById('mynetwork').getAttribute('data-layout') === 'settled', null, { timeout: 20000 });
  return { page, errors, refused };
}

// What a reader sees: the nodes where they are drawn, and the info area after
// a click on each node. Image addresses are set aside, since the copy carries
// the images themselves.
async function look(page) {
  const drawn = await page.evaluate(() => {
    const v = network.vis;
    const nodes = v.body.nodeIndices.map((id) => {
      const n = v.body.nodes[id];
      const img = n.imageObj && n.imageObj.image;
      return {
        id, label: n.options.label, shape: n.options.shape,
        image: img ? { src: img.src, loaded: img.complete && img.naturalWidth > 0, width: img.naturalWidth } : null,
      };
    });
    return {
      nodes, positions: v.getPositions(), edges: Object.keys(v.body.edges).length,
      brokenImage: v.nodesHandler.options.brokenImage,
      // What the kit adds around the drawing (its reader tools), by tag.
      elements: [...document.body.querySelectorAll('*')].map((e) => e.tagName).sort().join(' '),
    };
  });
  const infos = [];
  for (const node of drawn.nodes) {
    if (node.id === 0) continue;
    const point = await page.evaluate((id) => {
      const v = network.vis;
      const p = v.canvasToDOM(v.getPosition(id));
      const box = v.canvas.frame.canvas.getBoundingClientRect();
      return { x: box.left + p.x, y: box.top + p.y };
    }, node.id);
    await page.mouse.click(point.x, point.y);
    await page.waitForFunction(() => [...document.querySelectorAll('#info img')].every((i) => i.complete));
    infos.push(await page.evaluate(() => {
      const info = document.getElementById('info');
      const images = [...info.querySelectorAll('img')].map((i) => ({ src: i.getAttribute('src'), width: i.naturalWidth }));
      const a = info.querySelector('a');
      const html = info.innerHTML.replace(/<img src="[^"]*"/g, '<img src="IMAGE"');
      return { html, images, target: a && a.getAttribute('target'), selection: network.getSelection() };
    }));
  }
  return { drawn, infos };
}

before(async () => {
  for (const [which, path] of Object.entries({ ...PROGRAMS, bundle: BUNDLE })) {
    assert.ok(path && existsSync(path), `program ${which} not found (--${which})`);
  }
  assert.ok(existsSync(CHROMIUM), `${CHROMIUM} is missing: run tools/install-test-deps.sh`);
  assert.ok(existsSync(join(SITE, 'jsapi')), 'the kit is not built: run npm ci && npm run build in web/');
  rmSync(OUT, { recursive: true, force: true });
  mkdirSync(OUT, { recursive: true });
  browser = await launchWithKit({ site: SITE, profileParent: OUT, viewport: { width: 1000, height: 700 } });
  ({ context } = browser);
});

after(async () => {
  if (browser) await browser.close();
});

// Beside the examples, a plan whose pictures several nodes share, as picture
// nodes and in their titles: the copy carries each picture once.
const SHARED_PLAN = 'shared-pictures.lst';
const SHARED = ['#PROJECT', 'h1 Shared_pictures', '#CLASS', 'Gate darkgreen dot 0', 'Place darkblue dot 1', '#RELATION',
  'nextTo silver line', '#NODES',
  ...[1, 2, 3, 4, 5, 6].map((n) => `a${n} Gate A${n} /a${n}.html img/${n % 3 ? 'sungnyemun' : 'heunginjimun'}.png ${n % 2}`),
  'p1 Place P1 /p1.html', 'p2 Place P2', 'p3 Place P3 /p3.html', '#LINKS',
  'a1 a2 nextTo', 'a2 a3 nextTo', 'a3 a4 nextTo', 'a4 a5 nextTo', 'a5 a6 nextTo', 'a6 p1 nextTo', 'p1 p2 nextTo', 'p2 p3 nextTo', '']
  .join('\n');
const plans = [...readdirSync(EXAMPLES).filter((f) => f.endsWith('.lst')).sort(), SHARED_PLAN];

for (const which of Object.keys(PROGRAMS)) {
  describe(`standalone copies of the ${which} build`, () => {
    // A folder with a blank and Hangul in its name, as a reader's might be.
    const dir = join(OUT, which, '빈 칸 사본');
    before(() => {
      cpSync(EXAMPLES, dir, { recursive: true });
      writeFileSync(join(dir, SHARED_PLAN), SHARED);
    });

    for (const plan of plans) {
      test(plan, { timeout: 90000 }, async () => {
        execFileSync(PROGRAMS[which], [plan], { cwd: dir, timeout: 30000 });
        const file = join(dir, PAGE_NAME[which](plan.slice(0, plan.indexOf('.'))));
        const original = readFileSync(file);
        const copyFile = file.replace(/\.htm$/, '.standalone.htm');
        execFileSync(BUNDLE, ['--kit', SITE, file], { timeout: 30000, stdio: ['ignore', 'ignore', 'pipe'] });
        assert.deepEqual(readFileSync(file), original, 'the page itself is unchanged');
        // Each picture and the placeholder are inside the copy once.
        const copyText = readFileSync(copyFile, 'latin1');
        for (const image of ['img/sungnyemun.png', 'img/heunginjimun.png', join(SITE, 'VR/style/noimage.png')]) {
          const uri = readFileSync(image.startsWith('img/') ? join(dir, image) : image).toString('base64');
          assert.equal(copyText.split(uri).length - 1, 1, `${image} once in the copy`);
        }

        const served = await open(file, false);
        const copy = await open(copyFile, true);
        try {
          const want = await look(served.page);
          const got = await look(copy.page);
          assert.deepEqual(copy.errors, [], 'no script or console errors in the copy');
          assert.deepEqual(copy.refused, [], 'the copy asks for nothing');
          assert.deepEqual(served.errors, []);
          assert.deepEqual(await copy.page.evaluate(() => performance.getEntriesByType('resource')
            .map((r) => r.name).filter((n) => !n.startsWith('data:'))), []);

          // Drawn the same, node for node, at the same places.
          assert.equal(got.drawn.nodes.length, want.drawn.nodes.length);
          assert.equal(got.drawn.edges, want.drawn.edges);
          assert.deepEqual(got.drawn.positions, want.drawn.positions);
          got.drawn.nodes.forEach((node, i) => {
            const w = want.drawn.nodes[i];
            assert.deepEqual([node.id, node.label, node.shape], [w.id, w.label, w.shape]);
            assert.equal(!!node.image, !!w.image);
            if (node.image) {
              assert.ok(node.image.src.startsWith('data:image/png;base64,'), `node ${i}: image inside the copy`);
              assert.ok(node.image.loaded, `node ${i}: image shown`);
              assert.equal(node.image.width, w.image.width, `node ${i}: the same image`);
            }
          });

          assert.equal(got.drawn.elements, want.drawn.elements, 'the same page around the drawing');

          // A node whose image fails shows the placeholder, from the copy itself.
          assert.ok(want.drawn.brokenImage.endsWith('/VR/style/noimage.png'), want.drawn.brokenImage);
          assert.ok(got.drawn.brokenImage.startsWith('data:image/png;base64,'), got.drawn.brokenImage);

          // Each click selects that node and shows its title, anchor target
          // included; images in titles come from the copy itself.
          assert.ok(got.infos.length > 0);
          got.infos.forEach((info, i) => {
            const w = want.infos[i];
            assert.deepEqual([info.html, info.target, info.selection], [w.html, w.target, w.selection]);
            assert.equal(info.images.length, w.images.length);
            info.images.forEach((image, k) => {
              assert.ok(image.src.startsWith('data:image/'), image.src);
              assert.ok(image.width > 0, `title ${i}: picture shown`);
              assert.equal(image.width, w.images[k].width, `title ${i}: the same picture`);
            });
          });
          assert.ok(got.infos.some((info) => info.target === (which === 'self' ? '_self' : '_blank')));
          assert.ok(got.infos.some((info) => info.images.length > 0), 'a title shows a picture');
        } finally {
          await served.page.close();
          await copy.page.close();
        }
      });
    }
  });
}
