// After a real print: its jobs followed to paper on the status line.

import { type DispatchState, type ResolvedDeps, sleep } from './dispatch-state';
import { FOLLOW_LIMIT_MS, followJobs } from './pacing';

/**
 * The status line and hint follow the print's jobs to paper for up to a minute. Only changes
 * are written, so other messages are not repainted every second. After a batch the hint keeps
 * the batch's summary; the polls still keep the card's printer state current.
 */
export async function followPrintJobs(
  deps: ResolvedDeps,
  state: DispatchState,
  printer: string,
  startedMs: number,
  batch = false,
): Promise<void> {
  const { queue, status } = deps;
  if (!queue) return;
  const run = state.followRun;
  let shown = '';
  const from = deps.now();
  while (deps.now() - from < FOLLOW_LIMIT_MS) {
    await sleep(deps.pollMs);
    if (run !== state.followRun || state.batch.running) return;
    const probe = await queue.printerStatus(printer);
    if (run !== state.followRun || state.batch.running) return;
    if (probe.kind === 'missing') return;
    // Unknown for now: the last text stands and the next poll may know more.
    if (probe.kind === 'failed') continue;
    const view = followJobs(probe.status, startedMs);
    if (!batch && view.hint !== shown) {
      shown = view.hint;
      const bad = view.state === 'failed' || view.state === 'held';
      status.setStatus(view.state === 'done' ? 'online' : bad ? 'error' : 'pending', view.title);
      status.showHint(view.hint, bad ? 'error' : 'info');
    }
    if (view.final) {
      queue.afterPrint?.();
      return;
    }
  }
}
