// Symbol bitmaps from the barcode library, cached by request. One bitmap pixel is one printer dot.

import { toCanvas } from 'bwip-js/browser';
import { createSurface } from '../image/surface';
import { symbologyOptions } from './symbologies';

export interface BarcodeRequest {
  bcid: string;
  text: string;
  scale: number;
  heightMm: number;
  showText: boolean;
  ecc?: string;
}

/** The library entry point, behind an object so that tests can count calls. */
export const barcodeLibrary = { toCanvas };

export const BARCODE_CACHE_LIMIT = 200;
const cache = new Map<string, HTMLCanvasElement>();
/**
 * Canvases of symbols an overflow let go, which the next encodes draw over (the library sizes and
 * fills the canvas itself): a batch encodes thousands of symbols, and a new canvas with its
 * context costs more per symbol than reusing one. Every use of a symbol is synchronous, so no
 * one still holds a canvas when it is handed out again.
 */
const spare: HTMLCanvasElement[] = [];

export function barcodeKey(r: BarcodeRequest): string {
  return [r.bcid, r.text, r.scale, r.heightMm, r.showText, r.ecc ?? ''].join('|');
}

/** The symbol bitmap, or nothing when the library rejects the request (never cached). */
export function barcodeBitmap(r: BarcodeRequest): HTMLCanvasElement | undefined {
  const key = barcodeKey(r);
  const hit = cache.get(key);
  if (hit) return hit;
  const options: Record<string, unknown> = {
    bcid: r.bcid,
    text: r.text,
    scale: Math.max(1, Math.round(r.scale)),
    includetext: r.showText,
    textxalign: 'center',
    textsize: 8,
    paddingwidth: 0,
    paddingheight: 0,
    backgroundcolor: 'FFFFFF',
    ...symbologyOptions(r.bcid),
  };
  if (r.heightMm > 0) options.height = r.heightMm;
  if (r.ecc !== undefined) options.eclevel = r.ecc;
  const canvas = spare.pop() ?? createSurface();
  try {
    barcodeLibrary.toCanvas(canvas, options as unknown as Parameters<typeof toCanvas>[1]);
  } catch {
    spare.push(canvas);
    return undefined;
  }
  if (cache.size > BARCODE_CACHE_LIMIT) {
    spare.push(...cache.values());
    cache.clear();
  }
  cache.set(key, canvas);
  return canvas;
}

export function barcodeCacheSize(): number {
  return cache.size;
}

export function clearBarcodeCache(): void {
  cache.clear();
  spare.length = 0;
}
