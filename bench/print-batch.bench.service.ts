/// <reference types="node" />
// A dry-run batch of 10,000 records through the real service: 3 columns of 50 × 80 mm at
// 300 dpi, each label a text, a Code 128 barcode and a QR code bound to fields, every symbol
// read back before its row is sent. Run twice in one browser: rows made in the row worker, and
// made on the page (the worker blocked, as when it cannot start) as the baseline. Reports rows
// per second against the bare service round trip of the same requests, the JS heap after forced
// GC at row 100 and at the end, the longest main-thread task, CPU per row of each browser
// process, what reading the symbols back costs per row, what ran in the frames of the first
// long tasks, and how many rows a stop lets through.
// The pages are tabs Playwright does not watch (see unwatched-page.ts), as in a user's browser.
import { chromium, type Browser } from 'playwright-core';
import { afterAll, beforeAll, test } from 'vitest';
import { chromiumArgs, chromiumPath } from '../e2e/support/chromium';
import {
  startCups,
  startRecordingPrinter,
  type PrivateCups,
  type RecordingPrinter,
} from '../e2e/support/cups';
import { startService, type RunningService } from '../e2e/support/service';
import { openUnwatchedPage, type UnwatchedPage } from './unwatched-page';

const RECORDS = Number(process.env.SV_BENCH_RECORDS ?? 10_000);
const COLUMNS = 3;
const QUEUE = 'Zeko_Bench';

let printer: RecordingPrinter;
let cups: PrivateCups;
let service: RunningService;
let browser: Browser;
let page: UnwatchedPage;
/** The same page where the row worker cannot start: every row is made on the page. */
let pagePath: UnwatchedPage;

/** Refuses to start the row worker, as a browser that cannot run it would. */
const NO_ROW_WORKER = `{
  const Started = Worker;
  globalThis.Worker = function (url, options) {
    if (String(url).includes('row-worker')) throw new Error('no row worker in this run');
    return new Started(url, options);
  };
}`;

async function openPage(withoutWorker: boolean): Promise<UnwatchedPage> {
  const p = await openUnwatchedPage(
    browser,
    `${service.url}?api=${encodeURIComponent(`http://127.0.0.1:${service.port}`)}`,
    withoutWorker ? NO_ROW_WORKER : undefined,
  );
  await p.waitFor(
    (name) => document.getElementById('printer-value')?.textContent === name,
    QUEUE,
    30_000,
  );
  return p;
}

beforeAll(async () => {
  printer = await startRecordingPrinter();
  cups = await startCups();
  await cups.addRawQueue(QUEUE, printer.port);
  service = await startService({ env: cups.env });
  browser = await chromium.launch({
    executablePath: chromiumPath,
    headless: true,
    args: chromiumArgs,
  });
  page = await openPage(false);
  pagePath = await openPage(true);
});

afterAll(async () => {
  await page?.close();
  await pagePath?.close();
  await browser?.close();
  await service?.stop();
  await cups?.stop();
  await printer?.close();
});

/** The JS heap after a forced full collection, through the DevTools protocol. */
async function heapAfterGc(page: UnwatchedPage): Promise<number> {
  await page.send('HeapProfiler.collectGarbage');
  return (await page.send('Runtime.getHeapUsage')).usedSize as number;
}

/** The renderer's main-thread totals (seconds) from the DevTools protocol. */
async function mainThread(page: UnwatchedPage): Promise<Record<string, number>> {
  const { metrics } = (await page.send('Performance.getMetrics')) as {
    metrics: { name: string; value: number }[];
  };
  return Object.fromEntries(metrics.map((m) => [m.name, m.value]));
}

/** CPU seconds used so far by the browser's processes, by process type, and by all together. */
async function browserCpu(): Promise<Record<string, number>> {
  const session = await browser.newBrowserCDPSession();
  const { processInfo } = await session.send('SystemInfo.getProcessInfo');
  await session.detach();
  const byType: Record<string, number> = { all: 0 };
  for (const p of processInfo) {
    byType[p.type] = (byType[p.type] ?? 0) + p.cpuTime;
    byType.all += p.cpuTime;
  }
  return byType;
}

