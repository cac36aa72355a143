import { describe, expect, test } from 'vitest';
import { batchGate, followJobs, stopCount, withdrawnRecords } from '../src/print/pacing';
import { firstRecordNotDone } from '../src/print/resume';
import { offerCutOffBatch } from '../src/print/install';
import { NO_PRINTER } from '../src/print/calibration-sheet';
import type { LastingHint, StatusLine } from '../src/page/status';
import type { JobState, PrinterStatus, StatusProbe } from '../src/page/printer-status';

const status = (
  state: PrinterStatus['state'],
  jobs: JobState[] = [],
  reasons: string[] = [],
  message = '',
): PrinterStatus => ({
  state,
  reasons,
  message,
  jobs: jobs.map((s, i) => ({ id: i + 1, state: s, submitted_ms: 10_000 + i * 1000 })),
});
const probe = (s: PrinterStatus): StatusProbe => ({ kind: 'status', status: s });

describe('batchGate', () => {
  test.each<[string, StatusProbe, ReturnType<typeof batchGate>]>([
    ['idle, empty queue', probe(status('idle')), { kind: 'go' }],
    ['two queued still go', probe(status('printing', ['printing', 'pending'])), { kind: 'go' }],
    [
      'three queued wait',
      probe(status('printing', ['printing', 'pending', 'pending'])),
      { kind: 'wait', queued: 3 },
    ],
    [
      'finished jobs do not count',
      probe(status('idle', ['done', 'done', 'failed', 'cancelled', 'pending'])),
      { kind: 'go' },
    ],
    [
      'paused with its reason, even with room in the queue',
      probe(status('paused', [], ['已暂停'])),
      { kind: 'pause', reason: '打印机已暂停' },
    ],
    [
      'error outranks a full queue',
      probe(status('error', ['pending', 'pending', 'pending'], ['缺纸', '机盖打开'])),
      { kind: 'pause', reason: '打印机缺纸、机盖打开' },
    ],
    [
      'offline without reasons uses the message',
      probe(status('offline', [], [], 'The printer is unreachable')),
      { kind: 'pause', reason: 'The printer is unreachable' },
    ],
    [
      'offline with nothing said',
      probe(status('offline')),
      { kind: 'pause', reason: '打印机脱机' },
    ],
    ['command missing', { kind: 'missing' }, { kind: 'go' }],
    ['state unknown', { kind: 'failed', error: new Error('x') }, { kind: 'go' }],
  ])('%s', (_name, p, gate) => {
    expect(batchGate(p)).toEqual(gate);
  });
});

describe('withdrawnRecords', () => {
  test.each([
    [[2, 2, 2, 1], 2, 3],
    [[2, 2, 2], 0, 0],
    [[2, 2], 5, 4],
    [[], 3, 0],
  ])('rows %j, %i cancelled → %i records', (rows, cancelled, records) => {
    expect(withdrawnRecords(rows, cancelled)).toBe(records);
  });

  // Rows of 1, 2, 2 and 3 records; the cancel claimed 3 jobs. The status lists newest first.
  const rows = [1, 2, 2, 3];
  const jobs = (...states: JobState[]) =>
    states.map((state, i) => ({ id: 37 + i, state, submitted_ms: 0 })).reverse();
  test.each<[string, ReturnType<typeof jobs> | undefined, [number, number, boolean]]>([
    // The spooler had already handed two of the three to the printer.
    ['the spooler lists every job', jobs('done', 'done', 'printing', 'cancelled'), [5, 3, true]],
    ['all withdrawn', jobs('cancelled', 'cancelled', 'cancelled', 'cancelled'), [0, 8, true]],
    ['finished jobs already dropped', jobs('cancelled', 'cancelled'), [1, 7, false]],
    ['a job still pending is no account', jobs('done', 'pending', 'done', 'done'), [1, 7, false]],
    ['no status at all', undefined, [1, 7, false]],
  ])('stopCount: %s', (_name, listed, [printed, withdrawn, exact]) => {
    expect(stopCount(rows, 3, listed)).toEqual({ printed, withdrawn, exact });
  });
});

