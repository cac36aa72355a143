/// <reference types="node" />
// Printing from the designer's buttons down the whole road: page → service → a private cupsd →
// a recording network printer. Each job must be, byte for byte, the TSPL stream that the
// printer protocol gives for the request the page sent.
import { join } from 'node:path';
import type { Page, Request } from 'playwright-core';
import { afterAll, beforeAll, describe, expect, test } from 'vitest';
import type { PrivateCups, RecordingPrinter } from './support/cups';
import { storedRecords } from './support/designer';
import { testOutputDir } from './support/paths';
import { startPrintSetup, type PrintSetup } from './support/print-setup';
import type { RunningService } from './support/service';
import type { PrintRequest as Req } from '../web/src/print/rules';

const QUEUE = 'Zeko_QX530';

// ---- The printer protocol, as the test's own model ----

/** Two decimals of the double's exact value, an exact tie to even, trailing zeros dropped. */
function mm(value: number): string {
  if (!Number.isFinite(value)) return '0';
  const scaled = value * 100;
  let text = value.toFixed(2);
  if (Number.isInteger(scaled * 2) && !Number.isInteger(scaled)) {
    const down = Math.floor(scaled);
    text = ((down % 2 === 0 ? down : down + 1) / 100).toFixed(2);
  }
  text = text.replace(/0+$/, '').replace(/\.$/, '');
  return text === '-0' || text === '' ? '0' : text;
}

function tspl(r: Req): Buffer {
  const lines = [
    `SIZE ${mm(r.width_mm)} mm, ${mm(r.height_mm)} mm`,
    `GAP ${mm(r.gap_mm)} mm, 0 mm`,
    'DIRECTION 1',
    ...(Math.abs(r.offset_y_dots) <= 90
      ? [`REFERENCE ${r.offset_x_dots},0`, `SHIFT ${r.offset_y_dots}`]
      : [`REFERENCE ${r.offset_x_dots},${r.offset_y_dots}`, 'SHIFT 0']),
    `SET TEAR ${r.tear ? 'ON' : 'OFF'}`,
    `DENSITY ${Math.min(15, r.density)}`,
    `SPEED ${r.speed === 0 ? 1 : Math.min(6, r.speed)}`,
    'CLS',
  ];
  const head = lines.map((l) => `${l}\r\n`).join('');
  const bitmap = `BITMAP 0,0,${Math.floor((r.width_dots + 7) / 8)},${r.height_dots},0,`;
  const copies = r.copies === 0 ? 1 : Math.min(99, r.copies);
  return Buffer.concat([
    Buffer.from(head + bitmap, 'latin1'),
    Buffer.from(r.data_b64, 'base64'),
    Buffer.from(`\r\nPRINT 1,${copies}\r\n`, 'latin1'),
  ]);
}

/** True when every dot of columns [x0, x1) is white (bit 1). */
function blank(r: Req, x0: number, x1: number): boolean {
  const bytes = Buffer.from(r.data_b64, 'base64');
  const stride = Math.floor((r.width_dots + 7) / 8);
  for (let y = 0; y < r.height_dots; y++)
    for (let x = x0; x < x1; x++)
      if (((bytes[y * stride + (x >> 3)] >> (7 - (x & 7))) & 1) === 0) return false;
  return true;
}

// ---- The page ----

let setup: PrintSetup;
let printer: RecordingPrinter;
let cups: PrivateCups;
let service: RunningService;
let page: Page;
let errors: string[];
let sent: Req[];

// 40 × 30 mm at 203 dpi: 320 × 240 dots a label, 2 mm column gap (16 dots).
const LABEL_DOTS = 320;
const GAP_DOTS = 16;

