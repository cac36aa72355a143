// The data panel's texts and the data table's search, over plain data sets.

import type { Dataset } from '../merge/types';

export const SHOWN_ROWS_CAP = 500;

export const DATA_TEXTS = {
  none: '未导入数据',
  noRows: '这个文件里没有数据行',
  importFailed: '导入失败：',
  imported: '数据已导入',
  cleared: '已清除数据源',
  needSelection: '先在画布上选中一个文本/条码对象',
  needData: '先导入 CSV/Excel 数据',
  capped: '（仅显示前 500 条）',
} as const;

export function dataInfoText(dataset: Dataset | null): string {
  if (!dataset) return DATA_TEXTS.none;
  return `${dataset.name} · ${dataset.rows.length} 条记录 · ${dataset.fields.length} 个字段`;
}

export function recordLabel(index: number, rows: number): string {
  return `${index + 1} / ${rows}`;
}

/** The card's line while a file is read; whole percents, so it changes at most 100 times. */
export function importProgressText(name: string, fraction: number): string {
  const percent = Math.floor(Math.min(1, Math.max(0, fraction)) * 100);
  return `正在导入 ${name}… ${percent}%`;
}

export function importedHint(rows: number): string {
  return `已导入 ${rows} 条记录，可在文本里用 {{字段名}} 绑定`;
}

/** A chip's tooltip: the field's value in the current record, then how to use it. */
export function fieldChipTitle(field: string, value: string | undefined): string {
  return `${field}：${value ?? ''}\n点击插入 {{${field}}}`;
}

export interface SearchResult {
  /** Indexes of the shown rows, at most the cap, in data order. */
  shown: number[];
  /** Every match, shown or not. */
  matches: number;
}

// One lower-case haystack per row, joined by a character no search text holds once trimmed of
// controls; built once per data set, so a keystroke is one `includes` per row.
const SEPARATOR = '\u0001';
const haystacks = new WeakMap<Dataset, string[]>();

/** Builds the search index of a data set ahead of the first keystroke (opening the table). */
export function haystackOf(dataset: Dataset): string[] {
  let rows = haystacks.get(dataset);
  if (!rows) {
    rows = dataset.rows.map((row) =>
      dataset.fields
        .map((f) => String(row[f] ?? ''))
        .join(SEPARATOR)
        .toLowerCase(),
    );
    haystacks.set(dataset, rows);
  }
  return rows;
}

/**
 * Rows whose value in any field, as lower-case text, contains the trimmed, lower-cased query;
 * every row for an empty query. Only the first `cap` are listed, but all are counted.
 */
export function searchRows(dataset: Dataset, text: string, cap = SHOWN_ROWS_CAP): SearchResult {
  const query = text.trim().toLowerCase();
  const total = dataset.rows.length;
  if (query === '') {
    const shown: number[] = [];
    for (let i = 0; i < Math.min(cap, total); i++) shown.push(i);
    return { shown, matches: total };
  }
  const shown: number[] = [];
  let matches = 0;
  if (query.includes(SEPARATOR)) {
    // Cannot use the joined haystack: the query could straddle two fields.
    dataset.rows.forEach((row, i) => {
      if (
        !dataset.fields.some((f) =>
          String(row[f] ?? '')
            .toLowerCase()
            .includes(query),
        )
      )
        return;
      matches++;
      if (shown.length < cap) shown.push(i);
    });
    return { shown, matches };
  }
  const rows = haystackOf(dataset);
  for (let i = 0; i < rows.length; i++) {
    if (!rows[i].includes(query)) continue;
    matches++;
    if (shown.length < cap) shown.push(i);
  }
  return { shown, matches };
}

export function tableCountText(result: SearchResult, total: number, cap = SHOWN_ROWS_CAP): string {
  const cut = result.matches > cap ? DATA_TEXTS.capped : '';
  return `${result.matches} / ${total} 条${cut}`;
}
