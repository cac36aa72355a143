// A single print: the document's copies, one job per row of the copy plan.

import { copyGroups, placeRow } from '../compose/copies';
import type { DispatchState, ResolvedDeps } from './dispatch-state';
import { followPrintJobs } from './follow-jobs';
import { clampColumnCount, kilobytes } from './rules';
import type { RowSender } from './send-row';

export const NO_COPY_PLAN = '当前多份数据策略没有可用记录，请导入数据表或改用“每份相同”。';

/** Each row goes with printer copies 1; the history gets one entry for the whole run. */
export async function printCopies(
  deps: ResolvedDeps,
  state: DispatchState,
  sender: RowSender,
  dryRun: boolean,
): Promise<void> {
  const { store, status } = deps;
  // A second start while a run is under way would only fail its first row; ignore it.
  if (state.busy || state.holdingButton || state.batch.running) return;
  const plan = copyGroups(store);
  if (!plan) {
    status.showHint(NO_COPY_PLAN, 'error');
    return;
  }
  const columns = clampColumnCount(store.doc.print.columns);
  const printer = deps.printer().selectedPrinter;
  const docName = store.doc.name;
  const startedMs = deps.now();
  state.followRun++;
  state.holdPrintButton();
  let sent = 0;
  let bytes = 0;
  let elapsedMs = 0;
  let failed = false;
  try {
    for (const group of plan.groups) {
      status.setStatus('pending', `打印 ${sent + 1}/${plan.total}`);
      const row = placeRow(store.doc, group, columns);
      const result = await sender.sendNow(store.doc, row, dryRun, true, {
        copies: 1,
        layoutColumns: columns,
        record: false,
      });
      if (!result.ok) {
        failed = true;
        break;
      }
      sent += group.length;
      bytes += result.bytes;
      elapsedMs += result.elapsedMs;
    }
  } finally {
    state.releasePrintButton();
  }
  deps.record({
    docName,
    printer,
    copies: sent,
    records: sent,
    dryRun,
    ok: !failed,
    bytes,
    elapsedMs,
  });
  if (failed) {
    status.setStatus('error', `打印中断 ${sent}/${plan.total}`);
    return;
  }
  const suffix = plan.total < plan.requested ? `（数据表仅够 ${plan.total} 份）` : '';
  if (dryRun) {
    status.setStatus('online', '自检通过');
    status.showHint(`自检通过：单张 ${sent} 份${suffix}（未送纸）`);
  } else {
    status.setStatus('online', '已发送');
    status.showHint(`已发送 ${sent} 份${suffix}，共 ${kilobytes(bytes)} KB`);
    deps.queue?.afterPrint?.();
    void followPrintJobs(deps, state, printer, startedMs);
  }
}
