/// <reference types="node" />
import { chromium, type Browser, type Page } from 'playwright-core';
import { chromiumArgs } from '../../web/vitest.config';

// Debian's Chromium; no browser is ever downloaded.
export const chromiumPath = process.env.SORVENDALE_CHROMIUM ?? '/usr/bin/chromium';

export { chromiumArgs };

export function launchChromium(): Promise<Browser> {
  return chromium.launch({ executablePath: chromiumPath, headless: true, args: chromiumArgs });
}

// Collects console errors and uncaught page errors from the moment it is attached.
export function collectPageErrors(page: Page): string[] {
  const errors: string[] = [];
  page.on('console', (m) => {
    if (m.type() !== 'error') return;
    // An API call that answers with an error status (say list_printers without a spooler) is
    // logged by the browser as a resource error; the page shows that text to the user itself.
    const apiReply = m.text().startsWith('Failed to load resource: the server responded');
    if (apiReply && m.location().url.includes('/api/')) return;
    errors.push(`console: ${m.text()}`);
  });
  page.on('pageerror', (e) => errors.push(`pageerror: ${e.message}`));
  page.on('requestfailed', (r) =>
    errors.push(`requestfailed: ${r.url()} ${r.failure()?.errorText}`),
  );
  return errors;
}
