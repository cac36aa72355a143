/// <reference types="node" />
// Nothing the user makes is lost: a big draft comes back after a reload, a draft that cannot be
// written says so until one is, a second tab never overwrites the first one's draft, and a
// batch cut off by closing its tab is continued from where it stopped, at a private CUPS queue.
import { join } from 'node:path';
import type { Browser, BrowserContext, Page } from 'playwright-core';
import { afterAll, beforeAll, describe, expect, test } from 'vitest';
import type { RecordingPrinter } from './support/cups';
import { storedRecords } from './support/designer';
import { testOutputDir } from './support/paths';
import { startPrintSetup, type PrintSetup } from './support/print-setup';

const QUEUE = 'Draft_Queue';
const DRAFT_FAILED = (reason: string) => `草稿未能保存：${reason}。请用「保存」把标签存到文件。`;

let setup: PrintSetup;
let printer: RecordingPrinter;
let browser: Browser;
const pageErrors = new Map<Page, string[]>();

beforeAll(async () => {
  setup = await startPrintSetup({ queues: [QUEUE] });
  printer = setup.printers[QUEUE];
  browser = setup.browser;
}, 90_000);

afterAll(async () => {
  await setup?.stop();
});

async function open(context: BrowserContext): Promise<Page> {
  const { page, errors } = await setup.open({ context });
  pageErrors.set(page, errors);
  return page;
}

/** Waits for every finite animation (a sheet fading in) to end, for a picture of the result. */
function settled(page: Page): Promise<unknown> {
  return page.evaluate(() =>
    Promise.all(
      document
        .getAnimations()
        .filter((a) => a.effect?.getComputedTiming().endTime !== Infinity)
        .map((a) => a.finished.catch(() => undefined)),
    ),
  );
}

/** Edits the document's name, as typing into a field would. */
async function rename(page: Page, name: string): Promise<void> {
  await page.evaluate((n) => window.__sv!.store.update((d) => (d.name = n)), name);
}

/** What the stored draft holds, read from whichever storage the page uses. */
async function storedDraft(page: Page, where: 'indexeddb' | 'local' = 'indexeddb') {
  return page.evaluate(async (from) => {
    const records = new Map<string, unknown>();
    if (from === 'local') {
      records.set('current', JSON.parse(localStorage.getItem('sorvendale.draft.v1') ?? 'null'));
    } else {
      const db = await new Promise<IDBDatabase>((resolve, reject) => {
        const request = indexedDB.open('sorvendale');
        request.onsuccess = () => resolve(request.result);
        request.onerror = () => reject(request.error);
      });
      const store = db.transaction('draft').objectStore('draft');
      for (const key of ['current', 'batch']) {
        const value = await new Promise((resolve) => {
          const request = store.get(key);
          request.onsuccess = () => resolve(request.result);
        });
        records.set(key, value);
      }
      db.close();
    }
    const draft = records.get('current') as {
      doc: { name: string; objects: { src?: string }[] };
      dataset: { rows: unknown[] } | null;
    } | null;
    return {
      name: draft?.doc.name,
      pictures: draft?.doc.objects.map((o) => o.src?.length ?? 0) ?? [],
      rows: draft?.dataset?.rows.length ?? 0,
      batch: records.get('batch') ?? null,
    };
  }, where);
}

const hint = (page: Page) => page.locator('#printer-hint').innerText();
const dot = (page: Page) => page.locator('#status-dot').getAttribute('class');

/** Two noise pictures of about 3.2 M characters each, and a data set of `rows` records. */
async function loadBigLabel(page: Page, rows: number): Promise<number[]> {
  return page.evaluate((count) => {
    const picture = (seed: number) => {
      const canvas = document.createElement('canvas');
      canvas.width = canvas.height = 900;
      const ctx = canvas.getContext('2d')!;
      const image = ctx.createImageData(900, 900);
      let x = seed;
      for (let i = 0; i < image.data.length; i++) {
        x = (Math.imul(x, 1103515245) + 12345) >>> 0;
        image.data[i] = i % 4 === 3 ? 255 : x >>> 24;
      }
      ctx.putImageData(image, 0, 0);
      return canvas.toDataURL('image/png');
    };
    const sv = window.__sv!;
    const doc = sv.parseDoc({
      name: '两张图',
      objects: [1, 2].map((k) => ({ type: 'image', x: 2, y: 2, w: 20, h: 20, src: picture(k) })),
    });
    sv.store.reset(doc, true);
    sv.store.setDataset({
      name: 'big.csv',
      fields: ['n', 'name'],
      rows: Array.from({ length: count }, (_, i) => ({ n: String(i + 1), name: `商品 ${i + 1}` })),
    });
    return doc.objects.map((o) => (o as { src: string }).src.length);
  }, rows);
}

