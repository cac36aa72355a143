// Sending print rows to the service: one row, the document's copies, and a batch over records.

import { encodeBase64 } from '../compose/pack';
import { copyGroups, placeRow, recordContext } from '../compose/copies';
import { composeRowRaster, type ComposedRaster, type Slots } from '../compose/row';
import type { BatchPosition } from '../document/draft';
import type { PrintRecordInput } from '../document/print-history';
import type { LabelDocument } from '../document/model';
import { readPrinterOffset, type PrinterOffset } from '../document/printer-profiles';
import type { DocumentStore } from '../editor/store';
import type { StatusProbe } from '../page/printer-status';
import type { StatusLine } from '../page/status';
import { preloadImages } from '../render/sources';
import { checkDocument, type CheckIssue } from './check';
import { UnreadableSymbol } from '../verify/verify';
import {
  batchGate,
  FOLLOW_LIMIT_MS,
  followJobs,
  jobsSince,
  POLL_INTERVAL_MS,
  SERVICE_SILENT,
  STALL_MS,
  stallHint,
  stopReason,
  stopCount,
  type QueueHooks,
} from './pacing';
import { makeRow, RowRefused, type RowProducer } from './row-producer';
import {
  buildPrintRequest,
  clampColumnCount,
  clampCopyCount,
  kilobytes,
  type PrintReply,
  type PrintRequest,
} from './rules';

/** The service call as the page's client makes it (handed in by the composition root). */
export type CallService = <T = unknown>(
  command: string,
  args?: Record<string, unknown> | null,
) => Promise<T>;

/** The printer choice and reachability, owned by printer discovery. */
export interface PrinterView {
  readonly selectedPrinter: string;
  readonly serviceReachable: boolean;
}

export interface DispatchDeps {
  store: DocumentStore;
  status: StatusLine;
  call: CallService;
  printer: () => PrinterView;
  printButton: HTMLButtonElement;
  batchButton: HTMLButtonElement;
  confirm: (message: string) => boolean;
  compose?: (doc: LabelDocument, slots: Slots, columns: number) => ComposedRaster;
  preload?: (doc: LabelDocument) => Promise<void>;
  /**
   * Makes a batch's rows (checked, composed, read back, packed); without it they are checked
   * and made on the page.
   */
  batchRows?: RowProducer;
  /** Writes a print history entry; without it nothing is recorded. */
  record?: (entry: PrintRecordInput) => void;
  /** A paper batch's next record after each row, and nothing once it ends. */
  batchMoved?: (position: BatchPosition | undefined) => void;
  /** The printer's own offset, added to the document's; read at each row. */
  printerOffset?: (printer: string) => PrinterOffset;
  /** The printer-status commands; without them a print behaves as it always did. */
  queue?: QueueHooks;
  /** Told when a batch starts and ends, so the page follows its records at a bounded rate. */
  batchViews?: BatchViews;
  /** Between two status polls; tests pass a short one. */
  pollMs?: number;
  now?: () => number;
}

export interface BatchViews {
  batchStarted(): void;
  batchEnded(): void;
}

export interface RowResult {
  ok: boolean;
  bytes: number;
  elapsedMs: number;
}

export interface RowOptions {
  layoutColumns?: number;
  copies?: number;
  record?: boolean;
}

const FAILED: RowResult = { ok: false, bytes: 0, elapsedMs: 0 };

/** A composed row, ready for its request; the printer, copies and dry-run flag come at sending. */
interface ComposedRequest {
  columns: number;
  raster: ComposedRaster['metrics'];
  dataB64: string;
}

/**
 * A batch row made ready while the row before it is with the service: composed, or refused by
 * the pre-print check, or failed while composing. Each is reported only when the row's turn
 * comes, so nothing about a row shows before the row before it has been answered.
 */
type PreparedRow =
  | { kind: 'ready'; composed: ComposedRequest }
  | { kind: 'refused'; errors: CheckIssue[] }
  | { kind: 'failed'; error: unknown };

