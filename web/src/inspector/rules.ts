// The inspector's rules over plain numbers, texts and objects; the DOM adapters only call these.

import { BARCODE_FIELDS } from '../document/field-table';
import type {
  DitherMode,
  ImageObject,
  LabelDocument,
  PrintSettings,
  TextObject,
} from '../document/model';

/** How a number row rounds what it stores: kept as typed, whole numbers, or n decimals. */
export type Rounding = 'none' | number;

export interface NumberRange {
  min: number;
  max: number;
  round: Rounding;
}

/**
 * A typed text into the value a number row stores: undefined while the text is not a finite
 * number (so "", "-" and "1e" on the way to a value change nothing), else clamped, then rounded.
 */
export function numberFromInput(text: string, range: NumberRange): number | undefined {
  if (text.trim() === '') return undefined;
  const n = Number(text);
  if (!Number.isFinite(n)) return undefined;
  const clamped = Math.min(Math.max(n, range.min), range.max);
  if (range.round === 'none') return clamped;
  const f = 10 ** range.round;
  return Math.round(clamped * f) / f;
}

/** The notice for a clamped millimetre value: what was stored and the range it had to stay in. */
export function clampNotice(
  what: string,
  stored: number,
  range: { min: number; max: number },
): string {
  return `${what}已调整为 ${displayNumber(stored)} mm（可用范围 ${range.min}–${range.max} mm）`;
}

/** A number input shows its value rounded to two decimals. */
export function displayNumber(value: number): string {
  return String(Math.round(value * 100) / 100);
}

/** "高度 mm" is bars plus the text band under them. */
export function barcodeBarHeight(requestedMm: number, textBandMm: number): number {
  const bars = requestedMm - textBandMm;
  const { min, max } = BARCODE_FIELDS.barHeight;
  return Math.min(Math.max(bars, min), max);
}

const SINGLE_PLACEHOLDER = /^\{\{\s*([^{}]+?)\s*\}\}$/;

/** The field a text binds to: the whole (trimmed) text is one placeholder naming a known field. */
export function boundField(data: string, fields: readonly string[]): string {
  const m = SINGLE_PLACEHOLDER.exec(data.trim());
  if (!m) return '';
  const name = m[1].trim();
  return fields.includes(name) ? name : '';
}

export function placeholderFor(field: string): string {
  return `{{${field}}}`;
}

export type TextStyle = 'normal' | 'bold' | 'italic';

export function textStyle(obj: Pick<TextObject, 'bold' | 'italic'>): TextStyle {
  return obj.bold ? 'bold' : obj.italic ? 'italic' : 'normal';
}

/** At most one of bold and italic is on after a style is chosen. */
export function applyTextStyle(obj: Pick<TextObject, 'bold' | 'italic'>, style: TextStyle): void {
  obj.bold = style === 'bold';
  obj.italic = style === 'italic';
}

/** Files from before the mode list carry only the dither flag. */
export function shownDitherMode(obj: Pick<ImageObject, 'dither'> & { ditherMode?: DitherMode }) {
  return obj.ditherMode ?? (obj.dither ? 'floyd' : 'threshold');
}

export function applyDitherMode(obj: Pick<ImageObject, 'dither' | 'ditherMode'>, mode: DitherMode) {
  obj.ditherMode = mode;
  obj.dither = mode !== 'threshold';
}

/** "{} 列 · 单标签 {}×{}mm · 整排宽度 {}mm", the row width with one decimal. */
export function layoutSummary(
  page: Pick<LabelDocument['page'], 'widthMm' | 'heightMm'>,
  print: Pick<PrintSettings, 'columns' | 'columnGapMm'>,
): string {
  const cols = print.columns;
  const row = cols * page.widthMm + (cols - 1) * print.columnGapMm;
  return `${cols} 列 · 单标签 ${displayNumber(page.widthMm)}×${displayNumber(page.heightMm)}mm · 整排宽度 ${row.toFixed(1)}mm`;
}

/** The column segment shown: three or more columns all show "三列". */
export function shownColumnSegment(columns: number): number {
  return Math.min(3, columns);
}

/** Sequence mode needs data; without it the document prints as duplicates, so that is shown. */
export function shownCopyMode(mode: PrintSettings['copyMode'], hasDataset: boolean) {
  return mode === 'sequence' && !hasDataset ? 'duplicate' : mode;
}

/** An empty name after trimming falls back to the default name. */
export function committedName(name: string, fallback: string): string {
  const trimmed = name.trim();
  return trimmed === '' ? fallback : trimmed;
}
