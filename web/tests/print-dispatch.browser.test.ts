import { describe, expect, test } from 'vitest';
import type { PrintRecordInput } from '../src/document/print-history';
import type { LabelObject } from '../src/document/model';
import { DocumentStore } from '../src/store/document-store';
import type { StatusLine } from '../src/page/status';
import { composeRowRaster } from '../src/compose/row';
import { PrintDispatcher, type BatchViews, type CallService } from '../src/print/dispatch';
import { batchBrowserPrint, singleBrowserPrint } from '../src/print/browser-print';
import type { StatusProbe } from '../src/page/printer-status';
import type { QueueHooks } from '../src/print/pacing';
import type { PrintReply, PrintRequest } from '../src/print/rules';
import { barcode, doc, rect, text } from './render-fixtures';

interface Harness {
  dispatcher: PrintDispatcher;
  store: DocumentStore;
  log: string[];
  requests: PrintRequest[];
  history: PrintRecordInput[];
  printButton: HTMLButtonElement;
  batchButton: HTMLButtonElement;
  status: StatusLine;
  release: () => void;
}

/** A dispatcher whose service answers at once, or fails with `fail`, or waits for `release`. */
function harness(
  objects: LabelObject[],
  opts: {
    printer?: string;
    fail?: string;
    hold?: boolean;
    queue?: QueueHooks;
    /** Told of every row composed, with its first slot's record index. */
    onCompose?: (first: number | undefined) => void;
    batchViews?: BatchViews;
    now?: () => number;
  } = {},
): Harness {
  const store = new DocumentStore();
  const d = doc({ widthMm: 20, heightMm: 10, dpi: 203 }, { columns: 2, copies: 1 });
  d.objects = objects;
  store.doc = d;
  const log: string[] = [];
  const requests: PrintRequest[] = [];
  const history: PrintRecordInput[] = [];
  let release = () => {};
  const call = (async (_command: string, args?: Record<string, unknown> | null) => {
    const request = (args as { request: PrintRequest }).request;
    requests.push(request);
    if (opts.queue) log.push('send');
    if (opts.hold) await new Promise<void>((r) => (release = r));
    if (opts.fail) throw new Error(opts.fail);
    return { bytes: 4096, elapsed_ms: 7, printer: request.printer } satisfies PrintReply;
  }) as CallService;
  const status: StatusLine = {
    setStatus: (state, t) => log.push(`status ${state} ${t}`),
    showHint: (t, tone = 'info') => log.push(`hint ${tone} ${t}`),
  };
  const printButton = document.createElement('button');
  const batchButton = document.createElement('button');
  const dispatcher = new PrintDispatcher({
    store,
    status,
    call,
    printer: () => ({ selectedPrinter: opts.printer ?? 'P1', serviceReachable: true }),
    printButton,
    batchButton,
    confirm: () => true,
    record: (entry) => history.push(entry),
    queue: opts.queue,
    pollMs: 1,
    batchViews: opts.batchViews,
    now: opts.now,
    compose: (d, slots, columns) => {
      opts.onCompose?.(slots[0]?.index);
      return composeRowRaster(d, slots, columns);
    },
  });
  return {
    dispatcher,
    store,
    log,
    requests,
    history,
    printButton,
    batchButton,
    status,
    release: () => release(),
  };
}

const box = () => rect(1, 1, 5, 5);

