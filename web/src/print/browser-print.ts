// Browser print: a generated page of composed rows printed through the browser's own dialog,
// for machines without the local service.

import { batchRows, copyGroups, placeRow } from '../compose/copies';
import { composeRow, composeRowRaster } from '../compose/row';
import type { PrintRecordInput } from '../document/print-history';
import type { LabelDocument } from '../document/model';
import type { DocumentStore } from '../store/document-store';
import type { MergeContext } from '../merge/types';
import type { StatusLine } from '../page/status';
import { preloadImages } from '../render/sources';
import { assertRowReadable, UnreadableSymbol } from '../verify/verify';
import { rowSymbols } from '../verify/placements';
import { objectName, rowWidthMm } from './check';
import { EMPTY_CANVAS, failureText, NEED_DATA, NO_COPY_PLAN } from './dispatch';
import { browserPrintHint, browserPrintPage, clampColumnCount } from './rules';

export const SINGLE_LABEL = '当前标签';
export const BATCH_LABEL = '批量标签';
/** Lets the generated page lay out and its images decode before the dialog freezes it. */
export const PRINT_DIALOG_DELAY_MS = 350;

export interface BrowserPrintDeps {
  store: DocumentStore;
  status: StatusLine;
  openWindow?: () => Window | null;
  preload?: (doc: LabelDocument) => Promise<void>;
  record?: (entry: PrintRecordInput) => void;
}

export type Group = readonly MergeContext[];
type Slots = readonly (MergeContext | undefined)[];

/**
 * Opens the window at once, inside the user's click, since browsers block windows opened
 * after an await; everything slow happens afterwards.
 */
export function openBrowserPrint(
  deps: BrowserPrintDeps,
  groups: readonly Group[],
  label: string,
): Promise<void> {
  const { store, status } = deps;
  if (store.doc.objects.length === 0) {
    status.showHint(EMPTY_CANVAS, 'error');
    return Promise.resolve();
  }
  if (groups.length === 0) {
    status.showHint('没有可打印的数据', 'error');
    return Promise.resolve();
  }
  const win = (deps.openWindow ?? (() => window.open('', '_blank')))();
  if (!win) {
    status.showHint('浏览器阻止了打印窗口，请允许弹窗后重试', 'error');
    return Promise.resolve();
  }
  win.document.write('<p style="font-family:sans-serif;padding:24px">正在生成打印页面…</p>');
  return fillWindow(deps, win, groups, label);
}

/**
 * Reads every row's symbols back from the 1-bit raster a printer would get, as the service's
 * print does; the first that does not read cancels the whole page. The batch shows its record.
 */
async function refusedSymbol(
  deps: BrowserPrintDeps,
  doc: LabelDocument,
  rows: readonly Slots[],
  columns: number,
  label: string,
): Promise<string | undefined> {
  for (const slots of rows) {
    const raster = composeRowRaster(doc, slots, columns);
    const { width, height } = raster.metrics;
    try {
      await assertRowReadable(
        { bytes: raster.bytes, width, height },
        rowSymbols(doc, slots, columns, objectName),
      );
    } catch (error) {
      if (!(error instanceof UnreadableSymbol)) throw error;
      const record = slots[error.slot]?.index;
      if (label !== BATCH_LABEL || record === undefined) return error.message;
      deps.store.setRecord(record);
      const { name, error: reason } = error.verdict;
      return `第 ${record + 1} 条记录的 ${name} 无法识读：${reason}，已取消打印`;
    }
  }
  return undefined;
}

async function fillWindow(
  deps: BrowserPrintDeps,
  win: Window,
  groups: readonly Group[],
  label: string,
): Promise<void> {
  const { store, status } = deps;
  try {
    const doc = store.doc;
    await (deps.preload ?? preloadImages)(doc);
    const columns = clampColumnCount(doc.print.columns);
    const widthMm = rowWidthMm(doc, columns);
    const heightMm = doc.page.heightMm;
    const rows = groups.map((group) => placeRow(doc, group, columns));
    const refused = await refusedSymbol(deps, doc, rows, columns, label);
    if (refused) {
      status.setStatus('error', '打印失败');
      status.showHint(refused, 'error');
      win.close();
      return;
    }
    const images = rows.map((slots) =>
      composeRow(doc, slots, columns, { applyOffset: true }).canvas.toDataURL('image/png'),
    );
    win.document.open();
    win.document.write(browserPrintPage(widthMm, heightMm, doc.print.oddAlign === 'right', images));
    win.document.close();
    win.focus();
    status.setStatus('online', '浏览器打印');
    status.showHint(
      browserPrintHint(label, groups.length, widthMm, heightMm, {
        x: doc.print.offsetXMm,
        y: doc.print.offsetYMm,
      }),
    );
    const labels = groups.reduce((sum, g) => sum + g.length, 0);
    deps.record?.({
      docName: doc.name,
      printer: '浏览器打印',
      copies: labels,
      records: labels,
      dryRun: false,
      ok: true,
      bytes: 0,
      elapsedMs: 0,
    });
    setTimeout(() => win.print(), PRINT_DIALOG_DELAY_MS);
  } catch (error) {
    status.showHint(`浏览器打印准备失败：${failureText(error)}`, 'error');
    win.close();
  }
}

/** The document's copies, as single print would send them. */
export function singleBrowserPrint(deps: BrowserPrintDeps): Promise<void> {
  const plan = copyGroups(deps.store);
  if (!plan) {
    deps.status.showHint(NO_COPY_PLAN, 'error');
    return Promise.resolve();
  }
  return openBrowserPrint(deps, plan.groups, SINGLE_LABEL);
}

/** Every record, `columns` to a page; the last page may be short and fills from the left. */
export function batchBrowserPrint(deps: BrowserPrintDeps): Promise<void> {
  const data = deps.store.dataset;
  if (!data || data.rows.length === 0) {
    deps.status.showHint(NEED_DATA, 'error');
    return Promise.resolve();
  }
  const groups = batchRows(deps.store).map((slots) =>
    slots.filter((slot): slot is MergeContext => slot !== undefined),
  );
  return openBrowserPrint(deps, groups, BATCH_LABEL);
}
