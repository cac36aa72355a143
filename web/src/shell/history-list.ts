// The settings sheet's print history: the newest 20 records as two lines each, and what each
// record offers: a reprint, a part of a batch again, the rest of a cut-off batch, its label.

import type { PrintRecord } from '../document/print-history';

export const HISTORY_SHOWN = 20;
export const NO_HISTORY_TEXT = '暂无打印记录';
export const REPRINT_TEXT = '重印';
export const REPRINT_PART_TEXT = '重印部分…';
export const OPEN_LABEL_TEXT = '打开此标签';

export interface HistoryLines {
  title: string;
  detail: string;
}

/** The time in the browser's Chinese format; a parameter so tests need no locale data. */
export type TimeFormat = (time: number) => string;

export const chineseTime: TimeFormat = (time) => new Date(time).toLocaleString('zh-CN');

/** A record still marked running that no page runs was cut off (tab closed, crash). */
function unfinished(record: PrintRecord, live: boolean): string | undefined {
  const run = record.run;
  if (!run || run.state === 'done') return undefined;
  if (run.state === 'running') return live ? '进行中' : '中断';
  return run.state === 'stopped' ? '已停止' : '失败';
}

export function historyLines(
  record: PrintRecord,
  formatTime: TimeFormat = chineseTime,
  live = false,
): HistoryLines {
  // A run stopped part-way still sent what it sent.
  const outcome =
    record.ok || (record.run !== undefined && record.bytes > 0)
      ? `${Math.round(record.bytes / 1024)} KB / ${record.elapsedMs} ms`
      : '失败';
  const cut = unfinished(record, live);
  const count = cut ? `${cut} ${record.records}/${record.run!.total}` : `${record.records} 张`;
  const reprint = record.run?.reprintOf ? ` · 重印 · ${formatTime(record.run.reprintOf)}` : '';
  const dropped = record.run?.snapshot === 'dropped' ? ' · 快照已删除，不能重印' : '';
  return {
    title: `${record.ok ? '✓' : '✗'} ${record.docName} · ${count}${record.dryRun ? ' · 自检' : ''}${reprint}`,
    detail: `${formatTime(record.time)} · ${record.printer} · ${record.copies} 份 · ${outcome}${dropped}`,
  };
}

export type EntryAction =
  | { kind: 'reprint' | 'part' | 'open'; label: string }
  | { kind: 'continue'; label: string; from: number };

/**
 * The buttons of a record with a kept snapshot: a finished one prints again (a batch also in
 * part); a stopped, failed or cut-off batch continues at `resumeAt` (from 0).
 */
export function entryActions(record: PrintRecord, live: boolean, resumeAt = 0): EntryAction[] {
  const run = record.run;
  if (!run || record.dryRun || run.snapshot !== 'kept' || (run.state === 'running' && live))
    return [];
  const open: EntryAction = { kind: 'open', label: OPEN_LABEL_TEXT };
  const batch = run.kind === 'batch';
  if (run.state === 'done') {
    const part: EntryAction[] = batch ? [{ kind: 'part', label: REPRINT_PART_TEXT }] : [];
    return [{ kind: 'reprint', label: REPRINT_TEXT }, ...part, open];
  }
  if (!batch || resumeAt >= run.total) return [open];
  return [{ kind: 'continue', label: `从第 ${resumeAt + 1} 条继续`, from: resumeAt }, open];
}

/** "5-12", "5–12" or "7" as records from 0 with `to` excluded; nothing when outside 1..total. */
export function parseRecordRange(
  text: string,
  total: number,
): { from: number; to: number } | undefined {
  const m = /^\s*(\d+)\s*(?:[-–~—至到]\s*(\d+)\s*)?$/.exec(text);
  if (!m) return undefined;
  const first = Number(m[1]);
  const last = m[2] === undefined ? first : Number(m[2]);
  if (first < 1 || last < first || last > total) return undefined;
  return { from: first - 1, to: last };
}

/** The lines to show, newest first; one plain line when there is nothing to show. */
export function historyView(
  records: readonly PrintRecord[],
  formatTime: TimeFormat = chineseTime,
): HistoryLines[] | string {
  if (records.length === 0) return NO_HISTORY_TEXT;
  return records.slice(0, HISTORY_SHOWN).map((r) => historyLines(r, formatTime));
}