describe('the draft', () => {
  test('two 3 MB pictures, 20,000 records and the newest edit come back after a reload', async () => {
    const context = await browser.newContext();
    const page = await open(context);
    const pictures = await loadBigLabel(page, 20_000);
    expect(Math.min(...pictures)).toBeGreaterThan(3_000_000);
    await rename(page, '最新的编辑');
    await expect
      .poll(() => storedDraft(page), { timeout: 20_000 })
      .toEqual({ name: '最新的编辑', pictures, rows: 20_000, batch: null });
    await page.reload();
    await page.waitForFunction(() => window.__sv !== undefined);
    const state = await page.evaluate(() => {
      const { doc, dataset, dirty } = window.__sv!.store;
      return {
        name: doc.name,
        dirty,
        pictures: doc.objects.map((o) => (o as { src: string }).src.length),
        rows: dataset?.rows.length,
        last: dataset?.rows.at(-1),
      };
    });
    expect(state).toEqual({
      name: '最新的编辑',
      dirty: true,
      pictures,
      rows: 20_000,
      last: { n: '20000', name: '商品 20000' },
    });
    await context.close();
  }, 120_000);

  test('a full storage is said at once and until a save lands; the work stays', async () => {
    const context = await browser.newContext();
    // The database refuses every put while the page's flag is up, as a full disk does.
    await context.addInitScript(() => {
      const put = IDBObjectStore.prototype.put;
      IDBObjectStore.prototype.put = function (this: IDBObjectStore, ...args) {
        if ((window as { storageFull?: boolean }).storageFull)
          throw new DOMException('The quota has been exceeded.', 'QuotaExceededError');
        return put.apply(this, args);
      } as typeof put;
    });
    const page = await open(context);
    await rename(page, '第一版');
    await expect.poll(async () => (await storedDraft(page)).name).toBe('第一版');
    await page.evaluate(() => ((window as { storageFull?: boolean }).storageFull = true));
    await rename(page, '第二版');
    await expect.poll(() => hint(page)).toBe(DRAFT_FAILED('浏览器存储空间已满'));
    expect(await dot(page)).toBe('status-dot is-error');
    await page.waitForTimeout(300); // the dot's colour transition
    await page.screenshot({ path: join(testOutputDir(), 'draft-save-failed.png') });
    expect(await page.evaluate(() => window.__sv!.store.doc.name)).toBe('第二版');
    expect((await storedDraft(page)).name).toBe('第一版');

    await page.evaluate(() => ((window as { storageFull?: boolean }).storageFull = false));
    await rename(page, '第三版');
    await expect.poll(async () => (await storedDraft(page)).name).toBe('第三版');
    await expect.poll(() => hint(page)).not.toContain('草稿未能保存');
    expect(await dot(page)).not.toContain('is-error');
    await context.close();
  }, 60_000);

  test('without IndexedDB the draft falls back to local storage and says when it does not fit', async () => {
    const context = await browser.newContext();
    await context.addInitScript(() => {
      IDBFactory.prototype.open = () => {
        throw new DOMException('IndexedDB is disabled.', 'InvalidStateError');
      };
    });
    const page = await open(context);
    const pictures = await loadBigLabel(page, 10);
    await expect.poll(() => hint(page)).toBe(DRAFT_FAILED('浏览器存储空间已满'));
    expect(await dot(page)).toBe('status-dot is-error');
    const working = await page.evaluate(() => window.__sv!.store.doc.objects.length);
    expect(working).toBe(2);
    // One picture fits: the save lands and the warning goes.
    await page.evaluate(() => window.__sv!.store.update((d) => d.objects.pop()));
    await expect
      .poll(() => storedDraft(page, 'local'))
      .toEqual({ name: '两张图', pictures: pictures.slice(0, 1), rows: 10, batch: null });
    await expect.poll(() => hint(page)).not.toContain('草稿未能保存');
    expect(await dot(page)).not.toContain('is-error');
    await context.close();
  }, 60_000);

  test("a second tab never replaces the first one's draft, and takes over when it closes", async () => {
    const context = await browser.newContext();
    const first = await open(context);
    await rename(first, '第一个窗口');
    await expect.poll(async () => (await storedDraft(first)).name).toBe('第一个窗口');
    const second = await open(context);
    await expect
      .poll(() => hint(second))
      .toContain('另一个窗口正在编辑标签，这里的修改不会自动保存');
    await rename(second, '第二个窗口');
    await second.waitForTimeout(1500);
    await rename(first, '第一个窗口改');
    await expect.poll(async () => (await storedDraft(first)).name).toBe('第一个窗口改');
    await second.waitForTimeout(1000);
    expect((await storedDraft(second)).name).toBe('第一个窗口改');

    await first.close();
    await expect.poll(() => hint(second)).not.toContain('另一个窗口');
    await rename(second, '第二个窗口改');
    await expect.poll(async () => (await storedDraft(second)).name).toBe('第二个窗口改');
    await context.close();
  }, 60_000);
});