async function loadDocument(print: Record<string, unknown>): Promise<void> {
  await page.evaluate((p) => {
    const sv = window.__sv!;
    const doc = sv.parseDoc({
      schemaVersion: 1,
      name: '打印测试',
      page: { widthMm: 40, heightMm: 30, dpi: 203 },
      print: { columns: 2, columnGapMm: 2, rowGapMm: 3, density: 11, speed: 4, ...p },
      objects: [
        { id: 'r1', type: 'rect', name: '边框', x: 1, y: 1, w: 38, h: 28, lineWidth: 0.6 },
        {
          id: 't1',
          type: 'text',
          name: '编号',
          x: 3,
          y: 3,
          w: 34,
          h: 8,
          text: 'No. {{serial:1:1:3}} {{__index__}}',
          fontSize: 14,
        },
        {
          id: 'b1',
          type: 'barcode',
          name: '条码',
          x: 3,
          y: 13,
          w: 30,
          h: 12,
          data: 'SV{{serial:100}}',
          symbology: 'code128',
          moduleWidth: 2,
          barHeight: 10,
          showText: false,
        },
      ],
    });
    sv.store.reset(doc, false);
  }, print);
}

async function statusText(): Promise<string> {
  return page.locator('#status-title').innerText();
}

async function waitStatus(pattern: RegExp, timeout = 30_000): Promise<string> {
  await page.waitForFunction(
    (source) => new RegExp(source).test(document.getElementById('status-title')?.textContent ?? ''),
    pattern.source,
    { timeout },
  );
  return statusText();
}

const hint = () => page.locator('#printer-hint').innerText();

/** Newest first, as the history list shows them. */
async function history(): Promise<Record<string, unknown>[]> {
  const records = await storedRecords(page, 'history');
  return records.sort((a, b) => (b.time as number) - (a.time as number));
}

/** Opens the dialog with the print button and sets its fields the way a person would. */
async function printFromDialog(fields: {
  copies: string;
  columns: string;
  align: string;
  mode: string;
}) {
  await page.click('#btn-print');
  await expect.poll(() => page.locator('#print-sheet').isVisible()).toBe(true);
  await page.fill('#print-copies', fields.copies);
  await page.selectOption('#print-columns', fields.columns);
  await page.selectOption('#print-odd-align', fields.align);
  await page.selectOption('#print-copy-mode', fields.mode);
  await page
    .locator('.print-dialog-card')
    .screenshot({ path: join(testOutputDir(), 'print-dialog.png') });
  await page.click('#print-confirm');
}

beforeAll(async () => {
  setup = await startPrintSetup({ queues: [QUEUE] });
  ({ cups, service } = setup);
  printer = setup.printers[QUEUE];
  ({ page, errors, sent } = await setup.open({ printer: QUEUE }));
}, 90_000);

afterAll(async () => {
  await setup?.stop();
});

describe('single print through the spooler', () => {
  test('5 copies in 2 columns aligned right: three jobs, each the stream of its request', async () => {
    await loadDocument({ copies: 1, columns: 1 });
    sent.length = 0;
    const before = printer.jobs().length;
    await printFromDialog({ copies: '5', columns: '2', align: 'right', mode: 'serial' });
    expect(await waitStatus(/^已发送$/)).toBe('已发送');
    expect(await hint()).toMatch(/^已发送 5 份，共 \d+ KB$/);
    const jobs = (await printer.waitForJobs(before + 3)).slice(before);
    expect(jobs).toHaveLength(3);
    expect(sent).toHaveLength(3);
    const last = await page.evaluate(() => window.__sv!.lastPrintRequest);
    expect(last).toEqual(sent[2]);
    for (const [i, request] of sent.entries()) {
      expect(request).toMatchObject({
        printer: QUEUE,
        width_mm: 82,
        height_mm: 30,
        width_dots: 2 * LABEL_DOTS + GAP_DOTS,
        height_dots: 240,
        gap_mm: 3,
        density: 11,
        speed: 4,
        copies: 1,
        tear: false,
        dry_run: false,
      });
      expect(jobs[i].equals(tspl(request)), `job ${i + 1}`).toBe(true);
    }
    // Serial copies differ, so every row is its own raster; the odd copy sits on the right.
    expect(new Set(sent.map((r) => r.data_b64)).size).toBe(3);
    expect(blank(sent[2], 0, LABEL_DOTS + GAP_DOTS)).toBe(true);
    expect(blank(sent[2], LABEL_DOTS + GAP_DOTS, 2 * LABEL_DOTS + GAP_DOTS)).toBe(false);
    // The dialog's settings went into the document as one undo step.
    const state = await page.evaluate(() => ({
      print: window.__sv!.store.doc.print,
      undo: window.__sv!.store.undoStack.length,
    }));
    expect(state.print).toMatchObject({
      copies: 5,
      columns: 2,
      oddAlign: 'right',
      copyMode: 'serial',
    });
    const [record] = await history();
    expect(record).toMatchObject({
      docName: '打印测试',
      printer: QUEUE,
      copies: 5,
      records: 5,
      ok: true,
      dryRun: false,
    });
    expect(await page.locator('#btn-print').innerText()).toBe('打印');
    expect(await page.locator('#btn-print').isDisabled()).toBe(false);
  });

  test('a queue that rejects jobs stops at the first row with a failed history record', async () => {
    await cups.tool('cupsreject', [QUEUE]);
    try {
      await loadDocument({ copies: 3, columns: 2, copyMode: 'duplicate' });
      await page.click('#btn-print');
      await page.click('#print-confirm');
      expect(await waitStatus(/^打印中断/)).toBe('打印中断 0/3');
      expect(await hint()).not.toBe('');
      const [record] = await history();
      expect(record).toMatchObject({ printer: QUEUE, copies: 0, records: 0, ok: false, bytes: 0 });
      expect(await page.locator('#btn-print').isDisabled()).toBe(false);
    } finally {
      await cups.tool('cupsaccept', [QUEUE]);
    }
  });
});

