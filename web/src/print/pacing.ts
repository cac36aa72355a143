// Rules for following the printer: when a batch may send its next row, and what a single print's
// jobs are doing. Plain functions over the `printer_status` reply, so they are tested as tables.

import type {
  JobState,
  PrinterJob,
  PrinterStateName,
  PrinterQueueCommands,
  PrinterStatus,
  StatusProbe,
} from '../page/printer-status';

/** The queue commands as the composition root hands them to print; absent means off. */
export interface QueueHooks extends PrinterQueueCommands {
  /** After each print, so the card's state line catches up. */
  afterPrint?(): void;
}

/** A batch sends its next row only while at most this many of our jobs are still queued. */
export const MAX_QUEUED_JOBS = 2;
export const POLL_INTERVAL_MS = 1000;
export const FOLLOW_LIMIT_MS = 60_000;
/** A batch that waits this long without the queue moving says what it waits for. */
export const STALL_MS = 30_000;
/** The printer's state while a stalled batch waits, when the print service does not answer. */
export const SERVICE_SILENT = '打印服务没有回应';

export function stallHint(state: string): string {
  // The sentence names the printer already: "（正在打印）", not "（打印机正在打印）".
  const bare = state.startsWith('打印机') && state.length > 3 ? state.slice(3) : state;
  return `打印机 30 秒没有接收数据（${bare}），可以继续等待或停止批量`;
}

const STOPPING_STATES: readonly PrinterStateName[] = ['paused', 'offline', 'error'];
const STATE_REASON: Record<PrinterStateName, string> = {
  idle: '就绪',
  printing: '正在打印',
  paused: '已暂停',
  offline: '脱机',
  error: '打印机故障',
};

const isQueued = (state: JobState) => state === 'pending' || state === 'printing';

/**
 * The printer's own words for why it stands still, with the printer as their subject: "缺纸"
 * reads "打印机缺纸", "已暂停" "打印机已暂停". The spooler's message is its own sentence.
 */
export function stopReason(status: PrinterStatus): string {
  if (status.reasons.length > 0) return printerPhrase(status.reasons.join('、'));
  if (status.message !== '') return status.message;
  return printerPhrase(STATE_REASON[status.state]);
}

/** Printer reasons as the hint's subject: "缺纸" reads "打印机缺纸". */
function printerPhrase(reason: string): string {
  return reason.includes('打印机') ? reason : `打印机${reason}`;
}

export type BatchGate =
  { kind: 'go' } | { kind: 'wait'; queued: number } | { kind: 'pause'; reason: string };

/**
 * A printer that stands still pauses the batch whatever the queue holds; otherwise the batch
 * waits while the spooler still holds more than `MAX_QUEUED_JOBS` of our jobs, so a stop withdraws
 * nearly everything not yet on paper.
 */
export function batchGate(probe: StatusProbe): BatchGate {
  // Without the command, or when the state is unknown, the batch runs as it always did.
  if (probe.kind !== 'status') return { kind: 'go' };
  const { status } = probe;
  if (STOPPING_STATES.includes(status.state)) return { kind: 'pause', reason: stopReason(status) };
  const queued = status.jobs.filter((j) => isQueued(j.state)).length;
  return queued > MAX_QUEUED_JOBS ? { kind: 'wait', queued } : { kind: 'go' };
}

/**
 * Records withdrawn by a cancel of `cancelled` jobs: the spooler holds our jobs in sending order
 * and the one on paper is never withdrawn, so the cancelled ones are the last rows sent.
 */
export function withdrawnRecords(rowSizes: readonly number[], cancelled: number): number {
  const n = Math.max(0, Math.min(cancelled, rowSizes.length));
  return rowSizes.slice(rowSizes.length - n).reduce((a, b) => a + b, 0);
}

export interface StopCount {
  printed: number;
  withdrawn: number;
  /** False when the spooler no longer lists every job (Windows drops printed ones). */
  exact: boolean;
}

/**
 * What a stopped batch came to. When the spooler still lists one job per row sent, its own states
 * count: a job done or on paper was printed, a cancelled one withdrawn. Otherwise the cancel's
 * count is all there is, and the figures are estimates.
 */
export function stopCount(
  rowSizes: readonly number[],
  cancelled: number,
  jobs: readonly PrinterJob[] | undefined,
): StopCount {
  const sent = rowSizes.reduce((a, b) => a + b, 0);
  const settled = (j: PrinterJob) => ['done', 'printing', 'cancelled'].includes(j.state);
  if (jobs && jobs.length === rowSizes.length && jobs.every(settled)) {
    const ordered = [...jobs].sort((a, b) => a.id - b.id);
    const withdrawn = ordered.reduce(
      (n, j, i) => n + (j.state === 'cancelled' ? rowSizes[i] : 0),
      0,
    );
    return { printed: sent - withdrawn, withdrawn, exact: true };
  }
  const withdrawn = withdrawnRecords(rowSizes, cancelled);
  // Nothing sent is nothing to estimate.
  return { printed: sent - withdrawn, withdrawn, exact: rowSizes.length === 0 };
}

/** The jobs submitted since `sinceMs`; CUPS keeps whole seconds. */
export function jobsSince(status: PrinterStatus, sinceMs: number): PrinterJob[] {
  return status.jobs.filter((j) => j.submitted_ms >= Math.floor(sinceMs / 1000) * 1000);
}

export type FollowState = 'queued' | 'printing' | 'done' | 'failed' | 'held';

export interface FollowView {
  state: FollowState;
  /** True once nothing more will change. */
  final: boolean;
  title: string;
  hint: string;
}

/**
 * What the jobs sent since `sinceMs` are doing. CUPS keeps whole seconds, so a job submitted in
 * the same second as the send still belongs to it. A job Windows already dropped from its queue
 * (printed) simply is not listed: no listed job counts as done.
 */
export function followJobs(status: PrinterStatus, sinceMs: number): FollowView {
  const ours = jobsSince(status, sinceMs);
  if (ours.some((j) => j.state === 'failed'))
    return { state: 'failed', final: true, title: '打印失败', hint: '打印机未能完成作业' };
  if (ours.some((j) => j.state === 'printing'))
    return { state: 'printing', final: false, title: '正在打印', hint: '打印机正在打印' };
  const waiting = ours.filter((j) => j.state === 'pending').length;
  if (waiting === 0) {
    const cancelled = ours.length > 0 && ours.every((j) => j.state === 'cancelled');
    return cancelled
      ? { state: 'failed', final: true, title: '作业已撤回', hint: '作业已从队列撤回' }
      : { state: 'done', final: true, title: '打印完成', hint: '打印完成' };
  }
  if (STOPPING_STATES.includes(status.state)) {
    const reason = stopReason(status);
    return {
      state: 'held',
      final: false,
      title: reason,
      hint: `${reason}，作业在队列中等待`,
    };
  }
  return {
    state: 'queued',
    final: false,
    title: '排队中',
    hint: waiting === 1 ? '作业在队列中等待' : `${waiting} 个作业在队列中等待`,
  };
}
