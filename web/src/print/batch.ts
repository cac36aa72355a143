// A batch over the data set's records: one row per `columns` records, paced by the printer.

import { recordContext } from '../compose/copies';
import type { Slots } from '../compose/row';
import type { StatusProbe } from '../page/printer-status';
import { UnreadableSymbol } from '../verify/verify';
import { type DispatchState, type ResolvedDeps, type RunPlan, sleep } from './dispatch-state';
import { followPrintJobs } from './follow-jobs';
import {
  batchGate,
  jobsSince,
  SERVICE_SILENT,
  STALL_MS,
  stallHint,
  stopCount,
  stopReason,
  type QueueHooks,
} from './pacing';
import { nextTask } from './next-task';
import { clampColumnCount, clampCopyCount } from './rules';
import { preparedRequest, type Dropped, type RowSender } from './send-row';

export const NEED_DATA = '先导入数据（CSV/Excel）';

/** Rows checked and composed ahead of the one being sent. */
const ROWS_AHEAD = 2;

export class BatchRun {
  constructor(
    private readonly deps: ResolvedDeps,
    private readonly state: DispatchState,
    private readonly sender: RowSender,
  ) {}

  /**
   * Before a batch row: waits while the queue holds enough of our jobs and pauses while the
   * printer stands still. Answers false when a stop was asked for meanwhile, and turns pacing off
   * for the rest of the batch when the service lacks the command.
   */
  private async paceBatch(printer: string, progress: string, pacing: { on: boolean }) {
    const { queue, status } = this.deps;
    const batch = () => this.state.batch;
    let paused = false;
    // Progress is the queue getting shorter; a wait without it is reported once.
    let since = this.deps.now();
    let queued = Infinity;
    let stallShown = false;
    const stalled = (state: string) => {
      if (stallShown) return;
      stallShown = true;
      status.showHint(stallHint(state), 'error');
    };
    while (pacing.on && queue) {
      if (batch().stopRequested) return false;
      const probe = await this.probeUnlessStopped(queue, printer, () => stalled(SERVICE_SILENT));
      if (probe === undefined) return false;
      if (probe.kind === 'missing') pacing.on = false;
      const gate = batchGate(probe);
      if (gate.kind === 'go') {
        if (paused) status.showHint('打印机已恢复，批量继续');
        return !batch().stopRequested;
      }
      if (gate.kind === 'pause') {
        paused = true;
        status.setStatus('error', `批量已暂停：${gate.reason}`);
        status.showHint(
          `批量已暂停：${gate.reason}。打印机恢复后自动继续，也可以停止批量`,
          'error',
        );
      } else {
        if (gate.queued < queued) {
          since = this.deps.now();
          stallShown = false;
        }
        queued = gate.queued;
        status.setStatus('pending', `${progress}，等待打印机`);
        if (probe.kind === 'status' && this.deps.now() - since >= STALL_MS) {
          stalled(stopReason(probe.status));
        }
      }
      await sleep(this.deps.pollMs);
    }
    return !batch().stopRequested;
  }

  /**
   * The printer's status, or undefined once a stop is asked for: a print system that hangs must
   * not keep the batch from stopping. A probe unanswered for `STALL_MS` calls `silent`.
   */
  private probeUnlessStopped(
    queue: QueueHooks,
    printer: string,
    silent: () => void,
  ): Promise<StatusProbe | undefined> {
    return new Promise((resolve) => {
      const timer = setTimeout(silent, STALL_MS);
      let settled = false;
      const done = (probe: StatusProbe | undefined) => {
        if (settled) return;
        settled = true;
        clearTimeout(timer);
        this.state.stopWaiter = undefined;
        resolve(probe);
      };
      // A probe about to answer gets one poll interval to, so its answer still counts.
      this.state.stopWaiter = () => setTimeout(() => done(undefined), this.deps.pollMs);
      void queue.printerStatus(printer).then(done);
    });
  }

