// The settings sheet's print history: the newest 20 records as two lines each.

import type { PrintRecord } from '../document/print-history';

export const HISTORY_SHOWN = 20;
export const NO_HISTORY_TEXT = '暂无打印记录';

export interface HistoryLines {
  title: string;
  detail: string;
}

/** The time in the browser's Chinese format; a parameter so tests need no locale data. */
export type TimeFormat = (time: number) => string;

export const chineseTime: TimeFormat = (time) => new Date(time).toLocaleString('zh-CN');

export function historyLines(
  record: PrintRecord,
  formatTime: TimeFormat = chineseTime,
): HistoryLines {
  const outcome = record.ok
    ? `${Math.round(record.bytes / 1024)} KB / ${record.elapsedMs} ms`
    : '失败';
  return {
    title: `${record.ok ? '✓' : '✗'} ${record.docName} · ${record.records} 张${record.dryRun ? ' · 自检' : ''}`,
    detail: `${formatTime(record.time)} · ${record.printer} · ${record.copies} 份 · ${outcome}`,
  };
}

/** The lines to show, newest first; one plain line when there is nothing to show. */
export function historyView(
  records: readonly PrintRecord[],
  formatTime: TimeFormat = chineseTime,
): HistoryLines[] | string {
  if (records.length === 0) return NO_HISTORY_TEXT;
  return records.slice(0, HISTORY_SHOWN).map((r) => historyLines(r, formatTime));
}