/** Set when the batch no longer wants a row that is still being prepared. */
interface Dropped {
  dropped: boolean;
}

export const EMPTY_CANVAS = '画布还是空的，先加个对象';
export const NO_COPY_PLAN = '当前多份数据策略没有可用记录，请导入数据表或改用“每份相同”。';
export const NEED_DATA = '先导入数据（CSV/Excel）';
export const BATCH_IDLE_TEXT = '批量打印全部记录';
export const BATCH_RUNNING_TEXT = '停止批量';
export const BATCH_STOPPING_TEXT = '正在停止…';
/** On the batch button while a batch runs; the style sheet stills the status pulse then. */
export const BATCH_RUNNING_CLASS = 'is-running';
const PRINT_TEXT = '打印';
const SENDING_TEXT = '正在发送…';

/**
 * Resolves in a later task, so the page can paint and take a stop click between a row's check
 * and its composition instead of running both as one long task.
 */
export function nextTask(): Promise<void> {
  return new Promise((resolve) => {
    const channel = new MessageChannel();
    channel.port1.onmessage = () => {
      // Open ports stay entangled and alive; close both.
      channel.port1.close();
      channel.port2.close();
      resolve();
    };
    channel.port2.postMessage(null);
  });
}

const sleep = (ms: number) => new Promise<void>((resolve) => setTimeout(resolve, ms));

/** A prepared batch row as `sendRow` takes it: a refusal at once, else the composed row. */
function preparedRequest(
  prepared: PreparedRow,
): { kind: 'refused'; errors: CheckIssue[] } | Promise<ComposedRequest | undefined> {
  if (prepared.kind === 'refused') return prepared;
  if (prepared.kind === 'failed') return Promise.reject(prepared.error);
  return Promise.resolve(prepared.composed);
}

/** Identical slots (copies of one label) repeat the same error; it is counted once. */
function dedupeIssues(issues: readonly CheckIssue[]): CheckIssue[] {
  return [...new Map(issues.map((i) => [`${i.objectId ?? ''}|${i.message}`, i] as const)).values()];
}

export function failureText(error: unknown): string {
  return error instanceof Error ? error.message : String(error);
}

export class PrintDispatcher {
  private busy = false;
  /** A single-print run keeps the print button disabled between its rows. */
  private holdingButton = false;
  private lastRequest: PrintRequest | undefined;
  private batch = { running: false, stopRequested: false };
  /** Ends the status probe a batch is waiting on when a stop is asked for. */
  private stopWaiter?: () => void;
  private readonly compose;
  private readonly preload;
  private readonly pageRows: RowProducer;
  private readonly batchRows: RowProducer;
  private readonly record;
  private readonly printerOffset;
  private readonly pollMs;
  private readonly now;
  /** A newer print ends the following of the one before. */
  private followRun = 0;

  constructor(private readonly deps: DispatchDeps) {
    this.compose = deps.compose ?? composeRowRaster;
    this.preload = deps.preload ?? preloadImages;
    this.pageRows = (doc, row, columns) => makeRow(doc, row, columns, this.compose);
    this.batchRows = deps.batchRows ?? this.pageRows;
    this.record = deps.record ?? (() => undefined);
    this.printerOffset = deps.printerOffset ?? ((printer: string) => readPrinterOffset(printer));
    this.pollMs = deps.pollMs ?? POLL_INTERVAL_MS;
    this.now = deps.now ?? Date.now;
  }

  get lastPrintRequest(): PrintRequest | undefined {
    return this.lastRequest;
  }

  get batchRunning(): boolean {
    return this.batch.running;
  }

  /** A print or a batch is under way. */
  get printing(): boolean {
    return this.busy || this.batch.running;
  }

  /**
   * A batch keeps the button "sending" and disabled from its first row to its end: no single
   * print can start between its rows, and no text flips back and forth per row (each change
   * costs the batch a frame of the page). Unchanged values are not written again.
   */
  private setPrintButton(sending: boolean): void {
    const button = this.deps.printButton;
    const shown = sending || this.batch.running;
    const text = shown ? SENDING_TEXT : PRINT_TEXT;
    const disabled = shown || this.holdingButton;
    if (button.textContent !== text) button.textContent = text;
    if (button.disabled !== disabled) button.disabled = disabled;
  }