describe('followJobs', () => {
  // Jobs were submitted at 10 s, 11 s, 12 s; the send began at 11.4 s, so 11 s and 12 s are ours.
  const since = 11_400;
  test.each<[string, PrinterStatus, string, boolean, string]>([
    ['waiting', status('idle', ['pending', 'pending']), 'queued', false, '作业在队列中等待'],
    [
      'two waiting',
      status('idle', ['printing', 'pending', 'pending']),
      'queued',
      false,
      '2 个作业在队列中等待',
    ],
    [
      'on paper',
      status('printing', ['done', 'printing', 'pending']),
      'printing',
      false,
      '打印机正在打印',
    ],
    ['done', status('idle', ['pending', 'done', 'done']), 'done', true, '打印完成'],
    ['gone from the queue', status('idle', ['pending']), 'done', true, '打印完成'],
    [
      'paper out',
      status('error', ['done', 'pending', 'pending'], ['缺纸']),
      'held',
      false,
      '打印机缺纸，作业在队列中等待',
    ],
    [
      'unreachable keeps its own subject',
      status('offline', ['done', 'pending'], ['无法连接打印机']),
      'held',
      false,
      '无法连接打印机，作业在队列中等待',
    ],
    ['failed', status('idle', ['done', 'failed', 'done']), 'failed', true, '打印机未能完成作业'],
    [
      'withdrawn',
      status('idle', ['done', 'cancelled', 'cancelled']),
      'failed',
      true,
      '作业已从队列撤回',
    ],
  ])('%s', (_name, s, state, final, hint) => {
    const view = followJobs(s, since);
    expect([view.state, view.final, view.hint]).toEqual([state, final, hint]);
  });
});

describe('firstRecordNotDone', () => {
  // Rows of two records from record 0; the last row holds one.
  const rows = [
    { first: 0, count: 2, rows: 3 },
    { first: 6, count: 1, rows: 1 },
  ];
  test.each<[string, JobState[] | undefined, number]>([
    ['without the printer-state commands: the first not sent', undefined, 7],
    ['every job printed', ['done', 'done', 'done', 'done'], 7],
    ['jobs still queued will print', ['done', 'printing', 'pending', 'pending'], 7],
    ['the stop withdrew the last two rows', ['done', 'done', 'cancelled', 'cancelled'], 4],
    ['a job failed mid-run', ['done', 'failed', 'done', 'done'], 2],
    ['a spooler that forgot printed jobs lists the newest', ['cancelled'], 6],
    [
      'other jobs mixed in: states cannot be matched',
      ['done', 'done', 'done', 'done', 'cancelled'],
      7,
    ],
  ])('%s', (_name, states, first) => {
    expect(firstRecordNotDone(rows, 0, states)).toBe(first);
  });

  test('a run that sent nothing starts where it was to start', () => {
    expect(firstRecordNotDone([], 13, [])).toBe(13);
  });
});

describe('the offer to continue a cut-off batch', () => {
  test('without a printer it stays on show; with one it closes and continues', () => {
    const lines = new Map<string, LastingHint>();
    const hints: string[] = [];
    const status = {
      setLastingHint: (key: string, hint: LastingHint | undefined) =>
        hint ? lines.set(key, hint) : lines.delete(key),
      showHint: (text: string) => hints.push(text),
    } as unknown as StatusLine;
    const continued: number[] = [];
    let chosen = false;
    offerCutOffBatch(
      status,
      { next: 14, total: 30 },
      {
        continueBatch: async (p) => void continued.push(p.next),
        forget: () => {},
        printerChosen: () => chosen,
      },
    );
    const offer = () => lines.get('batch');
    expect(offer()?.text).toBe('上次批量在第 14/30 条中断');
    offer()!.actions![0].run();
    expect([hints, continued, offer() !== undefined]).toEqual([[NO_PRINTER], [], true]);
    chosen = true;
    offer()!.actions![0].run();
    expect([continued, offer()]).toEqual([[14], undefined]);
  });
});
