// Symbol bitmaps from the barcode library, cached by request. One bitmap pixel is one printer dot.

import bwip, { drawingCanvas, render } from 'bwip-js/browser';
import { borrowBuffer, giveBackBuffer } from '../image/buffers';
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

type LibraryOptions = Parameters<typeof render>[0];

/** 2D codes the library draws as square modules of 2 × scale pixels, with nothing else. */
const SQUARE_MODULES = new Set(['qrcode', 'datamatrix', 'gs1datamatrix']);

/** A white opaque buffer of the size, as the library's canvas drawing starts from; lent, see `onCanvas`. */
function whitePixels(width: number, height: number): ImageData {
  const w = Math.max(1, width);
  const h = Math.max(1, height);
  const image = new ImageData(new Uint8ClampedArray(borrowBuffer(w * h * 4)), w, h);
  new Uint32Array(image.data.buffer).fill(0xffffffff);
  return image;
}

let drawingSurface: HTMLCanvasElement | undefined;

/**
 * The library's own drawing of the symbol, into a kept buffer instead of a canvas it sizes and
 * reads back itself: the same pixels its canvas drawing gives, on white.
 */
function libraryPixels(options: Record<string, unknown>): ImageData {
  drawingSurface ??= createSurface();
  // The canvas drawing hands out its pixel buffer and its end through these two members.
  const drawing = drawingCanvas(drawingSurface) as ReturnType<typeof drawingCanvas> & {
    image(width: number, height: number): { buffer: Uint8ClampedArray; ispng: boolean };
    end(): unknown;
  };
  let image: ImageData | undefined;
  drawing.image = (width: number, height: number) => {
    image = whitePixels(width, height);
    return { buffer: image.data, ispng: false };
  };
  drawing.end = () => drawingSurface!;
  render(options as unknown as LibraryOptions, drawing);
  if (!image) throw new Error('nothing drawn');
  return image;
}

/**
 * A square-module 2D code from the library's module matrix, exactly as its drawing would give it
 * (black modules on white, no padding), at a fraction of the cost: its general drawing fills
 * every module as a polygon, which took three times the encoding itself.
 */
function modulePixels(options: Record<string, unknown>): ImageData {
  if (!options.text) throw new ReferenceError('no data');
  const bwippOptions: Record<string, unknown> = { bcid: options.bcid, text: options.text };
  if (options.eclevel !== undefined) bwippOptions.eclevel = options.eclevel;
  const [symbol] = bwip.raw(bwippOptions as unknown as Parameters<typeof bwip.raw>[0]);
  if (!symbol || !('pixs' in symbol)) return libraryPixels(options);
  const { pixs, pixx, pixy } = symbol;
  const unit = 2 * Number(options.scale);
  const width = pixx * unit;
  const image = whitePixels(width, pixy * unit);
  const words = new Uint32Array(image.data.buffer);
  for (let my = 0; my < pixy; my++) {
    const first = my * unit * width;
    for (let mx = 0; mx < pixx; mx++)
      if (pixs[my * pixx + mx]) words.fill(0xff000000, first + mx * unit, first + (mx + 1) * unit);
    for (let k = 1; k < unit; k++) words.copyWithin(first + k * width, first, first + width);
  }
  return image;
}

/** The symbol's pixels; throws on data the encoder rejects. */
function encode(options: Record<string, unknown>): ImageData {
  return SQUARE_MODULES.has(String(options.bcid)) ? modulePixels(options) : libraryPixels(options);
}

/** The library entry point, behind an object so that tests can count calls. */
export const barcodeLibrary = { encode };

export const BARCODE_CACHE_LIMIT = 200;
const cache = new Map<string, HTMLCanvasElement>();
/**
 * Canvases of symbols an overflow let go, which the next symbols are copied onto: a batch
 * encodes thousands of symbols, and a new canvas, or a canvas resized, costs more per symbol than
 * reusing one of the same size. Every use of a symbol is synchronous, so no one still holds a
 * canvas when it is handed out again.
 */