  /** The pre-print check's errors for every present slot; identical slots count once. */
  private rowErrors(doc: LabelDocument, row: Slots): CheckIssue[] {
    return dedupeIssues(row.flatMap((slot) => (slot ? this.slotErrors(doc, slot) : [])));
  }

  private slotErrors(doc: LabelDocument, slot: NonNullable<Slots[number]>): CheckIssue[] {
    return checkDocument(doc, this.deps.store.dataset, slot).filter((i) => i.level === 'error');
  }

  private reportRefusal(errors: readonly CheckIssue[]): void {
    this.deps.status.setStatus('error', '打印前检查未通过');
    this.deps.status.showHint(`发现 ${errors.length} 个错误：${errors[0].message}`, 'error');
  }

  /** Waits for the pictures, then makes and encodes the row (the long part of a row). */
  private async composeRequest(
    doc: LabelDocument,
    row: Slots,
    layoutColumns: number | undefined,
    drop?: Dropped,
    produce: RowProducer = this.pageRows,
  ): Promise<ComposedRequest | undefined> {
    await this.preload(doc);
    await nextTask();
    if (drop?.dropped) return undefined;
    const columns = clampColumnCount(layoutColumns ?? doc.print.columns);
    const raster = await produce(doc, row, columns, this.deps.store.dataset);
    // Base64 of a row is a few milliseconds of its own; it need not share a task with drawing.
    await nextTask();
    return { columns, raster: raster.metrics, dataB64: encodeBase64(raster.bytes) };
  }

  /**
   * A batch row, checked and composed ahead of its turn. The check runs one slot per task, since
   * each slot encodes its own symbols, and the batch's drop ends the work at the next step.
   */
  private async prepareRow(doc: LabelDocument, row: Slots, drop: Dropped): Promise<PreparedRow> {
    try {
      const errors: CheckIssue[] = [];
      // A producer of the batch's own checks its rows itself, off the page where it can.
      for (const slot of this.deps.batchRows ? [] : row) {
        if (drop.dropped) return { kind: 'failed', error: new Error('dropped') };
        if (!slot) continue;
        errors.push(...this.slotErrors(doc, slot));
        await nextTask();
      }
      if (errors.length > 0) return { kind: 'refused', errors: dedupeIssues(errors) };
      const composed = await this.composeRequest(doc, row, undefined, drop, this.batchRows);
      return composed
        ? { kind: 'ready', composed }
        : { kind: 'failed', error: new Error('dropped') };
    } catch (error) {
      if (error instanceof RowRefused) return { kind: 'refused', errors: error.errors };
      return { kind: 'failed', error };
    }
  }

  async sendPrintRow(
    row: Slots,
    dryRun: boolean,
    quiet: boolean,
    options: RowOptions = {},
  ): Promise<RowResult> {
    const doc = this.deps.store.doc;
    return this.sendRow(doc, row, dryRun, quiet, options, () => {
      const errors = this.rowErrors(doc, row);
      if (errors.length > 0) return { kind: 'refused', errors };
      return this.composeRequest(doc, row, options.layoutColumns);
    });
  }

  /** A document of its own (the calibration label) as one label, through the same checks. */
  async printDocument(doc: LabelDocument): Promise<RowResult> {
    const row: Slots = [{}];
    return this.sendRow(doc, row, false, false, { copies: 1, layoutColumns: 1 }, () => {
      const errors = this.rowErrors(doc, row);
      if (errors.length > 0) return { kind: 'refused', errors };
      return this.composeRequest(doc, row, 1);
    });
  }