describe('batch print', () => {
  async function loadRecords(n: number): Promise<void> {
    await page.evaluate((count) => {
      const sv = window.__sv!;
      const lines = ['编号'];
      for (let i = 1; i <= count; i++) lines.push(`R${i}`);
      sv.store.setDataset(sv.parseCsv(lines.join('\n')));
      sv.store.setRecord(1);
    }, n);
  }

  test('5 records in 2 columns: rows 1–2, 3–4 and 5, the data panel following', async () => {
    await loadDocument({ copies: 2, columns: 2, oddAlign: 'right' });
    await loadRecords(5);
    await page.evaluate(() => {
      const w = window as unknown as { records: number[] };
      w.records = [];
      window.__sv!.store.subscribe((s) => w.records.push(s.recordIndex));
    });
    page.once('dialog', (d) => {
      expect(d.message()).toBe(`将在打印机“${QUEUE}”上打印 5 条记录，继续？`);
      void d.accept();
    });
    sent.length = 0;
    const before = printer.jobs().length;
    await page.click('#btn-batch');
    expect(await waitStatus(/^批量完成/)).toBe('批量完成 5/5');
    expect(await hint()).toBe('已打印 5 条');
    const jobs = (await printer.waitForJobs(before + 3)).slice(before);
    expect(sent).toHaveLength(3);
    sent.forEach((r, i) => {
      expect(r.copies).toBe(2);
      expect(jobs[i].equals(tspl(r))).toBe(true);
    });
    // The short last row fills the left column whatever oddAlign says.
    expect(blank(sent[2], 0, LABEL_DOTS)).toBe(false);
    expect(blank(sent[2], LABEL_DOTS, 2 * LABEL_DOTS + GAP_DOTS)).toBe(true);
    const trace = await page.evaluate(() => (window as unknown as { records: number[] }).records);
    expect([...new Set(trace)]).toEqual([0, 2, 4, 1]);
    // The panel may skip rows during a batch, never the record restored at its end.
    expect(await page.locator('#record-label').innerText()).toBe('2 / 5');
    expect(await page.locator('#btn-batch').innerText()).toBe('批量打印全部记录');
    // One history record for the batch, brought up to date at every row.
    await expect
      .poll(async () => (await history())[0])
      .toMatchObject({
        records: 5,
        copies: 2,
        ok: true,
        run: {
          total: 5,
          state: 'done',
          jobs: [
            { first: 0, count: 2, rows: 2 },
            { first: 4, count: 1, rows: 1 },
          ],
        },
      });
    // The rows were made off the page, by the worker shipped with the page's own files.
    const worker = /\/assets\/row-worker-[\w-]+\.js$/;
    const workers = page.workers().map((w) => w.url());
    expect(workers.filter((u) => u.startsWith(service.url) && worker.test(u))).toHaveLength(1);
  });

  test('without its worker the page makes the rows itself, the same rows', async () => {
    const rows = async (p: Page) => {
      const requests: Req[] = [];
      p.on('request', (r: Request) => {
        if (r.url().endsWith('/api/print_sheet'))
          requests.push((r.postDataJSON() as { request: Req }).request);
      });
      await p.evaluate(() => window.__sv!.batchDry!());
      expect(await p.locator('#status-title').innerText()).toBe('批量完成 5/5');
      return requests.map((r) => r.data_b64);
    };
    await loadDocument({ copies: 1, columns: 2 });
    await loadRecords(5);
    const withWorker = await rows(page);
    const main = page;
    // A worker that cannot load: the first row waits for it, then every row is made here.
    let blocked = 0;
    ({ page } = await setup.open({
      printer: QUEUE,
      before: (p) =>
        p.route('**/assets/row-worker-*.js', (route) => {
          blocked++;
          return route.abort();
        }),
    }));
    try {
      await loadDocument({ copies: 1, columns: 2 });
      await loadRecords(5);
      const onPage = await rows(page);
      expect(blocked).toBe(1);
      expect(onPage).toHaveLength(3);
      expect(onPage).toEqual(withWorker);
    } finally {
      await page.close();
      page = main;
      await page.evaluate(() => window.__sv!.store.setDataset(null));
    }
  });

  test("a dry batch of 80 rows writes the page at the views' pace, not per row", async () => {
    await loadDocument({ copies: 1, columns: 1 });
    await loadRecords(80);
    const run = await page.evaluate(async () => {
      // Each observer call gathers the writes of one task: the page's repaints at most.
      const writes: string[][] = [];
      const observer = new MutationObserver((records) =>
        writes.push(
          records.map((r) => (r.target as Element).id || r.target.parentElement?.id || ''),
        ),
      );
      observer.observe(document.documentElement, {
        subtree: true,
        childList: true,
        characterData: true,
        attributes: true,
      });
      const t0 = performance.now();
      await window.__sv!.batchDry!();
      const ms = performance.now() - t0;
      observer.takeRecords();
      observer.disconnect();
      return { ms, writes, status: document.getElementById('status-title')!.textContent };
    });
    expect(run.status).toBe('批量完成 80/80');
    const progress = run.writes.filter((w) => w.includes('status-title')).length;
    // One task at the start, one per 200 ms, and the end; per-row writes would be 80.
    const allowed = Math.floor(run.ms / 200) + 3;
    expect(run.writes.length, `${run.ms.toFixed(0)} ms`).toBeLessThanOrEqual(allowed);
    expect(progress).toBeLessThan(80);
    await page.evaluate(() => window.__sv!.store.setDataset(null));
  });

  test('a stop during a 40-record batch ends at a row boundary', async () => {
    await loadDocument({ copies: 1, columns: 2 });
    await loadRecords(40);
    // Slow each row down so that the stop lands mid-batch.
    await page.route('**/api/print_sheet', async (route) => {
      await new Promise((r) => setTimeout(r, 150));
      await route.continue();
    });
    page.once('dialog', (d) => void d.accept());
    sent.length = 0;
    await page.evaluate(() => {
      const w = window as unknown as { labels: string[]; buttons: string[] };
      w.labels = [];
      w.buttons = [];
      const watch = (id: string, into: string[]) => {
        const el = document.getElementById(id)!;
        new MutationObserver(() => into.push(el.textContent ?? '')).observe(el, {
          childList: true,
          characterData: true,
          subtree: true,
        });
      };
      watch('record-label', w.labels);
      watch('btn-batch', w.buttons);
    });
    await page.click('#btn-batch');
    expect(await page.locator('#btn-batch').innerText()).toBe('停止批量');
    await expect.poll(() => sent.length).toBeGreaterThanOrEqual(2);
    // Pending, yet still: a pulse would repaint the page every frame of the batch.
    const dot = page.locator('#status-dot');
    expect(await dot.getAttribute('class')).toContain('is-pending');
    expect(await dot.evaluate((d) => getComputedStyle(d).animationName)).toBe('none');
    await page.click('#btn-batch');
    const status = await waitStatus(/^批量已停止/);
    // The button said so while the row in flight finished (recorded: on a busy machine the
    // stop may be over before the test can read it).
    const buttons = await page.evaluate(() => (window as unknown as { buttons: string[] }).buttons);
    expect(buttons.map((t) => t.trim()).slice(-2)).toEqual(['正在停止…', '批量打印全部记录']);
    await page.unroute('**/api/print_sheet');
    const done = sent.length * 2;
    expect(done).toBeGreaterThanOrEqual(4);
    expect(done).toBeLessThan(40);
    // The stop withdraws what still waits in the queue; the rest went to the printer.
    const [, printed, withdrawn] = /^批量已停止：(\d+) 条已送往打印机，(\d+) 条已从队列撤回$/
      .exec(await hint())!
      .map(Number);
    expect(printed + withdrawn).toBe(done);
    expect(withdrawn % 2).toBe(0);
    expect(status).toBe(`批量已停止 ${printed}/40`);
    expect(await page.locator('#btn-batch').innerText()).toBe('批量打印全部记录');
    expect(await page.evaluate(() => window.__sv!.store.recordIndex)).toBe(1);
    // Rows take 150 ms here: the panel showed the batch's progress, then the remembered record.
    const labels = await page.evaluate(() => (window as unknown as { labels: string[] }).labels);
    expect(labels.some((l) => /^\d*[13579] \/ 40$/.test(l))).toBe(true);
    expect(labels.at(-1)).toBe('2 / 40');
    expect(await page.locator('#record-label').innerText()).toBe('2 / 40');
    await page.evaluate(() => window.__sv!.store.setDataset(null));
  });
});

