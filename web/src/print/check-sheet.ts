// The check sheet: the document check's issues, each with a way to the object concerned.

import type { DocumentStore } from '../editor/store';
import type { Elements } from '../page/elements';
import { closeSheet, openSheet } from '../page/sheets';
import { checkDocument, countLevels, type CheckIssue } from './check';

export type CheckSheetElements = Pick<
  Elements,
  'check-sheet' | 'check-close' | 'check-summary' | 'check-list'
>;

export function checkSummary(issues: readonly CheckIssue[]): string {
  if (issues.length === 0) return '未发现明显问题，可以进入打印预览。';
  const { errors, warnings } = countLevels(issues);
  return `${issues.length} 个问题（${errors} 个错误，${warnings} 个提醒）`;
}

function issueItem(issue: CheckIssue, locate: (id: string) => void): HTMLElement {
  const item = document.createElement('div');
  item.className = 'check-item';
  const badge = document.createElement('span');
  const error = issue.level === 'error';
  badge.className = `check-level ${error ? 'is-error' : 'is-warning'}`;
  badge.textContent = error ? '错误' : '提醒';
  const message = document.createElement('span');
  message.className = 'check-message';
  message.textContent = issue.message;
  item.append(badge, message);
  const id = issue.objectId;
  if (id !== undefined) {
    const action = document.createElement('button');
    action.type = 'button';
    action.className = 'check-action';
    action.textContent = '定位';
    action.addEventListener('click', () => locate(id));
    item.append(action);
  }
  return item;
}

/** Runs the check against the current record and shows the sheet. */
export function showCheckSheet(el: CheckSheetElements, store: DocumentStore): void {
  const issues = checkDocument(store.doc, store.dataset, store.dataContext());
  el['check-summary'].textContent = checkSummary(issues);
  const locate = (id: string) => {
    store.select([id]);
    closeSheet(el['check-sheet']);
  };
  const items =
    issues.length === 0
      ? [
          Object.assign(document.createElement('div'), {
            className: 'check-item',
            textContent: '✓ 页面尺寸、对象边界、条码数据和字段绑定都正常。',
          }),
        ]
      : issues.map((issue) => issueItem(issue, locate));
  el['check-list'].replaceChildren(...items);
  openSheet(el['check-sheet']);
}

export function installCheckSheet(el: CheckSheetElements): void {
  el['check-close'].addEventListener('click', () => closeSheet(el['check-sheet']));
}