  /**
   * Sends one row. `prepare` answers the pre-print check at once (a refusal) or gives the
   * composed row, which a batch has usually made while the row before was in flight.
   * `whileSending` runs once the request is on its way.
   */
  private async sendRow(
    doc: LabelDocument,
    row: Slots,
    dryRun: boolean,
    quiet: boolean,
    options: RowOptions,
    prepare: () => { kind: 'refused'; errors: CheckIssue[] } | Promise<ComposedRequest | undefined>,
    whileSending?: () => void,
  ): Promise<RowResult> {
    const { status } = this.deps;
    if (this.busy) return FAILED;
    const printer = this.deps.printer().selectedPrinter;
    if (printer === '') {
      status.showHint('先选择打印机（或点 ↻ 重新查找）', 'error');
      return FAILED;
    }
    if (doc.objects.length === 0) {
      status.showHint(EMPTY_CANVAS, 'error');
      return FAILED;
    }
    const prepared = prepare();
    if ('kind' in prepared) {
      this.reportRefusal(prepared.errors);
      return FAILED;
    }

    this.busy = true;
    this.setPrintButton(true);
    if (!quiet) status.setStatus('pending', SENDING_TEXT);
    const history = (ok: boolean, bytes: number, elapsedMs: number, copies: number) => {
      if (options.record === false) return;
      this.record({
        docName: doc.name,
        printer,
        copies,
        records: row.filter((slot) => slot).length,
        dryRun,
        ok,
        bytes,
        elapsedMs,
      });
    };
    let copies = clampCopyCount(options.copies ?? doc.print.copies);
    try {
      const composed = await prepared;
      if (!composed) return FAILED;
      copies = clampCopyCount(options.copies ?? doc.print.copies);
      const request = buildPrintRequest(doc, {
        printer,
        columns: composed.columns,
        copies,
        raster: composed.raster,
        dataB64: composed.dataB64,
        dryRun,
        printerOffset: this.printerOffset(printer),
      });
      this.lastRequest = request;
      const pending = this.deps.call<PrintReply>('print_sheet', { request });
      whileSending?.();
      const reply = await pending;
      history(true, reply.bytes, reply.elapsed_ms, copies);
      if (!quiet) {
        if (dryRun) {
          status.setStatus('online', '自检通过');
          status.showHint(`自检通过：生成指令 ${kilobytes(reply.bytes)} KB，未送纸`);
        } else {
          status.setStatus('online', '已发送');
          status.showHint(
            `已发送 ${kilobytes(reply.bytes)} KB → ${reply.printer}（${reply.elapsed_ms} ms）`,
          );
        }
      }
      return { ok: true, bytes: reply.bytes, elapsedMs: reply.elapsed_ms };
    } catch (error) {
      history(false, 0, 0, copies);
      status.setStatus('error', dryRun ? '自检失败' : '打印失败');
      status.showHint(failureText(error), 'error');
      return FAILED;
    } finally {
      this.busy = false;
      this.setPrintButton(false);
    }
  }

