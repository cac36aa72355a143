// Rectangles and lines. Strokes are never thinner than one dot so that they survive the final
// threshold.

import { mmToDots, type LineObject, type RectObject } from '../document/model';
import type { Ctx2D } from './context2d';

export function drawRect(ctx: Ctx2D, obj: RectObject, dpi: number): void {
  const x = mmToDots(obj.x, dpi);
  const y = mmToDots(obj.y, dpi);
  const w = mmToDots(obj.w, dpi);
  const h = mmToDots(obj.h, dpi);
  ctx.lineWidth = Math.max(1, mmToDots(obj.lineWidth, dpi));
  ctx.strokeStyle = '#000';
  ctx.fillStyle = '#000';
  ctx.lineJoin = 'miter';
  if (obj.radius > 0 && typeof ctx.roundRect === 'function') {
    const r = Math.max(0, Math.min(mmToDots(obj.radius, dpi), w / 2, h / 2));
    ctx.beginPath();
    ctx.roundRect(x, y, w, h, r);
    if (obj.fill) ctx.fill();
    else ctx.stroke();
    return;
  }
  if (obj.fill) ctx.fillRect(x, y, w, h);
  else ctx.strokeRect(x, y, w, h);
}

export function drawLine(ctx: Ctx2D, obj: LineObject, dpi: number): void {
  ctx.lineWidth = Math.max(1, mmToDots(obj.lineWidth, dpi));
  ctx.strokeStyle = '#000';
  ctx.lineCap = 'butt';
  ctx.beginPath();
  ctx.moveTo(mmToDots(obj.x, dpi), mmToDots(obj.y, dpi));
  ctx.lineTo(mmToDots(obj.x + obj.w, dpi), mmToDots(obj.y + obj.h, dpi));
  ctx.stroke();
}