describe('sendPrintRow', () => {
  test.each([
    {
      name: 'dry run',
      dry: true,
      fail: undefined,
      log: [
        'status pending 正在发送…',
        'status online 自检通过',
        'hint info 自检通过：生成指令 4 KB，未送纸',
      ],
      ok: true,
    },
    {
      name: 'real run',
      dry: false,
      fail: undefined,
      log: [
        'status pending 正在发送…',
        'status online 已发送',
        'hint info 已发送 4 KB → P1（7 ms）',
      ],
      ok: true,
    },
    {
      name: 'failed dry run',
      dry: true,
      fail: '没有选择打印机',
      log: ['status pending 正在发送…', 'status error 自检失败', 'hint error 没有选择打印机'],
      ok: false,
    },
    {
      name: 'failed real run',
      dry: false,
      fail: 'WritePrinter 失败：x',
      log: ['status pending 正在发送…', 'status error 打印失败', 'hint error WritePrinter 失败：x'],
      ok: false,
    },
  ])('$name: texts, request, history, button restored', async ({ dry, fail, log, ok }) => {
    const h = harness([box()], { fail });
    const result = await h.dispatcher.sendPrintRow([{}, undefined], dry, false);
    expect(result).toEqual(ok ? { ok, bytes: 4096, elapsedMs: 7 } : { ok, bytes: 0, elapsedMs: 0 });
    expect(h.log).toEqual(log);
    expect(h.requests[0].dry_run).toBe(dry);
    expect(h.dispatcher.lastPrintRequest).toBe(h.requests[0]);
    expect(h.history).toEqual([
      {
        docName: 'test',
        printer: 'P1',
        copies: 1,
        records: 1,
        dryRun: dry,
        ok,
        bytes: ok ? 4096 : 0,
        elapsedMs: ok ? 7 : 0,
      },
    ]);
    expect([h.printButton.textContent, h.printButton.disabled]).toEqual(['打印', false]);
  });

  test('quiet leaves success texts to the caller; record false writes no history', async () => {
    const h = harness([box()]);
    await h.dispatcher.sendPrintRow([{}], false, true, {
      record: false,
      copies: 150,
      layoutColumns: 9,
    });
    expect(h.log).toEqual([]);
    expect(h.history).toEqual([]);
    expect(h.requests[0]).toMatchObject({ copies: 99, width_mm: 8 * 20 + 7 * 2 });
  });

  test('a second send while one is in flight fails silently', async () => {
    const h = harness([box()], { hold: true });
    const first = h.dispatcher.sendPrintRow([{}], false, false);
    while (h.requests.length === 0) await new Promise((r) => setTimeout(r, 1));
    expect([h.printButton.textContent, h.printButton.disabled]).toEqual(['正在发送…', true]);
    const before = h.log.length;
    expect(await h.dispatcher.sendPrintRow([{}], false, false)).toMatchObject({ ok: false });
    expect(h.log.length).toBe(before);
    h.release();
    expect((await first).ok).toBe(true);
    expect(h.requests).toHaveLength(1);
  });

  test.each([
    {
      name: 'no printer',
      objects: [box()],
      printer: '',
      hint: 'hint error 先选择打印机（或点 ↻ 重新查找）',
    },
    { name: 'no objects', objects: [], printer: 'P1', hint: 'hint error 画布还是空的，先加个对象' },
  ])('$name', async ({ objects, printer, hint }) => {
    const h = harness(objects, { printer });
    expect((await h.dispatcher.sendPrintRow([{}], false, false)).ok).toBe(false);
    expect(h.log).toEqual([hint]);
    expect(h.requests).toEqual([]);
  });

  test('check errors of any slot stop the row; warnings do not', async () => {
    const objects = [
      {
        ...barcode(1, 1, { data: '{{code}}', w: 10, h: 5, barHeight: 4, moduleWidth: 1 }),
        name: '条码',
      },
      { ...text(1, 6, 5, 3, { text: '{{missing}}' }), name: 'T' },
    ];
    const h = harness(objects);
    const good = { row: { code: '42' }, index: 0, total: 2 };
    const blank = { row: { code: ' ' }, index: 1, total: 2 };
    expect((await h.dispatcher.sendPrintRow([good, blank], false, false)).ok).toBe(false);
    expect(h.log).toEqual([
      'status error 打印前检查未通过',
      'hint error 发现 1 个错误：条码 的数据为空',
    ]);
    h.log.length = 0;
    // Two copies of one broken label are one error, not two.
    await h.dispatcher.sendPrintRow([blank, blank], false, false);
    expect(h.log[1]).toBe('hint error 发现 1 个错误：条码 的数据为空');
    h.log.length = 0;
    expect((await h.dispatcher.sendPrintRow([good, undefined], false, false)).ok).toBe(true);
  });
  test('a symbol that does not read back from the raster cancels the print unsent', async () => {
    // The bars run 5 mm past the 20 mm label's right edge.
    const cut = barcode(16, 1, { data: 'SV-42', w: 9, h: 5, barHeight: 4, moduleWidth: 1 });
    const h = harness([{ ...cut, name: '条码' }]);
    expect((await h.dispatcher.sendPrintRow([{}], false, false)).ok).toBe(false);
    expect(h.requests).toEqual([]);
    expect(h.log.slice(-2)).toEqual([
      'status error 打印失败',
      'hint error 条码 无法识读：超出标签边界，已取消打印',
    ]);

    // In a batch: the rows before go out, the batch stops before the row and shows the record.
    const bound = barcode(1, 1, { data: '{{a}}', w: 9, h: 5, barHeight: 4, moduleWidth: 1 });
    const batch = harness([{ ...bound, name: '条码' }]);
    const long = 'ABCDEFGHIJKLMNOP'; // 26 mm of bars on a 20 mm label
    batch.store.setDataset({
      name: 'd',
      fields: ['a'],
      rows: [{ a: '1' }, { a: '2' }, { a: long }],
    });
    await batch.dispatcher.printBatch(true, false);
    expect(batch.requests).toHaveLength(1);
    expect(batch.store.recordIndex).toBe(2);
    expect(batch.log.slice(-2)).toEqual([
      'status error 批量已停止 2/3',
      'hint error 第 3 条记录的 条码 无法识读：超出标签边界，批量已停止 2/3',
    ]);

    // Browser print reads the same rows back before its page is written: the window closes
    // without a print dialog, and a batch shows the record.
    const browserWindow = () => {
      const calls: string[] = [];
      const win = {
        document: { write: () => calls.push('write'), open: () => {}, close: () => {} },
        focus: () => {},
        close: () => calls.push('close'),
        print: () => calls.push('print'),
      };
      return { calls, open: () => win as unknown as Window };
    };
    const single = browserWindow();
    h.log.length = 0;
    await singleBrowserPrint({ store: h.store, status: h.status, openWindow: single.open });
    expect(single.calls).toEqual(['write', 'close']);
    expect(h.log).toEqual([
      'status error 打印失败',
      'hint error 条码 无法识读：超出标签边界，已取消打印',
    ]);
    const whole = browserWindow();
    batch.log.length = 0;
    batch.store.setRecord(0);
    await batchBrowserPrint({ store: batch.store, status: batch.status, openWindow: whole.open });
    expect(whole.calls).toEqual(['write', 'close']);
    expect(batch.store.recordIndex).toBe(2);
    expect(batch.log).toEqual([
      'status error 打印失败',
      'hint error 第 3 条记录的 条码 无法识读：超出标签边界，已取消打印',
    ]);
    // Readable records print: the page is written and the dialog follows.
    batch.store.setDataset({ name: 'd', fields: ['a'], rows: [{ a: '1' }, { a: '2' }] });
    const good = browserWindow();
    await batchBrowserPrint({ store: batch.store, status: batch.status, openWindow: good.open });
    expect(good.calls).toEqual(['write', 'write']);
  });
});