const spare: HTMLCanvasElement[] = [];

/** A let-go canvas of the size where there is one, or any, or a new one, sized to fit. */
function spareCanvas(width: number, height: number): HTMLCanvasElement {
  const same = spare.findIndex((c) => c.width === width && c.height === height);
  const canvas = same >= 0 ? spare.splice(same, 1)[0] : (spare.pop() ?? createSurface());
  if (canvas.width !== width) canvas.width = width;
  if (canvas.height !== height) canvas.height = height;
  return canvas;
}

/**
 * The symbol's pixels on a canvas of their size. The pixels' buffer goes back to the lender: the
 * canvas holds its own copy.
 */
function onCanvas(image: ImageData): HTMLCanvasElement {
  const canvas = spareCanvas(image.width, image.height);
  // Every pixel is replaced, so whatever the canvas held before does not show.
  canvas.getContext('2d', { willReadFrequently: true })?.putImageData(image, 0, 0);
  giveBackBuffer(image.data.buffer);
  return canvas;
}

/**
 * Symbols the batch's row worker made for the record the page is about to show, by key, kept
 * as they came until drawn: the page then copies one instead of encoding it again, which took
 * most of each redraw during a batch. Only the last rows' are kept.
 */
const handed = new Map<string, ImageBitmap>();
const HANDED_LIMIT = 32;

/** Takes a symbol made elsewhere from the same request; its pixels are the library's own. */
export function handOverBarcode(key: string, bitmap: ImageBitmap): void {
  handed.get(key)?.close();
  handed.delete(key);
  if (cache.has(key)) {
    bitmap.close();
    return;
  }
  handed.set(key, bitmap);
  if (handed.size > HANDED_LIMIT) {
    const [oldest, first] = handed.entries().next().value!;
    first.close();
    handed.delete(oldest);
  }
}

function fromHanded(bitmap: ImageBitmap): HTMLCanvasElement {
  const canvas = spareCanvas(bitmap.width, bitmap.height);
  const ctx = canvas.getContext('2d', { willReadFrequently: true });
  if (ctx) {
    ctx.globalCompositeOperation = 'copy';
    ctx.drawImage(bitmap, 0, 0);
    ctx.globalCompositeOperation = 'source-over';
  }
  bitmap.close();
  return canvas;
}

/** Past the limit, every cached symbol goes, its canvas kept for the next ones. */
function makeRoom(): void {
  if (cache.size <= BARCODE_CACHE_LIMIT) return;
  spare.push(...cache.values());
  cache.clear();
}

export function barcodeKey(r: BarcodeRequest): string {
  return [r.bcid, r.text, r.scale, r.heightMm, r.showText, r.ecc ?? ''].join('|');
}

/** The library's drawing of the request, or nothing when it rejects the request. */
function encodeRequest(r: BarcodeRequest): ImageData | undefined {
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
  try {
    return barcodeLibrary.encode(options);
  } catch {
    return undefined;
  }
}

/** The symbol bitmap, or nothing when the library rejects the request (never cached). */
export function barcodeBitmap(r: BarcodeRequest): HTMLCanvasElement | undefined {
  const key = barcodeKey(r);
  const hit = cache.get(key);
  if (hit) return hit;
  const given = handed.get(key);
  handed.delete(key);
  const made = given ?? encodeRequest(r);
  if (!made) return undefined;
  makeRoom();
  const canvas = made instanceof ImageData ? onCanvas(made) : fromHanded(made);
  cache.set(key, canvas);
  return canvas;
}

/** The symbol already made for the request, or nothing; never encodes. */
export function cachedBarcode(r: BarcodeRequest): HTMLCanvasElement | undefined {
  return cache.get(barcodeKey(r));
}

export function barcodeCacheSize(): number {
  return cache.size;
}

export function clearBarcodeCache(): void {
  cache.clear();
  spare.length = 0;
  for (const bitmap of handed.values()) bitmap.close();
  handed.clear();
}
