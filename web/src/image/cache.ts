// Finished black-and-white bitmaps, keyed by everything that changes the result. Emptied whole
// when an insertion finds it over its limit.

import type { PictureSettings } from './process';

export const PROCESSED_IMAGE_LIMIT = 40;

// Keyed by source first: `src` can be a multi-megabyte data URL, and looking it up directly keeps
// its cached string hash instead of hashing a freshly concatenated key on every redraw.
const bySource = new Map<string, Map<string, HTMLCanvasElement>>();
let entries = 0;

/** Everything after `src` in the cache key. */
export function processedKeyTail(width: number, height: number, s: PictureSettings): string {
  return [
    width,
    height,
    s.threshold,
    s.mode,
    s.brightness,
    s.contrast,
    s.invert,
    s.denoise,
    s.fit,
    s.blackPoint,
    s.whitePoint,
    s.gamma,
    s.shadowLift,
    s.localContrast,
    s.inkSaving,
  ].join('|');
}

/** The full sixteen-value cache key. */
export function processedImageKey(
  src: string,
  width: number,
  height: number,
  s: PictureSettings,
): string {
  return src + '|' + processedKeyTail(width, height, s);
}

/**
 * Bitmaps made elsewhere: the page's, handed to the batch worker, which has no source to make
 * them again from; so they are never let go.
 */
const given = new Map<string, HTMLCanvasElement>();

export function giveProcessedImage(src: string, tail: string, bitmap: HTMLCanvasElement): void {
  given.set(`${src}|${tail}`, bitmap);
}

export function forgetGivenImages(): void {
  given.clear();
}

export function getProcessedImage(src: string, tail: string): HTMLCanvasElement | undefined {
  // The page never has given bitmaps, and its `src` may be a data URL of megabytes.
  if (given.size > 0) {
    const hit = given.get(`${src}|${tail}`);
    if (hit) return hit;
  }
  return bySource.get(src)?.get(tail);
}

export function storeProcessedImage(src: string, tail: string, bitmap: HTMLCanvasElement): void {
  if (entries > PROCESSED_IMAGE_LIMIT) clearProcessedImages();
  let inner = bySource.get(src);
  if (!inner) {
    inner = new Map();
    bySource.set(src, inner);
  }
  if (!inner.has(tail)) entries++;
  inner.set(tail, bitmap);
}

export function processedImageCount(): number {
  return entries;
}

export function clearProcessedImages(): void {
  bySource.clear();
  entries = 0;
}
