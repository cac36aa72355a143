// The document check: what would print wrongly or not at all, before any row is sent.

import {
  TYPE_LABELS,
  type BarcodeObject,
  type LabelDocument,
  type LabelObject,
  type QrCodeObject,
} from '../document/model';
import { findPlaceholders, isBuiltinName, resolvePlaceholders } from '../merge/placeholders';
import type { Dataset, MergeContext } from '../merge/types';
import { barcodeRequest, qrRequest } from '../render/barcode';
import { barcodeBitmap } from '../render/barcode-bitmap';
import { QR_MIN_MODULE_DOTS, qrModuleDots } from '../render/barcode-size';
import { canvasTextMeasure, type TextMeasure } from '../render/text-fit';
import { textFitRule } from './text-fit-rule';

export type CheckLevel = 'warning' | 'error';

export interface CheckIssue {
  level: CheckLevel;
  message: string;
  objectId?: string;
}

/** True when the symbol can be generated for this context. */
export type SymbolEncoder = (obj: BarcodeObject | QrCodeObject, context: MergeContext) => boolean;

export const encodeSymbol: SymbolEncoder = (obj, context) =>
  barcodeBitmap(obj.type === 'barcode' ? barcodeRequest(obj, context) : qrRequest(obj, context)) !==
  undefined;

export interface CheckInput {
  doc: LabelDocument;
  dataset: Dataset | null | undefined;
  context: MergeContext;
  encode: SymbolEncoder;
  qrDots: QrModuleMeasure;
  measure: TextMeasure;
  /**
   * Checking one record as it is about to print: rules that look across every record of the data
   * set look at this one only (a batch of 10,000 would otherwise measure 10,000 texts a row).
   */
  oneRecord?: boolean;
}

/** Printer dots per QR module at the document's resolution; nothing when it cannot be encoded. */
export type QrModuleMeasure = (
  obj: QrCodeObject,
  dpi: number,
  context: MergeContext,
) => number | undefined;

/** One rule over the whole document; rules run in list order. */
export type DocumentRule = (input: CheckInput) => CheckIssue[];
/** One rule over one object; for each object the rules run in list order. */
export type ObjectRule = (obj: LabelObject, name: string, input: CheckInput) => CheckIssue[];

const PAGE_TOLERANCE_MM = 0.01;
const MIN_PAGE_MM = 10;
/** Print widths of the common 4-inch and 8-inch heads, widest first. */
const HEAD_WIDTHS: readonly { mm: number; inches: number }[] = [
  { mm: 216, inches: 8 },
  { mm: 104, inches: 4 },
];

export function rowWidthMm(doc: LabelDocument, columns: number): number {
  return columns * doc.page.widthMm + (columns - 1) * doc.print.columnGapMm;
}

export const DOCUMENT_RULES: DocumentRule[] = [
  ({ doc }) =>
    doc.objects.length === 0
      ? [{ level: 'warning', message: '画布还是空的，先添加对象或套用模板' }]
      : [],
  ({ doc }) =>
    doc.page.widthMm < MIN_PAGE_MM || doc.page.heightMm < MIN_PAGE_MM
      ? [{ level: 'error', message: '页面尺寸过小，无法正常打印' }]
      : [],
  ({ doc }) => {
    const width = rowWidthMm(doc, doc.print.columns);
    const head = HEAD_WIDTHS.find((h) => width > h.mm);
    return head
      ? [
          {
            level: 'warning',
            message: `整排宽度 ${width.toFixed(1)}mm 超过 ${head.inches} 英寸打印头的 ${head.mm}mm，请确认打印机和介质宽度`,
          },
        ]
      : [];
  },
  ({ doc }) =>
    doc.print.copies < 1 || doc.print.copies > 99
      ? [{ level: 'error', message: '打印份数需要在 1~99 之间' }]
      : [],
];

/** Field names of the text's placeholders that a record must supply, distinct, in order. */
export function fieldNames(text: string): string[] {
  return [...new Set(findPlaceholders(text).filter((name) => !isBuiltinName(name)))];
}

/** Placeholders that no record can fill: without a data set every field, else the unknown ones. */
export function fieldCheck(
  name: string,
  text: string,
  dataset: Dataset | null | undefined,
): CheckIssue | undefined {
  const names = fieldNames(text);
  if (names.length === 0) return undefined;
  const wrap = (list: string[]) => list.map((n) => `{{${n}}}`).join('、');
  if (!dataset) {
    return {
      level: 'warning',
      message: `${name} 使用了数据字段 ${wrap(names)}，但当前没有导入数据源`,
    };
  }
  const missing = names.filter((n) => !dataset.fields.includes(n));
  if (missing.length === 0) return undefined;
  return { level: 'warning', message: `${name} 的字段 ${wrap(missing)} 不在当前数据源里` };
}