describe('a cut-off batch', () => {
  test('closing the tab asks first; the reopened page continues with the records not printed', async () => {
    const context = await browser.newContext();
    const page = await open(context);
    await page.waitForFunction(
      (name) => document.getElementById('printer-value')?.textContent === name,
      QUEUE,
    );
    await page.evaluate(() => {
      const sv = window.__sv!;
      const doc = sv.parseDoc({
        name: '批量',
        page: { widthMm: 40, heightMm: 20, dpi: 203 },
        print: { columns: 1 },
        objects: [{ type: 'text', x: 2, y: 2, w: 36, h: 14, text: 'No. {{n}}', fontSize: 24 }],
      });
      sv.store.reset(doc, false);
      sv.store.setDataset({
        name: 'n.csv',
        fields: ['n'],
        rows: Array.from({ length: 30 }, (_, i) => ({ n: String(i + 1) })),
      });
    });
    // The queue stops as the third row goes out: the batch pauses after it, as it would for a
    // printer out of paper, and the tab is closed then.
    let sent = 0;
    await page.route('**/api/print_sheet', async (route) => {
      if (++sent === 3) await setup.cups.tool('cupsdisable', [QUEUE]);
      await route.continue();
    });
    const before = printer.jobs().length;
    page.once('dialog', (d) => void d.accept());
    await page.click('#btn-batch');
    await expect
      .poll(async () => (await storedDraft(page)).batch, { timeout: 30_000 })
      .toEqual({ next: 3, total: 30, entry: expect.any(String) });
    const asked: string[] = [];
    page.once('dialog', (d) => (asked.push(d.type()), void d.accept()));
    await page.close({ runBeforeUnload: true });
    await expect.poll(() => asked).toEqual(['beforeunload']);
    await setup.cups.tool('cupsenable', [QUEUE]);
    await printer.waitForJobs(before + 3);

    const again = await open(context);
    await expect.poll(() => hint(again), { timeout: 20_000 }).toContain('上次批量在第 3/30 条中断');
    expect(
      await again.evaluate(() => [
        window.__sv!.store.doc.name,
        window.__sv!.store.dataset?.rows.length,
      ]),
    ).toEqual(['批量', 30]);
    await again.waitForSelector('#splash', { state: 'detached', timeout: 15_000 });
    await again.screenshot({ path: join(testOutputDir(), 'batch-cut-off.png') });
    // The batch's history record was cut off with it, three records in.
    const batchEntry = async () =>
      (await storedRecords(again, 'history')).filter((r) => r.docName === '批量');
    expect(await batchEntry()).toMatchObject([
      { records: 3, run: { state: 'running', total: 30 } },
    ]);
    await again.getByRole('button', { name: '继续打印' }).click();
    await again.waitForFunction(
      () => /^批量完成/.test(document.getElementById('status-title')?.textContent ?? ''),
      undefined,
      { timeout: 60_000 },
    );
    // Thirty labels in all, each record once.
    const jobs = (await printer.waitForJobs(before + 30)).slice(before);
    await again.waitForTimeout(1000);
    expect(printer.jobs().length - before).toBe(30);
    expect(new Set(jobs.map((j) => j.toString('base64'))).size).toBe(30);
    expect((await storedDraft(again)).batch).toBeNull();
    // Continued in the same record, which now holds the whole batch.
    await expect
      .poll(batchEntry)
      .toMatchObject([{ records: 30, ok: true, run: { state: 'done', total: 30 } }]);
    expect(await hint(again)).not.toContain('上次批量');
    expect(pageErrors.get(again)).toEqual([]);
    await context.close();
  }, 120_000);
});

