// A single print: the document's copies, one job per row of the copy plan.

import { copyGroups, placeRow } from '../compose/copies';
import type { RunSource } from '../document/print-snapshots';
import type { MergeContext } from '../merge/types';
import type { DispatchState, ResolvedDeps, RunPlan } from './dispatch-state';
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
  plan: RunPlan = {},
): Promise<void> {
  const { store, status } = deps;
  const source = plan.source ?? store;
  // A second start while a run is under way would only fail its first row; ignore it.
  if (state.busy || state.holdingButton || state.batch.running) return;
  const copies = copyGroups({ ...source, dataContext: () => dataContext(source) });
  if (!copies) {
    status.showHint(NO_COPY_PLAN, 'error');
    return;
  }
  const doc = source.doc;
  const columns = clampColumnCount(doc.print.columns);
  const printer = deps.printer().selectedPrinter;
  const docName = doc.name;
  const startedMs = deps.now();
  // Every label of the run reads one clock; a reprint reads its original's.
  const clock = plan.clock ?? startedMs;
  const printerOffset = plan.printerOffset ?? deps.printerOffset(printer);
  const log = deps.runs?.start({
    kind: 'copies',
    docName,
    printer,
    dryRun,
    copies: 1,
    total: copies.total,
    clock,
    startedMs,
    source: { doc, dataset: source.dataset ?? null, recordIndex: source.recordIndex },
    printerOffset,
    reprintOf: plan.reprintOf,
  });
  state.followRun++;
  state.holdPrintButton();
  let sent = 0;
  let bytes = 0;
  let elapsedMs = 0;
  let failed = false;
  let refused = false;
  try {
    for (const group of copies.groups) {
      status.setStatus('pending', `打印 ${sent + 1}/${copies.total}`);
      const row = placeRow(
        doc,
        group.map((c) => ({ ...c, now: clock })),
        columns,
      );
      const result = await sender.sendNow(doc, row, dryRun, true, {
        copies: 1,
        layoutColumns: columns,
        record: false,
        dataset: source.dataset ?? null,
        printerOffset: plan.printerOffset,
      });
      if (!result.ok) {
        failed = true;
        refused = result.unreadable === true;
        break;
      }
      log?.row({ first: sent, count: group.length }, result.bytes, result.elapsedMs);
      sent += group.length;
      bytes += result.bytes;
      elapsedMs += result.elapsedMs;
    }
  } finally {
    state.releasePrintButton();
  }
  log?.end(failed ? 'failed' : 'done');
  if (!log)
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
    // Refused before anything went (an unreadable symbol): the print failed, not broke off.
    const refusedOutright = refused && sent === 0;
    status.setStatus('error', refusedOutright ? '打印失败' : `打印中断 ${sent}/${copies.total}`);
    return;
  }
  const suffix = copies.total < copies.requested ? `（数据表仅够 ${copies.total} 份）` : '';
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

/** The current record's context, as the store gives it, for any source. */
function dataContext(source: RunSource): MergeContext {
  const data = source.dataset;
  if (!data) return {};
  const index = source.recordIndex;
  return { row: data.rows[index], index, total: data.rows.length };
}
