// Measuring barcodes and QR codes as they print: the printed width and the scale for a requested
// width (resize handles, the width field), QR module size (the document check), and the automatic
// box that keeps a barcode's w and h equal to what it prints.

import { BARCODE_FIELDS } from '../document/field-table';
import {
  mmToDots,
  type BarcodeObject,
  type Dpi,
  type LabelDocument,
  type QrCodeObject,
} from '../document/model';
import { isSideways } from '../document/rotation';
import type { MergeContext } from '../merge/types';
import { barcodeModuleDots, barcodeRequest, qrRequest } from './barcode';
import { barcodeBitmap } from './barcode-bitmap';
import { aspectBox, keepsSymbolAspect, matrixPlacement, symbolModules } from './matrix';

/** Below this many dots per module a QR code may not scan. */
export const QR_MIN_MODULE_DOTS = 2;

/**
 * Printer dots per module of a 2D code as it prints, or nothing when the data cannot be encoded.
 * The document check warns below `QR_MIN_MODULE_DOTS`.
 */
export function qrModuleDots(
  obj: QrCodeObject,
  dpi: number,
  context: MergeContext = {},
): number | undefined {
  const request = qrRequest(obj, context);
  const bitmap = barcodeBitmap(request);
  if (!bitmap) return undefined;
  // Turned a quarter, the symbol is drawn upright in the box with its sides swapped.
  const box = isSideways(obj.rotation) ? { ...obj, w: obj.h, h: obj.w } : obj;
  return matrixPlacement(box, dpi, symbolModules(request.bcid, bitmap, request.scale)).moduleDots;
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
 * box's current length (its height when turned a quarter) stands for the natural width.
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
    const length = isSideways(obj.rotation) ? obj.h : obj.w;
    return Math.min(max, Math.max(min, requestedMm / Math.max(1, length)));
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

/**
 * Changes the document's resolution keeping every object's printed size. Geometry is in
 * millimetres and keeps itself; a barcode's modules are whole dots, so its scale follows the dpi
 * ratio unrounded (a change back restores the module width exactly) and the printed module is the
 * whole dot count nearest the old width, at least one. QR codes are drawn to their box.
 */
export function changeDpi(doc: LabelDocument, dpi: Dpi): void {
  const from = doc.page.dpi;
  if (from === dpi) return;
  const { min, max } = BARCODE_FIELDS.widthScale;
  for (const obj of doc.objects) {
    if (obj.type !== 'barcode') continue;
    obj.widthScale = Math.min(max, Math.max(min, ((obj.widthScale ?? 1) * dpi) / from));
  }
  doc.page.dpi = dpi;
}

let lastSignature: string | undefined;

export function autoSizeSignature(
  doc: LabelDocument,
  context: MergeContext,
  recordIndex: number,
): string {
  const parts = doc.objects.map((o) => {
    if (o.type === 'barcode') {
      return `b${o.id}:${o.symbology}:${o.data}:${o.moduleWidth}:${o.barHeight}:${o.showText}:${o.widthScale ?? 1}:${o.rotation ?? 0}`;
    }
    if (o.type === 'qrcode')
      return `q${o.id}:${o.symbology}:${o.data}:${o.ecc}:${o.moduleSize}:${o.w}:${o.h}:${o.rotation ?? 0}`;
    return '';
  });
  return `${doc.page.dpi}#${parts.join('|')}#${recordIndex}#${JSON.stringify(context.row ?? {})}`;
}

/**
 * Keeps every encodable barcode's box equal to its measured size, and a PDF417's in the symbol's
 * aspect: the width to 0.01 mm, as the
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
    if (keepsSymbolAspect(obj) && obj.type === 'qrcode') {
      const request = qrRequest(obj, context);
      const bitmap = barcodeBitmap(request);
      if (bitmap)
        Object.assign(obj, aspectBox(obj, symbolModules(request.bcid, bitmap, request.scale)));
      continue;
    }
    if (obj.type !== 'barcode') continue;
    const size = measureBarcode(obj, doc.page.dpi, context);
    if (!size) continue;
    // Turned a quarter, the printed length runs down the box and the bars across it.
    const length = Math.max(1, Math.round(size.w * 100) / 100);
    const across = Math.max(1, Math.round(size.h * 10) / 10);
    const sideways = isSideways(obj.rotation);
    obj.w = sideways ? across : length;
    obj.h = sideways ? length : across;
  }
}

/** Forgets the last signature so that the next run measures again. */
export function resetAutoSize(): void {
  lastSignature = undefined;
}
