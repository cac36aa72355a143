// The settings sheet (theme row, print history with its reprint actions, version note) and the
// help sheet.

import type { RecordBackend } from '../document/database';
import { clearPrintHistory, loadPrintHistory, type PrintRecord } from '../document/print-history';
import { SNAPSHOT_BUDGET_BYTES, trimSnapshots } from '../document/print-snapshots';
import type { Elements } from '../page/elements';
import { closeSheet, openSheet } from '../page/sheets';
import {
  chineseTime,
  entryActions,
  HISTORY_SHOWN,
  historyLines,
  NO_HISTORY_TEXT,
  parseRecordRange,
  type EntryAction,
} from './history-list';

export type SettingsSheetElements = Pick<
  Elements,
  'settings-button' | 'settings-sheet' | 'settings-close' | 'clear-history' | 'history-list'
>;

/** What the history list asks of the print area and the document files (wired in main.ts). */
export interface HistoryHooks {
  isLive(id: string): boolean;
  resumePoint(record: PrintRecord): Promise<number>;
  reprint(record: PrintRecord, range?: { from: number; to: number }): Promise<void>;
  continueRun(record: PrintRecord, from: number): Promise<void>;
  openLabel(record: PrintRecord): Promise<void>;
  /** The printer a reprint goes to. */
  printer(): string;
  confirm(message: string): boolean;
  prompt(message: string, value: string): string | null;
}

export function reprintQuestion(record: PrintRecord, printer: string): string {
  return `将在打印机“${printer}”上重印 ${record.run?.total ?? record.records} 张标签，继续？`;
}

export async function renderHistory(
  list: HTMLElement,
  records: Promise<RecordBackend>,
  hooks?: HistoryHooks,
  closeSheet: () => void = () => undefined,
): Promise<void> {
  const stored = (await loadPrintHistory(await records)).slice(0, HISTORY_SHOWN);
  list.replaceChildren();
  if (stored.length === 0) {
    const empty = document.createElement('li');
    empty.className = 'history-item';
    empty.textContent = NO_HISTORY_TEXT;
    list.append(empty);
    return;
  }
  for (const record of stored) {
    const live = hooks?.isLive(record.id) ?? false;
    const lines = historyLines(record, chineseTime, live);
    const item = document.createElement('li');
    item.className = 'history-item';
    const title = document.createElement('strong');
    title.textContent = lines.title;
    const detail = document.createElement('small');
    detail.textContent = lines.detail;
    item.append(title, detail);
    list.append(item);
    if (!hooks) continue;
    const cut = record.run && record.run.state !== 'done' && !live;
    const resumeAt = cut ? await hooks.resumePoint(record) : 0;
    const actions = entryActions(record, live, resumeAt);
    if (actions.length === 0) continue;
    const row = document.createElement('div');
    row.className = 'history-actions';
    for (const action of actions) {
      const button = document.createElement('button');
      button.type = 'button';
      button.className = 'mini-btn';
      button.textContent = action.label;
      button.addEventListener('click', () => void runAction(record, action, hooks, closeSheet));
      row.append(button);
    }
    item.append(row);
  }
}

async function runAction(
  record: PrintRecord,
  action: EntryAction,
  hooks: HistoryHooks,
  closeSheet: () => void,
): Promise<void> {
  if (action.kind === 'reprint') {
    if (!hooks.confirm(reprintQuestion(record, hooks.printer()))) return;
    closeSheet();
    await hooks.reprint(record);
  } else if (action.kind === 'part') {
    const total = record.run?.total ?? 0;
    const answer = hooks.prompt(`重印第几条到第几条？（1–${total}，例如 5-12）`, `1-${total}`);
    if (answer === null) return;
    const range = parseRecordRange(answer, total);
    if (!range) {
      hooks.confirm(`“${answer}”不是 1 到 ${total} 之间的记录范围`);
      return;
    }
    closeSheet();
    await hooks.reprint(record, range);
  } else if (action.kind === 'continue') {
    closeSheet();
    await hooks.continueRun(record, action.from);
  } else {
    closeSheet();
    await hooks.openLabel(record);
  }
}

/** The list is read afresh each time the sheet opens, so prints made meanwhile show up. */
export function installSettingsSheet(
  el: SettingsSheetElements,
  records: Promise<RecordBackend>,
  hooks?: HistoryHooks,
): { open(): void } {
  const sheet = el['settings-sheet'];
  const close = () => closeSheet(sheet);
  const render = () => renderHistory(el['history-list'], records, hooks, close);
  const open = () => {
    void render();
    openSheet(sheet);
  };
  el['settings-button'].addEventListener('click', open);
  el['settings-close'].addEventListener('click', close);
  el['clear-history'].addEventListener('click', () => {
    void records
      .then(async (backend) => {
        await clearPrintHistory(backend);
        // Snapshots without their records are of no use: they go with them.
        await trimSnapshots(backend, SNAPSHOT_BUDGET_BYTES);
      })
      .then(render);
  });
  return { open };
}

export function installHelpSheet(el: Pick<Elements, 'help-button' | 'help-sheet' | 'help-close'>) {
  el['help-button'].addEventListener('click', () => openSheet(el['help-sheet']));
  el['help-close'].addEventListener('click', () => closeSheet(el['help-sheet']));
}
