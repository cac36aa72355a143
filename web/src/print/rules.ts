// Print rules over documents and numbers: the request, clamps, the dialog's values and the texts
// that depend only on numbers. No DOM here.

import { PRINT_FIELDS, type FieldSpec, type NumberField } from '../document/field-table';
import { readEntry, readField } from '../document/fields';
import { mmToDots, type LabelDocument, type PrintSettings } from '../document/model';
import {
  formatPrinterOffset,
  NO_PRINTER_OFFSET,
  type PrinterOffset,
} from '../document/printer-profiles';
import type { Dataset } from '../merge/types';
import type { Base64Text } from '../page/service-call';
import { rowWidthMm } from './check';

/** The `print_sheet` request, members in wire order. */
export interface PrintRequest {
  printer: string;
  width_mm: number;
  height_mm: number;
  width_dots: number;
  height_dots: number;
  gap_mm: number;
  density: number;
  speed: number;
  copies: number;
  offset_x_dots: number;
  offset_y_dots: number;
  tear: boolean;
  data_b64: string;
  dry_run: boolean;
}

/** A request as the page hands it to the client: the raster may be Base64 text to copy in whole. */
export type OutgoingPrintRequest = Omit<PrintRequest, 'data_b64'> & {
  data_b64: string | Base64Text;
};

export interface PrintReply {
  bytes: number;
  elapsed_ms: number;
  printer: string;
}

/** Rounded and clamped; anything unreadable becomes `fallback`. */
export function clampRound(value: number, min: number, max: number, fallback: number): number {
  const n = Math.round(value);
  return Number.isFinite(n) ? Math.min(max, Math.max(min, n)) : fallback;
}

const countClamp = (field: NumberField) => (n: number) =>
  clampRound(n, field.min, field.max, field.emptyEntry ?? field.default);
export const clampColumnCount = countClamp(PRINT_FIELDS.columns);
export const clampCopyCount = countClamp(PRINT_FIELDS.copies);

/** Whole kilobytes, as every print text shows them. */
export const kilobytes = (bytes: number): number => Math.round(bytes / 1024);

export interface RequestInput {
  printer: string;
  columns: number;
  copies: number;
  raster: { width: number; height: number };
  dataB64: string | Base64Text;
  dryRun: boolean;
  /** The printer's own correction, added to the document's offsets. */
  printerOffset?: PrinterOffset;
}

export function buildPrintRequest(doc: LabelDocument, input: RequestInput): OutgoingPrintRequest {
  const { dpi } = doc.page;
  const printerOffset = input.printerOffset ?? NO_PRINTER_OFFSET;
  return {
    printer: input.printer,
    width_mm: rowWidthMm(doc, input.columns),
    height_mm: doc.page.heightMm,
    width_dots: input.raster.width,
    height_dots: input.raster.height,
    gap_mm: doc.print.rowGapMm,
    density: doc.print.density,
    speed: doc.print.speed,
    copies: input.copies,
    offset_x_dots: Math.round(mmToDots(doc.print.offsetXMm + printerOffset.xMm, dpi)),
    offset_y_dots: Math.round(mmToDots(doc.print.offsetYMm + printerOffset.yMm, dpi)),
    tear: false,
    data_b64: input.dataB64,
    dry_run: input.dryRun,
  };
}

// ---- The print settings dialog ----

/**
 * The print sheet's fields in the order it shows them, by element id. Captions, ranges, choices
 * and their labels come from the field table, so a setting is declared once.
 */
export const PRINT_SHEET_FIELDS = [
  { id: 'print-copies', key: 'copies' },
  { id: 'print-columns', key: 'columns' },
  { id: 'print-copy-mode', key: 'copyMode', wide: true },
  { id: 'print-odd-align', key: 'oddAlign' },
  { id: 'print-orientation', key: 'orientation' },
  { id: 'print-offset-x', key: 'offsetXMm' },
  { id: 'print-offset-y', key: 'offsetYMm' },
  { id: 'print-density', key: 'density' },
  { id: 'print-speed', key: 'speed' },
] as const satisfies readonly { id: string; key: keyof PrintSettings; wide?: boolean }[];

type DialogKey = (typeof PRINT_SHEET_FIELDS)[number]['key'];
/** The sheet's entries as typed, by setting. */
export type DialogFields = Record<DialogKey, string>;
export type DialogSettings = Pick<PrintSettings, DialogKey>;

/** Every entry read as the field table says: clamped, rounded, or its empty-entry value. */
export function readDialog(fields: DialogFields): DialogSettings {
  const out: Record<string, unknown> = {};
  for (const { key } of PRINT_SHEET_FIELDS) {
    const field: FieldSpec = PRINT_FIELDS[key];
    out[key] =
      field.kind === 'number' ? readEntry(field, fields[key]) : readField(field, fields[key]);
  }
  return out as DialogSettings;
}

export const dialogCopies = (text: string): number => readEntry(PRINT_FIELDS.copies, text);

