// One-dimensional barcodes and QR codes, and the measuring that keeps a barcode's box equal to
// what it prints. Barcodes print in whole dots: every narrow module is the same whole number of
// dots and the symbol is copied, never resampled, so a scanner sees exactly the encoded widths.

import { BARCODE_FIELDS } from '../document/field-table';
import {
  mmToDots,
  type BarcodeObject,
  type LabelDocument,
  type QrCodeObject,
} from '../document/model';
import { resolvePlaceholders } from '../merge/placeholders';
import type { MergeContext } from '../merge/types';
import { barcodeBitmap, type BarcodeRequest } from './barcode-bitmap';
import type { Ctx2D } from './context2d';

/** Bars are always generated 10 mm high; the box's `barHeight` scales them. */
const BAR_HEIGHT_MM = 10;

/**
 * Printer dots per narrow module: `moduleWidth` at scale 1, otherwise the stretched width rounded
 * to whole dots, at least 1.
 */
export function barcodeModuleDots(obj: Pick<BarcodeObject, 'moduleWidth' | 'widthScale'>): number {
  return Math.max(1, Math.round(obj.moduleWidth * (obj.widthScale ?? 1)));
}

/** The symbol as it prints: one bitmap pixel per printer dot. */
export function barcodeRequest(obj: BarcodeObject, context: MergeContext): BarcodeRequest {
  return {
    bcid: obj.symbology,
    text: resolvePlaceholders(obj.data, context),
    scale: barcodeModuleDots(obj),
    heightMm: BAR_HEIGHT_MM,
    showText: false,
  };
}

export function qrRequest(obj: QrCodeObject, context: MergeContext): BarcodeRequest {
  return {
    bcid: 'qrcode',
    text: resolvePlaceholders(obj.data, context),
    scale: obj.moduleSize,
    heightMm: 0,
    showText: false,
    ecc: obj.ecc,
  };
}

/**
 * The bars start at the whole dot nearest the box's left edge and are copied at their own width
 * with smoothing off; only their height is stretched to `barHeight`, which leaves every column as
 * it is. A record whose symbol has more modules than the one the box was sized for prints wider
 * than the box rather than squeezed.
 */
export function drawBarcode(
  ctx: Ctx2D,
  obj: BarcodeObject,
  dpi: number,
  context: MergeContext,
): void {
  const request = barcodeRequest(obj, context);
  const bitmap = barcodeBitmap(request);
  if (!bitmap) return;
  const left = Math.round(mmToDots(obj.x, dpi));
  const top = mmToDots(obj.y, dpi);
  const width = bitmap.width;
  const barHeight = mmToDots(obj.barHeight, dpi);
  ctx.imageSmoothingEnabled = false;
  ctx.drawImage(bitmap, left, top, width, barHeight);
  if (!obj.showText) return;
  const fs = Math.max(10, Math.round(barHeight * 0.16));
  ctx.font = `${fs}px "Microsoft YaHei", sans-serif`;
  ctx.fillStyle = '#000';
  ctx.textAlign = 'center';
  ctx.textBaseline = 'top';
  ctx.fillText(request.text, left + width / 2, top + barHeight + 0.2 * fs);
}

export function drawQrCode(
  ctx: Ctx2D,
  obj: QrCodeObject,
  dpi: number,
  context: MergeContext,
): void {
  const bitmap = barcodeBitmap(qrRequest(obj, context));
  if (!bitmap) return;
  const bw = mmToDots(obj.w, dpi);
  const bh = mmToDots(obj.h, dpi);
  const side = Math.max(1, Math.min(bw, bh));
  ctx.imageSmoothingEnabled = false;
  ctx.drawImage(
    bitmap,
    mmToDots(obj.x, dpi) + (bw - side) / 2,
    mmToDots(obj.y, dpi) + (bh - side) / 2,
    side,
    side,
  );
}

/** Below this many dots per module a QR code may not scan. */
export const QR_MIN_MODULE_DOTS = 2;

/** The library draws 2D symbols at two pixels per module for each step of `scale`. */
const QR_PIXELS_PER_SCALE = 2;

/**
 * Printer dots per module of a QR code as it prints (its square side over its module count), or
 * nothing when the data cannot be encoded. The document check warns below `QR_MIN_MODULE_DOTS`.
 */
export function qrModuleDots(
  obj: QrCodeObject,
  dpi: number,
  context: MergeContext = {},
): number | undefined {
  const request = qrRequest(obj, context);
  const bitmap = barcodeBitmap(request);
  if (!bitmap) return undefined;
  const modules = bitmap.width / (QR_PIXELS_PER_SCALE * Math.max(1, Math.round(request.scale)));
  const side = Math.max(1, Math.min(mmToDots(obj.w, dpi), mmToDots(obj.h, dpi)));
  return side / modules;
}

