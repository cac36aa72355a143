// Sending one row: the pre-print check, composing and reading back the raster, and the request.

import { encodeBase64 } from '../compose/pack';
import type { ComposedRaster, Slots } from '../compose/row';
import type { LabelDocument } from '../document/model';
import type { PrinterOffset } from '../document/printer-profiles';
import type { Dataset } from '../merge/types';
import { Base64Text } from '../page/service-call';
import { UnreadableSymbol } from '../verify/verify';
import { dedupeIssues, recordErrors, type CheckIssue } from './check';
import { nextTask } from './next-task';
import { failureText, SENDING_TEXT, type DispatchState, type ResolvedDeps } from './dispatch-state';
import {
  buildPrintRequest,
  clampColumnCount,
  clampCopyCount,
  kilobytes,
  type PrintReply,
  type OutgoingPrintRequest,
} from './rules';
import { makeRow, RowRefused, type RowProducer } from './row-producer';

export interface RowResult {
  ok: boolean;
  bytes: number;
  elapsedMs: number;
  /** The row was refused before sending: one of its symbols did not read back. */
  unreadable?: boolean;
}

export interface RowOptions {
  layoutColumns?: number;
  copies?: number;
  record?: boolean;
  /** A reprint's data set and printer offset, instead of the store's and the printer's own. */
  dataset?: Dataset | null;
  printerOffset?: PrinterOffset;
}

export const FAILED: RowResult = { ok: false, bytes: 0, elapsedMs: 0 };

export const EMPTY_CANVAS = '画布还是空的，先加个对象';

/** A composed row, ready for its request; the printer, copies and dry-run flag come at sending. */
export interface ComposedRequest {
  columns: number;
  raster: ComposedRaster['metrics'];
  dataB64: Base64Text;
}

/**
 * A batch row made ready while the row before it is with the service: composed, or refused by
 * the pre-print check, or failed while composing. Each is reported only when the row's turn
 * comes, so nothing about a row shows before the row before it has been answered.
 */
export type PreparedRow =
  | { kind: 'ready'; composed: ComposedRequest }
  | { kind: 'refused'; errors: CheckIssue[] }
  | { kind: 'failed'; error: unknown };

/** Set when the batch no longer wants a row that is still being prepared. */
export interface Dropped {
  dropped: boolean;
}

type Prepare = () =>
  { kind: 'refused'; errors: CheckIssue[] } | Promise<ComposedRequest | undefined>;

/** A prepared batch row as `sendRow` takes it: a refusal at once, else the composed row. */
export function preparedRequest(prepared: PreparedRow): ReturnType<Prepare> {
  if (prepared.kind === 'refused') return prepared;
  if (prepared.kind === 'failed') return Promise.reject(prepared.error);
  return Promise.resolve(prepared.composed);
}

export class RowSender {
  lastRequest: OutgoingPrintRequest | undefined;

  constructor(
    private readonly deps: ResolvedDeps,
    private readonly state: DispatchState,
  ) {}

  /** The pre-print check's errors for every present slot; identical slots count once. */
  private rowErrors(doc: LabelDocument, row: Slots, dataset?: Dataset | null): CheckIssue[] {
    return dedupeIssues(row.flatMap((slot) => (slot ? this.slotErrors(doc, slot, dataset) : [])));
  }

  private slotErrors(
    doc: LabelDocument,
    slot: NonNullable<Slots[number]>,
    dataset: Dataset | null | undefined = this.deps.store.dataset,
  ): CheckIssue[] {
    return recordErrors(doc, dataset, slot);
  }

  private reportRefusal(errors: readonly CheckIssue[]): void {
    this.deps.status.setStatus('error', '打印前检查未通过');
    this.deps.status.showHint(`发现 ${errors.length} 个错误：${errors[0].message}`, 'error');
  }

  /** Every symbol is read back from the very raster that goes out, on the page. */
  private readonly pageRows: RowProducer = (doc, row, columns) =>
    makeRow(doc, row, columns, this.deps.compose);

