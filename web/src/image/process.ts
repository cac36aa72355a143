// From a decoded picture to a black-and-white bitmap of exactly the box size in dots.

import type { DitherMode, ImageFit } from '../document/model';
import { binarize } from './binarize';
import { localContrast5x5, median3x3 } from './filters';
import { toneMap, type ToneSettings } from './tone';
import { createSurface } from './surface';

export interface PictureSettings extends ToneSettings {
  threshold: number;
  mode: DitherMode;
  denoise: boolean;
  fit: ImageFit;
  localContrast: number;
}

export interface SourceRect {
  sx: number;
  sy: number;
  sw: number;
  sh: number;
}

/** The part of the source drawn into a W × H box: all of it for "stretch", a centred crop for "cover". */
export function fitSourceRect(
  fit: ImageFit,
  sourceWidth: number,
  sourceHeight: number,
  width: number,
  height: number,
): SourceRect {
  if (fit !== 'cover' || sourceWidth <= 0 || sourceHeight <= 0) {
    return { sx: 0, sy: 0, sw: sourceWidth, sh: sourceHeight };
  }
  const box = width / height;
  const source = sourceWidth / sourceHeight;
  if (source > box) {
    const sw = sourceHeight * box;
    return { sx: (sourceWidth - sw) / 2, sy: 0, sw, sh: sourceHeight };
  }
  const sh = sourceWidth / box;
  return { sx: 0, sy: (sourceHeight - sh) / 2, sw: sourceWidth, sh };
}

/** Pictures the pipeline accepts: decoded images and drawing surfaces. */
export type PictureSource = HTMLImageElement | HTMLCanvasElement | ImageBitmap | OffscreenCanvas;

export function sourceSize(source: PictureSource): { width: number; height: number } {
  if (source instanceof HTMLImageElement) {
    return { width: source.naturalWidth, height: source.naturalHeight };
  }
  return { width: source.width, height: source.height };
}

/** Runs the grey-level steps on a working buffer, in order: tone, denoise, local contrast, binarise. */
export function processGrey(
  rgba: Uint8ClampedArray,
  width: number,
  height: number,
  s: PictureSettings,
): Float32Array {
  const buf = new Float32Array(width * height);
  toneMap(rgba, buf, s);
  if (s.denoise) median3x3(buf, width, height);
  if (s.localContrast > 0) localContrast5x5(buf, width, height, s.localContrast);
  binarize(buf, width, height, s.threshold, s.mode);
  return buf;
}

/** Draws the fitted source on white, processes it and returns the bitmap as a canvas. */
export function processPicture(
  source: PictureSource,
  width: number,
  height: number,
  s: PictureSettings,
): HTMLCanvasElement {
  const canvas = createSurface();
  canvas.width = width;
  canvas.height = height;
  const ctx = canvas.getContext('2d', { willReadFrequently: true });
  if (!ctx) throw new Error('无法创建绘图表面');
  ctx.fillStyle = '#fff';
  ctx.fillRect(0, 0, width, height);
  ctx.imageSmoothingEnabled = true;
  ctx.imageSmoothingQuality = 'high';
  const size = sourceSize(source);
  const r = fitSourceRect(s.fit, size.width, size.height, width, height);
  if (r.sw > 0 && r.sh > 0) ctx.drawImage(source, r.sx, r.sy, r.sw, r.sh, 0, 0, width, height);
  const image = ctx.getImageData(0, 0, width, height);
  const grey = processGrey(image.data, width, height, s);
  const words = new Uint32Array(image.data.buffer);
  for (let i = 0; i < grey.length; i++) words[i] = grey[i] === 0 ? 0xff000000 : 0xffffffff;
  ctx.putImageData(image, 0, 0);
  return canvas;
}