  /** Single print: one job per row of the copy plan, each with printer copies 1. */
  async printCopies(dryRun: boolean): Promise<void> {
    const { store, status } = this.deps;
    // A second start while a run is under way would only fail its first row; ignore it.
    if (this.busy || this.holdingButton || this.batch.running) return;
    const plan = copyGroups(store);
    if (!plan) {
      status.showHint(NO_COPY_PLAN, 'error');
      return;
    }
    const columns = clampColumnCount(store.doc.print.columns);
    const printer = this.deps.printer().selectedPrinter;
    const docName = store.doc.name;
    const startedMs = this.now();
    this.followRun++;
    this.holdingButton = true;
    this.deps.printButton.disabled = true;
    let sent = 0;
    let bytes = 0;
    let elapsedMs = 0;
    let failed = false;
    try {
      for (const group of plan.groups) {
        status.setStatus('pending', `打印 ${sent + 1}/${plan.total}`);
        const row = placeRow(store.doc, group, columns);
        const result = await this.sendPrintRow(row, dryRun, true, {
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
      this.holdingButton = false;
      this.setPrintButton(false);
    }
    this.record({
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
      this.deps.queue?.afterPrint?.();
      void this.followJobs(printer, startedMs);
    }
  }

  /**
   * After a real print: the status line and hint follow its jobs to paper for up to a minute.
   * Only changes are written, so other messages are not repainted every second. After a batch
   * the hint keeps the batch's summary; the polls still keep the card's printer state current.
   */
  private async followJobs(printer: string, startedMs: number, batch = false): Promise<void> {
    const { queue, status } = this.deps;
    if (!queue) return;
    const run = this.followRun;
    let shown = '';
    const from = this.now();
    while (this.now() - from < FOLLOW_LIMIT_MS) {
      await sleep(this.pollMs);
      if (run !== this.followRun || this.batch.running) return;
      const probe = await queue.printerStatus(printer);
      if (run !== this.followRun || this.batch.running) return;
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

  /**
   * Before a batch row: waits while the queue holds enough of our jobs and pauses while the
   * printer stands still. Answers false when a stop was asked for meanwhile, and turns pacing off
   * for the rest of the batch when the service lacks the command.
   */
  private async paceBatch(printer: string, progress: string, pacing: { on: boolean }) {
    const { queue, status } = this.deps;
    let paused = false;
    // Progress is the queue getting shorter; a wait without it is reported once.
    let since = this.now();
    let queued = Infinity;
    let stallShown = false;
    const stalled = (state: string) => {
      if (stallShown) return;
      stallShown = true;
      status.showHint(stallHint(state), 'error');
    };
    while (pacing.on && queue) {
      if (this.batch.stopRequested) return false;
      const probe = await this.probeUnlessStopped(queue, printer, () => stalled(SERVICE_SILENT));
      if (probe === undefined) return false;
      if (probe.kind === 'missing') pacing.on = false;
      const gate = batchGate(probe);
      if (gate.kind === 'go') {
        if (paused) status.showHint('打印机已恢复，批量继续');
        return !this.batch.stopRequested;
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
          since = this.now();
          stallShown = false;
        }
        queued = gate.queued;
        status.setStatus('pending', `${progress}，等待打印机`);
        if (probe.kind === 'status' && this.now() - since >= STALL_MS) {
          stalled(stopReason(probe.status));
        }
      }
      await sleep(this.pollMs);
    }
    return !this.batch.stopRequested;
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
        this.stopWaiter = undefined;
        resolve(probe);
      };
      // A probe about to answer gets one poll interval to, so its answer still counts.
      this.stopWaiter = () => setTimeout(() => done(undefined), this.pollMs);
      void queue.printerStatus(printer).then(done);
    });
  }

  /** The batch button's click while a batch runs. */
  requestBatchStop(): void {
    if (!this.batch.running) return;
    this.batch.stopRequested = true;
    this.deps.batchButton.textContent = BATCH_STOPPING_TEXT;
    this.stopWaiter?.();
  }

  /**
   * One row per `columns` records; the current record follows the row printed, and the page
   * shows it at the rate `batchViews` allows. `from` continues a batch cut off earlier.
   */
  async printBatch(dryRun: boolean, ask = !dryRun, from = 0): Promise<void> {
    const { store, status, batchButton } = this.deps;
    if (this.batch.running) return;
    const data = store.dataset;
    if (!data || data.rows.length === 0) {
      status.showHint(NEED_DATA, 'error');
      return;
    }
    if (this.deps.printer().selectedPrinter === '') {
      status.showHint('先选择打印机', 'error');
      return;
    }
    const rows = data.rows.length;
    const printer = this.deps.printer().selectedPrinter;
    if (ask && !this.deps.confirm(`将在打印机“${printer}”上打印 ${rows} 条记录，继续？`)) return;
    const moved = dryRun ? undefined : this.deps.batchMoved;

    const remembered = store.recordIndex;
    const startedMs = this.now();
    // Pacing follows the printer only when paper really comes out.
    const pacing = { on: !dryRun && this.deps.queue !== undefined };
    const rowSizes: number[] = [];
    this.followRun++;
    this.batch = { running: true, stopRequested: false };
    batchButton.textContent = BATCH_RUNNING_TEXT;
    batchButton.classList.add(BATCH_RUNNING_CLASS);
    const columns = clampColumnCount(store.doc.print.columns);
    let done = 0;
    let outcome: 'completed' | 'stopped' | 'failed' | 'unreadable' = 'completed';
    // The record whose symbol did not read back: shown when the batch ends, and named.
    let unreadable: { record: number; error: UnreadableSymbol } | undefined;
    // Row n + 1 is checked and composed while row n is with the service, never further ahead:
    // one composed row waits at most, and a stop drops it unsent.
    const drop: Dropped = { dropped: false };
    const prepare = (first: number) => {
      const row: Slots = Array.from({ length: columns }, (_, k) =>
        first + k < rows ? recordContext(store, first + k) : undefined,
      );
      const doc = store.doc;
      return { row, doc, ready: this.prepareRow(doc, row, drop) };
    };
    let next: ReturnType<typeof prepare> | undefined;
    this.deps.batchViews?.batchStarted();
    const start = Math.max(0, Math.min(rows, Math.floor(from)));
    moved?.({ next: start, total: rows });
    try {
      for (let i = start; i < rows; i += columns) {
        if (this.batch.stopRequested) {
          outcome = 'stopped';
          break;
        }
        const current = next ?? prepare(i);
        next = undefined;
        const progress = `批量 ${Math.min(i + columns, rows)}/${rows}`;
        if (!(await this.paceBatch(printer, `批量 ${done}/${rows}`, pacing))) {
          outcome = 'stopped';
          break;
        }
        status.setStatus('pending', progress);
        const prepared = await current.ready;
        // A stop that came while this row was still being composed keeps it from going out.
        if (this.batch.stopRequested) {
          outcome = 'stopped';
          break;
        }
        if (prepared.kind === 'failed' && prepared.error instanceof UnreadableSymbol) {
          unreadable = { record: i + prepared.error.slot, error: prepared.error };
          outcome = 'unreadable';
          break;
        }
        const following = i + columns;
        const result = await this.sendRow(
          current.doc,
          current.row,
          dryRun,
          true,
          {},
          () => preparedRequest(prepared),
          () => {
            if (following < rows) next = prepare(following);
          },
        );
        if (!result.ok) {
          outcome = 'failed';
          break;
        }
        const size = current.row.filter((slot) => slot).length;
        done += size;
        rowSizes.push(size);
        if (following < rows) moved?.({ next: following, total: rows });
        store.setRecord(i);
      }
      // A stop pressed while the last row went out still withdraws what waits in the queue.
      if (outcome === 'completed' && this.batch.stopRequested) outcome = 'stopped';
    } finally {
      drop.dropped = true;
      moved?.(undefined);
      // The user sees the record that stopped the batch; otherwise the one they had.
      store.setRecord(unreadable ? unreadable.record : remembered);
      this.batch = { running: false, stopRequested: false };
      this.setPrintButton(false);
      batchButton.textContent = BATCH_IDLE_TEXT;
      batchButton.classList.remove(BATCH_RUNNING_CLASS);
      this.deps.batchViews?.batchEnded();
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
      const cancel =
        pacing.on && this.deps.queue ? await this.deps.queue.cancelJobs(printer) : undefined;
      if (cancel?.kind === 'cancelled') {
        // The spooler's own account of the jobs, where it still keeps them all; a service that
        // does not answer must not hold the stop, so the words then go without it.
        const asked = this.deps.queue?.printerStatus(printer);
        const probe = asked
          ? await Promise.race([asked, sleep(2 * this.pollMs).then(() => undefined)])
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
    } else {
      status.setStatus('online', `批量完成 ${done}/${rows}`);
      status.showHint(dryRun ? `批量自检完成 ${done} 条（未送纸）` : `已打印 ${done} 条`);
    }
    if (!dryRun) {
      this.deps.queue?.afterPrint?.();
      if (pacing.on) void this.followJobs(printer, startedMs, true);
    }
  }
}
