// Placing an image object: the processed bitmap for its box, from the cache when nothing changed.

import { mmToDots, type ImageObject } from '../document/model';
import { getProcessedImage, processedKeyTail, storeProcessedImage } from '../image/cache';
import { processPicture, type PictureSettings } from '../image/process';
import type { Ctx2D } from './context2d';
import { loadedImage } from './sources';

/** What the picture pipeline reads from an image object. */
export function pictureSettings(obj: ImageObject): PictureSettings {
  return {
    threshold: obj.threshold,
    mode: obj.ditherMode,
    brightness: obj.brightness,
    contrast: obj.contrast,
    invert: obj.invert,
    denoise: obj.denoise,
    fit: obj.fit,
    blackPoint: obj.blackPoint,
    whitePoint: obj.whitePoint,
    gamma: obj.gamma,
    shadowLift: obj.shadowLift,
    localContrast: obj.localContrast,
    inkSaving: obj.inkSaving,
  };
}

/** The black-and-white bitmap of an image object at its box size, or nothing when it cannot draw. */
export function processedBitmap(obj: ImageObject, dpi: number): HTMLCanvasElement | undefined {
  return processedPicture(obj, dpi)?.bitmap;
}

/** The bitmap with the key it is cached under, after `obj.src`. */
export function processedPicture(
  obj: ImageObject,
  dpi: number,
): { tail: string; bitmap: HTMLCanvasElement } | undefined {
  const width = Math.round(mmToDots(obj.w, dpi));
  const height = Math.round(mmToDots(obj.h, dpi));
  if (!(width > 0) || !(height > 0)) return undefined;
  const settings = pictureSettings(obj);
  const tail = processedKeyTail(width, height, settings);
  let bitmap = getProcessedImage(obj.src, tail);
  if (!bitmap) {
    const source = obj.src ? loadedImage(obj.src) : undefined;
    if (!source) return undefined;
    bitmap = processPicture(source, width, height, settings);
    storeProcessedImage(obj.src, tail, bitmap);
  }
  return { tail, bitmap };
}

export function drawImageObject(ctx: Ctx2D, obj: ImageObject, dpi: number): void {
  const bitmap = processedBitmap(obj, dpi);
  if (!bitmap) return;
  ctx.drawImage(bitmap, mmToDots(obj.x, dpi), mmToDots(obj.y, dpi));
}