/** One dry-run batch on this page; answers its report lines. */
async function batchRun(page: UnwatchedPage): Promise<string[]> {
  // A hidden tab draws no frames and slows its timers: its figures would flatter the page.
  if ((await page.evaluate(() => document.visibilityState)) !== 'visible')
    throw new Error('the benchmark page is hidden');
  await page.send('Performance.enable');
  const threadStart = await mainThread(page);
  const cpuStart = await browserCpu();
  const readStart = await page.evaluate(() => window.__sv!.readBack!);
  await page.evaluate(
    ({ records, columns }) => {
      const sv = window.__sv!;
      const doc = sv.parseDoc({
        schemaVersion: 1,
        name: 'bench',
        page: { widthMm: 50, heightMm: 80, dpi: 300 },
        print: { columns, columnGapMm: 2, rowGapMm: 2, copies: 1 },
        objects: [
          {
            id: 't',
            type: 'text',
            name: '名称',
            x: 3,
            y: 3,
            w: 44,
            h: 10,
            text: '{{名称}}',
            fontSize: 16,
          },
          {
            id: 'b',
            type: 'barcode',
            name: '条码',
            x: 3,
            y: 16,
            w: 44,
            h: 18,
            data: '{{编码}}',
            symbology: 'code128',
            moduleWidth: 2,
            barHeight: 15,
          },
          {
            id: 'q',
            type: 'qrcode',
            name: '二维码',
            x: 10,
            y: 40,
            w: 30,
            h: 30,
            data: 'https://example.com/p/{{编码}}',
            moduleSize: 4,
          },
        ],
      });
      sv.store.reset(doc, false);
      const lines = ['名称,编码'];
      for (let i = 0; i < records; i++) lines.push(`商品 ${i},69${String(i).padStart(10, '0')}`);
      sv.store.setDataset(sv.parseCsv(lines.join('\n')));
      const w = window as unknown as Record<string, unknown>;
      const tasks: PerformanceEntry[] = [];
      w.benchTasks = tasks;
      new PerformanceObserver((list) => tasks.push(...list.getEntries())).observe({
        type: 'longtask',
      });
      // What ran in the frames that held a long task: the scripts by their invoker, and the
      // rendering after them.
      const frames: unknown[] = [];
      w.benchFrames = frames;
      new PerformanceObserver((list) => {
        for (const entry of list.getEntries()) {
          const f = entry as PerformanceEntry & {
            renderStart: number;
            scripts: { invoker: string; duration: number }[];
          };
          if (f.duration <= 50) continue;
          frames.push({
            start: f.startTime,
            end: f.startTime + f.duration,
            render: f.renderStart ? f.startTime + f.duration - f.renderStart : 0,
            scripts: f.scripts.map((x) => `${x.invoker} ${x.duration.toFixed(0)} ms`),
          });
        }
      }).observe({ type: 'long-animation-frame' });
      const t0 = performance.now();
      w.benchBatch = (sv.batchDry as () => Promise<void>)().then(() => {
        w.benchDone = true;
        return performance.now() - t0;
      });
    },
    { records: RECORDS, columns: COLUMNS },
  );
  // Row 100 starts at record 99 × columns; the batch runs on while the heap is read. A short
  // run takes its next-to-last row (after the last, the page goes back to the first record),
  // or its end if the polling missed that row.
  const heapRow = Math.max(0, Math.min(99, Math.ceil(RECORDS / COLUMNS) - 2));
  await page.waitFor(
    (first) =>
      window.__sv!.store.recordIndex >= first ||
      (window as unknown as { benchDone?: boolean }).benchDone === true,
    heapRow * COLUMNS,
  );
  const gcStart = await page.evaluate(() => performance.now());
  const heapAt100 = await heapAfterGc(page);
  const gcEnd = await page.evaluate(() => performance.now());
  const batchMs = await page.evaluate(
    () => (window as unknown as { benchBatch: Promise<number> }).benchBatch,
  );
  const threadEnd = await mainThread(page);
  const readEnd = await page.evaluate(() => window.__sv!.readBack!);
  const cpuEnd = await browserCpu();
  const heapEnd = await heapAfterGc(page);
  // The forced collection is the benchmark's own; a task it fell into is not counted.
  const { tasks, held } = await page.evaluate(
    ([a, b]) => {
      type Frame = { start: number; end: number; render: number; scripts: string[] };
      const w = window as unknown as { benchTasks: PerformanceEntry[]; benchFrames: Frame[] };
      const counted = w.benchTasks.filter((t) => t.startTime > b || t.startTime + t.duration < a);
      const inFrame = (t: PerformanceEntry) =>
        w.benchFrames.find((f) => f.start <= t.startTime && t.startTime < f.end);
      return {
        tasks: counted.map((t) => t.duration),
        held: counted.map((t) => {
          const frame = inFrame(t);
          const what = frame
            ? `${frame.scripts.join(', ') || 'no script'}; render ${frame.render.toFixed(0)} ms`
            : 'outside a frame';
          return `${t.duration.toFixed(0)} ms: ${what}`;
        }),
      };
    },
    [gcStart, gcEnd],
  );
  // Baseline: the same service call with the last row's request, without composing.
  const baselineCalls = 300;
  const baselineMs = await page.evaluate(async (calls) => {
    const sv = window.__sv!;
    const request = { ...(sv.lastPrintRequest as object), dry_run: true };
    const b0 = performance.now();
    for (let i = 0; i < calls; i++) await sv.call('print_sheet', { request });
    return performance.now() - b0;
  }, baselineCalls);

  const status = await page.evaluate(() => document.getElementById('status-title')!.innerText);
  const rows = Math.ceil(RECORDS / COLUMNS);
  const rowsPerSecond = rows / (batchMs / 1000);
  const baselinePerSecond = baselineCalls / (baselineMs / 1000);
  const mb = (b: number) => (b / 1048576).toFixed(1);
  const longest = Math.max(0, ...tasks);
  // Main-thread time and CPU time per row are what the batch costs the browser; on a shared
  // machine CPU time moves far less with the load than rows per second do.
  const perRow = (name: string) =>
    (((threadEnd[name] - threadStart[name]) * 1000) / rows).toFixed(1);
  await page.send('Performance.disable');
  return [
    `status: ${status}`,
    `batch: ${rows} rows in ${(batchMs / 1000).toFixed(1)} s = ${rowsPerSecond.toFixed(1)} rows/s`,
    `baseline (service round trip only): ${baselinePerSecond.toFixed(1)} calls/s; batch/baseline = ${(rowsPerSecond / baselinePerSecond).toFixed(3)}`,
    `read-back (in the worker or on the page): ${((readEnd.ms - readStart.ms) / rows).toFixed(1)} ms per row for ${((readEnd.symbols - readStart.symbols) / rows).toFixed(1)} symbols, ${((100 * (readEnd.ms - readStart.ms)) / batchMs).toFixed(0)}% of the batch time`,
    `heap after GC: row ${heapRow + 1} ${mb(heapAt100)} MB, end ${mb(heapEnd)} MB, growth ${mb(heapEnd - heapAt100)} MB`,
    `main thread per row: tasks ${perRow('TaskDuration')} ms, script ${perRow('ScriptDuration')} ms, style ${perRow('RecalcStyleDuration')} ms, layout ${perRow('LayoutDuration')} ms`,
    `browser CPU per row: ${Object.keys(cpuEnd)
      .map(
        (type) =>
          `${type} ${((((cpuEnd[type] ?? 0) - (cpuStart[type] ?? 0)) * 1000) / rows).toFixed(1)} ms`,
      )
      .join(', ')}`,
    `longest main-thread task: ${longest > 0 ? `${longest.toFixed(0)} ms` : 'none over 50 ms'} (${tasks.length} tasks over 50 ms)`,
    ...held.slice(0, 5).map((h) => `  ${h}`),
  ];
}

