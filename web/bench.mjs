// Settle times of the built kit: how long after navigation a page's layout
// is at rest (the container's data-layout="settled"), median of several
// loads in headless chromium, for the example plans and a generated plan at
// full capacity (512 nodes, 800 links); and the longest time the page's
// main thread was blocked up to then (the longest task), median likewise.
//
//   npm run bench -- [--program PATH] [--runs N] [--site DIR]
//
// PATH is plotweave_self (default ../build/app/plotweave_self, or
// $PLOTWEAVE_SELF); build the kit first (npm run build). "first visit" loads
// start with empty storage; "return visit" loads find the positions the
// first visit left.

import { execFileSync } from 'node:child_process';
import { cpSync, existsSync, mkdtempSync, readdirSync, rmSync, writeFileSync } from 'node:fs';
import { tmpdir } from 'node:os';
import { dirname, join, resolve } from 'node:path';
import { fileURLToPath, pathToFileURL } from 'node:url';
import { fullCapacityPlan } from './test-support/full-plan.mjs';
import { launchWithKit, missingKitFiles } from './test-support/kit-browser.mjs';

const here = dirname(fileURLToPath(import.meta.url));

function option(name, fallback) {
  const at = process.argv.indexOf(`--${name}`);
  return at >= 0 && at + 1 < process.argv.length ? process.argv[at + 1] : fallback;
}

const program = resolve(option('program', process.env.PLOTWEAVE_SELF || join(here, '..', 'build', 'app', 'plotweave_self')));
const runs = Math.max(1, parseInt(option('runs', '5'), 10));
const site = resolve(option('site', join(here, 'site')));
const examples = join(here, '..', 'examples');
const VIEWPORT = { width: 1000, height: 700 };

if (!existsSync(program)) {
  console.error(`missing ${program}: build the programs first (make build), or pass --program`);
  process.exit(1);
}
if (missingKitFiles(site).length > 0) {
  console.error(`the kit in ${site} is incomplete: run npm run build`);
  process.exit(1);
}

const median = (values) => {
  const s = [...values].sort((a, b) => a - b);
  return s.length % 2 ? s[(s.length - 1) / 2] : (s[s.length / 2 - 1] + s[s.length / 2]) / 2;
};

// Records when the container first reports a settled layout, from the
// first byte of the document on, and the tasks that blocked the page.
function recordSettle() {
  window.__settledAt = null;
  window.__blocks = [];
  try {
    new PerformanceObserver((list) => {
      for (const e of list.getEntries()) window.__blocks.push({ start: e.startTime, duration: e.duration });
    }).observe({ type: 'longtask', buffered: true });
  } catch (e) { /* no long-task timing in this browser */ }
  new MutationObserver((changes, observer) => {
    for (const c of changes) {
      if (c.target.getAttribute && c.target.getAttribute('data-layout') === 'settled') {
        window.__settledAt = performance.now();
        observer.disconnect();
        return;
      }
    }
  }).observe(document, { subtree: true, attributes: true, attributeFilter: ['data-layout'] });
}

async function settleTime(context, url, clearStorage) {
  const page = await context.newPage();
  try {
    await page.addInitScript(recordSettle);
    if (clearStorage) await page.addInitScript(() => { try { localStorage.clear(); } catch (e) { /* none */ } });
    await page.goto(url);
    await page.waitForFunction(() => window.__settledAt !== null, null, { timeout: 120000, polling: 50 });
    // Long tasks are reported a moment after they end.
    await page.waitForTimeout(100);
    return page.evaluate(() => ({
      settled: window.__settledAt,
      block: Math.max(0, ...window.__blocks.filter((b) => b.start <= window.__settledAt).map((b) => b.duration)),
    }));
  } finally {
    await page.close();
  }
}

const work = mkdtempSync(join(tmpdir(), 'plotweave-settle-'));
const browser = await launchWithKit({ site, profileParent: work, viewport: VIEWPORT });
try {
  cpSync(examples, work, { recursive: true });
  writeFileSync(join(work, 'full.lst'), fullCapacityPlan().text);
  const plans = readdirSync(work).filter((f) => f.endsWith('.lst')).sort();
  console.log(`settle time after navigation, median of ${runs} loads (ms), ${VIEWPORT.width}x${VIEWPORT.height} window`);
  console.log(`${'plan'.padEnd(24)} ${'first visit'.padStart(12)} ${'return visit'.padStart(13)} ${'longest block'.padStart(14)}`);
  for (const plan of plans) {
    execFileSync(program, [plan], { cwd: work, stdio: 'ignore' });
    const url = pathToFileURL(join(work, `${plan.slice(0, plan.indexOf('.'))}_self.htm`)).href;
    const first = [];
    const again = [];
    for (let k = 0; k < runs; k++) {
      first.push(await settleTime(browser.context, url, true));
      again.push(await settleTime(browser.context, url, false));
    }
    const settled = (list) => median(list.map((r) => r.settled)).toFixed(0);
    const block = median([...first, ...again].map((r) => r.block)).toFixed(0);
    console.log(`${plan.padEnd(24)} ${settled(first).padStart(12)} ${settled(again).padStart(13)} ${block.padStart(14)}`);
  }
} finally {
  await browser.close();
  rmSync(work, { recursive: true, force: true });
}