/** A line's box may run backwards (w, h are its vector), so the extent is its bounding box. */
function outsidePage(obj: LabelObject, doc: LabelDocument): boolean {
  const left = Math.min(obj.x, obj.x + obj.w);
  const right = Math.max(obj.x, obj.x + obj.w);
  const top = Math.min(obj.y, obj.y + obj.h);
  const bottom = Math.max(obj.y, obj.y + obj.h);
  return (
    left < -PAGE_TOLERANCE_MM ||
    top < -PAGE_TOLERANCE_MM ||
    right > doc.page.widthMm + PAGE_TOLERANCE_MM ||
    bottom > doc.page.heightMm + PAGE_TOLERANCE_MM
  );
}

const found = (issue: CheckIssue | undefined): CheckIssue[] => (issue ? [issue] : []);

export const OBJECT_RULES: ObjectRule[] = [
  (obj, name, { doc }) =>
    outsidePage(obj, doc)
      ? [{ level: 'warning', message: `${name} 超出页面范围，打印时会被裁掉`, objectId: obj.id }]
      : [],
  (obj, name, { dataset }) =>
    obj.type === 'text' ? found(fieldCheck(name, obj.text, dataset)) : [],
  textFitRule,
  (obj, name, { dataset, context, encode }) => {
    if (obj.type !== 'barcode' && obj.type !== 'qrcode') return [];
    const issues: CheckIssue[] = [];
    if (resolvePlaceholders(obj.data, context).trim() === '') {
      issues.push({ level: 'error', message: `${name} 的数据为空`, objectId: obj.id });
    } else if (!encode(obj, context)) {
      issues.push({
        level: 'error',
        message: `${name} 的数据不合法，无法生成条码`,
        objectId: obj.id,
      });
    }
    return [...issues, ...found(fieldCheck(name, obj.data, dataset))];
  },
  (obj, name) =>
    obj.type === 'image' && obj.src === ''
      ? [{ level: 'warning', message: `${name} 还没有选择图片`, objectId: obj.id }]
      : [],
];

/** Rules that close the list, after every object's own issues. */
export const CLOSING_RULES: DocumentRule[] = [
  // A module under two dots comes out ragged on a thermal head and often fails to scan.
  ({ doc, context, qrDots }) =>
    doc.objects.flatMap((obj): CheckIssue[] => {
      if (obj.type !== 'qrcode') return [];
      const dots = qrDots(obj, doc.page.dpi, context);
      if (dots === undefined || dots >= QR_MIN_MODULE_DOTS) return [];
      return [
        {
          level: 'warning',
          message: `${objectName(obj)} 的二维码模块不足 ${QR_MIN_MODULE_DOTS} 点，可能无法扫描`,
          objectId: obj.id,
        },
      ];
    }),
];

export function objectName(obj: LabelObject): string {
  return obj.name !== '' ? obj.name : TYPE_LABELS[obj.type];
}

/**
 * Every issue of the document: document-wide ones first, then per object in document order, then
 * the closing rules.
 */
export function checkDocument(
  doc: LabelDocument,
  dataset: Dataset | null | undefined,
  context: MergeContext,
  encode: SymbolEncoder = encodeSymbol,
  qrDots: QrModuleMeasure = qrModuleDots,
  measure: TextMeasure = canvasTextMeasure,
): CheckIssue[] {
  return runRules({ doc, dataset, context, encode, qrDots, measure });
}

/** What keeps this one record from printing: the errors of the check, for this record only. */
export function recordErrors(
  doc: LabelDocument,
  dataset: Dataset | null | undefined,
  context: MergeContext,
  measure: TextMeasure = canvasTextMeasure,
): CheckIssue[] {
  const input: CheckInput = {
    doc,
    dataset,
    context,
    encode: encodeSymbol,
    qrDots: qrModuleDots,
    measure,
    oneRecord: true,
  };
  return runRules(input).filter((i) => i.level === 'error');
}

/** Issues of several labels of a row: the same object's same message counts once. */
export function dedupeIssues(issues: readonly CheckIssue[]): CheckIssue[] {
  return [...new Map(issues.map((i) => [`${i.objectId ?? ''}|${i.message}`, i] as const)).values()];
}

function runRules(input: CheckInput): CheckIssue[] {
  const { doc } = input;
  const issues = DOCUMENT_RULES.flatMap((rule) => rule(input));
  for (const obj of doc.objects) {
    const name = objectName(obj);
    for (const rule of OBJECT_RULES) issues.push(...rule(obj, name, input));
  }
  for (const rule of CLOSING_RULES) issues.push(...rule(input));
  return issues;
}

export function countLevels(issues: readonly CheckIssue[]): { errors: number; warnings: number } {
  const errors = issues.filter((i) => i.level === 'error').length;
  return { errors, warnings: issues.length - errors };
}
