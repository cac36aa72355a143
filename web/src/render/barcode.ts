// Drawing one-dimensional barcodes and 2D codes. Barcodes print in whole dots: every narrow module
// is the same whole number of dots and the symbol is copied, never resampled, so a scanner sees
// exactly the encoded widths.

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
import { matrixPlacement, symbolModules } from './matrix';

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

/** A 2D code's request; the error correction level is QR's alone. */
export function qrRequest(obj: QrCodeObject, context: MergeContext): BarcodeRequest {
  const request: BarcodeRequest = {
    bcid: obj.symbology,
    text: resolvePlaceholders(obj.data, context),
    scale: obj.moduleSize,
    heightMm: 0,
    showText: false,
  };
  if (obj.symbology === 'qrcode') request.ecc = obj.ecc;
  return request;
}

/** Every symbol the document draws for a record, as requested from the library. */
export function symbolRequests(doc: LabelDocument, context: MergeContext): BarcodeRequest[] {
  return doc.objects.flatMap((obj) =>
    obj.type === 'barcode'
      ? [barcodeRequest(obj, context)]
      : obj.type === 'qrcode'
        ? [qrRequest(obj, context)]
        : [],
  );
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
  const request = qrRequest(obj, context);
  const bitmap = barcodeBitmap(request);
  if (!bitmap) return;
  const at = matrixPlacement(obj, dpi, symbolModules(request.bcid, bitmap, request.scale));
  ctx.imageSmoothingEnabled = false;
  ctx.drawImage(bitmap, at.x, at.y, at.w, at.h);
}