test(`dry-run batch of ${RECORDS} records, ${COLUMNS} columns: row worker vs page`, async () => {
  // The baseline first: the worker's run then starts with a machine as warm as the baseline's.
  const onPage = await batchRun(pagePath);
  const inWorker = await batchRun(page);
  // The worker's script load shows in the page's resource timing; the blocked page has none.
  const workerLoads = (p: UnwatchedPage) =>
    p.evaluate(
      () =>
        performance.getEntriesByType('resource').filter((e) => e.name.includes('row-worker'))
          .length,
    );
  const workers = await workerLoads(page);
  if ((await workerLoads(pagePath)) !== 0) throw new Error('the baseline page started a worker');
  console.log(
    [
      `rows made on the page (baseline, worker blocked):`,
      ...onPage.map((l) => `  ${l}`),
      `rows made in the row worker (${workers} worker):`,
      ...inWorker.map((l) => `  ${l}`),
    ].join('\n'),
  );
});

test('a stop is answered within one row', async () => {
  const outcome = await page.evaluate(async () => {
    const sv = window.__sv!;
    let calls = 0;
    const original = sv.store.setRecord.bind(sv.store);
    sv.store.setRecord = (i: number) => {
      calls += 1;
      original(i);
    };
    const run = (sv.batchDry as () => Promise<void>)();
    while (calls < 20) await new Promise((r) => setTimeout(r, 5));
    const atStop = calls;
    document.getElementById('btn-batch')!.click();
    await run;
    sv.store.setRecord = original;
    // The final call restores the remembered record.
    return {
      rowsAfterStop: calls - 1 - atStop,
      status: document.getElementById('status-title')!.textContent,
    };
  });
  console.log(`stop: ${outcome.rowsAfterStop} row(s) sent after the click; ${outcome.status}`);
});
