import { describe, expect, it } from 'vitest';
import {
  dataInfoText,
  fieldChipTitle,
  recordLabel,
  searchRows,
  tableCountText,
} from '../src/data/rules';
import type { Dataset } from '../src/merge/types';

const SET: Dataset = {
  name: 'd.csv',
  fields: ['名称', '编码'],
  rows: [
    { 名称: 'Apple 苹果', 编码: 'A1' },
    { 名称: '香蕉', 编码: 'b2' },
    { 名称: 'APPLE pie', 编码: '' },
    { 名称: '梨' } as Record<string, string>,
  ],
};

describe('data table search', () => {
  it.each([
    ['', [0, 1, 2, 3], 4],
    ['   ', [0, 1, 2, 3], 4],
    ['apple', [0, 2], 2],
    [' APPLE ', [0, 2], 2],
    ['B2', [1], 1],
    ['苹果', [0], 1],
    // Values are matched field by field, never across the join of two fields.
    ['苹果a1', [], 0],
    ['le p', [2], 1],
    ['\u0001', [], 0],
    ['zzz', [], 0],
  ])('"%s" matches %j', (query, shown, matches) => {
    expect(searchRows(SET, query)).toEqual({ shown, matches });
  });

  it('lists at most the cap but counts every match', () => {
    const rows = Array.from({ length: 1000 }, (_, i) => ({ n: i % 5 === 0 ? 'x' : 'hit' }));
    const big: Dataset = { name: 'b', fields: ['n'], rows };
    const result = searchRows(big, 'HIT');
    expect(result.matches).toBe(800);
    expect(result.shown).toHaveLength(500);
    expect(result.shown.slice(0, 5)).toEqual([1, 2, 3, 4, 6]);
    expect(tableCountText(result, 1000)).toBe('800 / 1000 条（仅显示前 500 条）');
    const exact = searchRows(big, 'x');
    expect(tableCountText(exact, 1000)).toBe('200 / 1000 条');
    const atCap = searchRows({ ...big, rows: rows.slice(0, 500) }, '');
    expect(tableCountText(atCap, 500)).toBe('500 / 500 条');
  });
});

describe('data card texts', () => {
  it('info, record label and chip titles', () => {
    expect(dataInfoText(null)).toBe('未导入数据');
    expect(dataInfoText(SET)).toBe('d.csv · 4 条记录 · 2 个字段');
    expect(recordLabel(0, 4)).toBe('1 / 4');
    expect(fieldChipTitle('编码', 'A1')).toBe('编码：A1\n点击插入 {{编码}}');
    expect(fieldChipTitle('编码', undefined)).toBe('编码：\n点击插入 {{编码}}');
  });
});