describe('printCopies', () => {
  test('sequence with 3 records left of 5 copies: three labels and the suffix', async () => {
    const h = harness([box()]);
    h.store.doc.print = { ...h.store.doc.print, copies: 5, columns: 2, copyMode: 'sequence' };
    h.store.setDataset({
      name: 'd',
      fields: ['a'],
      rows: [{ a: '1' }, { a: '2' }, { a: '3' }, { a: '4' }],
    });
    h.store.setRecord(1);
    await h.dispatcher.printCopies(true);
    expect(h.requests.map((r) => r.copies)).toEqual([1, 1]);
    expect(h.log).toEqual([
      'status pending 打印 1/3',
      'status pending 打印 3/3',
      'status online 自检通过',
      'hint info 自检通过：单张 3 份（数据表仅够 3 份）（未送纸）',
    ]);
    expect(h.history).toEqual([
      expect.objectContaining({ copies: 3, records: 3, ok: true, bytes: 8192, elapsedMs: 14 }),
    ]);
  });

  test('sequence without data has no plan', async () => {
    const h = harness([box()]);
    h.store.doc.print.copyMode = 'sequence';
    await h.dispatcher.printCopies(false);
    expect(h.log).toEqual([
      'hint error 当前多份数据策略没有可用记录，请导入数据表或改用“每份相同”。',
    ]);
  });
});

