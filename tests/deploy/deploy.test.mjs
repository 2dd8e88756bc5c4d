// Deploys the installed laboratory-server kit as an administrator would: the
// kit is installed from the build into a scratch prefix, served by nginx with
// the server block that the installed web/README gives (only its port and
// document root changed) on a loopback port, and a page of the build is
// opened through that server in Debian's chromium. The page's absolute script
// and image addresses (the build's PLOTWEAVE_LAB_HOST and
// PLOTWEAVE_LOADER_HOST) are fetched from nginx; nothing leaves the machine.
// The Python configuration of the README is served and checked the same way,
// without the browser.
//
//   node tests/deploy/deploy.test.mjs --build DIR --cmake PATH --program PATH
//        --examples DIR --kit DIR --nginx PATH --version V --lab-host URL
//        --loader-host URL --out DIR

import { after, before, test } from 'node:test';
import assert from 'node:assert/strict';
import { execFileSync, spawn } from 'node:child_process';
import { cpSync, existsSync, mkdirSync, readFileSync, rmSync, writeFileSync } from 'node:fs';
import { createRequire } from 'node:module';
import { createServer } from 'node:net';
import { join, resolve } from 'node:path';

function argument(name) {
  const at = process.argv.indexOf(`--${name}`);
  assert.ok(at >= 0 && at + 1 < process.argv.length, `--${name} is missing`);
  return process.argv[at + 1];
}

const BUILD = resolve(argument('build'));
const CMAKE = argument('cmake');
const PROGRAM = resolve(argument('program'));
const EXAMPLES = resolve(argument('examples'));
const KIT = resolve(argument('kit'));
const NGINX = argument('nginx');
const VERSION = argument('version');
const LAB = new URL(argument('lab-host')).origin;
const LOADER = new URL(argument('loader-host')).origin;
const OUT = resolve(argument('out'));
const CHROMIUM = '/usr/bin/chromium';
const DOC_ROOT = '/usr/share/plotweave/web/site';
const PLAN = 'ontology-utf8.lst';

const ROOT = join(OUT, 'root');
const SITE = join(ROOT, 'share', 'plotweave', 'web', 'site');
const README = join(ROOT, 'share', 'plotweave', 'web', 'README');
const PAGES = join(OUT, 'pages');

const servers = [];
let nginxOrigin;

function freePort() {
  return new Promise((done, failed) => {
    const probe = createServer();
    probe.on('error', failed);
    probe.listen(0, '127.0.0.1', () => {
      const { port } = probe.address();
      probe.close(() => done(port));
    });
  });
}

// Starts a server under `timeout`, so that it ends by itself even if this
// test is killed, and waits until `origin` answers.
async function startServer(name, argv, origin, options = {}) {
  const child = spawn('timeout', ['150', ...argv], { stdio: ['ignore', 'pipe', 'pipe'], ...options });
  let log = '';
  child.stdout.on('data', (d) => { log += d; });
  child.stderr.on('data', (d) => { log += d; });
  const exited = new Promise((done) => child.on('exit', done));
  servers.push({ child, exited });
  for (let i = 0; i < 100; i++) {
    if (child.exitCode !== null) break;
    try {
      await fetch(`${origin}/`);
      return;
    } catch {
      await new Promise((r) => setTimeout(r, 100));
    }
  }
  assert.fail(`${name} did not start at ${origin}:\n${log}`);
}

// The block of `readme` that starts with a line matching `first`, up to the
// first line whose text after the block's indentation matches `last`, without
// that indentation.
function snippet(readme, first, last) {
  const lines = readme.split('\n');
  const start = lines.findIndex((l) => first.test(l));
  assert.ok(start >= 0, `README has no line matching ${first}`);
  const indent = lines[start].match(/^ */)[0];
  const end = lines.findIndex((l, i) => i > start && l.startsWith(indent) && last.test(l.slice(indent.length)));
  assert.ok(end > start, `README: no end of the block starting '${lines[start].trim()}'`);
  return lines.slice(start, end + 1).map((l) => l.slice(indent.length)).join('\n');
}

// Replaces `from` by `to`, insisting that `from` is there.
function swap(text, from, to) {
  assert.ok(text.includes(from), `the README's configuration has no '${from}'`);
  return text.split(from).join(to);
}

