// The printer's state and this program's jobs in its queue (`printer_status`), and withdrawing
// those jobs (`cancel_jobs`). An older service or a bridge without the commands turns both off:
// callers then behave as if the commands never existed.

import type {
  JobState,
  PrinterJob,
  PrinterQueueCommands,
  PrinterStateName,
  PrinterStatus,
  StatusProbe,
} from '../page/printer-status';
import type { CallService } from './client';

const STATES: readonly string[] = ['idle', 'printing', 'paused', 'offline', 'error'];
const JOB_STATES: readonly string[] = ['pending', 'printing', 'done', 'failed', 'cancelled'];

/** The HTTP service answers an unknown command with a 404 "no such api". */
export function isMissingCommand(error: unknown, viaBridge: boolean): boolean {
  if (viaBridge) return true;
  return error instanceof Error && error.message === 'no such api';
}

/** A reply of the wrong shape counts as a failure, not as a state. */
export function readPrinterStatus(reply: unknown): PrinterStatus | undefined {
  if (typeof reply !== 'object' || reply === null) return undefined;
  const r = reply as Record<string, unknown>;
  if (typeof r.state !== 'string' || !STATES.includes(r.state)) return undefined;
  if (!Array.isArray(r.jobs) || !Array.isArray(r.reasons)) return undefined;
  const jobs: PrinterJob[] = [];
  for (const job of r.jobs as unknown[]) {
    const j = job as Record<string, unknown> | null;
    if (!j || typeof j.id !== 'number' || typeof j.state !== 'string') return undefined;
    if (!JOB_STATES.includes(j.state)) return undefined;
    jobs.push({
      id: j.id,
      state: j.state as JobState,
      submitted_ms: typeof j.submitted_ms === 'number' ? j.submitted_ms : 0,
    });
  }
  return {
    jobs,
    message: typeof r.message === 'string' ? r.message : '',
    reasons: (r.reasons as unknown[]).filter((x): x is string => typeof x === 'string'),
    state: r.state as PrinterStateName,
  };
}

export function createPrinterStatusClient(
  call: CallService,
  viaBridge: boolean,
): PrinterQueueCommands {
  return {
    async printerStatus(printer) {
      try {
        const status = readPrinterStatus(await call<unknown>('printer_status', { printer }));
        if (!status) return { kind: 'failed', error: new Error('打印机状态无法识别') };
        return { kind: 'status', status };
      } catch (error) {
        return isMissingCommand(error, viaBridge) ? { kind: 'missing' } : { kind: 'failed', error };
      }
    },
    async cancelJobs(printer) {
      try {
        const reply = await call<{ cancelled?: unknown }>('cancel_jobs', { printer });
        const count = typeof reply?.cancelled === 'number' ? reply.cancelled : 0;
        return { kind: 'cancelled', count };
      } catch (error) {
        return isMissingCommand(error, viaBridge) ? { kind: 'missing' } : { kind: 'failed', error };
      }
    },
  };
}

const STATE_TEXT: Record<PrinterStateName, string> = {
  idle: '就绪',
  printing: '正在打印',
  paused: '已暂停',
  offline: '脱机',
  error: '故障',
};

/** The card's line beside the printer menu; empty when nothing is known. */
export function printerStateLine(probe: StatusProbe): {
  text: string;
  tone: 'ok' | 'busy' | 'bad' | 'none';
} {
  if (probe.kind !== 'status') return { text: '', tone: 'none' };
  const { state, reasons, jobs } = probe.status;
  const queued = jobs.filter((j) => j.state === 'pending' || j.state === 'printing').length;
  // Paused already says "已暂停"; the reason list would repeat it.
  const extra = reasons.filter((r) => r !== STATE_TEXT[state]);
  let text = `打印机${STATE_TEXT[state]}`;
  if (extra.length > 0) text += `：${extra.join('、')}`;
  if (queued > 0) text += `（队列中 ${queued} 个作业）`;
  const tone =
    state === 'idle' ? 'ok' : state === 'printing' ? 'busy' : ('bad' as 'ok' | 'busy' | 'bad');
  return { text, tone };
}