/** A queue that answers each poll with the next scripted probe (the last one repeats). */
function scriptedQueue(
  script: StatusProbe[],
  log: () => string[],
  cancelled = 0,
  onPoll?: (n: number) => void,
): QueueHooks {
  let n = 0;
  return {
    printerStatus: async () => {
      onPoll?.(n);
      log().push('poll');
      return script[Math.min(n++, script.length - 1)];
    },
    cancelJobs: async () => {
      log().push('cancel');
      return { kind: 'cancelled', count: cancelled };
    },
  };
}
const idle: StatusProbe = {
  kind: 'status',
  status: { jobs: [], message: '', reasons: [], state: 'idle' },
};
const full: StatusProbe = {
  kind: 'status',
  status: {
    jobs: [1, 2, 3].map((id) => ({ id, state: 'pending', submitted_ms: 0 })),
    message: '',
    reasons: [],
    state: 'printing',
  },
};
const paperOut: StatusProbe = {
  kind: 'status',
  status: { jobs: [], message: '', reasons: ['缺纸'], state: 'error' },
};

describe('batch pacing', () => {
  const records = { name: 'd', fields: ['a'], rows: [1, 2, 3, 4].map((a) => ({ a: `${a}` })) };
  const run = async (script: StatusProbe[], dry = false) => {
    let log: string[] = [];
    const h = harness([box()], { queue: scriptedQueue(script, () => log) });
    log = h.log;
    h.store.setDataset(records);
    await h.dispatcher.printBatch(dry, false);
    return h.log;
  };

  test.each<[string, StatusProbe[], boolean, string[]]>([
    [
      'a free queue sends at once',
      [idle],
      false,
      ['poll', 'status pending 批量 2/4', 'send', 'poll', 'status pending 批量 4/4', 'send'],
    ],
    [
      'a full queue waits, then sends',
      [full, full, idle],
      false,
      [
        'poll',
        'status pending 批量 0/4，等待打印机',
        'poll',
        'status pending 批量 0/4，等待打印机',
        'poll',
        'status pending 批量 2/4',
        'send',
        'poll',
        'status pending 批量 4/4',
        'send',
      ],
    ],
    [
      'paper out pauses and resumes by itself',
      [idle, paperOut, idle],
      false,
      [
        'poll',
        'status pending 批量 2/4',
        'send',
        'poll',
        'status error 批量已暂停：打印机缺纸',
        'hint error 批量已暂停：打印机缺纸。打印机恢复后自动继续，也可以停止批量',
        'poll',
        'hint info 打印机已恢复，批量继续',
        'status pending 批量 4/4',
        'send',
      ],
    ],
    [
      'an older service: asked once, then as before',
      [{ kind: 'missing' }],
      false,
      ['poll', 'status pending 批量 2/4', 'send', 'status pending 批量 4/4', 'send'],
    ],
    [
      'a dry run never asks',
      [paperOut],
      true,
      ['status pending 批量 2/4', 'send', 'status pending 批量 4/4', 'send'],
    ],
  ])('%s', async (_name, script, dry, expected) => {
    const log = await run(script, dry);
    expect(log.slice(0, expected.length)).toEqual(expected);
    expect(log.at(-1)).toBe(
      dry ? 'hint info 批量自检完成 4 条（未送纸）' : 'hint info 已打印 4 条',
    );
  });

  test('a stop while paused withdraws the queued rows and says how many', async () => {
    let log: string[] = [];
    const stop = { now: () => {} };
    // Row 1 goes out, row 2 is held by the paused printer until the stop.
    const queue = scriptedQueue(
      [idle, paperOut],
      () => log,
      1,
      (n) => {
        if (n === 3) stop.now();
      },
    );
    const h = harness([box()], { queue });
    log = h.log;
    stop.now = () => h.dispatcher.requestBatchStop();
    h.store.setDataset(records);
    await h.dispatcher.printBatch(false, false);
    expect(h.requests).toHaveLength(1);
    // The paused printer's status lists none of the jobs: the counts are estimates.
    expect(h.log.slice(-4)).toEqual([
      'cancel',
      'poll',
      'status idle 批量已停止 0/4',
      'hint info 批量已停止：约 0 条已送往打印机，约 2 条已从队列撤回',
    ]);
  });

  test('a wait without progress says what it waits for once; a hung probe still stops', async () => {
    let log: string[] = [];
    let clock = 0;
    // Ten seconds pass between polls; the queue stays full for 40 s, then moves.
    const queue = scriptedQueue(
      [full, full, full, full, full, idle],
      () => log,
      0,
      () => {
        clock += 10_000;
      },
    );
    const h = harness([box()], { queue, now: () => clock });
    log = h.log;
    h.store.setDataset(records);
    await h.dispatcher.printBatch(false, false);
    const stall = 'hint error 打印机 30 秒没有接收数据（正在打印），可以继续等待或停止批量';
    expect(h.log.filter((line) => line === stall)).toHaveLength(1);
    // Said at the poll 30 s after the wait began (the first poll), not before.
    const before = h.log.slice(0, h.log.indexOf(stall));
    expect(before.filter((line) => line === 'poll')).toHaveLength(4);
    expect(h.requests).toHaveLength(2);

    const hung = harness([box()], {
      queue: {
        printerStatus: () => new Promise(() => {}),
        cancelJobs: async () => ({ kind: 'cancelled', count: 0 }),
      },
    });
    hung.store.setDataset(records);
    const batch = hung.dispatcher.printBatch(false, false);
    await new Promise((r) => setTimeout(r, 10));
    hung.dispatcher.requestBatchStop();
    await batch;
    expect(hung.requests).toHaveLength(0);
    expect(hung.log.slice(-2)).toEqual([
      'status idle 批量已停止 0/4',
      'hint info 批量已停止：0 条已送往打印机，0 条已从队列撤回',
    ]);
  });

  test('a stop without the cancel command keeps the old words', async () => {
    const h = harness([box()], {
      queue: {
        printerStatus: async () => ({ kind: 'missing' }),
        cancelJobs: async () => {
          throw new Error('never called');
        },
      },
    });
    h.store.setDataset(records);
    const batch = h.dispatcher.printBatch(false, false);
    h.dispatcher.requestBatchStop();
    await batch;
    expect(h.log.slice(-2)).toEqual([
      'status idle 批量已停止 0/4',
      'hint info 批量已停止，已处理 0 条',
    ]);
  });
});