before(async () => {
  rmSync(OUT, { recursive: true, force: true });
  mkdirSync(join(OUT, 'tmp'), { recursive: true });
  execFileSync(CMAKE, ['--install', BUILD, '--prefix', ROOT], { stdio: 'pipe' });
  for (const file of ['jsapi', 'Graph/network/network.js', 'VR/style/noimage.png']) {
    assert.ok(existsSync(join(SITE, file)), `kit file ${file} not installed: run npm ci && npm run build in web/`);
  }
  assert.ok(existsSync(README), 'the kit README is not installed');
  assert.ok(existsSync(CHROMIUM), `${CHROMIUM} is missing: run tools/install-test-deps.sh`);

  const port = await freePort();
  nginxOrigin = `http://127.0.0.1:${port}`;
  let server = snippet(readFileSync(README, 'utf8'), /^ *server \{$/, /^\}$/);
  server = swap(server, 'listen 8000;', `listen 127.0.0.1:${port};`);
  server = swap(server, `root ${DOC_ROOT};`, `root ${SITE};`);
  // The pages themselves come from the same server, as they would on a
  // laboratory's intranet; this location is the test's own addition.
  server = server.replace(/\}\s*$/, `    location /pages/ {\n        alias ${PAGES}/;\n    }\n}`);
  const conf = join(OUT, 'nginx.conf');
  const temp = (name) => `${name}_temp_path ${join(OUT, 'tmp', name)};`;
  writeFileSync(conf, [
    'daemon off;',
    'worker_processes 1;',
    process.getuid && process.getuid() === 0 ? 'user root;' : '',
    `pid ${join(OUT, 'nginx.pid')};`,
    `error_log ${join(OUT, 'error.log')};`,
    'events { worker_connections 64; }',
    'http {',
    '    include /etc/nginx/mime.types;',
    '    default_type application/octet-stream;',
    `    access_log ${join(OUT, 'access.log')};`,
    `    ${temp('client_body')} ${temp('proxy')} ${temp('fastcgi')} ${temp('uwsgi')} ${temp('scgi')}`,
    server.split('\n').map((l) => `    ${l}`).join('\n'),
    '}',
    '',
  ].join('\n'));
  const nginxArgs = ['-p', OUT, '-c', conf, '-e', join(OUT, 'error.log')];
  execFileSync(NGINX, ['-t', '-q', ...nginxArgs], { stdio: 'pipe' });
  await startServer('nginx', [NGINX, ...nginxArgs], nginxOrigin);
});

after(async () => {
  for (const { child, exited } of servers) {
    if (child.exitCode === null) child.kill('SIGTERM');
    await exited;
  }
});

test('nginx serves the three paths with their types and caching', async () => {
  const jsapi = await fetch(`${nginxOrigin}/jsapi`);
  assert.equal(jsapi.status, 200);
  assert.match(jsapi.headers.get('content-type'), /^text\/javascript\b/);
  assert.equal(jsapi.headers.get('cache-control'), 'no-cache');
  assert.deepEqual(Buffer.from(await jsapi.arrayBuffer()), readFileSync(join(SITE, 'jsapi')));

  const network = await fetch(`${nginxOrigin}/Graph/network/network.js`);
  assert.equal(network.status, 200);
  assert.match(network.headers.get('content-type'), /^text\/javascript\b/);
  const maxAge = Number((network.headers.get('cache-control') || '').match(/max-age=(\d+)/)?.[1]);
  assert.ok(maxAge >= 7 * 24 * 3600, `network.js cached for a week or more, got '${network.headers.get('cache-control')}'`);
  const first = (await network.text()).split('\n')[0];
  assert.ok(first.startsWith(`/* network.js ${VERSION} (Plotweave)`), `network.js names release ${VERSION}: ${first}`);

  const image = await fetch(`${nginxOrigin}/VR/style/noimage.png`);
  assert.equal(image.status, 200);
  assert.equal(image.headers.get('content-type'), 'image/png');
  assert.deepEqual(Buffer.from(await image.arrayBuffer()), readFileSync(join(SITE, 'VR/style/noimage.png')));

  const licence = await fetch(`${nginxOrigin}/Graph/network/licenses/vis-network/LICENSE-MIT`);
  assert.equal(licence.status, 200, 'the licences are served beside the script');
  assert.equal((await fetch(`${nginxOrigin}/Graph/network/missing.js`)).status, 404);
});

