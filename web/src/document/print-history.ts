// The print history: newest first, at most 100 records; a run's record is written when it
// starts and kept up to date as its jobs go out.

import { isPlainObject, member } from './fields';
import { newId } from './ids';
import type { RecordBackend, WriteResult } from './database';

export const PRINT_HISTORY_LIMIT = 100;

export interface PrintRecordInput {
  docName: string;
  printer: string;
  copies: number;
  records: number;
  dryRun: boolean;
  ok: boolean;
  bytes: number;
  elapsedMs: number;
}

export interface PrintRecord extends PrintRecordInput {
  id: string;
  time: number;
  /** What a reprint or a continuation needs; older records have none. */
  run?: PrintRun;
}

export type RunState = 'running' | 'done' | 'stopped' | 'failed';

/**
 * `rows` jobs one after another, each of `count` records from `first` on (copies: labels).
 * Equal jobs share one entry, so a batch of thousands of rows keeps a record of a few lines.
 */
export interface RunJob {
  first: number;
  count: number;
  rows: number;
}

/** Every job on its own (`rows` 1), in order. */
export function eachJob(jobs: readonly RunJob[]): RunJob[] {
  return jobs.flatMap((j) =>
    Array.from({ length: j.rows }, (_, k) => ({
      first: j.first + k * j.count,
      count: j.count,
      rows: 1,
    })),
  );
}

/** The jobs with one more at the end, joined to the last entry when it continues it. */
export function addJob(jobs: readonly RunJob[], first: number, count: number): RunJob[] {
  const last = jobs.at(-1);
  if (last && last.count === count && last.first + last.rows * count === first)
    return [...jobs.slice(0, -1), { ...last, rows: last.rows + 1 }];
  return [...jobs, { first, count, rows: 1 }];
}

export interface PrintRun {
  kind: 'copies' | 'batch';
  /** The records (batch) or labels (copies) the run set out to print. */
  total: number;
  state: RunState;
  /** The jobs sent, in order; brought up to date at every row. */
  jobs: RunJob[];
  /** The clock the run's date and time placeholders read. */
  clock: number;
  /** When its jobs were sent (a reprint's clock is its original's). */
  startedMs: number;
  snapshot: 'kept' | 'dropped' | 'none';
  snapshotBytes: number;
  datasetHash?: string;
  datasetBytes?: number;
  /** The time of the record this one repeats. */
  reprintOf?: number;
}

/** Each record is stored whole under its id, so later fields ride along untouched. */
export async function loadPrintHistory(backend: RecordBackend): Promise<PrintRecord[]> {
  const records = await backend.readAll('history');
  return records
    .map((r) => r.value)
    .filter(
      (entry): entry is PrintRecord =>
        isPlainObject(entry) &&
        typeof member(entry, 'time') === 'number' &&
        typeof member(entry, 'printer') === 'string' &&
        typeof member(entry, 'docName') === 'string',
    )
    .sort((a, b) => b.time - a.time);
}

/** Puts the record first and keeps the newest 100, in one transaction; says whether it landed. */
export async function appendPrintHistory(
  input: PrintRecordInput,
  backend: RecordBackend,
  now: number = Date.now(),
): Promise<WriteResult> {
  return storePrintRecord(newPrintRecord(input, now), backend);
}

export function newPrintRecord(input: PrintRecordInput, now: number = Date.now()): PrintRecord {
  return { ...input, id: newId('p', { now, random: 5 }), time: now };
}

/** Writes a record over the one with its id; the next append keeps the limit. */
export function updatePrintRecord(record: PrintRecord, backend: RecordBackend) {
  return backend.write('history', { put: [{ key: record.id, value: record }] });
}

/** Stores a new record and keeps the newest 100. */
export async function storePrintRecord(
  record: PrintRecord,
  backend: RecordBackend,
): Promise<WriteResult> {
  const stored = await backend.readAll('history');
  const newest = [...stored]
    .sort((a, b) => recordTime(b.value) - recordTime(a.value))
    .slice(0, PRINT_HISTORY_LIMIT - 1);
  const keep = new Set(newest.map((r) => r.key));
  const remove = stored.filter((r) => !keep.has(r.key)).map((r) => r.key);
  return backend.write('history', { remove, put: [{ key: record.id, value: record }] });
}

function recordTime(value: unknown): number {
  const time = isPlainObject(value) ? member(value, 'time') : undefined;
  return typeof time === 'number' ? time : Number.NEGATIVE_INFINITY;
}

export function clearPrintHistory(backend: RecordBackend): Promise<WriteResult> {
  return backend.write('history', { clear: true });
}
