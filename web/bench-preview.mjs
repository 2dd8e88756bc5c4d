// Save-to-redraw times of plotweave-preview: from the moment a save of the
// plan is complete on disk to the moment the open page shows the drawing of
// that save (the page's data-preview-drawn), in headless chromium, for the
// example plan and a generated plan at full capacity (512 nodes, 800
// links). Saves alternate between writing in place and renaming a new file
// over the plan, as editors do. Each changes one node's label, or renames
// one node (and its links), which the drawing then places anew.
//
//   npm run bench:preview -- [--program PATH] [--saves N] [--site DIR]
//
// PATH is plotweave-preview (default ../build/preview/plotweave-preview, or
// $PLOTWEAVE_PREVIEW); build the kit first (npm run build).

import { spawn } from 'node:child_process';
import { cpSync, existsSync, mkdtempSync, readFileSync, renameSync, rmSync, writeFileSync } from 'node:fs';
import { createRequire } from 'node:module';
import { tmpdir } from 'node:os';
import { dirname, join, resolve } from 'node:path';
import { fileURLToPath } from 'node:url';
import { fullCapacityPlan } from './test-support/full-plan.mjs';

const here = dirname(fileURLToPath(import.meta.url));

function option(name, fallback) {
  const at = process.argv.indexOf(`--${name}`);
  return at >= 0 && at + 1 < process.argv.length ? process.argv[at + 1] : fallback;
}

const program = resolve(option('program', process.env.PLOTWEAVE_PREVIEW
  || join(here, '..', 'build', 'preview', 'plotweave-preview')));
const saves = Math.max(2, parseInt(option('saves', '20'), 10));
const site = resolve(option('site', join(here, 'site')));
const examples = join(here, '..', 'examples');

if (!existsSync(program)) {
  console.error(`missing ${program}: build the programs first (make build), or pass --program`);
  process.exit(1);
}
if (!existsSync(join(site, 'preview', 'client.js'))) {
  console.error(`the kit in ${site} has no preview client: run npm run build`);
  process.exit(1);
}

const sorted = (values) => [...values].sort((a, b) => a - b);
const quantile = (values, q) => { const s = sorted(values); return s[Math.min(s.length - 1, Math.floor(q * s.length))]; };

async function startPreview(folder, plan) {
  const child = spawn(program, ['--port', '0', '--kit', site, plan], { cwd: folder, stdio: ['ignore', 'pipe', 'inherit'] });
  let output = '';
  child.stdout.on('data', (d) => { output += d; });
  for (let i = 0; i < 200 && !/127\.0\.0\.1:(\d+)/.test(output); i++) await new Promise((r) => setTimeout(r, 25));
  const m = /127\.0\.0\.1:(\d+)/.exec(output);
  if (!m) throw new Error(`plotweave-preview printed no address: ${output}`);
  return { child, port: Number(m[1]) };
}

// The k-th save of a plan: the node on `line` (id, class, label, ...)
// relabelled, or renamed with its links.
const CHANGES = {
  relabel(lines, line, k) {
    const fields = lines[line].split(' ');
    fields[2] = `${fields[2]}_${k}`;
    lines[line] = fields.join(' ');
  },
  rename(lines, line, k) {
    const id = lines[line].split(' ')[0];
    const links = lines.findIndex((l) => l.startsWith('#LINK'));
    const renamed = (f) => (f === id ? `${id}r${k}` : f);
    lines[line] = lines[line].split(' ').map((f, i) => (i === 0 ? renamed(f) : f)).join(' ');
    for (let i = links + 1; i < lines.length; i++) {
      lines[i] = lines[i].split(' ').map((f, j) => (j < 2 ? renamed(f) : f)).join(' ');
    }
  },
};

