// One label at printer resolution: white page, then every object in document order.

import { mmToDots, type LabelDocument, type LabelObject } from '../document/model';
import type { MergeContext } from '../merge/types';
import { drawImageObject } from './picture';
import { drawBarcode, drawQrCode } from './barcode';
import type { Ctx2D } from './context2d';
import { drawTurned } from './rotate';
import { drawLine, drawRect } from './shapes';
import { drawText } from './text';

/** The label's drawing surface size in whole dots. */
export function labelSizeDots(doc: LabelDocument): { width: number; height: number } {
  return {
    width: Math.round(mmToDots(doc.page.widthMm, doc.page.dpi)),
    height: Math.round(mmToDots(doc.page.heightMm, doc.page.dpi)),
  };
}

function drawObject(ctx: Ctx2D, obj: LabelObject, dpi: number, context: MergeContext): void {
  switch (obj.type) {
    case 'text':
      drawTurned(ctx, obj, dpi, (c, o) => drawText(c, o, dpi, context));
      return;
    case 'rect':
      drawRect(ctx, obj, dpi);
      return;
    case 'line':
      drawLine(ctx, obj, dpi);
      return;
    case 'barcode':
      drawTurned(ctx, obj, dpi, (c, o) => drawBarcode(c, o, dpi, context));
      return;
    case 'qrcode':
      drawTurned(ctx, obj, dpi, (c, o) => drawQrCode(c, o, dpi, context));
      return;
    case 'image':
      drawTurned(ctx, obj, dpi, (c, o) => drawImageObject(c, o, dpi));
      return;
    default: {
      // Documents from outside may still carry unknown types at run time; they draw nothing.
      const unknown: never = obj;
      void unknown;
    }
  }
}

export function drawLabel(ctx: Ctx2D, doc: LabelDocument, context: MergeContext = {}): void {
  const { width, height } = labelSizeDots(doc);
  const dpi = doc.page.dpi;
  ctx.save();
  ctx.fillStyle = '#ffffff';
  ctx.fillRect(0, 0, width, height);
  ctx.restore();
  for (const obj of doc.objects) {
    ctx.save();
    try {
      drawObject(ctx, obj, dpi, context);
    } finally {
      ctx.restore();
    }
  }
}
