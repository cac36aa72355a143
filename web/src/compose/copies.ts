// Which merge context goes into which label: copies by copy mode, records of a batch, and the
// placement of a short last row.

import { PRINT_FIELDS } from '../document/field-table';
import type { LabelDocument } from '../document/model';
import type { Dataset, MergeContext } from '../merge/types';
import { clampColumns } from './geometry';

/** What composition reads from the editor store: the working document and the data set. */
export interface CopySource {
  readonly doc: LabelDocument;
  readonly dataset: Dataset | null | undefined;
  readonly recordIndex: number;
  dataContext(): MergeContext;
}

export interface CopyGroups {
  groups: MergeContext[][];
  total: number;
  requested: number;
}

/** The context of record i; an empty context without a data set. */
export function recordContext(source: Pick<CopySource, 'dataset'>, index: number): MergeContext {
  const data = source.dataset;
  if (!data) return {};
  return { row: data.rows[index], index, total: data.rows.length };
}

/** The context of copy k (from 0) under the document's copy mode, or nothing past the end. */
export function copyContext(source: CopySource, k: number): MergeContext | undefined {
  switch (source.doc.print.copyMode) {
    case 'sequence': {
      const data = source.dataset;
      const i = source.recordIndex + k;
      if (!data || i < 0 || i >= data.rows.length) return undefined;
      return recordContext(source, i);
    }
    case 'serial': {
      const current = source.dataContext();
      return { ...current, index: (current.index ?? source.recordIndex) + k };
    }
    default:
      return source.dataContext();
  }
}

function clampCopies(copies: number): number {
  const n = Math.round(copies);
  const { min, max } = PRINT_FIELDS.copies;
  return Number.isFinite(n) ? Math.min(max, Math.max(min, n)) : min;
}

/** The copies cut into rows of the document's column count, or nothing when no copy has a context. */
export function copyGroups(source: CopySource): CopyGroups | undefined {
  const requested = clampCopies(source.doc.print.copies);
  const contexts: MergeContext[] = [];
  for (let k = 0; k < requested; k++) {
    const c = copyContext(source, k);
    if (!c) break;
    contexts.push(c);
  }
  if (contexts.length === 0) return undefined;
  const columns = clampColumns(source.doc.print.columns);
  const groups: MergeContext[][] = [];
  for (let i = 0; i < contexts.length; i += columns) groups.push(contexts.slice(i, i + columns));
  return { groups, total: contexts.length, requested };
}

/** Slots for one row: a short group starts at the left, or ends at the right with `oddAlign` "right". */
export function placeRow(
  doc: LabelDocument,
  group: readonly MergeContext[],
  columns: number,
): (MergeContext | undefined)[] {
  const cols = clampColumns(columns);
  const slots: (MergeContext | undefined)[] = new Array(cols).fill(undefined);
  const start = group.length < cols && doc.print.oddAlign === 'right' ? cols - group.length : 0;
  group.forEach((c, i) => {
    if (start + i < cols) slots[start + i] = c;
  });
  return slots;
}

/** Rows of consecutive records for a batch; a short last row fills the left columns. */
export function batchRows(
  source: CopySource,
  columns: number = source.doc.print.columns,
): (MergeContext | undefined)[][] {
  const data = source.dataset;
  if (!data) return [];
  const n = clampColumns(columns);
  const rows: (MergeContext | undefined)[][] = [];
  for (let i = 0; i < data.rows.length; i += n) {
    const slots: (MergeContext | undefined)[] = [];
    for (let k = 0; k < n; k++)
      slots.push(i + k < data.rows.length ? recordContext(source, i + k) : undefined);
    rows.push(slots);
  }
  return rows;
}
