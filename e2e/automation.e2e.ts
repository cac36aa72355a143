/// <reference types="node" />
// The automation hook on the page the binary serves, driven with real data: the store, the
// service call, CSV parsing, placeholder resolution and copy plans.
import type { Browser, Page } from 'playwright-core';
import { afterAll, beforeAll, expect, test } from 'vitest';
import { collectPageErrors, launchChromium } from './support/chromium';
import { startService, type RunningService } from './support/service';

let service: RunningService;
let browser: Browser;
let page: Page;
let errors: string[];

beforeAll(async () => {
  service = await startService();
  browser = await launchChromium();
  page = await browser.newPage();
  errors = collectPageErrors(page);
  // The page is not on the default port, so it is told where its service is.
  await page.goto(
    `${service.url}?demo&api=${encodeURIComponent(`http://127.0.0.1:${service.port}`)}`,
  );
  await page.waitForFunction(() => window.__sv !== undefined);
});

afterAll(async () => {
  await browser?.close();
  await service?.stop();
});

test('calls the service it was served by', async () => {
  const health = await page.evaluate(() => window.__sv!.call('health'));
  expect(health).toMatchObject({ ok: true });
  const refused = await page.evaluate(() =>
    window.__sv!.call('print_sheet', { request: { printer: '  ' } }).then(
      () => 'resolved',
      (e: Error) => e.message,
    ),
  );
  expect(refused).toMatch(/^请求格式不对：missing field `width_mm`/);
});

test('demo mode shows the sample, not dirty', async () => {
  const state = await page.evaluate(() => ({
    dirty: window.__sv!.store.dirty,
    objects: window.__sv!.store.doc.objects.length,
  }));
  expect(state.dirty).toBe(false);
  expect(state.objects).toBeGreaterThan(0);
  expect(errors).toEqual([]);
});

test('merges CSV records into copies under each copy mode', async () => {
  const plans = await page.evaluate(() => {
    const sv = window.__sv!;
    const data = sv.parseCsv('名称;编号\n苹果;A1\n香蕉;B2\n橙子;C3\n');
    sv.store.setDataset(data);
    sv.store.setRecord(1);
    const out: Record<string, unknown> = {
      fields: data.fields,
      current: sv.resolve('{{名称}}-{{编号}} {{__index__}}/{{__rows__}}'),
    };
    for (const mode of ['duplicate', 'sequence', 'serial'] as const) {
      sv.store.update((doc) => {
        doc.print.copyMode = mode;
        doc.print.copies = 3;
      });
      out[mode] = sv.copyContexts().map((c) => c.index ?? -1);
      out[`${mode}-text`] = [0, 1, 2].map((k) => sv.resolveCopy('{{编号}}', k));
    }
    return out;
  });
  expect(plans.fields).toEqual(['名称', '编号']);
  expect(plans.current).toBe('香蕉-B2 2/3');
  expect(plans['duplicate-text']).toEqual(['B2', 'B2', 'B2']);
  // A sequence runs from the current record and stops at the end of the data.
  expect(plans.sequence).toEqual([1, 2]);
  expect((plans['sequence-text'] as string[]).slice(0, 2)).toEqual(['B2', 'C3']);
  expect(plans.serial).toEqual([1, 2, 3]);
});
