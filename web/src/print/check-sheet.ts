// The check sheet: the document check's issues, each with a way to the object concerned.

import type { DocumentStore } from '../store/document-store';
import type { Elements } from '../page/elements';
import { closeSheet, openSheet } from '../page/sheets';
import { composeRowRaster } from '../compose/row';
import { rowSymbols } from '../verify/placements';
import { verifyRow } from '../verify/verify';
import { checkDocument, countLevels, objectName, type CheckIssue } from './check';

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

/**
 * Every symbol of the current record's label, read back from its print raster: one issue per
 * symbol that does not read, and one per warning, with the number of symbols read.
 */
export async function scanIssues(
  store: DocumentStore,
): Promise<{ issues: CheckIssue[]; symbols: number }> {
  const context = store.dataContext();
  const doc = store.doc;
  const symbols = rowSymbols(doc, [context], 1, objectName);
  if (symbols.length === 0) return { issues: [], symbols: 0 };
  const row = composeRowRaster(doc, [context], 1);
  const { width, height } = row.metrics;
  const verdicts = await verifyRow({ bytes: row.bytes, width, height }, symbols);
  const issues = verdicts.flatMap((v, i): CheckIssue[] => {
    const objectId = symbols[i].objectId;
    if (v.error) return [{ level: 'error', message: `${v.name} 无法识读：${v.error}`, objectId }];
    return v.warnings.map((message) => ({ level: 'warning' as const, message, objectId }));
  });
  return { issues, symbols: symbols.length };
}

const textItem = (text: string, className = 'check-item') =>
  Object.assign(document.createElement('div'), { className, textContent: text });

/** Runs the check against the current record and shows the sheet; the symbol scan follows. */
export function showCheckSheet(el: CheckSheetElements, store: DocumentStore): void {
  const issues = checkDocument(store.doc, store.dataset, store.dataContext());
  const locate = (id: string) => {
    store.select([id]);
    closeSheet(el['check-sheet']);
  };
  const show = (all: readonly CheckIssue[], tail: HTMLElement[]) => {
    el['check-summary'].textContent = checkSummary(all);
    const items =
      all.length === 0
        ? [textItem('✓ 页面尺寸、对象边界、条码数据和字段绑定都正常。')]
        : all.map((issue) => issueItem(issue, locate));
    el['check-list'].replaceChildren(...items, ...tail);
  };
  // The list says when the scan is done, for the user and for tests that wait on it.
  const list = el['check-list'];
  list.dataset.scan = 'running';
  show(issues, [textItem('正在从打印位图识读条码…', 'check-note')]);
  openSheet(el['check-sheet']);
  void scanIssues(store).then(
    ({ issues: scanned, symbols: read }) => {
      // Counted by the scan itself: the document may have changed while it ran.
      const ok = read > 0 && scanned.length === 0;
      const note = ok ? [textItem(`✓ ${read} 个条码从打印位图识读无误。`, 'check-note')] : [];
      show([...issues, ...scanned], note);
      list.dataset.scan = 'done';
    },
    (error: unknown) => {
      const why = error instanceof Error ? error.message : String(error);
      show(issues, [textItem(`条码识读未能运行：${why}`, 'check-note')]);
      list.dataset.scan = 'done';
    },
  );
}

export function installCheckSheet(el: CheckSheetElements): void {
  el['check-close'].addEventListener('click', () => closeSheet(el['check-sheet']));
}
