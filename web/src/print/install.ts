// Print dispatch's controls: the print card's buttons, the preview, dialog and check sheets.

import type { RecordBackend, WriteResult } from '../document/database';
import type { BatchPosition } from '../document/draft';
import { appendPrintHistory, type PrintRecordInput } from '../document/print-history';
import type { DocumentStore } from '../store/document-store';
import type { Elements } from '../page/elements';
import { plainJson } from '../page/service-call';
import { closeSheet } from '../page/sheets';
import type { StatusLine } from '../page/status';
import { installCalibration, NO_PRINTER, type CalibrationElements } from './calibration-sheet';
import { batchBrowserPrint, singleBrowserPrint, type BrowserPrintDeps } from './browser-print';
import { installCheckSheet, showCheckSheet, type CheckSheetElements } from './check-sheet';
import { installPrintDialog, type PrintDialogElements } from './dialog';
import { PrintDispatcher, type BatchViews, type CallService, type PrinterView } from './dispatch';
import type { QueueHooks } from './pacing';
import { showPrintPreview, type PreviewElements } from './preview';
import { continueCutOff, historyActions, type HistoryActions } from './reprint';
import type { PrintRequest } from './rules';
import { HistoryJournal } from './run-journal';
import { readBackTotals } from '../verify/verify';
import { workerRowProducer } from './row-producer';

export type PrintElements = CheckSheetElements &
  CalibrationElements &
  PrintDialogElements &
  PreviewElements &
  Pick<
    Elements,
    | 'btn-print'
    | 'btn-preview'
    | 'btn-browser-print'
    | 'btn-batch'
    | 'btn-check'
    | 'preview-close'
    | 'preview-print'
  >;

export interface PrintDeps {
  status: StatusLine;
  call: CallService;
  /** The printer choice and service state, read at the moment of each print. */
  printer: () => PrinterView;
  /** The printer-status commands, when the service offers them. */
  queue?: QueueHooks;
  /** The page's views, paced while a batch runs. */
  batchViews?: BatchViews;
  /** Where the print history is kept. */
  records: Promise<RecordBackend>;
  /** A paper batch's position after each row, and nothing once it ends. */
  batchMoved?: (position: BatchPosition | undefined) => void;
}

/** Members of the automation hook; `lastPrintRequest` is a getter. */
export interface PrintAutomation {
  printDry(): Promise<void>;
  batchDry(): Promise<void>;
  print(): Promise<void>;
  preview(): Promise<void>;
  readonly lastPrintRequest: PrintRequest | undefined;
  /** Rows and symbols read back before printing so far, and the milliseconds it took. */
  readonly readBack: Readonly<typeof readBackTotals>;
}

export interface PrintApi {
  /** Ctrl/Meta+P. */
  openPreview(): void;
  /** The buttons that need objects; a structure-change view. */
  refreshPrintControls(): void;
  /** A print or a batch is under way. */
  printing(): boolean;
  /** Prints a cut-off batch on from the first record not known printed, without asking. */
  continueBatch(position: BatchPosition): Promise<void>;
  /** Reprint, part reprint and continuation from the history list. */
  history: HistoryActions;
  /** The print card's offset line, for the printer now selected. */
  refreshPrinterOffset(): void;
  automation: PrintAutomation;
}

export function batchCutOffText(position: BatchPosition): string {
  return `上次批量在第 ${position.next}/${position.total} 条中断`;
}

/**
 * Offers to continue a batch the last page left unfinished, or to forget it. Without a printer
 * the offer stays, so it can be taken once one is chosen.
 */
export function offerCutOffBatch(
  status: StatusLine,
  position: BatchPosition,
  hooks: {
    continueBatch(position: BatchPosition): Promise<void>;
    forget(): void;
    printerChosen(): boolean;
  },
): void {
  const close = () => status.setLastingHint?.('batch', undefined);
  const resume = () => {
    if (!hooks.printerChosen()) {
      status.showHint(NO_PRINTER, 'error');
      return;
    }
    close();
    void hooks.continueBatch(position);
  };
  status.setLastingHint?.('batch', {
    text: batchCutOffText(position),
    tone: 'info',
    actions: [
      { label: '继续打印', run: resume },
      { label: '忽略', run: () => (close(), hooks.forget()) },
    ],
  });
}