/** Modules across the symbol of the barcode's current data, or nothing when it cannot be encoded. */
function moduleCount(obj: BarcodeObject, context: MergeContext): number | undefined {
  const bitmap = barcodeBitmap(barcodeRequest(obj, context));
  return bitmap ? bitmap.width / barcodeModuleDots(obj) : undefined;
}

/** Width in mm at `widthScale` 1: `moduleWidth` dots per module. */
export function naturalBarcodeWidth(
  obj: BarcodeObject,
  dpi: number,
  context: MergeContext = {},
): number | undefined {
  const modules = moduleCount(obj, context);
  if (modules === undefined) return undefined;
  return (
    (modules * barcodeModuleDots({ moduleWidth: obj.moduleWidth, widthScale: 1 }) * 25.4) / dpi
  );
}

/** The width in mm that prints: whole modules of `barcodeModuleDots` dots each. */
export function printedBarcodeWidth(
  obj: BarcodeObject,
  dpi: number,
  context: MergeContext = {},
): number | undefined {
  const bitmap = barcodeBitmap(barcodeRequest(obj, context));
  return bitmap ? (bitmap.width * 25.4) / dpi : undefined;
}

/**
 * The `widthScale` whose printed width comes nearest a requested width, for the resize handles
 * and the inspector's width field. Only whole dots per module can print, so the scale moves in
 * steps of 1 / `moduleWidth`, inside the field's range. When the data cannot be encoded, the
 * current box width stands for the natural width.
 */
export function widthScaleForWidth(
  obj: BarcodeObject,
  requestedMm: number,
  dpi: number,
  context: MergeContext = {},
): number {
  const { min, max } = BARCODE_FIELDS.widthScale;
  const modules = moduleCount(obj, context);
  if (modules === undefined) {
    return Math.min(max, Math.max(min, requestedMm / Math.max(1, obj.w)));
  }
  const moduleWidth = barcodeModuleDots({ moduleWidth: obj.moduleWidth, widthScale: 1 });
  const dots = Math.round(mmToDots(requestedMm, dpi) / modules);
  const fewest = Math.max(1, Math.ceil(min * moduleWidth));
  const most = Math.floor(max * moduleWidth);
  return Math.min(most, Math.max(fewest, dots)) / moduleWidth;
}

/** Millimetres reserved under the bars for the human-readable line. */
export function textBandHeight(obj: Pick<BarcodeObject, 'showText' | 'barHeight'>): number {
  return obj.showText ? obj.barHeight * 0.16 + 1.2 : 0;
}

/** The box a barcode prints in: its printed width, and the bars with the text band below. */
export function measureBarcode(
  obj: BarcodeObject,
  dpi: number,
  context: MergeContext = {},
): { w: number; h: number } | undefined {
  const w = printedBarcodeWidth(obj, dpi, context);
  if (w === undefined) return undefined;
  return { w, h: obj.barHeight + textBandHeight(obj) };
}

let lastSignature: string | undefined;

export function autoSizeSignature(
  doc: LabelDocument,
  context: MergeContext,
  recordIndex: number,
): string {
  const parts = doc.objects.map((o) => {
    if (o.type === 'barcode') {
      return `b${o.id}:${o.symbology}:${o.data}:${o.moduleWidth}:${o.barHeight}:${o.showText}:${o.widthScale ?? 1}`;
    }
    if (o.type === 'qrcode') return `q${o.id}:${o.data}:${o.ecc}:${o.moduleSize}`;
    return '';
  });
  return `${parts.join('|')}#${recordIndex}#${JSON.stringify(context.row ?? {})}`;
}

/**
 * Keeps every encodable barcode's box equal to its measured size: the width to 0.01 mm, as the
 * inspector shows it (well under a dot, so it converts back to the printed dots), the height to
 * 0.1 mm. Runs only when something
 * that changes the measurement changed; writes into the document without an undo step.
 */
export function autoSizeBarcodes(
  doc: LabelDocument,
  context: MergeContext,
  recordIndex: number,
): void {
  const signature = autoSizeSignature(doc, context, recordIndex);
  if (signature === lastSignature) return;
  lastSignature = signature;
  for (const obj of doc.objects) {
    if (obj.type !== 'barcode') continue;
    const size = measureBarcode(obj, doc.page.dpi, context);
    if (!size) continue;
    obj.w = Math.max(1, Math.round(size.w * 100) / 100);
    obj.h = Math.max(1, Math.round(size.h * 10) / 10);
  }
}

/** Forgets the last signature so that the next run measures again. */
export function resetAutoSize(): void {
  lastSignature = undefined;
}
