/// <reference types="node" />
// Turning a barcode with the toolbar, the keyboard and a handle, then printing it through a
// private cupsd: the printed bars stand vertical and scan, and a roll printed the other way up
// receives the same raster turned by 180°.
import { join } from 'node:path';
import type { Page } from 'playwright-core';
import { afterAll, beforeAll, expect, test } from 'vitest';
import type { BarcodeObject } from '../web/src/document/model';
import { decodeRasters } from '../web/tests/support/zbar';
import type { RecordingPrinter } from './support/cups';
import { testOutputDir } from './support/paths';
import { startPrintSetup, type PrintSetup } from './support/print-setup';

const QUEUE = 'Zeko_QX530';
const DATA = 'ROT-2026';

let setup: PrintSetup;
let printer: RecordingPrinter;
let page: Page;
let errors: string[];

beforeAll(async () => {
  setup = await startPrintSetup({ queues: [QUEUE] });
  printer = setup.printers[QUEUE];
  const viewport = { width: 1440, height: 900 };
  ({ page, errors } = await setup.open({ viewport, splash: true, printer: QUEUE }));
}, 90_000);

afterAll(async () => {
  await setup?.stop();
});

const bars = () => page.evaluate(() => window.__sv!.store.doc.objects[0]) as Promise<BarcodeObject>;
const shape = (b: BarcodeObject) => [b.rotation, b.w, b.h];

/** The BITMAP of a TSPL job as dots, 1 = black. */
function bitmapOf(job: Buffer): { width: number; height: number; dots: Uint8Array } {
  const head = job.toString('latin1');
  const m = /BITMAP 0,0,(\d+),(\d+),0,/.exec(head)!;
  const stride = Number(m[1]);
  const height = Number(m[2]);
  const bytes = job.subarray(m.index + m[0].length, m.index + m[0].length + stride * height);
  const width = stride * 8;
  const dots = new Uint8Array(width * height);
  for (let y = 0; y < height; y++)
    for (let x = 0; x < width; x++)
      dots[y * width + x] = (bytes[y * stride + (x >> 3)] >> (7 - (x & 7))) & 1 ? 0 : 1;
  return { width, height, dots };
}

function packed(b: { width: number; height: number; dots: Uint8Array }) {
  const stride = b.width / 8;
  const bytes = Buffer.alloc(stride * b.height, 0xff);
  b.dots.forEach((v, i) => {
    if (v) bytes[Math.floor(i / b.width) * stride + ((i % b.width) >> 3)] &= ~(0x80 >> (i & 7));
  });
  return { width: b.width, height: b.height, base64: bytes.toString('base64') };
}

/** Black-white changes along a line of dots. */
function changes(dots: Uint8Array, start: number, step: number, count: number): number {
  let n = 0;
  for (let i = 1; i < count; i++) if (dots[start + i * step] !== dots[start + (i - 1) * step]) n++;
  return n;
}

async function printWith(orientation: string): Promise<Buffer> {
  const before = printer.jobs().length;
  await page.click('#btn-print');
  await expect.poll(() => page.locator('#print-sheet').isVisible()).toBe(true);
  await page.fill('#print-copies', '1');
  await page.selectOption('#print-columns', '1');
  await page.selectOption('#print-orientation', orientation);
  await page
    .locator('.print-dialog-card')
    .screenshot({ path: join(testOutputDir(), `rotation-print-${orientation}.png`) });
  await page.click('#print-confirm');
  return (await printer.waitForJobs(before + 1))[before];
}

