// The autosaved draft: the working document and its data set, restored at start.

import type { Dataset } from '../merge/types';
import { isPlainObject, member } from './fields';
import type { LabelDocument } from './model';
import { sanitizeDocument } from './sanitize';
import type { RecordBackend, WriteResult } from './database';

export interface Draft {
  savedAt: number;
  doc: LabelDocument;
  dataset: Dataset | null;
  /** Where a batch stood when the page that ran it went away. */
  batch?: BatchPosition;
}

/** The next record a running batch will print, of how many; kept beside the draft at every row. */
export interface BatchPosition {
  next: number;
  total: number;
  /** The batch's history record, whose jobs tell which records reached paper. */
  entry?: string;
}

const CURRENT = 'current';
const BATCH = 'batch';

/** One put: a draft is never stored half. */
export function saveDraft(
  doc: LabelDocument,
  dataset: Dataset | null,
  backend: RecordBackend,
  now: number = Date.now(),
): Promise<WriteResult> {
  const value = { savedAt: now, doc, dataset: dataset ?? null };
  return backend.write('draft', { put: [{ key: CURRENT, value }] });
}

/** The batch's position, or none to forget it (the batch ended). */
export function saveBatchPosition(
  position: BatchPosition | undefined,
  backend: RecordBackend,
): Promise<WriteResult> {
  return backend.write(
    'draft',
    position ? { put: [{ key: BATCH, value: position }] } : { remove: [BATCH] },
  );
}

export function removeDraft(backend: RecordBackend): Promise<WriteResult> {
  return backend.write('draft', { clear: true });
}

function validBatch(value: unknown): BatchPosition | undefined {
  if (!isPlainObject(value)) return undefined;
  const next = member(value, 'next');
  const total = member(value, 'total');
  if (typeof next !== 'number' || typeof total !== 'number') return undefined;
  if (!Number.isInteger(next) || !Number.isInteger(total) || next < 0 || next >= total)
    return undefined;
  const entry = member(value, 'entry');
  return typeof entry === 'string' ? { next, total, entry } : { next, total };
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
export async function loadDraft(backend: RecordBackend): Promise<Draft | undefined> {
  const records = await backend.readAll('draft');
  const value = records.find((r) => r.key === CURRENT)?.value;
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
  const dataset = validDataset(member(value, 'dataset'));
  const batch = validBatch(records.find((r) => r.key === BATCH)?.value);
  // A position means nothing without the records it counts.
  if (batch && dataset?.rows.length === batch.total) return { savedAt, doc, dataset, batch };
  return { savedAt, doc, dataset };
}