  /** Waits for the pictures, then makes and encodes the row (the long part of a row). */
  private async composeRequest(
    doc: LabelDocument,
    row: Slots,
    layoutColumns: number | undefined,
    drop?: Dropped,
    produce: RowProducer = this.pageRows,
    dataset: Dataset | null = this.deps.store.dataset,
  ): Promise<ComposedRequest | undefined> {
    await this.deps.preload(doc);
    await nextTask();
    if (drop?.dropped) return undefined;
    const columns = clampColumnCount(layoutColumns ?? doc.print.columns);
    const raster = await produce(doc, row, columns, dataset);
    // Base64 of a row is a few milliseconds of its own; it need not share a task with drawing.
    await nextTask();
    return {
      columns,
      raster: raster.metrics,
      dataB64: new Base64Text(() => encodeBase64(raster.bytes), raster.base64),
    };
  }

  /**
   * A batch row, checked and composed ahead of its turn. The check runs one slot per task, since
   * each slot encodes its own symbols, and the batch's drop ends the work at the next step.
   */
  async prepareRow(
    doc: LabelDocument,
    row: Slots,
    drop: Dropped,
    dataset?: Dataset | null,
  ): Promise<PreparedRow> {
    const { batchRows } = this.deps;
    try {
      const errors: CheckIssue[] = [];
      // A producer of the batch's own checks its rows itself, off the page where it can.
      for (const slot of batchRows ? [] : row) {
        if (drop.dropped) return { kind: 'failed', error: new Error('dropped') };
        if (!slot) continue;
        errors.push(...this.slotErrors(doc, slot, dataset));
        await nextTask();
      }
      if (errors.length > 0) return { kind: 'refused', errors: dedupeIssues(errors) };
      const produce = batchRows ?? this.pageRows;
      const data = dataset === undefined ? this.deps.store.dataset : dataset;
      const composed = await this.composeRequest(doc, row, undefined, drop, produce, data);
      return composed
        ? { kind: 'ready', composed }
        : { kind: 'failed', error: new Error('dropped') };
    } catch (error) {
      if (error instanceof RowRefused) return { kind: 'refused', errors: error.errors };
      return { kind: 'failed', error };
    }
  }

  /** Checks and composes a row at once, for a print that was not prepared ahead. */
  sendNow(
    doc: LabelDocument,
    row: Slots,
    dryRun: boolean,
    quiet: boolean,
    options: RowOptions,
  ): Promise<RowResult> {
    return this.sendRow(doc, row, dryRun, quiet, options, () => {
      const errors = this.rowErrors(doc, row, options.dataset);
      if (errors.length > 0) return { kind: 'refused', errors };
      return this.composeRequest(
        doc,
        row,
        options.layoutColumns,
        undefined,
        this.pageRows,
        options.dataset === undefined ? this.deps.store.dataset : options.dataset,
      );
    });
  }

  /**
   * Sends one row. `prepare` answers the pre-print check at once (a refusal) or gives the
   * composed row, which a batch has usually made while the row before was in flight.
   */
  async sendRow(
    doc: LabelDocument,
    row: Slots,
    dryRun: boolean,
    quiet: boolean,
    options: RowOptions,
    prepare: Prepare,
  ): Promise<RowResult> {
    const { status } = this.deps;
    const state = this.state;
    if (state.busy) return FAILED;
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

    state.busy = true;
    state.setPrintButton(true);
    if (!quiet) status.setStatus('pending', SENDING_TEXT);
    const history = (ok: boolean, bytes: number, elapsedMs: number, copies: number) => {
      if (options.record === false) return;
      this.deps.record({
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
        printerOffset: options.printerOffset ?? this.deps.printerOffset(printer),
      });
      this.lastRequest = request;
      const reply = await this.deps.call<PrintReply>('print_sheet', { request });
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
      return error instanceof UnreadableSymbol ? { ...FAILED, unreadable: true } : FAILED;
    } finally {
      state.busy = false;
      state.setPrintButton(false);
    }
  }
}
