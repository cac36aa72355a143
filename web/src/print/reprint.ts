// Repeating a print from its history record: all of it, a part of a batch, or the rest of a
// stopped or cut-off batch. Each reads the record's snapshot, so the labels come out as before.

import type { RecordBackend } from '../document/database';
import type { BatchPosition } from '../document/draft';
import { loadPrintHistory, type PrintRecord } from '../document/print-history';
import { loadSnapshot, type PrintSnapshot } from '../document/print-snapshots';
import type { StatusLine } from '../page/status';
import type { PrintDispatcher } from './dispatch';
import type { QueueHooks } from './pacing';
import { firstRecordNotDone, resumePoint } from './resume';
import type { HistoryJournal } from './run-journal';

export const SNAPSHOT_GONE = '这条记录的标签快照已删除，无法重印';

/** What the history list can do with a record; the shell calls these through main.ts. */
export interface HistoryActions {
  /** A record still marked running that this page runs is not cut off. */
  isLive(id: string): boolean;
  /** The first record (from 0) a stopped, failed or cut-off batch has not known printed. */
  resumePoint(record: PrintRecord): Promise<number>;
  /** The same labels again, or records `from` to `to` (from 0, `to` excluded) of a batch. */
  reprint(record: PrintRecord, range?: { from: number; to: number }): Promise<void>;
  /** The rest of a batch from record `from`; the record itself is brought up to date. */
  continueRun(record: PrintRecord, from: number): Promise<void>;
  snapshot(record: PrintRecord): Promise<PrintSnapshot | undefined>;
}

export function historyActions(
  dispatcher: PrintDispatcher,
  journal: HistoryJournal,
  records: Promise<RecordBackend>,
  status: StatusLine,
  queue: QueueHooks | undefined,
): HistoryActions {
  const snapshot = async (record: PrintRecord) => {
    // The snapshot of a print made a moment ago may still be on its way.
    await journal.settled();
    return loadSnapshot(record, await records);
  };
  const withSnapshot = async (record: PrintRecord, run: (snap: PrintSnapshot) => Promise<void>) => {
    const snap = await snapshot(record);
    if (!snap) {
      status.showHint(SNAPSHOT_GONE, 'error');
      return;
    }
    await run(snap);
  };
  return {
    isLive: (id) => journal.isLive(id),
    resumePoint: (record) => resumePoint(record, queue),
    snapshot,
    reprint: (record, range) =>
      withSnapshot(record, (snap) => {
        const plan = {
          source: snap,
          clock: record.run?.clock,
          printerOffset: snap.printerOffset,
          reprintOf: record.time,
        };
        if (record.run?.kind === 'batch')
          return dispatcher.printBatch(false, false, range?.from ?? 0, { ...plan, to: range?.to });
        return dispatcher.printCopies(false, plan);
      }),
    continueRun: (record, from) =>
      withSnapshot(record, (snap) =>
        dispatcher.printBatch(false, false, from, {
          source: snap,
          clock: record.run?.clock,
          printerOffset: snap.printerOffset,
          continues: record,
        }),
      ),
  };
}

/**
 * The draft keeper's "继续打印": the restored document prints on from the first record not
 * known printed, by the same rule as the history list, and brings the batch's record up to date.
 */
export async function continueCutOff(
  dispatcher: PrintDispatcher,
  records: Promise<RecordBackend>,
  queue: QueueHooks | undefined,
  position: BatchPosition,
): Promise<void> {
  const history = position.entry ? await loadPrintHistory(await records) : [];
  const record = history.find((r) => r.id === position.entry && r.run?.kind === 'batch');
  if (!record?.run || record.run.total !== position.total) {
    await dispatcher.printBatch(false, false, position.next);
    return;
  }
  // The draft's position may be a row ahead of the record when the tab closed between writes.
  const sent = firstRecordNotDone(record.run.jobs, 0);
  const point = await resumePoint(record, queue);
  const from = point < sent ? point : Math.max(point, position.next);
  await dispatcher.printBatch(false, false, from, { clock: record.run.clock, continues: record });
}