test('a barcode turned by button, Ctrl+R and a handle prints vertical, either way up', async () => {
  await page.evaluate(() => {
    const sv = window.__sv!;
    const doc = sv.parseDoc({
      schemaVersion: 1,
      name: '旋转',
      page: { widthMm: 40, heightMm: 60, dpi: 203 },
      objects: [],
    });
    sv.store.reset(doc, false);
    sv.store.history.clear();
  });
  await page.click('#btn-fit');
  await page.click('[data-add="barcode"]');
  await page.locator('#props').getByLabel('数据', { exact: true }).fill(DATA);
  await page.keyboard.press('Tab');
  await expect.poll(async () => (await bars()).data).toBe(DATA);
  const upright = await bars();
  expect(upright.rotation).toBe(0);
  const steps = await page.evaluate(() => window.__sv!.store.undoStack.length);

  // The toolbar turns it a quarter about its centre: the sides swap.
  await page.getByRole('button', { name: '旋转 90°' }).click();
  const turned = await bars();
  expect(shape(turned)).toEqual([90, upright.h, upright.w]);
  expect(turned.x + turned.w / 2).toBeCloseTo(upright.x + upright.w / 2, 6);
  expect(turned.y + turned.h / 2).toBeCloseTo(upright.y + upright.h / 2, 6);
  await expect
    .poll(() =>
      page.locator('#props .segmented-control[aria-label="旋转"] .is-selected').innerText(),
    )
    .toBe('90°');
  // Ctrl+R turns it on; each is one undo step.
  await page.keyboard.press('Control+r');
  expect(shape(await bars())).toEqual([180, upright.w, upright.h]);
  expect(await page.evaluate(() => window.__sv!.store.undoStack.length)).toBe(steps + 2);
  await page.keyboard.press('Control+z');
  expect(shape(await bars())).toEqual([90, upright.h, upright.w]);

  // The bottom handle of the standing barcode stretches its printed length, in whole dots.
  const rect = (await page.locator('#editor-canvas').boundingBox())!;
  const px = (mmX: number, mmY: number) => ({
    x: rect.x + (mmX / 40) * rect.width,
    y: rect.y + (mmY / 60) * rect.height,
  });
  const s = px(turned.x + turned.w / 2, turned.y + turned.h);
  await page.mouse.move(s.x, s.y);
  await page.mouse.down();
  // Whole dots per module: the length moves in steps of one dot a module, so drag far.
  await page.mouse.move(s.x, px(0, 58).y, { steps: 4 });
  await page.mouse.up();
  const stretched = await bars();
  expect(stretched.widthScale).toBeGreaterThan(1);
  expect(stretched.barHeight).toBe(upright.barHeight);
  expect(stretched.h).toBeGreaterThan(turned.h + 2);
  expect(stretched.w).toBe(turned.w);
  await page.keyboard.press('Control+z');
  expect([...shape(await bars()), (await bars()).widthScale]).toEqual([
    90,
    upright.h,
    upright.w,
    1,
  ]);
  await page.keyboard.press('Control+z');
  expect(shape(await bars())).toEqual([0, upright.w, upright.h]);
  await page.keyboard.press('Control+y');
  expect(shape(await bars())).toEqual([90, upright.h, upright.w]);
  await page
    .locator('#canvas-host')
    .screenshot({ path: join(testOutputDir(), 'rotation-canvas.png') });
  await page.locator('#props').screenshot({ path: join(testOutputDir(), 'rotation-props.png') });

  // Printed: the bars run across the label's width, stacked down it, and they scan.
  const normal = bitmapOf(await printWith('normal'));
  const b = await bars();
  const dotsOf = (mmValue: number) => Math.round((mmValue * 203) / 25.4);
  const midX = dotsOf(b.x + b.w / 2);
  const midY = dotsOf(b.y + b.h / 2);
  expect(changes(normal.dots, midX, normal.width, normal.height)).toBeGreaterThan(20);
  expect(changes(normal.dots, midY * normal.width, 1, normal.width)).toBeLessThanOrEqual(4);

  // The other way up: the same raster turned by 180°, still readable.
  const flipped = bitmapOf(await printWith('rotate180'));
  expect(await page.evaluate(() => window.__sv!.store.doc.print.orientation)).toBe('rotate180');
  expect([flipped.width, flipped.height]).toEqual([normal.width, normal.height]);
  const n = normal.dots.length;
  let differ = 0;
  for (let i = 0; i < n; i++) if (flipped.dots[i] !== normal.dots[n - 1 - i]) differ++;
  expect(differ).toBe(0);
  expect(await decodeRasters([packed(normal), packed(flipped)])).toEqual([[DATA], [DATA]]);
  expect(errors).toEqual([]);
}, 120_000);
