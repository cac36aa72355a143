// The `printer_status` and `cancel_jobs` replies as the UI areas share them: the service area
// reads them off the wire, print follows them during a batch, the print card shows them.

export type PrinterStateName = 'idle' | 'printing' | 'paused' | 'offline' | 'error';
export type JobState = 'pending' | 'printing' | 'done' | 'failed' | 'cancelled';

export interface PrinterJob {
  id: number;
  state: JobState;
  submitted_ms: number;
}

export interface PrinterStatus {
  jobs: readonly PrinterJob[];
  message: string;
  reasons: readonly string[];
  state: PrinterStateName;
}

export type StatusProbe =
  | { kind: 'status'; status: PrinterStatus }
  /** The service does not offer the command. */
  | { kind: 'missing' }
  /** Unknown printer, spooler failure or no service: unknown, never a reason to block. */
  | { kind: 'failed'; error: unknown };

export type CancelOutcome =
  { kind: 'cancelled'; count: number } | { kind: 'missing' } | { kind: 'failed'; error: unknown };

/** The two queue commands as the service area offers them and the print area calls them. */
export interface PrinterQueueCommands {
  printerStatus(printer: string): Promise<StatusProbe>;
  cancelJobs(printer: string): Promise<CancelOutcome>;
}