// The save times of one plan, each save made by change().
async function measure(browser, folder, plan, line, change) {
  const path = join(folder, plan);
  const original = readFileSync(path, 'latin1').split('\n');
  const { child, port } = await startPreview(folder, plan);
  const page = await browser.newPage({ viewport: { width: 1000, height: 700 } });
  try {
    await page.goto(`http://127.0.0.1:${port}/`);
    await page.waitForFunction(() => document.getElementById('mynetwork')?.getAttribute('data-layout') === 'settled'
      && Number(document.documentElement.dataset.previewDrawn) > 0, null, { timeout: 120000 });
    // The page notes the wall-clock time each drawing is shown, and when the
    // server told of each save.
    await page.evaluate(() => {
      window.__shown = [];
      window.__told = [];
      new EventSource('/preview/events').addEventListener('save', () => window.__told.push(performance.timeOrigin + performance.now()));
      const root = document.documentElement;
      new MutationObserver((changes) => {
        if (changes.some((c) => c.oldValue !== root.dataset.previewDrawn)) window.__shown.push(performance.timeOrigin + performance.now());
      }).observe(root, { attributes: true, attributeOldValue: true, attributeFilter: ['data-preview-drawn'] });
    });
    // The stream opens with the save on screen.
    await page.waitForFunction(() => window.__told.length > 0);
    const times = [];
    const told = [];
    for (let k = 0; k < saves; k++) {
      const lines = [...original];
      change(lines, line, k);
      const bytes = Buffer.from(lines.join('\n'), 'latin1');
      const [before, toldBefore] = await page.evaluate(() => [window.__shown.length, window.__told.length]);
      if (k % 2 === 0) {
        writeFileSync(path, bytes);
      } else {
        writeFileSync(`${path}.new`, bytes);
        renameSync(`${path}.new`, path);
      }
      const saved = performance.timeOrigin + performance.now();
      await page.waitForFunction((n) => window.__shown.length > n, before, { timeout: 20000, polling: 10 });
      const [shown, tell] = await page.evaluate(([n, t]) => [window.__shown[n], window.__told[t]], [before, toldBefore]);
      times.push(shown - saved);
      told.push(tell - saved);
      // The reader's pace: a moment between saves.
      await new Promise((r) => setTimeout(r, 150));
    }
    return { times, told };
  } finally {
    await page.close();
    child.kill('SIGINT');
  }
}

const work = mkdtempSync(join(tmpdir(), 'plotweave-preview-bench-'));
const { chromium } = createRequire(join(here, 'package.json'))('playwright-core');
const browser = await chromium.launch({ executablePath: '/usr/bin/chromium', headless: true,
  args: ['--no-sandbox', '--disable-gpu', '--disable-background-networking'] });
try {
  cpSync(join(examples, 'ontology.lst'), join(work, 'ontology.lst'));
  cpSync(join(examples, 'img'), join(work, 'img'), { recursive: true });
  writeFileSync(join(work, 'full.lst'), fullCapacityPlan().text);
  const nodeLine = (plan) => {
    const lines = readFileSync(join(work, plan), 'latin1').split('\n');
    const at = lines.findIndex((l) => l.startsWith('#NODE'));
    return at + 1 + Math.floor((lines.findIndex((l, i) => i > at && l.startsWith('#')) - at - 1) / 2);
  };
  console.log(`save to redraw in plotweave-preview, ${saves} saves each (ms)`);
  console.log('(of which the server: from the save to the page being told of it)');
  console.log(`${'plan, save'.padEnd(22)} ${'median'.padStart(8)} ${'90 %'.padStart(8)} ${'worst'.padStart(8)}   ${'server median'.padStart(13)} ${'worst'.padStart(6)}`);
  for (const plan of ['ontology.lst', 'full.lst']) for (const kind of Object.keys(CHANGES)) {
    const { times, told } = await measure(browser, work, plan, nodeLine(plan), CHANGES[kind]);
    const f = (v, w = 8) => v.toFixed(0).padStart(w);
    console.log(`${`${plan}, ${kind}`.padEnd(22)} ${f(quantile(times, 0.5))} ${f(quantile(times, 0.9))} ${f(Math.max(...times))}   `
      + `${f(quantile(told, 0.5), 13)} ${f(Math.max(...told), 6)}`);
  }
} finally {
  await browser.close();
  rmSync(work, { recursive: true, force: true });
}