export const SEQUENCE_NEEDS_DATA = '按数据表顺延需要先导入 CSV / Excel 数据源。';

export function copyHint(
  mode: string,
  copies: number,
  dataset: Dataset | null | undefined,
  recordIndex: number,
  hasSymbols: boolean,
): string {
  if (mode === 'sequence') {
    if (!dataset) return SEQUENCE_NEEDS_DATA;
    const left = Math.max(0, dataset.rows.length - recordIndex);
    return `按数据表从当前记录开始顺延，最多可打印 ${left} 份；条码/二维码字段会逐份换值。`;
  }
  if (mode === 'serial')
    return '每份的 {{serial:起点:步长:位数}} 会按份数递增，适合唯一流水号条码；普通字段不会变化。';
  if (copies > 1 && hasSymbols)
    return '当前是“每份相同”，多份条码会重复；需要逐份唯一时请选择“按数据表顺延”或“流水号递增”。';
  return '每份打印同一张标签，适合普通补打/复印。';
}

export function summaryEntries(
  doc: LabelDocument,
  printer: { selected: string; reachable: boolean; offset?: PrinterOffset },
): [string, string][] {
  const columns = clampColumnCount(doc.print.columns);
  const { widthMm, heightMm } = doc.page;
  const entries: [string, string][] = [
    ['文档', doc.name],
    ['标签', `${widthMm}×${heightMm}mm · ${columns} 列`],
    ['打印页', `${rowWidthMm(doc, columns).toFixed(1)}×${heightMm}mm`],
    ['打印机', printer.reachable ? printer.selected || '未选择' : '浏览器打印（系统驱动）'],
  ];
  // Only a native print moves the printer's origin; browser print has no use for it.
  if (printer.reachable && printer.selected !== '')
    entries.push(['打印机偏移', formatPrinterOffset(printer.offset ?? NO_PRINTER_OFFSET)]);
  return entries;
}

/** The print card's line for the selected printer's profile. */
export const printerOffsetLine = (offset: PrinterOffset): string =>
  `打印机偏移 ${formatPrinterOffset(offset)}`;

// ---- Preview and browser print texts ----

export function previewInfo(p: {
  width: number;
  height: number;
  bytes: number;
  groups: number;
  columns: number;
  total: number;
  framed: boolean;
}): string {
  const page = p.groups > 1 ? `第 1/${p.groups} 页` : '单张';
  const kind = p.framed ? '校准预览（含标签外偏移区域）' : '这是实际送打印机的 1bpp 点阵';
  return `${p.width}×${p.height} dots · ${kilobytes(p.bytes)} KB · ${page} · ${p.columns} 列 · 共 ${p.total} 份 · ${kind}`;
}

export function previewNote(framed: boolean): string {
  return framed
    ? '虚线框内是实际标签，框外是负偏移带出的内容；打印机会移动整个打印原点，不会像画布那样把框外内容裁掉。'
    : '预览就是最终送打印机的点阵，方便检查断行、条码清晰度和留白。';
}

const OFFSET_EPSILON_MM = 0.001;

export function browserPrintHint(
  label: string,
  pages: number,
  widthMm: number,
  heightMm: number,
  offsets: { x: number; y: number },
): string {
  const calibrated =
    Math.abs(offsets.x) > OFFSET_EPSILON_MM || Math.abs(offsets.y) > OFFSET_EPSILON_MM;
  return (
    `${label}已生成 ${pages} 页，打印页 ${widthMm.toFixed(1)}×${heightMm.toFixed(1)} mm，` +
    '请在浏览器打印对话框中选择系统打印机和正确纸张尺寸' +
    (calibrated
      ? '；浏览器打印不支持打印机原点校准，超出纸张的偏移部分可能被裁掉，建议使用本地 QX530 打印模式'
      : '') +
    '。'
  );
}

/** The whole page written into the print window: one `print-page` per group. */
export function browserPrintPage(
  widthMm: number,
  heightMm: number,
  alignRight: boolean,
  images: readonly string[],
): string {
  const w = `${widthMm}mm`;
  const h = `${heightMm}mm`;
  const pages = images
    .map(
      (src, i) =>
        `<div class="print-page"${i < images.length - 1 ? ' style="break-after:page;page-break-after:always"' : ''}>` +
        `<img src="${src}" alt="" style="width:${w};height:${h}"></div>`,
    )
    .join('');
  return (
    '<!doctype html><html><head><meta charset="utf-8"><title>Sorvendale</title><style>' +
    `@page{size:${w} ${h};margin:0}` +
    'html,body{margin:0;padding:0;background:#fff}' +
    `.print-page{width:${w};height:${h};display:flex;align-items:flex-start;` +
    `justify-content:${alignRight ? 'flex-end' : 'flex-start'};overflow:hidden}` +
    '.print-page img{display:block;image-rendering:pixelated}' +
    `</style></head><body>${pages}</body></html>`
  );
}