  /**
   * The current record follows the row printed, and the page shows it at the rate `batchViews`
   * allows. `from` continues a batch cut off earlier.
   */
  async print(dryRun: boolean, ask: boolean, from: number, plan: RunPlan = {}): Promise<void> {
    const { deps, state } = this;
    const { store, status } = deps;
    if (state.batch.running) return;
    // A reprint runs from its snapshot and leaves the editor's record and draft alone.
    const source = plan.source ?? store;
    const ofStore = plan.source === undefined;
    const data = source.dataset;
    if (!data || data.rows.length === 0) {
      status.showHint(NEED_DATA, 'error');
      return;
    }
    if (deps.printer().selectedPrinter === '') {
      status.showHint('先选择打印机', 'error');
      return;
    }
    const rows = data.rows.length;
    const printer = deps.printer().selectedPrinter;
    if (ask && !deps.confirm(`将在打印机“${printer}”上打印 ${rows} 条记录，继续？`)) return;
    const moved = dryRun || !ofStore ? undefined : deps.batchMoved;
    const setRecord = (i: number) => ofStore && store.setRecord(i);
    const end = Math.max(0, Math.min(rows, Math.floor(plan.to ?? rows)));

    const remembered = store.recordIndex;
    const startedMs = deps.now();
    const clock = plan.clock ?? startedMs;
    const printerOffset = plan.printerOffset ?? deps.printerOffset(printer);
    // Pacing follows the printer only when paper really comes out.
    const pacing = { on: !dryRun && deps.queue !== undefined };
    const rowSizes: number[] = [];
    state.followRun++;
    state.startBatch();
    const columns = clampColumnCount(source.doc.print.columns);
    let outcome: 'completed' | 'stopped' | 'failed' | 'unreadable' = 'completed';
    // The record whose symbol did not read back: shown when the batch ends, and named.
    let unreadable: { record: number; error: UnreadableSymbol } | undefined;
    // Rows n + 1 and n + 2 are checked and composed while row n is encoded and with the service,
    // never further ahead: the row maker always has the next row queued (a row worker would
    // otherwise wait for each hand-over), two composed rows wait at most, and a stop drops them
    // unsent.
    const drop: Dropped = { dropped: false };
    const prepare = (first: number) => {
      const row: Slots = Array.from({ length: columns }, (_, k) =>
        first + k < end ? { ...recordContext(source, first + k), now: clock } : undefined,
      );
      const doc = source.doc;
      return { row, doc, ready: this.sender.prepareRow(doc, row, drop, data) };
    };
    const ahead: ReturnType<typeof prepare>[] = [];
    let aheadFrom = 0;
    const prepareAhead = () => {
      while (ahead.length < ROWS_AHEAD && aheadFrom < end) {
        ahead.push(prepare(aheadFrom));
        aheadFrom += columns;
      }
    };
    deps.batchViews?.batchStarted();
    const start = Math.max(0, Math.min(rows, Math.floor(from)));
    // A continuation counts on from the records its run already printed.
    let done = plan.continues ? start : 0;
    const log = deps.runs?.start({
      kind: 'batch',
      docName: source.doc.name,
      printer,
      dryRun,
      copies: clampCopyCount(source.doc.print.copies),
      total: rows,
      clock,
      startedMs,
      source: { doc: source.doc, dataset: data, recordIndex: source.recordIndex },
      printerOffset,
      reprintOf: plan.reprintOf,
      continues: plan.continues,
      from: start,
    });
    moved?.({ next: start, total: rows, entry: log?.id });
    try {
      for (let i = start; i < end; i += columns) {
        if (state.batch.stopRequested) {
          outcome = 'stopped';
          break;
        }
        if (ahead.length === 0) {
          ahead.push(prepare(i));
          aheadFrom = i + columns;
        }
        const current = ahead.shift()!;
        const progress = `批量 ${Math.min(i + columns, rows)}/${rows}`;
        if (!(await this.paceBatch(printer, `批量 ${done}/${rows}`, pacing))) {
          outcome = 'stopped';
          break;
        }
        status.setStatus('pending', progress);
        const prepared = await current.ready;
        // A stop that came while this row was still being composed keeps it from going out.
        if (state.batch.stopRequested) {
          outcome = 'stopped';
          break;
        }
        if (prepared.kind === 'failed' && prepared.error instanceof UnreadableSymbol) {
          unreadable = { record: i + prepared.error.slot, error: prepared.error };
          outcome = 'unreadable';
          break;
        }
        const following = i + columns;
        // The next rows are under way while this one is encoded and sent.
        prepareAhead();
        // The row before was answered in this task; its bookkeeping and this row's request
        // would make one long task of two rows' work, which a busy page feels.
        await nextTask();
        const result = await this.sender.sendRow(
          current.doc,
          current.row,
          dryRun,
          true,
          // The printer's own offset is read at each row, a reprint's comes from its snapshot.
          log ? { record: false, dataset: data, printerOffset: plan.printerOffset } : {},
          () => preparedRequest(prepared),
        );
        if (!result.ok) {
          outcome = 'failed';
          break;
        }
        const size = current.row.filter((slot) => slot).length;
        done += size;
        rowSizes.push(size);
        log?.row({ first: i, count: size }, result.bytes, result.elapsedMs);
        if (following < end) moved?.({ next: following, total: rows, entry: log?.id });
        setRecord(i);
      }
      // A stop pressed while the last row went out still withdraws what waits in the queue.
      if (outcome === 'completed' && state.batch.stopRequested) outcome = 'stopped';
    } finally {
      drop.dropped = true;
      moved?.(undefined);
      // The user sees the record that stopped the batch; otherwise the one they had.
      setRecord(unreadable ? unreadable.record : remembered);
      log?.end(outcome === 'completed' ? 'done' : outcome === 'failed' ? 'failed' : 'stopped');
      state.endBatch();
      deps.batchViews?.batchEnded();
    }
    if (unreadable) {
      const { name, error: reason } = unreadable.error.verdict;
      status.setStatus('error', `批量已停止 ${done}/${rows}`);
      status.showHint(
        `第 ${unreadable.record + 1} 条记录的 ${name} 无法识读：${reason}，批量已停止 ${done}/${rows}`,
        'error',
      );
    } else if (outcome === 'failed') {
      status.setStatus('error', `批量中断 ${done}/${rows}`);
    } else if (outcome === 'stopped') {
      await this.reportStop(printer, startedMs, rows, done, rowSizes, pacing.on);
    } else {
      status.setStatus('online', `批量完成 ${done}/${rows}`);
      status.showHint(dryRun ? `批量自检完成 ${done} 条（未送纸）` : `已打印 ${done} 条`);
    }
    if (!dryRun) {
      deps.queue?.afterPrint?.();
      if (pacing.on) void followPrintJobs(deps, state, printer, startedMs, true);
    }
  }