export function historyFailedHint(reason: string): string {
  return `打印记录未能保存：${reason}`;
}

/** The first failed history write of a page's life stays on show until one lands. */
function historyWritten(status: StatusLine): (result: WriteResult) => void {
  let warned = false;
  return (result) => {
    if (result.ok) status.setLastingHint?.('history', undefined);
    else if (!warned) {
      warned = true;
      const text = historyFailedHint(result.reason);
      status.setLastingHint?.('history', { text, tone: 'error' });
    }
  };
}

/** Writes history entries, saying when they do not land. */
export function historyRecorder(
  records: Promise<RecordBackend>,
  written: (result: WriteResult) => void,
): (entry: PrintRecordInput) => void {
  return (entry) =>
    void records.then((backend) => appendPrintHistory(entry, backend)).then(written);
}

export function installPrint(el: PrintElements, store: DocumentStore, deps: PrintDeps): PrintApi {
  const { status } = deps;
  const written = historyWritten(status);
  const { records } = deps;
  const record = historyRecorder(records, written);
  const journal = new HistoryJournal(records, written);
  const batchRows = workerRowProducer();
  const dispatcher = new PrintDispatcher({
    store,
    status,
    call: deps.call,
    printer: deps.printer,
    printButton: el['btn-print'],
    batchButton: el['btn-batch'],
    confirm: (message) => window.confirm(message),
    queue: deps.queue,
    batchViews: deps.batchViews,
    record,
    runs: journal,
    batchMoved: deps.batchMoved,
    batchRows,
  });
  const browser: BrowserPrintDeps = { store, status, record };

  // Must stay synchronous up to the window's opening: it runs inside the user's click.
  const startSinglePrint = () => {
    if (deps.printer().serviceReachable) void dispatcher.printCopies(false);
    else void singleBrowserPrint(browser);
  };
  const dialog = installPrintDialog(el, {
    store,
    status,
    printer: deps.printer,
    print: startSinglePrint,
  });
  const preview = () => showPrintPreview(el, store, status);
  installCheckSheet(el);
  const calibration = installCalibration(el, store, {
    status,
    call: deps.call,
    printer: deps.printer,
    printDocument: (doc) => dispatcher.printDocument(doc),
  });

  el['btn-print'].addEventListener('click', () => dialog.openPrintDialog());
  el['btn-preview'].addEventListener('click', () => void preview());
  el['preview-close'].addEventListener('click', () => closeSheet(el['preview-sheet']));
  el['preview-print'].addEventListener('click', () => {
    closeSheet(el['preview-sheet']);
    startSinglePrint();
  });
  el['btn-browser-print'].addEventListener('click', () => void singleBrowserPrint(browser));
  el['btn-batch'].addEventListener('click', () => {
    if (dispatcher.batchRunning) dispatcher.requestBatchStop();
    else if (deps.printer().serviceReachable) void dispatcher.printBatch(false);
    else void batchBrowserPrint(browser);
  });
  el['btn-check'].addEventListener('click', () => showCheckSheet(el, store));

  return {
    openPreview: () => void preview(),
    refreshPrintControls: () => {
      const empty = store.doc.objects.length === 0;
      el['btn-preview'].disabled = empty;
      el['btn-check'].disabled = empty;
      el['btn-batch'].hidden = !store.dataset || store.dataset.rows.length === 0;
      // A batch is possible from now on: its worker starts ahead of the first row.
      if (!el['btn-batch'].hidden) batchRows.warm();
    },
    printing: () => dispatcher.printing,
    continueBatch: (position) => continueCutOff(dispatcher, records, deps.queue, position),
    history: historyActions(dispatcher, journal, records, status, deps.queue),
    refreshPrinterOffset: calibration.refreshPrinterOffset,
    automation: {
      printDry: () => dispatcher.printCopies(true),
      batchDry: () => dispatcher.printBatch(true, false),
      print: () => dispatcher.printCopies(false),
      preview,
      // As the service got it: plain JSON, the raster as a string.
      get lastPrintRequest() {
        const last = dispatcher.lastPrintRequest;
        return last && (plainJson(last) as PrintRequest);
      },
      get readBack() {
        return { ...readBackTotals };
      },
    },
  };
}
