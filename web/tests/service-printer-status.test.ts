import { describe, expect, test } from 'vitest';
import type { CallService } from '../src/service/client';
import { createPrinterStatusClient, readPrinterStatus } from '../src/service/printer-status';

const failing =
  (message: string): CallService =>
  async () => {
    throw new Error(message);
  };
const answering =
  (reply: unknown, seen: unknown[] = []): CallService =>
  async <T>(command: string, args?: Record<string, unknown> | null) => {
    seen.push([command, args]);
    return reply as T;
  };

describe('printer status client', () => {
  test.each([
    ['404 of an older service', failing('no such api'), false, 'missing'],
    ['a bridge without the command', failing('command printer_status not found'), true, 'missing'],
    ['unknown printer', failing('spooler_error: printer not found'), false, 'failed'],
    ['no service', failing('无法连接本地打印服务'), false, 'failed'],
    [
      'a reply of the wrong shape',
      answering({ state: 'sleepy', jobs: [], reasons: [] }),
      false,
      'failed',
    ],
  ])('%s → %s', async (_name, call, viaBridge, kind) => {
    const client = createPrinterStatusClient(call, viaBridge);
    expect((await client.printerStatus('P')).kind).toBe(kind);
    // A cancel answers only a count; there is no shape to get wrong.
    if (!_name.includes('shape')) expect((await client.cancelJobs('P')).kind).toBe(kind);
  });

  test('a status and a cancel reach the service with the printer', async () => {
    const seen: unknown[] = [];
    const reply = {
      jobs: [{ id: 12, state: 'printing', submitted_ms: 5 }],
      message: '',
      reasons: ['缺纸'],
      state: 'error',
    };
    const client = createPrinterStatusClient(answering(reply, seen), false);
    expect(await client.printerStatus('Zeko')).toEqual({ kind: 'status', status: reply });
    const cancel = createPrinterStatusClient(answering({ cancelled: 3 }, seen), false);
    expect(await cancel.cancelJobs('Zeko')).toEqual({ kind: 'cancelled', count: 3 });
    expect(seen).toEqual([
      ['printer_status', { printer: 'Zeko' }],
      ['cancel_jobs', { printer: 'Zeko' }],
    ]);
  });

  test.each([
    [null],
    [{ state: 'idle', jobs: 'x', reasons: [] }],
    [{ state: 'idle', jobs: [{ id: '1', state: 'done' }], reasons: [] }],
    [{ state: 'idle', jobs: [{ id: 1, state: 'lost' }], reasons: [] }],
  ])('rejects %j', (reply) => {
    expect(readPrinterStatus(reply)).toBeUndefined();
  });
});
