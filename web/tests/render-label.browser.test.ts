import { beforeEach, describe, expect, test } from 'vitest';
import { drawLabel, labelSizeDots } from '../src/render/label';
import { clearRenderCaches } from '../src/render/caches';
import { hasImageFailed, loadedImage, preloadImages } from '../src/render/sources';
import { processedImageCount } from '../src/image/cache';
import type { LabelDocument, LabelObject } from '../src/document/model';
import {
  darkColumns,
  darkRows,
  doc,
  image,
  labelCanvas,
  line,
  rect,
  text,
} from './render-fixtures';

function draw(d: LabelDocument) {
  const { width, height } = labelSizeDots(d);
  const { ctx } = labelCanvas(width, height);
  ctx.fillStyle = '#f00';
  ctx.fillRect(0, 0, width, height);
  drawLabel(ctx, d);
  return ctx;
}

const pixel = (ctx: CanvasRenderingContext2D, x: number, y: number) =>
  Array.from(ctx.getImageData(x, y, 1, 1).data);

function pngDataUrl(w: number, h: number, colour: string): string {
  const c = document.createElement('canvas');
  c.width = w;
  c.height = h;
  const ctx = c.getContext('2d')!;
  ctx.fillStyle = colour;
  ctx.fillRect(0, 0, w, h);
  return c.toDataURL('image/png');
}

beforeEach(() => clearRenderCaches());

describe('drawLabel', () => {
  test('label sizes in whole dots', () => {
    expect(labelSizeDots(doc())).toEqual({ width: 591, height: 945 });
    expect(labelSizeDots(doc({ dpi: 203 }))).toEqual({ width: 400, height: 639 });
  });

  test('the page is white first; unknown object types are skipped', () => {
    const d = doc();
    d.objects.push({ ...rect(0, 0, 5, 5), type: 'star' } as unknown as LabelObject);
    const ctx = draw(d);
    expect(pixel(ctx, 0, 0)).toEqual([255, 255, 255, 255]);
    expect(pixel(ctx, 590, 944)).toEqual([255, 255, 255, 255]);
    expect(darkRows(ctx)).toEqual([]);
  });

  test('drawing state does not carry over: a text clip does not hide the next object', () => {
    const d = doc();
    d.objects.push(text(0, 0, 5, 5, { text: 'x' }), rect(20, 20, 10, 10, { fill: true }));
    const ctx = draw(d);
    expect(pixel(ctx, 300, 300)).toEqual([0, 0, 0, 255]);
  });

  test('rectangles: outline centred on the box, fill without outline, rounded corners', () => {
    const d = doc();
    // 10 mm box at 10 mm: 118.11 … 236.22 dots; stroke 1 mm (11.81 dots) straddles the edge.
    d.objects.push(rect(10, 10, 10, 10, { lineWidth: 1 }));
    let ctx = draw(d);
    const cols = darkColumns(ctx, 170, 171);
    expect(cols[0]).toBe(112);
    expect(cols[cols.length - 1]).toBe(241);
    expect(pixel(ctx, 177, 177)).toEqual([255, 255, 255, 255]);
    d.objects = [rect(10, 10, 10, 4, { fill: true, radius: 5 })];
    ctx = draw(d);
    expect(pixel(ctx, 177, 141)).toEqual([0, 0, 0, 255]);
    expect(pixel(ctx, 119, 119)[0]).toBe(255); // rounded away
    expect(darkColumns(ctx, 141, 142)[0]).toBe(118); // radius 2 mm: the mid-height left edge is straight
    d.objects = [rect(10, 10, 10, 4, { fill: true })];
    expect(pixel(draw(d), 119, 119)).toEqual([0, 0, 0, 255]);
  });

  test('a 0.1 mm line at 203 dpi is one dot wide', () => {
    const d = doc({ dpi: 203 });
    const y = (10.5 * 25.4) / 203; // centre of dot row 10
    d.objects.push(line(2, y, 20, 0, { lineWidth: 0.1 }));
    const ctx = draw(d);
    expect(darkRows(ctx)).toEqual([10]);
    const cols = darkColumns(ctx);
    expect(cols[0]).toBe(16); // 15.98: butt end, no cap beyond the end points
    expect(cols[cols.length - 1]).toBe(175); // 175.83
  });

  test('pictures draw once loaded; a failed source stays failed until the caches are cleared', async () => {
    const good = pngDataUrl(20, 20, '#000');
    const d = doc();
    d.objects.push(image(10, 10, 5, 5, { src: good, ditherMode: 'threshold', dither: false }));
    d.objects.push(image(30, 30, 5, 5, { src: 'data:image/png;base64,AAAA' }));
    expect(darkRows(draw(d))).toEqual([]); // not loaded yet
    await preloadImages(d);
    expect(loadedImage(good)).toBeDefined();
    expect(hasImageFailed('data:image/png;base64,AAAA')).toBe(true);
    const ctx = draw(d);
    const rows = darkRows(ctx);
    expect(rows[0]).toBe(118);
    expect(rows.length).toBe(59);
    expect(processedImageCount()).toBe(1);
    draw(d); // redraw reuses the processed bitmap
    expect(processedImageCount()).toBe(1);
    clearRenderCaches();
    expect(hasImageFailed('data:image/png;base64,AAAA')).toBe(false);
    expect(loadedImage(good)).toBeUndefined();
    expect(processedImageCount()).toBe(0);
  });

  test('a load that settles after the caches were cleared does not refill them', async () => {
    const src = pngDataUrl(4, 4, '#000');
    const d = doc();
    d.objects.push(image(0, 0, 5, 5, { src }));
    const pending = preloadImages(d);
    clearRenderCaches();
    await pending;
    expect(loadedImage(src)).toBeUndefined();
    await preloadImages(d);
    expect(loadedImage(src)).toBeDefined();
  });
});
