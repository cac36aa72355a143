/// <reference types="node" />
// Calibrating a printer from the print card, down to a private cupsd and a recording printer:
// the calibration label goes out through the normal print path with the printer's saved
// offset, "纸张校准" sends SIZE, GAP and GAPDETECT, and the saved offset then moves every
// label printed on that printer, and only on that one.
import { join } from 'node:path';
import type { Page } from 'playwright-core';
import { afterAll, beforeAll, expect, test } from 'vitest';
import type { RecordingPrinter } from './support/cups';
import { testOutputDir } from './support/paths';
import { startPrintSetup, type PrintSetup } from './support/print-setup';
import type { PrintRequest as Req } from '../web/src/print/rules';

const QUEUE = 'Zeko_QX530';
const OTHER = 'Other_Printer';

let setup: PrintSetup;
let printer: RecordingPrinter;
let page: Page;
let errors: string[];
let sent: Req[];

/** The stream's head lines as text (the raster after BITMAP is binary). */
const head = (job: Buffer) => job.subarray(0, job.indexOf('BITMAP')).toString('latin1');

async function choosePrinter(name: string): Promise<void> {
  await page.click('#printer-trigger');
  await page.locator('#printer-menu .device-dropdown-item', { hasText: name }).click();
  await expect.poll(() => page.locator('#printer-value').innerText()).toBe(name);
}

beforeAll(async () => {
  setup = await startPrintSetup({ queues: [QUEUE, OTHER], defaultQueue: QUEUE });
  printer = setup.printers[QUEUE];
  const viewport = { width: 1440, height: 1000 };
  ({ page, errors, sent } = await setup.open({ viewport, printer: QUEUE }));
  await page.evaluate(() => {
    const sv = window.__sv!;
    sv.store.reset(
      sv.parseDoc({
        schemaVersion: 1,
        name: '校准测试',
        page: { widthMm: 40, heightMm: 30, dpi: 203 },
        print: { columns: 2, columnGapMm: 2, rowGapMm: 3, density: 8, speed: 4, offsetXMm: 0.5 },
        objects: [{ id: 'r1', type: 'rect', name: '框', x: 2, y: 2, w: 36, h: 26 }],
      }),
      false,
    );
  });
}, 90_000);

afterAll(async () => {
  await setup?.stop();
});

test('measure, save, and print with the offset; media calibration', async () => {
  expect(await page.locator('#printer-offset').innerText()).toBe('打印机偏移 0.0 / 0.0 mm');
  await page.click('#btn-calibrate');
  await expect.poll(() => page.locator('#calibration-sheet').isVisible()).toBe(true);
  expect(await page.locator('#calibration-info').innerText()).toBe(
    `${QUEUE} · 40×30 mm · 203 dpi · 320×240 dots`,
  );
  await page
    .locator('.calibration-card')
    .screenshot({ path: join(testOutputDir(), 'calibration-sheet.png') });
  // The label raster alone, one screen pixel per dot.
  await page.evaluate(() => {
    const canvas = document.getElementById('calibration-canvas') as HTMLCanvasElement;
    const img = document.createElement('img');
    img.id = 'calibration-raster';
    img.src = canvas.toDataURL('image/png');
    img.style.cssText = 'position:fixed;left:0;top:0;z-index:99999;image-rendering:pixelated';
    document.body.append(img);
  });
  await page
    .locator('#calibration-raster')
    .screenshot({ path: join(testOutputDir(), 'calibration-label.png') });
  await page.evaluate(() => document.getElementById('calibration-raster')?.remove());

  // The label goes out as one 40 × 30 mm label, with neither the document's offset nor a
  // profile yet.
  let before = printer.jobs().length;
  await page.click('#calibration-print');
  let job = (await printer.waitForJobs(before + 1))[before];
  expect(head(job)).toBe(
    'SIZE 40 mm, 30 mm\r\nGAP 3 mm, 0 mm\r\nDIRECTION 1\r\nREFERENCE 0,0\r\nSHIFT 0\r\n' +
      'SET TEAR OFF\r\nDENSITY 8\r\nSPEED 4\r\nCLS\r\n',
  );
  // 40 bytes a row; the frame makes the first row all black (clear bits).
  const bitmap = job.subarray(job.indexOf('BITMAP'));
  expect(bitmap.subarray(0, 20).toString('latin1')).toBe('BITMAP 0,0,40,240,0,');
  expect([...bitmap.subarray(20, 60)].every((b) => b === 0)).toBe(true);
  await expect
    .poll(() => page.locator('#calibration-hint').innerText())
    .toMatch(/^校准标签已发送到 Zeko_QX530/);

  // The print came out 1.5 mm too far left and 0.5 mm too low: the user types the correction.
  await page.fill('#calibration-x', '1.5');
  await page.fill('#calibration-y', '-0.54');
  await page.click('#calibration-save');
  expect(await page.locator('#calibration-y').inputValue()).toBe('-0.5');
  expect(await page.locator('#printer-offset').innerText()).toBe('打印机偏移 +1.5 / −0.5 mm');

  // Printing the calibration label again carries the saved offset: 1.5 mm is 11.99 dots.
  before = printer.jobs().length;
  await page.click('#calibration-print');
  job = (await printer.waitForJobs(before + 1))[before];
  expect(head(job)).toContain('REFERENCE 12,0\r\nSHIFT -4\r\n');

  // Media calibration for the document's print row: two 40 mm columns and a 2 mm gap.
  before = printer.jobs().length;
  await page.click('#calibration-media');
  job = (await printer.waitForJobs(before + 1))[before];
  expect(job.toString('latin1')).toBe('SIZE 82 mm, 30 mm\r\nGAP 3 mm, 0 mm\r\nGAPDETECT\r\n');
  await expect.poll(() => page.locator('#calibration-hint').innerText()).toMatch(/^已发送纸张校准/);
  await page.click('#calibration-close');
  await page.locator('.print-card').screenshot({ path: join(testOutputDir(), 'print-card.png') });

  // A normal print adds the profile to the document's 0.5 mm: 2 mm is 15.98 dots. The summary
  // shows the profile.
  await page.click('#btn-print');
  await expect
    .poll(() => page.locator('#print-summary').innerText())
    .toContain('打印机偏移：+1.5 / −0.5 mm');
  sent.length = 0;
  before = printer.jobs().length;
  await page.click('#print-confirm');
  job = (await printer.waitForJobs(before + 1))[before];
  expect([sent[0].offset_x_dots, sent[0].offset_y_dots]).toEqual([16, -4]);
  expect(head(job)).toContain('REFERENCE 16,0\r\nSHIFT -4\r\n');

  // Another printer has its own (no) profile.
  await choosePrinter(OTHER);
  expect(await page.locator('#printer-offset').innerText()).toBe('打印机偏移 0.0 / 0.0 mm');
  sent.length = 0;
  await page.evaluate(() => window.__sv!.print!());
  expect([sent[0].offset_x_dots, sent[0].offset_y_dots]).toEqual([4, 0]);
  await choosePrinter(QUEUE);
  expect(await page.locator('#printer-offset').innerText()).toBe('打印机偏移 +1.5 / −0.5 mm');
  expect(errors).toEqual([]);
}, 120_000);
