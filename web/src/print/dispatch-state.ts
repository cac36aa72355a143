// What the dispatcher's flows share: their dependencies, the run flags and the two buttons.

import { composeRowRasterAsync } from '../compose/row';
import type { BatchPosition } from '../document/draft';
import type { LabelDocument } from '../document/model';
import type { PrintRecord, PrintRecordInput } from '../document/print-history';
import type { RunSource } from '../document/print-snapshots';
import { readPrinterOffset, type PrinterOffset } from '../document/printer-profiles';
import type { DocumentStore } from '../store/document-store';
import type { CallService, PrinterView } from '../page/service-call';
import type { StatusLine } from '../page/status';
import { preloadImages } from '../render/sources';
import type { RowComposer, RowProducer } from './row-producer';
import { POLL_INTERVAL_MS, type QueueHooks } from './pacing';
import type { RunJournal } from './run-journal';

export interface DispatchDeps {
  store: DocumentStore;
  status: StatusLine;
  call: CallService;
  printer: () => PrinterView;
  printButton: HTMLButtonElement;
  batchButton: HTMLButtonElement;
  confirm: (message: string) => boolean;
  compose?: RowComposer;
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
  /** Keeps each run's history record and snapshot; without it rows write their own records. */
  runs?: RunJournal;
  /** Between two status polls; tests pass a short one. */
  pollMs?: number;
  now?: () => number;
}

/**
 * A run that does not simply print the store as it is now: a reprint from a snapshot, a part of
 * one, or the continuation of a stopped run (which keeps that run's record).
 */
export interface RunPlan {
  source?: RunSource;
  /** The original run's clock, so dates and times print as they did. */
  clock?: number;
  printerOffset?: PrinterOffset;
  /** The record after the last one to print (a part of a batch). */
  to?: number;
  reprintOf?: number;
  continues?: PrintRecord;
}

export interface BatchViews {
  batchStarted(): void;
  batchEnded(): void;
}

/** The dependencies with their defaults filled in. */
export type ResolvedDeps = DispatchDeps &
  Required<
    Pick<DispatchDeps, 'compose' | 'preload' | 'record' | 'printerOffset' | 'pollMs' | 'now'>
  >;

export function resolveDeps(deps: DispatchDeps): ResolvedDeps {
  return {
    ...deps,
    compose: deps.compose ?? composeRowRasterAsync,
    preload: deps.preload ?? preloadImages,
    record: deps.record ?? (() => undefined),
    printerOffset: deps.printerOffset ?? ((printer: string) => readPrinterOffset(printer)),
    pollMs: deps.pollMs ?? POLL_INTERVAL_MS,
    now: deps.now ?? Date.now,
  };
}

export const BATCH_IDLE_TEXT = '批量打印全部记录';
export const BATCH_RUNNING_TEXT = '停止批量';
export const BATCH_STOPPING_TEXT = '正在停止…';
/** On the batch button while a batch runs; the style sheet stills the status pulse then. */
export const BATCH_RUNNING_CLASS = 'is-running';
const PRINT_TEXT = '打印';
export const SENDING_TEXT = '正在发送…';

/** The flags every flow reads, and the buttons that show them. */
export class DispatchState {
  /** A row is with the service. */
  busy = false;
  /** A single-print run keeps the print button disabled between its rows. */
  holdingButton = false;
  batch = { running: false, stopRequested: false };
  /** Ends the status probe a batch is waiting on when a stop is asked for. */
  stopWaiter?: () => void;
  /** A newer print ends the following of the one before. */
  followRun = 0;

  constructor(
    private readonly printButton: HTMLButtonElement,
    private readonly batchButton: HTMLButtonElement,
  ) {}

  /**
   * A batch keeps the button "sending" and disabled from its first row to its end: no single
   * print can start between its rows, and no text flips back and forth per row (each change
   * costs the batch a frame of the page). Unchanged values are not written again.
   */
  setPrintButton(sending: boolean): void {
    const button = this.printButton;
    const shown = sending || this.batch.running;
    const text = shown ? SENDING_TEXT : PRINT_TEXT;
    const disabled = shown || this.holdingButton;
    if (button.textContent !== text) button.textContent = text;
    if (button.disabled !== disabled) button.disabled = disabled;
  }

  holdPrintButton(): void {
    this.holdingButton = true;
    this.printButton.disabled = true;
  }

  releasePrintButton(): void {
    this.holdingButton = false;
    this.setPrintButton(false);
  }

  startBatch(): void {
    this.batch = { running: true, stopRequested: false };
    this.batchButton.textContent = BATCH_RUNNING_TEXT;
    this.batchButton.classList.add(BATCH_RUNNING_CLASS);
  }

  /** The batch button's click while a batch runs. */
  requestStop(): void {
    if (!this.batch.running) return;
    this.batch.stopRequested = true;
    this.batchButton.textContent = BATCH_STOPPING_TEXT;
    this.stopWaiter?.();
  }

  endBatch(): void {
    this.batch = { running: false, stopRequested: false };
    this.setPrintButton(false);
    this.batchButton.textContent = BATCH_IDLE_TEXT;
    this.batchButton.classList.remove(BATCH_RUNNING_CLASS);
  }
}

export const sleep = (ms: number) => new Promise<void>((resolve) => setTimeout(resolve, ms));

export function failureText(error: unknown): string {
  return error instanceof Error ? error.message : String(error);
}