describe('check', () => {
  test('the check sheet lists issues and locates their object', async () => {
    await loadDocument({ copies: 1, columns: 1 });
    await page.evaluate(() => {
      const sv = window.__sv!;
      sv.store.update((d) => {
        for (const o of d.objects) {
          if (o.type === 'barcode') o.data = ' ';
          if (o.type === 'text') o.text = '{{价格}}';
        }
      });
      sv.store.select([]);
    });
    await page.click('#btn-check');
    // The symbols are read back from the print raster after the list shows.
    await page.waitForSelector('#check-list[data-scan="done"]');
    // The frame's line is 1.4 mm from the bars, where 10 modules (3.7 mm) should stay white.
    expect(await page.locator('#check-summary').innerText()).toBe('3 个问题（1 个错误，2 个提醒）');
    const items = page.locator('#check-list .check-item');
    expect(await items.count()).toBe(3);
    expect(await items.nth(2).locator('.check-message').innerText()).toBe(
      '条码 的空白区不足，部分扫码枪可能无法识读',
    );
    expect(await items.nth(0).locator('.check-level.is-warning').innerText()).toBe('提醒');
    expect(await items.nth(0).locator('.check-message').innerText()).toBe(
      '编号 使用了数据字段 {{价格}}，但当前没有导入数据源',
    );
    expect(await items.nth(0).locator('.check-action').count()).toBe(0);
    expect(await items.nth(1).locator('.check-level.is-error').innerText()).toBe('错误');
    expect(await items.nth(1).locator('.check-message').innerText()).toBe('条码 的数据为空');
    await items.nth(1).locator('.check-action').click();
    expect(await page.locator('#check-sheet').isVisible()).toBe(false);
    expect(await page.evaluate(() => window.__sv!.store.selection)).toEqual(['b1']);
    // A symbol pushed past the label edge is found in the print raster itself.
    await page.evaluate(() =>
      window.__sv!.store.update((d) => {
        for (const o of d.objects)
          if (o.type === 'barcode') Object.assign(o, { data: 'SV-42', x: 25 });
      }),
    );
    await page.click('#btn-check');
    await page.waitForSelector('#check-list[data-scan="done"]');
    expect(await items.locator('.check-message').allInnerTexts()).toContain(
      '条码 无法识读：超出标签边界',
    );
    await page.click('#check-close');
    await page.evaluate(() =>
      window.__sv!.store.reset(window.__sv!.parseDoc({ objects: [] }), false),
    );
    expect(await page.locator('#btn-check').isDisabled()).toBe(true);
    expect(await page.locator('#btn-preview').isDisabled()).toBe(true);
  });
});

