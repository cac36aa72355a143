// Sending print rows to the service: one row, the document's copies, and a batch over records.
// Each flow lives in its own file; this class holds their shared state and is what the page uses.

import type { Slots } from '../compose/row';
import type { LabelDocument } from '../document/model';
import { BatchRun } from './batch';
import { DispatchState, resolveDeps, type DispatchDeps, type RunPlan } from './dispatch-state';
import { printCopies } from './print-copies';
import type { OutgoingPrintRequest } from './rules';
import { RowSender, type RowOptions, type RowResult } from './send-row';

export type { CallService, PrinterView } from '../page/service-call';
export { NEED_DATA } from './batch';
export {
  BATCH_IDLE_TEXT,
  BATCH_RUNNING_CLASS,
  BATCH_RUNNING_TEXT,
  BATCH_STOPPING_TEXT,
  failureText,
  type BatchViews,
  type DispatchDeps,
  type RunPlan,
} from './dispatch-state';
export { NO_COPY_PLAN } from './print-copies';
export { EMPTY_CANVAS, type RowOptions, type RowResult } from './send-row';

export class PrintDispatcher {
  private readonly deps;
  private readonly state: DispatchState;
  private readonly sender: RowSender;
  private readonly batchRun: BatchRun;

  constructor(deps: DispatchDeps) {
    this.deps = resolveDeps(deps);
    this.state = new DispatchState(deps.printButton, deps.batchButton);
    this.sender = new RowSender(this.deps, this.state);
    this.batchRun = new BatchRun(this.deps, this.state, this.sender);
  }

  get lastPrintRequest(): OutgoingPrintRequest | undefined {
    return this.sender.lastRequest;
  }

  get batchRunning(): boolean {
    return this.state.batch.running;
  }

  /** A print or a batch is under way. */
  get printing(): boolean {
    return this.state.busy || this.state.batch.running;
  }

  sendPrintRow(
    row: Slots,
    dryRun: boolean,
    quiet: boolean,
    options: RowOptions = {},
  ): Promise<RowResult> {
    return this.sender.sendNow(this.deps.store.doc, row, dryRun, quiet, options);
  }

  /** A document of its own (the calibration label) as one label, through the same checks. */
  printDocument(doc: LabelDocument): Promise<RowResult> {
    return this.sender.sendNow(doc, [{}], false, false, { copies: 1, layoutColumns: 1 });
  }

  /** Single print: one job per row of the copy plan, each with printer copies 1. */
  printCopies(dryRun: boolean, plan?: RunPlan): Promise<void> {
    return printCopies(this.deps, this.state, this.sender, dryRun, plan);
  }

  /** The batch button's click while a batch runs. */
  requestBatchStop(): void {
    this.state.requestStop();
  }

  /** One row per `columns` records. `from` continues a batch cut off earlier. */
  printBatch(dryRun: boolean, ask = !dryRun, from = 0, plan?: RunPlan): Promise<void> {
    return this.batchRun.print(dryRun, ask, from, plan);
  }
}
