// The print history: newest first, at most 100 records.

import { isPlainObject, member } from './fields';
import { newId } from './ids';
import {
  defaultStorage,
  readJsonKey,
  removeKey,
  STORAGE_KEYS,
  writeJsonKey,
  type KeyValueStorage,
} from './storage';

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

export function loadPrintHistory(storage: KeyValueStorage = defaultStorage()): PrintRecord[] {
  const value = readJsonKey(STORAGE_KEYS.printHistory, storage);
  if (!Array.isArray(value)) return [];
  return value.filter(
    (entry): entry is PrintRecord =>
      isPlainObject(entry) &&
      typeof member(entry, 'time') === 'number' &&
      typeof member(entry, 'printer') === 'string' &&
      typeof member(entry, 'docName') === 'string',
  );
}

/** Puts the record first and keeps the newest 100; false when storage refused the write. */
export function appendPrintHistory(
  input: PrintRecordInput,
  storage: KeyValueStorage = defaultStorage(),
  now: number = Date.now(),
): boolean {
  const record: PrintRecord = { ...input, id: newId('p', { now, random: 5 }), time: now };
  const list = [record, ...loadPrintHistory(storage)].slice(0, PRINT_HISTORY_LIMIT);
  return writeJsonKey(STORAGE_KEYS.printHistory, list, storage);
}

export function clearPrintHistory(storage: KeyValueStorage = defaultStorage()): boolean {
  return removeKey(STORAGE_KEYS.printHistory, storage);
}