describe('read-back before printing', () => {
  /** A 40 × 30 mm label at 203 dpi with one Code 128 "条码" and what a case adds. */
  const LABEL_OBJECTS = [
    {
      id: 'b1',
      type: 'barcode',
      name: '条码',
      x: 4,
      y: 4,
      w: 20,
      h: 10,
      data: 'SV-42',
      symbology: 'code128',
      moduleWidth: 2,
      barHeight: 10,
      showText: false,
    },
  ];
  const bars = (o: Record<string, unknown>) => [{ ...LABEL_OBJECTS[0], ...o }];
  const cases: {
    fault: string;
    objects: Record<string, unknown>[];
    /** The check's message; an error also cancels the print with it. */
    error?: string;
    warning?: string;
  }[] = [
    { fault: 'edge', objects: bars({ x: 27 }), error: '条码 无法识读：超出标签边界' },
    {
      fault: 'overlap',
      objects: [
        { id: 'r1', type: 'rect', name: '底色', x: 2, y: 2, w: 36, h: 16, fill: true },
        ...bars({}),
      ],
      error: '条码 无法识读：被其他对象遮挡',
    },
    {
      fault: 'one-dot modules',
      objects: [{ id: 'q1', type: 'qrcode', name: '二维码', x: 4, y: 4, w: 3, h: 3 }],
      error: '二维码 无法识读：模块小于 1 点',
    },
    {
      fault: 'quiet zone',
      // A rule 2 mm (8 modules) before the bars, where 10 modules should stay white.
      objects: [...bars({ x: 9 }), { id: 'l1', type: 'line', x: 7, y: 4, w: 0, h: 10 }],
      warning: '条码 的空白区不足，部分扫码枪可能无法识读',
    },
    {
      fault: 'dot gain',
      objects: bars({ moduleWidth: 1 }),
      warning: '条码 对打印浓度很敏感，浓度偏高或偏低时可能无法识读',
    },
  ];

  /**
   * A fresh page whose every request is logged; one for anywhere but this machine is aborted.
   * It replaces the shared page for the test, so the reader loads during the flow.
   */
  async function isolatedPage(): Promise<{ local: string[]; outside: string[] }> {
    const log = { local: [] as string[], outside: [] as string[] };
    const fresh = await setup.open({
      printer: QUEUE,
      before: (p) =>
        p.route('**/*', async (route) => {
          const url = route.request().url();
          if (new URL(url).hostname === '127.0.0.1') {
            log.local.push(url);
            await route.continue();
          } else {
            log.outside.push(url);
            await route.abort();
          }
        }),
    });
    page = fresh.page;
    sent = fresh.sent;
    return log;
  }

  test('errors send nothing to the printer; warnings print; nothing leaves the machine', async () => {
    const [shared, sharedSent] = [page, sent];
    const requests = await isolatedPage();
    // The reader is not part of start-up.
    expect(requests.local.filter((u) => u.endsWith('.wasm'))).toEqual([]);
    try {
      await flow();
    } finally {
      await page.close();
      [page, sent] = [shared, sharedSent];
    }
    // The service served the reader's module, once; no request went anywhere else.
    expect(requests.local.filter((u) => u.endsWith('.wasm'))).toEqual([
      expect.stringMatching(/^http:\/\/127\.0\.0\.1:\d+\/.*zxing_reader.*\.wasm$/),
    ]);
    expect(requests.outside).toEqual([]);
  }, 120_000);

  async function flow(): Promise<void> {
    for (const c of cases) {
      await page.evaluate((objects) => {
        const sv = window.__sv!;
        const doc = sv.parseDoc({
          name: '识读测试',
          page: { widthMm: 40, heightMm: 30, dpi: 203 },
          print: { columns: 1, copies: 1 },
          objects,
        });
        sv.store.reset(doc, false);
      }, c.objects);
      await page.click('#btn-check');
      await page.waitForSelector('#check-list[data-scan="done"]');
      const messages = await page.locator('#check-list .check-message').allInnerTexts();
      expect(messages, c.fault).toContain(c.error ?? c.warning);
      await page.click('#check-close');

      sent.length = 0;
      const before = printer.jobs().length;
      await page.click('#btn-print');
      await page.click('#print-confirm');
      if (c.error) {
        expect(await waitStatus(/^打印失败/), c.fault).toBe('打印失败');
        expect(await hint(), c.fault).toBe(`${c.error}，已取消打印`);
        expect(sent, c.fault).toEqual([]);
        expect(printer.jobs().length, c.fault).toBe(before);
      } else {
        await printer.waitForJobs(before + 1);
        expect(await waitStatus(/^已发送$/), c.fault).toBe('已发送');
        expect(sent, c.fault).toHaveLength(1);
      }
    }
  }
});

