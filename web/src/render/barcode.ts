// One-dimensional barcodes and QR codes: the symbol bitmap scaled into the object's box, and the
// measuring that keeps a barcode's box equal to what it draws.

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

export function barcodeRequest(obj: BarcodeObject, context: MergeContext): BarcodeRequest {
  return {
    bcid: obj.symbology,
    text: resolvePlaceholders(obj.data, context),
    scale: obj.moduleWidth,
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

export function drawBarcode(
  ctx: Ctx2D,
  obj: BarcodeObject,
  dpi: number,
  context: MergeContext,
): void {
  const request = barcodeRequest(obj, context);
  const bitmap = barcodeBitmap(request);
  if (!bitmap) return;
  const left = mmToDots(obj.x, dpi);
  const top = mmToDots(obj.y, dpi);
  const width = Math.max(1, mmToDots(obj.w, dpi));
  const barHeight = mmToDots(obj.barHeight, dpi);
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

/** Width in mm at `widthScale` 1: one bitmap pixel per printer dot. */
export function naturalBarcodeWidth(
  obj: BarcodeObject,
  dpi: number,
  context: MergeContext = {},
): number | undefined {
  const bitmap = barcodeBitmap(barcodeRequest(obj, context));
  return bitmap ? (bitmap.width * 25.4) / dpi : undefined;
}

/** Millimetres reserved under the bars for the human-readable line. */
export function textBandHeight(obj: Pick<BarcodeObject, 'showText' | 'barHeight'>): number {
  return obj.showText ? obj.barHeight * 0.16 + 1.2 : 0;
}

export function measureBarcode(
  obj: BarcodeObject,
  dpi: number,
  context: MergeContext = {},
): { w: number; h: number } | undefined {
  const natural = naturalBarcodeWidth(obj, dpi, context);
  if (natural === undefined) return undefined;
  return { w: natural * (obj.widthScale ?? 1), h: obj.barHeight + textBandHeight(obj) };
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
 * Keeps every encodable barcode's box equal to its measured size, to 0.1 mm. Runs only when
 * something that changes the measurement changed; writes into the document without an undo step.
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
    obj.w = Math.max(1, Math.round(size.w * 10) / 10);
    obj.h = Math.max(1, Math.round(size.h * 10) / 10);
  }
}

/** Forgets the last signature so that the next run measures again. */
export function resetAutoSize(): void {
  lastSignature = undefined;
}
