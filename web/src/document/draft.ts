// The autosaved draft: the working document and its data set, restored at start.

import type { Dataset } from '../merge/types';
import { isPlainObject, member } from './fields';
import type { LabelDocument } from './model';
import { sanitizeDocument } from './sanitize';
import {
  defaultStorage,
  readJsonKey,
  removeKey,
  STORAGE_KEYS,
  writeJsonKey,
  type KeyValueStorage,
} from './storage';

export interface Draft {
  savedAt: number;
  doc: LabelDocument;
  dataset: Dataset | null;
}

export function saveDraft(
  doc: LabelDocument,
  dataset: Dataset | null,
  storage: KeyValueStorage = defaultStorage(),
  now: number = Date.now(),
): boolean {
  return writeJsonKey(STORAGE_KEYS.draft, { savedAt: now, doc, dataset: dataset ?? null }, storage);
}

export function removeDraft(storage: KeyValueStorage = defaultStorage()): boolean {
  return removeKey(STORAGE_KEYS.draft, storage);
}

/** A data set with a text name, text fields and plain-object rows, or null. */
export function validDataset(value: unknown): Dataset | null {
  if (!isPlainObject(value)) return null;
  const name = member(value, 'name');
  const fields = member(value, 'fields');
  const rows = member(value, 'rows');
  if (typeof name !== 'string') return null;
  if (!Array.isArray(fields) || !fields.every((f) => typeof f === 'string')) return null;
  if (!Array.isArray(rows) || !rows.every(isPlainObject)) return null;
  return { name, fields: fields as string[], rows: rows as Dataset['rows'] };
}

/** The stored draft when it is readable and its document sanitises; otherwise nothing. */
export function loadDraft(storage: KeyValueStorage = defaultStorage()): Draft | undefined {
  const value = readJsonKey(STORAGE_KEYS.draft, storage);
  if (!isPlainObject(value)) return undefined;
  const savedAt = member(value, 'savedAt');
  const rawDoc = member(value, 'doc');
  if (typeof savedAt !== 'number' || rawDoc === undefined) return undefined;
  let doc: LabelDocument;
  try {
    doc = sanitizeDocument(rawDoc);
  } catch {
    return undefined;
  }
  return { savedAt, doc, dataset: validDataset(member(value, 'dataset')) };
}
