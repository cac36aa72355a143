import { describe, expect, test } from 'vitest';
import {
  batchRows,
  copyContext,
  copyGroups,
  placeRow,
  recordContext,
  type CopySource,
} from '../src/compose/copies';
import { resolvePlaceholders } from '../src/merge/placeholders';
import type { Dataset, MergeContext } from '../src/merge/types';
import type { LabelDocument } from '../src/document/model';
import { doc } from './render-fixtures';

function source(d: LabelDocument, dataset: Dataset | null, recordIndex = 0): CopySource {
  return {
    doc: d,
    dataset,
    recordIndex,
    dataContext: (): MergeContext =>
      dataset
        ? { row: dataset.rows[recordIndex], index: recordIndex, total: dataset.rows.length }
        : {},
  };
}

const records = (n: number): Dataset => ({
  name: 't.csv',
  fields: ['n'],
  rows: Array.from({ length: n }, (_, i) => ({ n: String(i + 1) })),
});

const names = (slots: (MergeContext | undefined)[]) => slots.map((c) => c?.row?.n ?? '-');

describe('copy plans', () => {
  test('duplicate: 5 copies on 2 columns make rows of 2, 2 and 1, short row placed by oddAlign', () => {
    const d = doc({}, { copies: 5, columns: 2, copyMode: 'duplicate' });
    const s = source(d, records(3), 1);
    const plan = copyGroups(s)!;
    expect(plan.groups.map((g) => g.length)).toEqual([2, 2, 1]);
    expect([plan.total, plan.requested]).toEqual([5, 5]);
    expect(plan.groups.flat().every((c) => c.row?.n === '2')).toBe(true);
    expect(names(placeRow(d, plan.groups[2], 2))).toEqual(['2', '-']);
    d.print.oddAlign = 'right';
    expect(names(placeRow(d, plan.groups[2], 2))).toEqual(['-', '2']);
    expect(names(placeRow(d, plan.groups[0], 2))).toEqual(['2', '2']);
    // Unknown modes duplicate as well; without data every copy gets the empty context.
    d.print.copyMode = 'other' as LabelDocument['print']['copyMode'];
    expect(copyGroups(source(d, null))!.groups.flat()).toEqual([{}, {}, {}, {}, {}]);
  });

  test('sequence: from the third of four records, 5 copies give records 3 and 4', () => {
    const d = doc({}, { copies: 5, columns: 3, copyMode: 'sequence' });
    const plan = copyGroups(source(d, records(4), 2))!;
    expect([plan.total, plan.requested]).toEqual([2, 5]);
    expect(plan.groups.map(names)).toEqual([['3', '4']]);
    expect(plan.groups[0].map((c) => c.index)).toEqual([2, 3]);
    expect(copyGroups(source(d, null))).toBeUndefined();
    expect(copyContext(source(d, records(4), 2), 2)).toBeUndefined();
  });

  test('serial: the index runs on from the editor record, fields stay', () => {
    const d = doc({}, { copies: 3, columns: 2, copyMode: 'serial' });
    const s = source(d, records(6), 4);
    const plan = copyGroups(s)!;
    const values = plan.groups
      .flat()
      .map((c) => resolvePlaceholders('{{serial:1001:1:4}}/{{n}}', c));
    expect(values).toEqual(['1005/5', '1006/5', '1007/5']);
    expect(plan.groups.flat().every((c) => c.total === 6)).toBe(true);
    // Without a data set the index counts 0, 1, 2 … from the editor's record index.
    const bare = copyGroups(source(d, null))!.groups.flat();
    expect(bare.map((c) => c.index)).toEqual([0, 1, 2]);
    expect(bare[0].row).toBeUndefined();
  });

  test('copies are rounded and clamped to 1 … 99, columns to 1 … 8', () => {
    const d = doc({}, { copies: 250, columns: 20 });
    const plan = copyGroups(source(d, null))!;
    expect([plan.total, plan.requested, plan.groups.length, plan.groups[0].length]).toEqual([
      99, 99, 13, 8,
    ]);
    d.print.copies = 0;
    expect(copyGroups(source(d, null))!.total).toBe(1);
    d.print.copies = 2.5;
    expect(copyGroups(source(d, null))!.total).toBe(3);
    expect(placeRow(d, [{}], 0)).toHaveLength(1);
  });

  test('record contexts and batch rows: a short last row always fills the left', () => {
    const d = doc({}, { columns: 2, oddAlign: 'right' });
    const s = source(d, records(5));
    expect(recordContext(s, 4)).toEqual({ row: { n: '5' }, index: 4, total: 5 });
    expect(recordContext(source(d, null), 3)).toEqual({});
    expect(batchRows(s).map(names)).toEqual([
      ['1', '2'],
      ['3', '4'],
      ['5', '-'],
    ]);
    expect(batchRows(source(d, null))).toEqual([]);
  });
});
