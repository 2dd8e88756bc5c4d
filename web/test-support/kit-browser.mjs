// Debian's chromium, driven by playwright-core, with every outside address a
// page asks for answered from the built kit (site/) and every other request
// refused, so nothing leaves the machine. Shared by the browser test and the
// settle benchmark.

import { existsSync, mkdtempSync, readFileSync, rmSync } from 'node:fs';
import { createRequire } from 'node:module';
import { dirname, join } from 'node:path';
import { fileURLToPath } from 'node:url';
import { LOADER_PATH, NETWORK_PATH, PLACEHOLDER_PATH } from '../src/page-contract.js';

const here = dirname(fileURLToPath(import.meta.url));
export const CHROMIUM = '/usr/bin/chromium';

// What the kit serves, by path; the host part is whatever the build chose.
export const KIT_FILES = {
  [LOADER_PATH]: [LOADER_PATH.slice(1), 'text/javascript; charset=utf-8'],
  [NETWORK_PATH]: [NETWORK_PATH.slice(1), 'text/javascript; charset=utf-8'],
  [PLACEHOLDER_PATH]: [PLACEHOLDER_PATH.slice(1), 'image/png'],
};

export function missingKitFiles(site) {
  return Object.values(KIT_FILES).map(([file]) => file).filter((file) => !existsSync(join(site, file)));
}

// Returns { context, aborted, close }: `aborted` collects every refused
// address. `site` is the kit folder to serve; `profileParent` holds the
// throwaway browser profile.
// `phone` makes it a touch screen that honours the page's viewport.
export async function launchWithKit({ site, profileParent, viewport, locale = 'en-US', phone = false }) {
  const { chromium } = createRequire(join(here, '..', 'package.json'))('playwright-core');
  const userDataDir = mkdtempSync(join(profileParent, 'profile-'));
  const context = await chromium.launchPersistentContext(userDataDir, {
    executablePath: CHROMIUM,
    headless: true,
    args: ['--no-sandbox', '--disable-gpu', '--disable-background-networking', '--disable-component-update',
      '--disable-sync', '--no-first-run'],
    viewport,
    locale,
    deviceScaleFactor: 1,
    acceptDownloads: true,
    ...(phone ? { isMobile: true, hasTouch: true } : {}),
  });
  const aborted = [];
  await context.route('**/*', async (route) => {
    const url = new URL(route.request().url());
    if (url.protocol === 'file:' || url.protocol === 'data:' || url.protocol === 'blob:') return route.continue();
    const served = KIT_FILES[url.pathname];
    if (served && (url.protocol === 'http:' || url.protocol === 'https:')) {
      return route.fulfill({ status: 200, contentType: served[1], body: readFileSync(join(site, served[0])) });
    }
    aborted.push(url.href);
    return route.abort();
  });
  const close = async () => {
    await context.close();
    rmSync(userDataDir, { recursive: true, force: true });
  };
  return { context, aborted, close };
}