  /** A stopped batch withdraws what still waits in the queue and says how much went out. */
  private async reportStop(
    printer: string,
    startedMs: number,
    rows: number,
    done: number,
    rowSizes: readonly number[],
    paced: boolean,
  ): Promise<void> {
    const { queue, status, pollMs } = this.deps;
    const cancel = paced && queue ? await queue.cancelJobs(printer) : undefined;
    if (cancel?.kind === 'cancelled') {
      // The spooler's own account of the jobs, where it still keeps them all; a service that
      // does not answer must not hold the stop, so the words then go without it.
      const asked = queue?.printerStatus(printer);
      const probe = asked
        ? await Promise.race([asked, sleep(2 * pollMs).then(() => undefined)])
        : undefined;
      const jobs = probe?.kind === 'status' ? jobsSince(probe.status, startedMs) : undefined;
      const count = stopCount(rowSizes, cancel.count, jobs);
      const about = count.exact ? '' : '约 ';
      status.setStatus('idle', `批量已停止 ${count.printed}/${rows}`);
      status.showHint(
        `批量已停止：${about}${count.printed} 条已送往打印机，${about}${count.withdrawn} 条已从队列撤回`,
      );
    } else {
      status.setStatus('idle', `批量已停止 ${done}/${rows}`);
      status.showHint(`批量已停止，已处理 ${done} 条`);
    }
  }
}
