// What a reprint needs, kept beside the history: each run's document as printed, and its data
// set stored once per distinct content (by hash) however many runs share it. A budget bounds
// the lot: the oldest snapshots go first, and their records say so.

import type { Dataset } from '../merge/types';
import type { RecordBackend } from './database';
import { validDataset } from './draft';
import { isPlainObject, member } from './fields';
import type { LabelDocument } from './model';
import { loadPrintHistory, updatePrintRecord, type PrintRecord } from './print-history';
import { NO_PRINTER_OFFSET, type PrinterOffset } from './printer-profiles';
import { sanitizeDocument } from './sanitize';

export const SNAPSHOT_BUDGET_BYTES = 200 * 1024 * 1024;

/** What a run printed from, as the dispatcher reads it from the store. */
export interface RunSource {
  doc: LabelDocument;
  dataset: Dataset | null;
  recordIndex: number;
}

export interface PrintSnapshot extends RunSource {
  printerOffset: PrinterOffset;
}

/** A record's share of the budget: its snapshot, and the data set it may share. */
export interface BudgetEntry {
  id: string;
  time: number;
  bytes: number;
  datasetHash?: string;
  datasetBytes?: number;
}

/** Bytes of the budget the kept entries use, each data set counted once. */
export function budgetUsed(entries: readonly BudgetEntry[]): number {
  const sets = new Map<string, number>();
  let total = 0;
  for (const e of entries) {
    total += e.bytes;
    if (e.datasetHash) sets.set(e.datasetHash, e.datasetBytes ?? 0);
  }
  for (const bytes of sets.values()) total += bytes;
  return total;
}

/** The ids whose snapshots go, oldest first, until the rest fit the budget. */
export function snapshotsOverBudget(entries: readonly BudgetEntry[], budget: number): string[] {
  const kept = [...entries].sort((a, b) => a.time - b.time);
  const dropped: string[] = [];
  while (kept.length > 0 && budgetUsed(kept) > budget) dropped.push(kept.shift()!.id);
  return dropped;
}

/** A stable name for a data set's content: SHA-256 of its JSON, in hex. */
export async function datasetHash(json: string): Promise<string> {
  const digest = await crypto.subtle.digest('SHA-256', new TextEncoder().encode(json));
  return Array.from(new Uint8Array(digest), (b) => b.toString(16).padStart(2, '0')).join('');
}

/** JSON length in UTF-8 bytes: close enough to what the browser keeps for it. */
function jsonBytes(json: string): number {
  return new Blob([json]).size;
}

/**
 * Stores the run's snapshot (and its data set unless that content is stored already), notes the
 * sizes in the record, then drops the oldest snapshots over budget. Answers the record as
 * stored; its `run.snapshot` says whether the snapshot was kept.
 */
export async function keepSnapshot(
  record: PrintRecord,
  snapshot: PrintSnapshot,
  backend: RecordBackend,
  budget = SNAPSHOT_BUDGET_BYTES,
): Promise<PrintRecord> {
  const run = record.run;
  if (!run) return record;
  const { dataset, ...rest } = snapshot;
  const setJson = dataset ? JSON.stringify(dataset) : undefined;
  const hash = setJson === undefined ? undefined : await datasetHash(setJson);
  const value = { ...rest, datasetHash: hash ?? null };
  const bytes = jsonBytes(JSON.stringify(value));
  if (hash && setJson !== undefined) {
    const stored = backend.readKeys ? await backend.readKeys('datasets') : [];
    if (!stored.includes(hash)) {
      const put = await backend.write('datasets', { put: [{ key: hash, value: dataset }] });
      if (!put.ok) return record;
    }
  }
  const put = await backend.write('snapshots', { put: [{ key: record.id, value }] });
  if (!put.ok) return record;
  const kept: PrintRecord = {
    ...record,
    run: {
      ...run,
      snapshot: 'kept',
      snapshotBytes: bytes,
      datasetHash: hash,
      datasetBytes: setJson === undefined ? undefined : jsonBytes(setJson),
    },
  };
  await updatePrintRecord(kept, backend);
  const dropped = await trimSnapshots(backend, budget);
  return dropped.includes(kept.id) ? { ...kept, run: { ...kept.run!, snapshot: 'dropped' } } : kept;
}

/**
 * Drops the oldest snapshots over budget (their records stay and say so), then snapshots whose
 * record is gone and data sets no kept snapshot uses. Answers the ids dropped for the budget.
 */
export async function trimSnapshots(backend: RecordBackend, budget: number): Promise<string[]> {
  const history = await loadPrintHistory(backend);
  const withSnapshot = history.filter((r) => r.run?.snapshot === 'kept');
  const entries: BudgetEntry[] = withSnapshot.map((r) => ({
    id: r.id,
    time: r.time,
    bytes: r.run!.snapshotBytes,
    datasetHash: r.run!.datasetHash,
    datasetBytes: r.run!.datasetBytes,
  }));
  const dropped = snapshotsOverBudget(entries, budget);
  const gone = new Set(dropped);
  for (const r of withSnapshot.filter((r) => gone.has(r.id)))
    await updatePrintRecord({ ...r, run: { ...r.run!, snapshot: 'dropped' } }, backend);
  const keptIds = new Set(withSnapshot.filter((r) => !gone.has(r.id)).map((r) => r.id));
  const usedSets = new Set(
    withSnapshot.filter((r) => keptIds.has(r.id)).map((r) => r.run!.datasetHash),
  );
  const keys = async (kind: 'snapshots' | 'datasets') =>
    backend.readKeys ? backend.readKeys(kind) : [];
  const staleSnapshots = (await keys('snapshots')).filter((k) => !keptIds.has(k));
  const staleSets = (await keys('datasets')).filter((k) => !usedSets.has(k));
  if (staleSnapshots.length > 0) await backend.write('snapshots', { remove: staleSnapshots });
  if (staleSets.length > 0) await backend.write('datasets', { remove: staleSets });
  return dropped;
}

/** The snapshot of a record, or nothing when it was dropped or does not read. */
export async function loadSnapshot(
  record: PrintRecord,
  backend: RecordBackend,
): Promise<PrintSnapshot | undefined> {
  if (record.run?.snapshot !== 'kept' || !backend.readOne) return undefined;
  const value = await backend.readOne('snapshots', record.id);
  if (!isPlainObject(value)) return undefined;
  let doc: LabelDocument;
  try {
    doc = sanitizeDocument(member(value, 'doc'));
  } catch {
    return undefined;
  }
  const hash = member(value, 'datasetHash');
  const dataset =
    typeof hash === 'string' ? validDataset(await backend.readOne('datasets', hash)) : null;
  if (typeof hash === 'string' && !dataset) return undefined;
  const recordIndex = member(value, 'recordIndex');
  const offset = member(value, 'printerOffset');
  const mm = (key: string) => (isPlainObject(offset) ? member(offset, key) : undefined);
  const [xMm, yMm] = [mm('xMm'), mm('yMm')];
  return {
    doc,
    dataset,
    recordIndex: typeof recordIndex === 'number' ? recordIndex : 0,
    printerOffset:
      typeof xMm === 'number' && typeof yMm === 'number' ? { xMm, yMm } : NO_PRINTER_OFFSET,
  };
}
