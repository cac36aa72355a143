// Where a cut-off or stopped run goes on: the first record not known to be printed.

import { eachJob, type PrintRecord, type RunJob } from '../document/print-history';
import type { JobState } from '../page/printer-status';
import { jobsSince, type QueueHooks } from './pacing';

/** A job the spooler withdrew, cancelled or could not print put nothing on paper. */
const NOT_PRINTED: readonly JobState[] = ['cancelled', 'failed'];

/**
 * The first record of `jobs` (sent in order, from record `from` on) not known to be printed.
 * `states` are the spooler's states of the run's jobs, oldest first, when the printer-state
 * commands answer; a spooler that forgot older (printed) jobs lists only the newest, so they
 * are matched from the end. Without states, or with more than the run sent (other jobs mixed
 * in), it is the first record not sent.
 */
export function firstRecordNotDone(
  jobs: readonly RunJob[],
  from: number,
  states?: readonly JobState[],
): number {
  const each = eachJob(jobs);
  const sent = each.reduce((end, j) => Math.max(end, j.first + j.count), from);
  if (!states || states.length > each.length) return sent;
  const offset = each.length - states.length;
  const bad = states.findIndex((s) => NOT_PRINTED.includes(s));
  return bad < 0 ? sent : Math.min(sent, each[offset + bad].first);
}

/** The run's job states from the spooler, when it answers and keeps them. */
export async function runJobStates(
  record: PrintRecord,
  queue: Pick<QueueHooks, 'printerStatus'> | undefined,
): Promise<JobState[] | undefined> {
  if (!queue || !record.run) return undefined;
  const probe = await queue.printerStatus(record.printer);
  if (probe.kind !== 'status') return undefined;
  return jobsSince(probe.status, record.run.startedMs)
    .sort((a, b) => a.id - b.id)
    .map((j) => j.state);
}

/** Where "从第 n 条继续" starts a stopped, failed or cut-off batch (from 0). */
export async function resumePoint(
  record: PrintRecord,
  queue: Pick<QueueHooks, 'printerStatus'> | undefined,
): Promise<number> {
  const jobs = record.run?.jobs ?? [];
  return firstRecordNotDone(jobs, 0, await runJobStates(record, queue));
}
