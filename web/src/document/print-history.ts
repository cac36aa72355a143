// The print history: newest first, at most 100 records.

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
  const record: PrintRecord = { ...input, id: newId('p', { now, random: 5 }), time: now };
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
