// The settings sheet (theme row, print history, version note) and the help sheet.

import type { RecordBackend } from '../document/database';
import { clearPrintHistory, loadPrintHistory } from '../document/print-history';
import type { Elements } from '../page/elements';
import { closeSheet, openSheet } from '../page/sheets';
import { historyView } from './history-list';

export type SettingsSheetElements = Pick<
  Elements,
  'settings-button' | 'settings-sheet' | 'settings-close' | 'clear-history' | 'history-list'
>;

export async function renderHistory(
  list: HTMLElement,
  records: Promise<RecordBackend>,
): Promise<void> {
  const view = historyView(await loadPrintHistory(await records));
  list.replaceChildren();
  if (typeof view === 'string') {
    const empty = document.createElement('li');
    empty.className = 'history-item';
    empty.textContent = view;
    list.append(empty);
    return;
  }
  for (const lines of view) {
    const item = document.createElement('li');
    item.className = 'history-item';
    const title = document.createElement('strong');
    title.textContent = lines.title;
    const detail = document.createElement('small');
    detail.textContent = lines.detail;
    item.append(title, detail);
    list.append(item);
  }
}

/** The list is read afresh each time the sheet opens, so prints made meanwhile show up. */
export function installSettingsSheet(
  el: SettingsSheetElements,
  records: Promise<RecordBackend>,
): { open(): void } {
  const sheet = el['settings-sheet'];
  const open = () => {
    void renderHistory(el['history-list'], records);
    openSheet(sheet);
  };
  el['settings-button'].addEventListener('click', open);
  el['settings-close'].addEventListener('click', () => closeSheet(sheet));
  el['clear-history'].addEventListener('click', () => {
    void records
      .then((backend) => clearPrintHistory(backend))
      .then(() => renderHistory(el['history-list'], records));
  });
  return { open };
}

export function installHelpSheet(el: Pick<Elements, 'help-button' | 'help-sheet' | 'help-close'>) {
  el['help-button'].addEventListener('click', () => openSheet(el['help-sheet']));
  el['help-close'].addEventListener('click', () => closeSheet(el['help-sheet']));
}
