// Text objects: greedy line filling in the box width, clipped to the box, lines drawn only when
// their whole pitch fits.

import { mmToDots, type TextObject } from '../document/model';
import { resolvePlaceholders } from '../merge/placeholders';
import type { MergeContext } from '../merge/types';
import type { Ctx2D } from './context2d';
import { drawnFontSize } from './text-fit';
import { fontPx, textFont } from './text-font';
import { layoutText, visibleLineCount } from './text-layout';

export { fontPx, TEXT_FAMILIES, textFont } from './text-font';

export function drawText(ctx: Ctx2D, obj: TextObject, dpi: number, context: MergeContext): void {
  const boxWidth = mmToDots(obj.w, dpi);
  if (!(boxWidth > 0)) return;
  const left = mmToDots(obj.x, dpi);
  const top = mmToDots(obj.y, dpi);
  const boxHeight = Math.max(0, mmToDots(obj.h, dpi));
  const text = resolvePlaceholders(obj.text, context);
  const fontSize = drawnFontSize(obj, text, dpi, (font, s) => {
    ctx.font = font;
    return ctx.measureText(s).width;
  });
  const px = fontPx(fontSize, dpi);
  ctx.font = textFont({ ...obj, fontSize }, dpi);
  ctx.fillStyle = '#000';
  ctx.textBaseline = 'top';
  const lines = layoutText(text, boxWidth, (s) => ctx.measureText(s).width);
  // The clip keeps whole dots: a fractional edge half-covers its dots, and canvases blend those
  // differently (the page's and the batch worker's disagree), so the same label would not give
  // the same raster everywhere.
  const clipLeft = Math.round(left);
  const clipTop = Math.round(top);
  ctx.beginPath();
  ctx.rect(
    clipLeft,
    clipTop,
    Math.round(left + boxWidth) - clipLeft,
    Math.round(top + boxHeight) - clipTop,
  );
  ctx.clip();
  let anchor = left;
  ctx.textAlign = 'left';
  if (obj.align === 'center') {
    anchor = left + boxWidth / 2;
    ctx.textAlign = 'center';
  } else if (obj.align === 'right') {
    anchor = left + boxWidth;
    ctx.textAlign = 'right';
  }
  const pitch = px * obj.lineHeight;
  const shown = visibleLineCount(lines.length, top, top + boxHeight, pitch);
  for (let i = 0; i < shown; i++) ctx.fillText(lines[i], anchor, top + i * pitch);
}
