// A run's history record: written when it starts, with the snapshot a reprint needs, and kept up
// to date as its jobs go out, so a run cut off by a closed tab still tells how far it got.

import type { RecordBackend, WriteResult } from '../document/database';
import {
  addJob,
  eachJob,
  newPrintRecord,
  storePrintRecord,
  updatePrintRecord,
  type PrintRecord,
  type RunJob,
  type RunState,
} from '../document/print-history';
import { keepSnapshot, type RunSource } from '../document/print-snapshots';
import type { PrinterOffset } from '../document/printer-profiles';

export interface RunStart {
  kind: 'copies' | 'batch';
  docName: string;
  printer: string;
  dryRun: boolean;
  /** Printer copies of each label. */
  copies: number;
  total: number;
  clock: number;
  startedMs: number;
  source: RunSource;
  printerOffset: PrinterOffset;
  reprintOf?: number;
  /** The record of the run this one continues from record `from`. */
  continues?: PrintRecord;
  from?: number;
}

export interface RunLog {
  /** The record's id, which a cut-off batch's draft names. */
  readonly id: string;
  /** A job of `count` records from `first` went out. */
  row(job: { first: number; count: number }, bytes: number, elapsedMs: number): void;
  end(state: Exclude<RunState, 'running'>): void;
}

export interface RunJournal {
  start(run: RunStart): RunLog;
}

export class HistoryJournal implements RunJournal {
  private chain: Promise<unknown> = Promise.resolve();
  private readonly live = new Set<string>();

  constructor(
    private readonly backend: Promise<RecordBackend>,
    private readonly written: (result: WriteResult) => void,
    private readonly budget?: number,
  ) {}

  /** A record still `running` that this page is not running was cut off. */
  isLive(id: string): boolean {
    return this.live.has(id);
  }

  /** Resolves once every write asked for so far has landed or failed. */
  settled(): Promise<unknown> {
    return this.chain;
  }

  private queue(write: (backend: RecordBackend) => Promise<unknown>): void {
    this.chain = this.chain.then(async () => write(await this.backend)).catch(() => undefined);
  }

  start(run: RunStart): RunLog {
    let record = this.firstRecord(run);
    this.live.add(record.id);
    const fresh = !run.continues;
    this.queue(async (backend) => {
      this.written(await (fresh ? storePrintRecord : updatePrintRecord)(record, backend));
      if (!fresh || run.dryRun) return;
      const kept = await keepSnapshot(
        record,
        { ...run.source, printerOffset: run.printerOffset },
        backend,
        this.budget,
      );
      const { snapshot, snapshotBytes, datasetHash, datasetBytes } = kept.run!;
      record = {
        ...record,
        run: { ...record.run!, snapshot, snapshotBytes, datasetHash, datasetBytes },
      };
    });
    const update = (change: (r: PrintRecord) => PrintRecord) => {
      record = change(record);
      this.queue(async (backend) => this.written(await updatePrintRecord(record, backend)));
    };
    return {
      id: record.id,
      row: (job, bytes, elapsedMs) =>
        update((r) => ({
          ...r,
          records: r.records + job.count,
          // A single print counts its labels as its copies.
          copies: r.run!.kind === 'copies' ? r.copies + job.count : r.copies,
          bytes: r.bytes + bytes,
          elapsedMs: r.elapsedMs + elapsedMs,
          run: { ...r.run!, jobs: addJob(r.run!.jobs, job.first, job.count) },
        })),
      end: (state) => {
        this.live.delete(record.id);
        update((r) => ({ ...r, ok: state === 'done', run: { ...r.run!, state } }));
      },
    };
  }

  private firstRecord(run: RunStart): PrintRecord {
    const from = run.from ?? 0;
    if (run.continues?.run) {
      // Records from `from` on go out again; the jobs that sent them before no longer count.
      const jobs = eachJob(run.continues.run.jobs)
        .filter((j) => j.first < from)
        .reduce<RunJob[]>((all, j) => addJob(all, j.first, j.count), []);
      return {
        ...run.continues,
        records: jobs.reduce((n, j) => n + j.count * j.rows, 0),
        run: { ...run.continues.run, jobs, state: 'running', startedMs: run.startedMs },
      };
    }
    const record = newPrintRecord(
      {
        docName: run.docName,
        printer: run.printer,
        copies: run.kind === 'copies' ? 0 : run.copies,
        records: 0,
        dryRun: run.dryRun,
        ok: false,
        bytes: 0,
        elapsedMs: 0,
      },
      run.startedMs,
    );
    return {
      ...record,
      run: {
        kind: run.kind,
        total: run.total,
        state: 'running',
        jobs: [],
        clock: run.clock,
        startedMs: run.startedMs,
        snapshot: 'none',
        snapshotBytes: 0,
        reprintOf: run.reprintOf,
      },
    };
  }
}
