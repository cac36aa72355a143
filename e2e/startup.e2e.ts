/// <reference types="node" />
// Start-up of the served designer: a page that lacks one of the script's elements stops with a
// visible message naming it, instead of half-wiring itself.
import { cp, mkdtemp, readFile, rm, writeFile } from 'node:fs/promises';
import { tmpdir } from 'node:os';
import { join } from 'node:path';
import type { Browser } from 'playwright-core';
import { afterAll, beforeAll, expect, test } from 'vitest';
import { ELEMENT_IDS } from '../web/src/page/elements';
import { collectPageErrors, launchChromium } from './support/chromium';
import { repoRoot } from './support/paths';
import { startService } from './support/service';

let browser: Browser;
let scratch: string;

beforeAll(async () => {
  browser = await launchChromium();
  scratch = await mkdtemp(join(tmpdir(), 'sv-startup-'));
});

afterAll(async () => {
  await browser?.close();
  await rm(scratch, { recursive: true, force: true });
});

test.each(['btn-check', 'editor-canvas', 'data-table'])(
  'a page without #%s stops with a visible message naming it',
  async (missing) => {
    expect(ELEMENT_IDS).toContain(missing);
    const dist = join(scratch, missing);
    await cp(process.env.SORVENDALE_E2E_DIST ?? join(repoRoot, 'dist'), dist, { recursive: true });
    const index = join(dist, 'index.html');
    const html = await readFile(index, 'utf8');
    const cut = html.replace(`id="${missing}"`, '');
    expect(cut).not.toBe(html);
    await writeFile(index, cut);

    const service = await startService({ dist });
    try {
      const page = await browser.newPage();
      const errors = collectPageErrors(page);
      await page.goto(service.url);
      const alert = page.getByRole('alert');
      await alert.waitFor();
      expect(await alert.textContent()).toBe(`缺少元素：${missing}`);
      expect(await alert.isVisible()).toBe(true);
      expect(errors.join('\n')).toContain(`缺少元素：${missing}`);
      await page.close();
    } finally {
      await service.stop();
    }
  },
);