describe('batch pipelining', () => {
  const records = {
    name: 'd',
    fields: ['a'],
    rows: [1, 2, 3, 4, 5, 6, 7, 8].map((a) => ({ a: `${a}` })),
  };
  const tick = () => new Promise((r) => setTimeout(r, 1));

  test('the next two rows are composed while this one is in flight, and no further ahead', async () => {
    const composed: (number | undefined)[] = [];
    const h = harness([box()], { hold: true, onCompose: (first) => composed.push(first) });
    h.store.setDataset(records);
    const batch = h.dispatcher.printBatch(true, false);
    while (h.requests.length < 1) await tick();
    for (let i = 0; i < 20 && composed.length < 3; i++) await tick();
    // Row 1 (records 0, 1) is with the service; rows 2 and 3 are ready, row 4 is not.
    expect(composed).toEqual([0, 2, 4]);
    for (let i = 0; i < 10; i++) await tick();
    expect(composed).toEqual([0, 2, 4]);
    for (let sent = 1; sent <= 4; sent++) {
      while (h.requests.length < sent) await tick();
      h.release();
    }
    await batch;
    expect(composed).toEqual([0, 2, 4, 6]);
    expect(h.requests).toHaveLength(4);
    expect(h.log.at(-1)).toBe('hint info 批量自检完成 8 条（未送纸）');
  });

  // Whenever the stop comes, the row being sent finishes and nothing after it goes out,
  // including a row already composed.
  test.each([
    { name: 'while row 1 is in flight and row 2 is composed', when: 'inFlight' },
    { name: 'while row 2 is being composed', when: 'composing' },
  ])('a stop $name sends no further row', async ({ when }) => {
    let stop = () => {};
    const h = harness([box()], {
      hold: when === 'inFlight',
      onCompose: (first) => {
        if (when === 'composing' && first === 2) stop();
      },
    });
    stop = () => h.dispatcher.requestBatchStop();
    h.store.setDataset(records);
    const batch = h.dispatcher.printBatch(true, false);
    if (when === 'inFlight') {
      while (h.requests.length < 1) await tick();
      for (let i = 0; i < 20; i++) await tick();
      stop();
      h.release();
    }
    await batch;
    expect(h.requests).toHaveLength(1);
    expect(h.log.slice(-2)).toEqual([
      'status idle 批量已停止 2/8',
      'hint info 批量已停止，已处理 2 条',
    ]);
  });

  test('the print button stays sending for the whole batch and a single print waits', async () => {
    const h = harness([box()], { hold: true });
    h.store.setDataset(records);
    const button = () => [h.printButton.textContent, h.printButton.disabled];
    const batch = h.dispatcher.printBatch(true, false);
    const seen: unknown[][] = [];
    for (let sent = 1; sent <= 4; sent++) {
      while (h.requests.length < sent) await tick();
      seen.push(button());
      // Between two rows nothing is in flight, yet a single print must not slip in.
      h.release();
      if (sent === 4) break;
      await tick();
      seen.push(button());
      await h.dispatcher.printCopies(true);
    }
    await batch;
    expect(seen).toEqual(Array(7).fill(['正在发送…', true]));
    expect(h.requests).toHaveLength(4);
    expect(button()).toEqual(['打印', false]);
  });

  test('a refused row ahead is reported only at its turn, after the row before went out', async () => {
    const objects = [
      {
        ...barcode(1, 1, { data: '{{a}}', w: 10, h: 5, barHeight: 4, moduleWidth: 1 }),
        name: '条码',
      },
    ];
    const h = harness(objects);
    h.store.setDataset({ name: 'd', fields: ['a'], rows: [{ a: '1' }, { a: '2' }, { a: ' ' }] });
    await h.dispatcher.printBatch(true, false);
    expect(h.requests).toHaveLength(1);
    expect(h.log).toEqual([
      'status pending 批量 2/3',
      'status pending 批量 3/3',
      'status error 打印前检查未通过',
      'hint error 发现 1 个错误：条码 的数据为空',
      'status error 批量中断 2/3',
    ]);
  });
});