describe('reprint and resume from the history', () => {
  /** The settings sheet's history item whose title matches, with its action buttons. */
  async function historyItem(page: Page, title: RegExp) {
    await page.click('#settings-button');
    const item = page.locator('#history-list .history-item').filter({ hasText: title }).first();
    await item.waitFor({ timeout: 10_000 });
    return item;
  }

  const waitTitle = (page: Page, pattern: RegExp) =>
    page.waitForFunction(
      (source) =>
        new RegExp(source).test(document.getElementById('status-title')?.textContent ?? ''),
      pattern.source,
      { timeout: 60_000 },
    );

  test('a batch stopped after row 13 continues with records 14–30 and its entry reaches 30/30', async () => {
    const context = await browser.newContext();
    const page = await open(context);
    await page.waitForFunction(
      (name) => document.getElementById('printer-value')?.textContent === name,
      QUEUE,
    );
    await page.evaluate(() => {
      const sv = window.__sv!;
      const doc = sv.parseDoc({
        name: '续印',
        page: { widthMm: 40, heightMm: 20, dpi: 203 },
        print: { columns: 1 },
        objects: [{ type: 'text', x: 2, y: 2, w: 36, h: 14, text: 'No. {{n}}', fontSize: 24 }],
      });
      sv.store.reset(doc, false);
      sv.store.setDataset({
        name: 'n.csv',
        fields: ['n'],
        rows: Array.from({ length: 30 }, (_, i) => ({ n: String(i + 1) })),
      });
    });
    // Once row 13 is on its way, the printer-state probe before row 14 waits until the stop is
    // pressed: the batch stops after row 13 with nothing left in the queue to withdraw.
    let sent = 0;
    let holdProbe = false;
    await page.route('**/api/print_sheet', async (route) => {
      if (++sent === 13) holdProbe = true;
      await route.continue();
    });
    await page.route('**/api/printer_status', async (route) => {
      while (holdProbe) await new Promise((r) => setTimeout(r, 50));
      await route.continue();
    });
    const before = printer.jobs().length;
    page.once('dialog', (d) => void d.accept());
    await page.click('#btn-batch');
    await printer.waitForJobs(before + 13, 30_000);
    await page.click('#btn-batch');
    holdProbe = false;
    await waitTitle(page, /^批量已停止/);
    expect(sent).toBe(13);

    const item = await historyItem(page, /续印/);
    expect(await item.locator('strong').innerText()).toBe('✗ 续印 · 已停止 13/30');
    await settled(page);
    await page.screenshot({ path: join(testOutputDir(), 'history-stopped-batch.png') });
    await item.getByRole('button', { name: '从第 14 条继续' }).click();
    await waitTitle(page, /^批量完成/);
    // Thirty labels of thirty different records: the continuation printed exactly the 17 the
    // stop left out.
    const jobs = (await printer.waitForJobs(before + 30)).slice(before);
    await page.waitForTimeout(1000);
    expect(printer.jobs().length - before).toBe(30);
    expect(new Set(jobs.map((j) => j.toString('base64'))).size).toBe(30);
    const history = await storedRecords(page, 'history');
    const entry = history.find((r) => r.docName === '续印') as {
      records: number;
      ok: boolean;
      run: { total: number; state: string };
    };
    expect(entry).toMatchObject({ records: 30, ok: true, run: { total: 30, state: 'done' } });
    expect(history.filter((r) => r.docName === '续印')).toHaveLength(1);
    const done = await historyItem(page, /续印/);
    expect(await done.locator('strong').innerText()).toBe('✓ 续印 · 30 张');
    expect(await done.locator('button').allInnerTexts()).toEqual([
      '重印',
      '重印部分…',
      '打开此标签',
    ]);
    await settled(page);
    await page.screenshot({ path: join(testOutputDir(), 'history-actions.png') });
    // The printed label opens as a new unsaved document with its data set.
    await page.evaluate(() => {
      const sv = window.__sv!;
      sv.store.reset(sv.parseDoc({ name: '别的', objects: [] }), false);
      sv.store.setDataset(null);
    });
    await done.getByRole('button', { name: '打开此标签' }).click();
    await expect
      .poll(() =>
        page.evaluate(() => {
          const { doc, dataset, dirty } = window.__sv!.store;
          return [doc.name, doc.objects.length, dataset?.rows.length, dataset?.rows[29], dirty];
        }),
      )
      .toEqual(['续印', 1, 30, { n: '30' }, true]);
    expect(pageErrors.get(page)).toEqual([]);
    await context.close();
  }, 120_000);

  test("a dated label reprinted a week later sends the original's bytes", async () => {
    const context = await browser.newContext();
    const first = await open(context);
    await first.waitForFunction(
      (name) => document.getElementById('printer-value')?.textContent === name,
      QUEUE,
    );
    const dated = {
      name: '日期签',
      page: { widthMm: 40, heightMm: 20, dpi: 203 },
      print: { copies: 1, columns: 1 },
      objects: [{ type: 'text', x: 2, y: 2, w: 36, h: 14, text: '{{__date__}}', fontSize: 10 }],
    };
    const printDated = (page: Page) =>
      page.evaluate(async (json) => {
        const sv = window.__sv!;
        sv.store.reset(sv.parseDoc(json), false);
        await sv.print!();
      }, dated);
    const before = printer.jobs().length;
    await printDated(first);
    const [original] = (await printer.waitForJobs(before + 1)).slice(before);
    // The record is finished and its snapshot written beside it once the print is sent.
    await expect
      .poll(async () => (await storedRecords(first, 'history')).map((r) => r.run))
      .toContainEqual(expect.objectContaining({ snapshot: 'kept', state: 'done' }));

    // A week on, in a page opened then: a fresh print of the same label shows the new date, the
    // reprint the old one.
    await first.close();
    await context.addInitScript(() => {
      const week = 7 * 24 * 3600 * 1000;
      const Real = Date;
      class Later extends Real {
        constructor(...args: unknown[]) {
          if (args.length === 0) super(Real.now() + week);
          else super(...(args as [number]));
        }
        static override now() {
          return Real.now() + week;
        }
      }
      globalThis.Date = Later as DateConstructor;
    });
    const page = await open(context);
    await page.waitForFunction(
      (name) => document.getElementById('printer-value')?.textContent === name,
      QUEUE,
    );
    await printDated(page);
    const [later] = (await printer.waitForJobs(before + 2)).slice(before + 1);
    expect(later.equals(original)).toBe(false);

    const item = page
      .locator('#history-list .history-item')
      .filter({ hasText: /日期签/ })
      .last();
    await page.click('#settings-button');
    await item.waitFor();
    const question: string[] = [];
    page.once('dialog', (d) => (question.push(d.message()), void d.accept()));
    await item.getByRole('button', { name: '重印', exact: true }).click();
    const [again] = (await printer.waitForJobs(before + 3)).slice(before + 2);
    expect(question).toEqual([`将在打印机“${QUEUE}”上重印 1 张标签，继续？`]);
    expect(again.equals(original)).toBe(true);
    const reprint = await historyItem(page, /重印 · /);
    expect(await reprint.locator('strong').innerText()).toMatch(/^✓ 日期签 · 1 张 · 重印 · /);
    expect(pageErrors.get(page)).toEqual([]);
    await context.close();
  }, 120_000);
});
