// The calibration sheet and the print card's offset line: print the calibration label, read
// off the shift, save it for this printer, or let the printer measure its roll.

import { unpackRaster } from '../compose/pack';
import { composeRowRaster } from '../compose/row';
import {
  clampPrinterOffset,
  formatPrinterOffset,
  readPrinterOffset,
  writePrinterOffset,
} from '../document/printer-profiles';
import type { DocumentStore } from '../store/document-store';
import type { Elements } from '../page/elements';
import { openSheet, closeSheet } from '../page/sheets';
import type { StatusLine } from '../page/status';
import { calibrationDocument } from './calibration';
import { rowWidthMm } from './check';
import { failureText, type CallService, type PrinterView, type RowResult } from './dispatch';
import { clampColumnCount, printerOffsetLine } from './rules';

export type CalibrationElements = Pick<
  Elements,
  | 'printer-offset'
  | 'btn-calibrate'
  | 'calibration-sheet'
  | 'calibration-close'
  | 'calibration-info'
  | 'calibration-canvas'
  | 'calibration-x'
  | 'calibration-y'
  | 'calibration-hint'
  | 'calibration-media'
  | 'calibration-print'
  | 'calibration-save'
>;

export interface CalibrationDeps {
  status: StatusLine;
  call: CallService;
  printer: () => PrinterView;
  /** The normal print path for one label of a document. */
  printDocument: (doc: ReturnType<typeof calibrationDocument>) => Promise<RowResult>;
}

export const NO_PRINTER = '先选择打印机（或点 ↻ 重新查找）';
export const MEDIA_MISSING = '这个版本的本地打印服务不支持纸张校准，请下载新版 Sorvendale';

/** The calibrate_media body for the document's print row, as print_sheet sizes it. */
export function mediaRequest(
  doc: DocumentStore['doc'],
  printer: string,
): { printer: string; width_mm: number; height_mm: number; gap_mm: number } {
  return {
    printer,
    width_mm: rowWidthMm(doc, clampColumnCount(doc.print.columns)),
    height_mm: doc.page.heightMm,
    gap_mm: doc.print.rowGapMm,
  };
}

export function installCalibration(
  el: CalibrationElements,
  store: DocumentStore,
  deps: CalibrationDeps,
): { refreshPrinterOffset(): void } {
  const sheet = el['calibration-sheet'];
  const hint = (text: string, tone: 'info' | 'error' = 'info') => {
    el['calibration-hint'].textContent = text;
    el['calibration-hint'].classList.toggle('is-error', tone === 'error');
  };
  // The printer the sheet was opened for: a save never lands on another one.
  let printer = '';

  const refreshPrinterOffset = () => {
    const view = deps.printer();
    const line = el['printer-offset'];
    const shown = view.serviceReachable && view.selectedPrinter !== '';
    line.textContent = shown ? printerOffsetLine(readPrinterOffset(view.selectedPrinter)) : '';
    el['btn-calibrate'].disabled = !shown;
    line.hidden = !shown;
  };

  const open = () => {
    const view = deps.printer();
    if (!view.serviceReachable || view.selectedPrinter === '') {
      deps.status.showHint(NO_PRINTER, 'error');
      return;
    }
    printer = view.selectedPrinter;
    const doc = calibrationDocument(store.doc, printer);
    const raster = composeRowRaster(doc, [{}], 1);
    const { width, height } = raster.metrics;
    const canvas = el['calibration-canvas'];
    canvas.width = width;
    canvas.height = height;
    canvas.getContext('2d')?.putImageData(unpackRaster(raster.bytes, width, height), 0, 0);
    const { widthMm, heightMm, dpi } = doc.page;
    el['calibration-info'].textContent =
      `${printer} · ${widthMm}×${heightMm} mm · ${dpi} dpi · ${width}×${height} dots`;
    const offset = readPrinterOffset(printer);
    el['calibration-x'].value = String(offset.xMm);
    el['calibration-y'].value = String(offset.yMm);
    hint('');
    openSheet(sheet);
  };

  const printLabel = async () => {
    el['calibration-print'].disabled = true;
    try {
      const result = await deps.printDocument(calibrationDocument(store.doc, printer));
      if (result.ok)
        hint(
          `校准标签已发送到 ${printer}，打印时带上了偏移 ${formatPrinterOffset(readPrinterOffset(printer))}。`,
        );
      else hint('校准标签没有打印，原因见下方状态栏。', 'error');
    } finally {
      el['calibration-print'].disabled = false;
    }
  };

  const save = () => {
    const read = (input: HTMLInputElement) =>
      clampPrinterOffset(input.value.trim() === '' ? 0 : Number(input.value));
    const offset = { xMm: read(el['calibration-x']), yMm: read(el['calibration-y']) };
    el['calibration-x'].value = String(offset.xMm);
    el['calibration-y'].value = String(offset.yMm);
    if (!writePrinterOffset(printer, offset)) {
      hint('浏览器不允许保存设置，偏移没有保存。', 'error');
      return;
    }
    refreshPrinterOffset();
    hint(
      `已保存：${printer} 的打印机偏移 ${formatPrinterOffset(offset)}，对这台打印机的所有标签生效。`,
    );
    deps.status.showHint(`${printer}：打印机偏移 ${formatPrinterOffset(offset)}`);
  };

  const calibrateMedia = async () => {
    el['calibration-media'].disabled = true;
    hint('正在发送纸张校准…');
    try {
      await deps.call('calibrate_media', mediaRequest(store.doc, printer));
      hint('已发送纸张校准：打印机会走几张标签，测量标签长度和间隙。完成后再打印校准标签。');
    } catch (error) {
      const text = failureText(error);
      hint(text === 'no such api' ? MEDIA_MISSING : `纸张校准失败：${text}`, 'error');
    } finally {
      el['calibration-media'].disabled = false;
    }
  };

  el['btn-calibrate'].addEventListener('click', open);
  el['calibration-close'].addEventListener('click', () => closeSheet(sheet));
  el['calibration-print'].addEventListener('click', () => void printLabel());
  el['calibration-save'].addEventListener('click', save);
  el['calibration-media'].addEventListener('click', () => void calibrateMedia());
  return { refreshPrinterOffset };
}
