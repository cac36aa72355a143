// Turned objects and turned rows. A turned object is drawn upright on a scratch surface of its
// box size in whole dots, then its pixels are moved into place by an exact index mapping: every
// bar, module and picture dot keeps its size, nothing is resampled or smoothed.

import { mmToDots, type LabelObject } from '../document/model';
import { isSideways, rotationOf } from '../document/rotation';
import type { Ctx2D } from './context2d';
import { createSurface } from '../image/surface';

/**
 * The pixels (one word each, rows of `width`) turned clockwise by `rotation` degrees. A quarter
 * turn gives a surface `height` wide and `width` high.
 */
export function turnPixels(
  src: Uint32Array,
  width: number,
  height: number,
  rotation: number,
): Uint32Array {
  const out = new Uint32Array(width * height);
  if (rotation === 180) {
    for (let i = 0, n = width * height; i < n; i++) out[n - 1 - i] = src[i];
    return out;
  }
  if (rotation === 90) {
    // Source (x, y) lands at (height - 1 - y, x) on a surface `height` wide.
    for (let y = 0; y < height; y++) {
      const column = height - 1 - y;
      for (let x = 0; x < width; x++) out[x * height + column] = src[y * width + x];
    }
    return out;
  }
  if (rotation === 270) {
    // Source (x, y) lands at (y, width - 1 - x).
    for (let y = 0; y < height; y++) {
      for (let x = 0; x < width; x++) out[(width - 1 - x) * height + y] = src[y * width + x];
    }
    return out;
  }
  out.set(src);
  return out;
}

interface Scratch {
  canvas: HTMLCanvasElement;
  ctx: CanvasRenderingContext2D;
}

function scratch(): Scratch {
  const canvas = createSurface();
  const ctx = canvas.getContext('2d', { willReadFrequently: true });
  if (!ctx) throw new Error('无法创建绘图表面');
  return { canvas, ctx };
}

// Two surfaces reused by every turned object: all drawing is synchronous, so no one holds them
// between calls, and a batch would otherwise make two canvases per turned object per label.
let upright: Scratch | undefined;
let turned: Scratch | undefined;

/** A scratch surface of exactly this size, transparent, with a clean drawing state. */
function sized(s: Scratch, width: number, height: number): Scratch {
  if (s.canvas.width !== width || s.canvas.height !== height) {
    s.canvas.width = width;
    s.canvas.height = height;
  } else {
    s.ctx.setTransform(1, 0, 0, 1, 0, 0);
    s.ctx.clearRect(0, 0, width, height);
  }
  s.ctx.save();
  return s;
}

function readWords(ctx: CanvasRenderingContext2D, width: number, height: number): Uint32Array {
  const data = ctx.getImageData(0, 0, width, height).data;
  return new Uint32Array(data.buffer, data.byteOffset, width * height);
}

function putWords(
  ctx: CanvasRenderingContext2D,
  words: Uint32Array,
  width: number,
  height: number,
) {
  const image = new ImageData(width, height);
  new Uint32Array(image.data.buffer).set(words);
  ctx.putImageData(image, 0, 0);
}

/**
 * Draws an object turned by its `rotation`. At 0° it is drawn directly; otherwise `draw` draws
 * an upright copy (the box at the origin, sides swapped for a quarter turn) on a scratch surface
 * of the box's size in whole dots, which is turned and copied to the box's whole-dot corner.
 */
export function drawTurned<T extends LabelObject>(
  ctx: Ctx2D,
  obj: T,
  dpi: number,
  draw: (target: Ctx2D, upright: T) => void,
): void {
  const rotation = rotationOf(obj as { rotation?: number });
  if (rotation === 0) {
    draw(ctx, obj);
    return;
  }
  const width = Math.round(mmToDots(obj.w, dpi));
  const height = Math.round(mmToDots(obj.h, dpi));
  if (!(width > 0) || !(height > 0)) return;
  const sideways = isSideways(rotation);
  const uw = sideways ? height : width;
  const uh = sideways ? width : height;
  const copy = { ...obj, x: 0, y: 0, w: sideways ? obj.h : obj.w, h: sideways ? obj.w : obj.h };
  (copy as { rotation?: number }).rotation = 0;
  upright ??= scratch();
  turned ??= scratch();
  const up = sized(upright, uw, uh);
  try {
    draw(up.ctx, copy);
  } finally {
    up.ctx.restore();
  }
  const words = turnPixels(readWords(up.ctx, uw, uh), uw, uh, rotation);
  const out = sized(turned, width, height);
  out.ctx.restore();
  putWords(out.ctx, words, width, height);
  ctx.drawImage(out.canvas, Math.round(mmToDots(obj.x, dpi)), Math.round(mmToDots(obj.y, dpi)));
}

/** Turns a surface's pixels by 180° in place (the print row for rolls fed the other way). */
export function turnSurface180(canvas: HTMLCanvasElement): void {
  const ctx = canvas.getContext('2d', { willReadFrequently: true });
  if (!ctx || canvas.width === 0 || canvas.height === 0) return;
  const { width, height } = canvas;
  ctx.save();
  ctx.setTransform(1, 0, 0, 1, 0, 0);
  putWords(ctx, turnPixels(readWords(ctx, width, height), width, height, 180), width, height);
  ctx.restore();
}
