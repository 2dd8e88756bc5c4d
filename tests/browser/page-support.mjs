// What the browser tests that open pages share: the errors a page reports,
// and a page opened for one test and closed after it.
import assert from 'node:assert/strict';

// The errors the page's script throws or logs, gathered from now on.
export function collectErrors(page) {
  const errors = [];
  page.on('pageerror', (e) => errors.push(`page error: ${e.message}`));
  page.on('console', (m) => { if (m.type() === 'error') errors.push(`console error: ${m.text()}`); });
  return errors;
}

// For an `open(...)` that resolves to { page, errors }: a function that takes
// the same arguments and then `body`, hands the page to `body` and closes it
// again. The page must have reported no error by the time `body` is done.
export function withPageOf(open) {
  return async (...args) => {
    const body = args.pop();
    const { page, errors } = await open(...args);
    try {
      await body(page);
      assert.deepEqual(errors, []);
    } finally {
      await page.close();
    }
  };
}