describe('preview', () => {
  test('info with and without an offset, and a screenshot', async () => {
    await loadDocument({ copies: 5, columns: 2, oddAlign: 'right', copyMode: 'serial' });
    await page.click('#btn-preview');
    await expect.poll(() => page.locator('#preview-sheet').isVisible()).toBe(true);
    expect(await page.locator('#preview-info').innerText()).toBe(
      '656×240 dots · 19 KB · 第 1/3 页 · 2 列 · 共 5 份 · 这是实际送打印机的 1bpp 点阵',
    );
    expect(await page.locator('#preview-note').innerText()).toBe(
      '预览就是最终送打印机的点阵，方便检查断行、条码清晰度和留白。',
    );
    await page.click('#preview-close');
    await loadDocument({ copies: 1, columns: 2, offsetXMm: -1.5, offsetYMm: 1 });
    await page.click('#btn-preview');
    await expect.poll(() => page.locator('#preview-sheet').isVisible()).toBe(true);
    // −1.5 mm is −11.99 dots and 1 mm 7.99 dots at 203 dpi: the canvas grows by whole dots.
    expect(await page.locator('#preview-info').innerText()).toBe(
      '667×247 dots · 20 KB · 单张 · 2 列 · 共 1 份 · 校准预览（含标签外偏移区域）',
    );
    expect(await page.locator('#preview-note').innerText()).toMatch(/^虚线框内是实际标签/);
    await page
      .locator('.preview-card')
      .screenshot({ path: join(testOutputDir(), 'print-preview.png') });
    await page.click('#preview-close');
    expect(await page.locator('#preview-sheet').isVisible()).toBe(false);
  });
});