test('a generated page draws through nginx', { timeout: 90000 }, async () => {
  cpSync(EXAMPLES, PAGES, { recursive: true });
  const console = execFileSync(PROGRAM, [PLAN], { cwd: PAGES, encoding: 'latin1', timeout: 30000 });
  assert.match(console, /has been Created/);
  const pageName = `${PLAN.slice(0, PLAN.indexOf('.'))}_self.htm`;
  const nodes = readFileSync(join(EXAMPLES, PLAN), 'utf8').split('#LINKS')[0].split(/#NODES[^\n]*\n/)[1]
    .split('\n').filter((l) => l.trim().length >= 5 && !l.startsWith('#')).length;

  const { chromium } = createRequire(join(KIT, 'package.json'))('playwright-core');
  const browser = await chromium.launch({
    executablePath: CHROMIUM,
    headless: true,
    args: ['--no-sandbox', '--disable-gpu', '--disable-background-networking', '--disable-component-update',
      '--disable-sync', '--no-first-run'],
  });
  const refused = [];
  const redirected = [];
  try {
    const context = await browser.newContext({ viewport: { width: 1000, height: 700 } });
    // The build's hosts are answered by nginx: the request goes to it with
    // the same path, and its answer (body, type, headers) is what the page gets.
    await context.route('**/*', async (route) => {
      const url = new URL(route.request().url());
      if (url.origin === nginxOrigin) return route.continue();
      if (url.origin === LAB || url.origin === LOADER) {
        redirected.push(url.pathname);
        const response = await route.fetch({ url: `${nginxOrigin}${url.pathname}${url.search}` });
        return route.fulfill({ response });
      }
      refused.push(url.href);
      return route.abort();
    });
    const page = await context.newPage();
    const errors = [];
    page.on('pageerror', (e) => errors.push(`page error: ${e.message}`));
    page.on('console', (m) => { if (m.type() === 'error') errors.push(`console error: ${m.text()}`); });
    const answer = await page.goto(`${nginxOrigin}/pages/${pageName}`);
    assert.equal(answer.status(), 200);
    await page.waitForFunction(
      () => document.getElementById('mynetwork').getAttribute('data-layout') === 'settled', null, { timeout: 20000 });
    const drawn = await page.evaluate(() => {
      const v = network.vis;
      const images = Object.values(v.body.nodes).filter((n) => n.options.shape === 'image');
      return {
        rows: nodesTable.getNumberOfRows(),
        drawn: v.body.nodeIndices.length,
        images: images.length,
        loaded: images.filter((n) => n.imageObj && n.imageObj.image && n.imageObj.image.naturalWidth > 0).length,
      };
    });
    assert.equal(drawn.rows, nodes + 1, 'a node row per plan node, and the dummy');
    assert.equal(drawn.drawn, drawn.rows, 'every node row is drawn');
    assert.ok(drawn.images > 0, 'the example has image nodes');
    assert.equal(drawn.loaded, drawn.images, 'every image node shows its image');
    assert.deepEqual(errors, [], 'no script or console errors');
    assert.deepEqual(refused, [], 'every request went to nginx');
    assert.ok(redirected.includes('/Graph/network/network.js') && redirected.includes('/jsapi'), `${redirected}`);
  } finally {
    await browser.close();
  }
  // nginx's own record: the scripts and the page came from it.
  const log = readFileSync(join(OUT, 'access.log'), 'utf8');
  for (const path of ['/jsapi', '/Graph/network/network.js', `/pages/${pageName}`]) {
    assert.match(log, new RegExp(`"GET ${path.replace(/[.]/g, '\\.')} HTTP/1\\.1" 200 `), `nginx served ${path}`);
  }
});

test('the Python configuration serves the same types and caching', { timeout: 30000 }, async () => {
  const block = snippet(readFileSync(README, 'utf8'), /python3 -c 'if True:$/, /\)'$/);
  const code = block.slice(block.indexOf("'") + 1, block.lastIndexOf("'"));
  const port = await freePort();
  const origin = `http://127.0.0.1:${port}`;
  await startServer('python3', ['python3', '-c', swap(code, 'port=8000', `port=${port}`)], origin, { cwd: SITE });
  const jsapi = await fetch(`${origin}/jsapi`);
  assert.match(jsapi.headers.get('content-type'), /^text\/javascript\b/);
  assert.equal(jsapi.headers.get('cache-control'), 'no-cache');
  await jsapi.arrayBuffer();
  const network = await fetch(`${origin}/Graph/network/network.js`);
  assert.match(network.headers.get('content-type'), /^text\/javascript\b/);
  assert.match(network.headers.get('cache-control'), /max-age=2592000/);
  await network.arrayBuffer();
});
