// Placing an image object: the processed bitmap for its box, from the cache when nothing changed.

import { mmToDots, type ImageObject } from '../document/model';
import type { Ctx2D } from '../render/context2d';
import { loadedImage } from '../render/sources';
import { getProcessedImage, processedKeyTail, storeProcessedImage } from './cache';
import { processPicture, type PictureSettings } from './process';

/** The object's settings with the drawing-time defaults for absent fields. */
export function pictureSettings(obj: Partial<ImageObject>): PictureSettings {
  const mode = obj.ditherMode ?? (obj.dither ? 'floyd' : 'threshold');
  return {
    threshold: obj.threshold ?? 150,
    mode,
    brightness: obj.brightness ?? 100,
    contrast: obj.contrast ?? 100,
    invert: obj.invert ?? false,
    denoise: obj.denoise ?? false,
    fit: obj.fit ?? 'stretch',
    blackPoint: obj.blackPoint ?? 0,
    whitePoint: obj.whitePoint ?? 255,
    gamma: obj.gamma ?? 1,
    shadowLift: obj.shadowLift ?? 0,
    localContrast: obj.localContrast ?? 0,
    inkSaving: obj.inkSaving ?? 0,
  };
}

/** The black-and-white bitmap of an image object at its box size, or nothing when it cannot draw. */
export function processedBitmap(obj: ImageObject, dpi: number): HTMLCanvasElement | undefined {
  const source = obj.src ? loadedImage(obj.src) : undefined;
  if (!source) return undefined;
  const width = Math.round(mmToDots(obj.w, dpi));
  const height = Math.round(mmToDots(obj.h, dpi));
  if (!(width > 0) || !(height > 0)) return undefined;
  const settings = pictureSettings(obj);
  const tail = processedKeyTail(width, height, settings);
  let bitmap = getProcessedImage(obj.src, tail);
  if (!bitmap) {
    bitmap = processPicture(source, width, height, settings);
    storeProcessedImage(obj.src, tail, bitmap);
  }
  return bitmap;
}

export function drawImageObject(ctx: Ctx2D, obj: ImageObject, dpi: number): void {
  const bitmap = processedBitmap(obj, dpi);
  if (!bitmap) return;
  ctx.drawImage(bitmap, mmToDots(obj.x, dpi), mmToDots(obj.y, dpi));
}
