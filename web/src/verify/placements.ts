// Where each symbol of a print row stands, in dots, as the renderer draws it: the rectangles
// the verification cuts out of the packed row.

import { mmToDots, type LabelDocument, type LabelObject } from '../document/model';
import { isSideways, rotationOf } from '../document/rotation';
import type { MergeContext } from '../merge/types';
import { columnLeft, rowGeometry } from '../compose/geometry';
import { barcodeModuleDots, barcodeRequest, qrRequest } from '../render/barcode';
import { barcodeBitmap } from '../render/barcode-bitmap';
import { matrixPlacement, symbolModules } from '../render/matrix';
import type { Rect, SymbolToVerify } from './verify';

type Slots = readonly (MergeContext | null | undefined)[];

function overlaps(a: LabelObject, b: LabelObject): boolean {
  // A hollow frame around the symbol covers nothing of it; only its outline could.
  if (b.type === 'rect' && !b.fill) {
    const t = b.lineWidth;
    const inside =
      a.x >= b.x + t && a.y >= b.y + t && a.x + a.w <= b.x + b.w - t && a.y + a.h <= b.y + b.h - t;
    if (inside) return false;
  }
  const ax1 = a.x + a.w;
  const ay1 = a.y + a.h;
  // A line's w and h are the vector to its end.
  const bx0 = Math.min(b.x, b.x + b.w);
  const by0 = Math.min(b.y, b.y + b.h);
  const bx1 = Math.max(b.x, b.x + b.w);
  const by1 = Math.max(b.y, b.y + b.h);
  return a.x < bx1 && bx0 < ax1 && a.y < by1 && by0 < ay1;
}

/** The symbol's drawn rectangle inside a label whose left edge is `left`, or nothing. */
function drawn(
  obj: LabelObject,
  dpi: number,
  context: MergeContext,
  left: number,
): { symbol: Rect; moduleDots: number; data: string; bcid: string; turned: boolean } | undefined {
  const turned = rotationOf(obj as { rotation?: number }) !== 0;
  // A turned object is drawn into its box in whole dots; the reader turns with it.
  const box: Rect = {
    x: left + Math.round(mmToDots(obj.x, dpi)),
    y: Math.round(mmToDots(obj.y, dpi)),
    w: Math.round(mmToDots(obj.w, dpi)),
    h: Math.round(mmToDots(obj.h, dpi)),
  };
  if (obj.type === 'barcode') {
    const request = barcodeRequest(obj, context);
    const bitmap = barcodeBitmap(request);
    if (!bitmap) return undefined;
    const top = mmToDots(obj.y, dpi);
    const y = Math.floor(top);
    return {
      symbol: turned
        ? box
        : {
            x: left + Math.round(mmToDots(obj.x, dpi)),
            y,
            w: bitmap.width,
            h: Math.ceil(top + mmToDots(obj.barHeight, dpi)) - y,
          },
      moduleDots: barcodeModuleDots(obj),
      data: request.text,
      bcid: obj.symbology,
      turned,
    };
  }
  if (obj.type === 'qrcode') {
    const request = qrRequest(obj, context);
    const bitmap = barcodeBitmap(request);
    if (!bitmap) return undefined;
    const upright = isSideways(obj.rotation) ? { ...obj, w: obj.h, h: obj.w } : obj;
    const at = matrixPlacement(upright, dpi, symbolModules(request.bcid, bitmap, request.scale));
    const x = left + at.x;
    return {
      symbol: turned
        ? box
        : {
            x: Math.floor(x),
            y: Math.floor(at.y),
            w: Math.ceil(x + at.w) - Math.floor(x),
            h: Math.ceil(at.y + at.h) - Math.floor(at.y),
          },
      moduleDots: at.moduleDots,
      data: request.text,
      bcid: request.bcid,
      turned,
    };
  }
  return undefined;
}

/** Every symbol of the row's filled slots, left to right, in document order within a label. */
export function rowSymbols(
  doc: LabelDocument,
  slots: Slots,
  columns: number,
  nameOf: (obj: LabelObject) => string,
): SymbolToVerify[] {
  const g = rowGeometry(doc, columns);
  const out: SymbolToVerify[] = [];
  slots.forEach((context, column) => {
    if (!context) return;
    const left = columnLeft(g, column);
    // A row printed the other way up is turned whole, gaps included.
    const flip = (r: Rect): Rect =>
      doc.print.orientation === 'rotate180'
        ? { x: g.rowWidth - r.x - r.w, y: g.labelHeight - r.y - r.h, w: r.w, h: r.h }
        : r;
    const label = flip({ x: left, y: 0, w: g.labelWidth, h: g.labelHeight });
    for (const obj of doc.objects) {
      const placed = drawn(obj, doc.page.dpi, context, left);
      if (!placed) continue;
      const { turned, symbol, ...rest } = placed;
      out.push({
        name: nameOf(obj),
        ...rest,
        symbol: flip(symbol),
        label,
        overlapped: doc.objects.some((other) => other !== obj && overlaps(obj, other)),
        turned,
        slot: column,
        objectId: obj.id,
      });
    }
  });
  return out;
}
