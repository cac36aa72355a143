/// <reference types="node" />
// A first-time user, start to finish, with real clicks and typing: no draft, choose the printer,
// use a built-in template, change a text in the inspector, import a CSV, check the batch as a dry
// run, print one label for real to a private cupsd queue, and find both runs in the history.
import { join } from 'node:path';
import type { Page } from 'playwright-core';
import { afterAll, beforeAll, expect, test } from 'vitest';
import { storedRecords } from './support/designer';
import { decodeRasters } from '../web/tests/support/zbar';
import { testOutputDir } from './support/paths';
import { startPrintSetup, type PrintSetup } from './support/print-setup';

const TARGET = 'Zeko_QX530';
const OTHER = 'Backroom_Laser';

let setup: PrintSetup;

beforeAll(async () => {
  setup = await startPrintSetup({ queues: [OTHER, TARGET], printers: 'one' });
}, 90_000);

afterAll(async () => {
  await setup?.stop();
});

/** One picture of the current step in each palette; the page goes back to light. */
async function shoot(page: Page, step: string): Promise<void> {
  for (const theme of ['light', 'dark']) {
    await page.evaluate((t) => document.documentElement.setAttribute('data-theme', t), theme);
    await page.waitForTimeout(400); // sheets fade in, colours change with a transition
    await page.screenshot({ path: join(testOutputDir(), `first-run-${step}-${theme}.png`) });
  }
  await page.evaluate(() => document.documentElement.removeAttribute('data-theme'));
}

const text = (page: Page, id: string) => page.locator(`#${id}`).innerText();

test('from a template to a printed label', async () => {
  // No api parameter: the page finds the service that served it on its own port.
  const viewport = { width: 1440, height: 900 };
  const { page, errors } = await setup.open({ viewport, ownPort: true, splash: true });
  const printer = setup.printers[TARGET];
  expect(await page.evaluate(() => localStorage.length)).toBe(0);
  await expect.poll(() => text(page, 'status-title')).toBe('打印机就绪');
  await shoot(page, '1-start');

  // Choose the printer from the menu; the choice is remembered.
  await page.click('#printer-trigger');
  const items = page.locator('#printer-menu .device-dropdown-item');
  expect(await items.locator('span').allInnerTexts()).toEqual(
    expect.arrayContaining([TARGET, OTHER]),
  );
  await shoot(page, '2-printer-menu');
  await items.filter({ hasText: TARGET }).click();
  expect(await text(page, 'printer-value')).toBe(TARGET);
  expect(await page.evaluate(() => localStorage.getItem('sorvendale.printer'))).toBe(TARGET);

  // A built-in template; nothing to discard yet, so no question.
  await page.click('#btn-templates');
  await shoot(page, '3-templates');
  await page
    .locator('#template-list .template-item')
    .filter({ hasText: '商品价签' })
    .getByRole('button', { name: '使用模板' })
    .click();
  expect(await text(page, 'status-title')).toBe('已套用模板：商品价签');
  // The template brings its sample records, so the canvas shows what will print.
  expect(await page.evaluate(() => window.__sv!.store.dataset?.name)).toBe('示例数据');
  expect(await page.evaluate(() => window.__sv!.resolve('{{名称}}'))).not.toContain('{{');
  expect(await text(page, 'doc-name')).toBe('商品价签');

  // Change the name line in the inspector: pick it in the layer list, retype its text.
  await page.locator('#layer-list .layer-row').filter({ hasText: '{{名称}}' }).click();
  const content = page
    .locator('#props .prop-row')
    .filter({ has: page.locator('.prop-label', { hasText: /^内容$/ }) })
    .locator('textarea');
  await content.click();
  await page.keyboard.press('Control+A');
  await page.keyboard.type('特价 {{名称}}');
  await page.keyboard.press('Tab');
  const named = await page.evaluate(() =>
    window.__sv!.store.doc.objects.some((o) => 'text' in o && o.text === '特价 {{名称}}'),
  );
  expect(named).toBe(true);
  expect(await text(page, 'doc-name')).toBe('商品价签 ·未保存');
  await shoot(page, '4-inspector');

  // Import a CSV through the data card's button and the file chooser.
  const [chooser] = await Promise.all([
    page.waitForEvent('filechooser'),
    page.click('#btn-import-data'),
  ]);
  await chooser.setFiles({
    name: '商品.csv',
    mimeType: 'text/csv',
    buffer: Buffer.from(
      '名称,规格,价格,编码\n苹果 5kg,袋装,19.90,6901234567892\n香蕉,串,8.50,6901234567908\n橙子,箱,45.00,6901234567915\n',
    ),
  });
  await expect.poll(() => page.evaluate(() => window.__sv!.store.dataset?.rows.length)).toBe(3);
  expect(await page.evaluate(() => window.__sv!.resolve('特价 {{名称}}'))).toBe('特价 苹果 5kg');
  await shoot(page, '5-data');

  // The batch as a dry run: every record goes to the service, no paper moves.
  await page.evaluate(() => window.__sv!.batchDry!());
  expect(printer.jobs()).toEqual([]);

  // One label for real, through the print dialog.
  await page.click('#btn-print');
  await page.locator('#print-copies').fill('1');
  await shoot(page, '6-print-dialog');
  await page.click('#print-confirm');
  const jobs = await printer.waitForJobs(1);
  expect(jobs.length).toBe(1);
  expect(jobs[0].subarray(0, 5).toString('latin1')).toBe('SIZE ');
  expect(jobs[0].includes(Buffer.from('PRINT 1,1\r\n'))).toBe(true);
  // What reached the printer scans: the first record's EAN-13 among the symbols.
  const head = /BITMAP 0,0,(\d+),(\d+),0,/.exec(jobs[0].toString('latin1'))!;
  const [stride, rows] = [Number(head[1]), Number(head[2])];
  const start = head.index + head[0].length;
  const raster = jobs[0].subarray(start, start + stride * rows);
  const [symbols] = await decodeRasters([
    { width: stride * 8, height: rows, base64: raster.toString('base64') },
  ]);
  expect(symbols).toContain('6901234567892');

  // Both runs in the history, newest first: the single print, then the batch as one record of
  // its three labels.
  // The single print's record is written when it starts and marked finished once its job is
  // through, so wait for both to be finished before the list is drawn.
  await expect
    .poll(async () => (await storedRecords(page, 'history')).map((r) => r.ok), {
      timeout: 10_000,
    })
    .toEqual([true, true]);
  await page.click('#settings-button');
  // The sheet reads the history from storage after it opens.
  await expect
    .poll(() => page.locator('#history-list .history-item strong').allInnerTexts(), {
      timeout: 10_000,
    })
    .toEqual(['✓ 商品价签 · 1 张', '✓ 商品价签 · 3 张 · 自检']);
  const details = await page.locator('#history-list .history-item small').allInnerTexts();
  expect(details[0]).toMatch(new RegExp(` · ${TARGET} · 1 份 · \\d+ KB / \\d+ ms$`));
  await shoot(page, '7-history');
  expect(errors).toEqual([]);
  await page.close();
}, 120_000);