describe('the page following a batch', () => {
  // Paced views that are never released would leave the canvas and the data panel behind for
  // good, so every way a batch ends tells the page, after the remembered record is back.
  const coded = [
    {
      ...barcode(1, 1, { data: '{{a}}', w: 10, h: 5, barHeight: 4, moduleWidth: 1 }),
      name: '条码',
    },
  ];
  test.each([
    {
      name: 'completed',
      first: '1',
      fail: undefined,
      trace: ['record 0', 'record 2', 'record 1'],
    },
    { name: 'failed at the service', first: '1', fail: '打印机脱机', trace: [] },
    { name: 'refused by the check', first: ' ', fail: undefined, trace: [] },
  ])('$name', async ({ first, fail, trace }) => {
    const events: string[] = [];
    const h = harness(coded, {
      fail,
      batchViews: {
        batchStarted: () => events.push(`started ${h.batchButton.className}`),
        batchEnded: () => events.push(`ended ${h.batchButton.className}`),
      },
    });
    const rows = [first, '2', '3', '4'].map((a) => ({ a }));
    h.store.setDataset({ name: 'd', fields: ['a'], rows });
    h.store.setRecord(1);
    h.store.subscribe((s) => events.push(`record ${s.recordIndex}`));
    await h.dispatcher.printBatch(true, false);
    // The running class stills the status pulse for the batch and no longer.
    expect(events).toEqual(['started is-running', ...trace, 'ended ']);
  });
});