describe('browser print', () => {
  test('with the service stopped: one print-page per group, mm sizes, right alignment', async () => {
    await loadDocument({ copies: 3, columns: 2, oddAlign: 'right', offsetXMm: 1 });
    await service.stop();
    await page.click('#btn-refresh-printer');
    await page.evaluate(() => {
      const w = window as unknown as { printed: number; popup?: Window };
      w.printed = 0;
      const open = window.open.bind(window);
      window.open = (...args: Parameters<typeof window.open>) => {
        const win = open(...args);
        if (win) {
          win.print = () => void (w.printed += 1);
          w.popup = win;
        }
        return win;
      };
    });
    await page.click('#btn-browser-print');
    await page.waitForFunction(() => (window as unknown as { printed: number }).printed === 1);
    const popup = await page.evaluate(() => {
      const win = (window as unknown as { popup: Window }).popup;
      const pages = Array.from(win.document.querySelectorAll<HTMLElement>('.print-page'));
      return {
        css: Array.from(win.document.querySelectorAll('style'), (s) => s.textContent).join(''),
        pages: pages.map((p) => {
          const style = win.getComputedStyle(p);
          return { justify: style.justifyContent, images: p.querySelectorAll('img').length };
        }),
      };
    });
    expect(popup.pages).toEqual([
      { justify: 'flex-end', images: 1 },
      { justify: 'flex-end', images: 1 },
    ]);
    expect(popup.css).toContain('@page{size:82mm 30mm;margin:0}');
    expect(popup.css).toContain('.print-page{width:82mm;height:30mm');
    expect(await statusText()).toBe('浏览器打印');
    expect(await hint()).toBe(
      '当前标签已生成 2 页，打印页 82.0×30.0 mm，请在浏览器打印对话框中选择系统打印机和正确纸张尺寸；浏览器打印不支持打印机原点校准，超出纸张的偏移部分可能被裁掉，建议使用本地 QX530 打印模式。',
    );
    const [record] = await history();
    expect(record).toMatchObject({
      printer: '浏览器打印',
      copies: 3,
      records: 3,
      ok: true,
      bytes: 0,
    });
    // Only the refused connections of the stopped service, which the page reports itself.
    expect(errors.filter((e) => !/ERR_CONNECTION_REFUSED|\/api\//.test(e))).toEqual([]);
  });
});
