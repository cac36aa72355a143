// The print row raster: 1 bit per dot, lines top to bottom, `bytesPerRow` bytes per line with
// nothing between lines, the most significant bit the leftmost dot, 1 = white, 0 = black.
// Padding bits past the width are 1 (white): a printer burns a 0 there as a dot nobody drew.

import { borrowBuffer, giveBackBuffer } from '../image/buffers';

export type Surface = HTMLCanvasElement | OffscreenCanvas;

export interface RasterSize {
  width: number;
  height: number;
  bytesPerRow: number;
}

/** Whole bytes per raster line for a width in dots. */
export function bytesPerRowFor(width: number): number {
  return Math.floor((width + 7) / 8);
}

function readContext(
  surface: Surface,
): CanvasRenderingContext2D | OffscreenCanvasRenderingContext2D {
  const ctx = surface.getContext('2d', { willReadFrequently: true }) as
    CanvasRenderingContext2D | OffscreenCanvasRenderingContext2D | null;
  if (!ctx) throw new Error('无法创建绘图表面');
  return ctx;
}

/** True when the pixel 0xAABBGGRR prints white: 0.299 R + 0.587 G + 0.114 B >= 128, in thousandths. */
function lightPixel(w: number): number {
  return 299 * (w & 255) + 587 * ((w >>> 8) & 255) + 114 * ((w >>> 16) & 255) >= 128000 ? 1 : 0;
}

/** The same rule for a pixel stored blue first (0xAARRGGBB), as video frames of a canvas are. */
function lightPixelBgr(w: number): number {
  return 299 * ((w >>> 16) & 255) + 587 * ((w >>> 8) & 255) + 114 * (w & 255) >= 128000 ? 1 : 0;
}

/** How the pixel words lie: words from one line to the next, and the channel order. */
export interface PixelLayout {
  stride: number;
  bgr: boolean;
}

/**
 * Packs pixels given as little-endian words (one per pixel, 0xAABBGGRR unless `bgr`, lines of
 * `stride` words, `width` by default). Eight pixels that are all pure white, by far the most
 * common case on a label, become 0xFF with one test, eight pure black ones 0x00; only the others
 * are weighed pixel by pixel.
 */
export function packPixels(
  words: Uint32Array,
  size: RasterSize,
  layout: PixelLayout = { stride: size.width, bgr: false },
): Uint8Array {
  const { width, height, bytesPerRow } = size;
  const out = new Uint8Array(bytesPerRow * height);
  if (width <= 0 || height <= 0) return out;
  const light = layout.bgr ? lightPixelBgr : lightPixel;
  const fullBytes = width >> 3;
  const tail = width & 7;
  for (let y = 0; y < height; y++) {
    let o = y * bytesPerRow;
    let p = y * layout.stride;
    for (let b = 0; b < fullBytes; b++, p += 8) {
      const w0 = words[p];
      const w1 = words[p + 1];
      const w2 = words[p + 2];
      const w3 = words[p + 3];
      const w4 = words[p + 4];
      const w5 = words[p + 5];
      const w6 = words[p + 6];
      const w7 = words[p + 7];
      // Alpha is ignored: composed surfaces are opaque.
      if (((w0 & w1 & w2 & w3 & w4 & w5 & w6 & w7) | 0xff000000) === -1) {
        out[o++] = 0xff;
        continue;
      }
      // Eight pure black pixels, the next most common case (bars and modules).
      if (((w0 | w1 | w2 | w3 | w4 | w5 | w6 | w7) & 0xffffff) === 0) {
        out[o++] = 0;
        continue;
      }
      out[o++] =
        (light(w0) << 7) |
        (light(w1) << 6) |
        (light(w2) << 5) |
        (light(w3) << 4) |
        (light(w4) << 3) |
        (light(w5) << 2) |
        (light(w6) << 1) |
        light(w7);
    }
    if (tail) {
      let acc = 0;
      for (let k = 0; k < tail; k++) acc = (acc << 1) | light(words[p++]);
      out[o] = (acc << (8 - tail)) | (0xff >> tail);
    }
  }
  return out;
}

/**
 * Packs the surface's pixels: a dot is white (bit 1) when 0.299 R + 0.587 G + 0.114 B >= 128.
 * The weights are applied in thousandths so that grey v counts as exactly v (127 black, 128 white).
 */
export function packRaster(surface: Surface, size: RasterSize): Uint8Array {
  const { width, height } = size;
  if (width <= 0 || height <= 0) return new Uint8Array(size.bytesPerRow * height);
  const pixels = readContext(surface).getImageData(0, 0, width, height).data;
  return packPixels(new Uint32Array(pixels.buffer, pixels.byteOffset, width * height), size);
}

const FRAME_FORMATS: Record<string, boolean> = { RGBA: false, RGBX: false, BGRA: true, BGRX: true };

/**
 * The surface's pixels copied through a `VideoFrame` into a kept buffer, or nothing where the
 * browser has no video frames or gives a layout other than 8-bit RGB(A) words. The words are valid
 * until `release`. Only for opaque surfaces: a frame may hold premultiplied colour.
 */
export async function readFramePixels(
  surface: Surface,
  width: number,
  height: number,
): Promise<{ words: Uint32Array; layout: PixelLayout; release(): void } | undefined> {
  if (typeof VideoFrame === 'undefined' || width <= 0 || height <= 0) return undefined;
  let frame: VideoFrame | undefined;
  try {
    frame = new VideoFrame(surface, { timestamp: 0 });
    const bgr = frame.format === null ? undefined : FRAME_FORMATS[frame.format];
    if (bgr === undefined) return undefined;
    const rect = { x: 0, y: 0, width, height };
    const size = frame.allocationSize({ rect });
    // `getImageData` would hand out a new 7 MB array per batch row; the copy goes into a kept one.
    const buffer = borrowBuffer(size);
    try {
      const [plane] = await frame.copyTo(new Uint8Array(buffer), { rect });
      if (plane.offset % 4 !== 0 || plane.stride % 4 !== 0) throw new Error('unaligned frame');
      return {
        words: new Uint32Array(buffer, plane.offset, (size - plane.offset) >> 2),
        layout: { stride: plane.stride >> 2, bgr },
        release: () => giveBackBuffer(buffer),
      };
    } catch (error) {
      giveBackBuffer(buffer);
      throw error;
    }
  } catch {
    return undefined;
  } finally {
    frame?.close();
  }
}

/** `packRaster` for an opaque surface, read through a video frame where the browser can. */
export async function packOpaqueRaster(surface: Surface, size: RasterSize): Promise<Uint8Array> {
  const pixels = await readFramePixels(surface, size.width, size.height);
  if (!pixels) return packRaster(surface, size);
  try {
    return packPixels(pixels.words, size, pixels.layout);
  } finally {
    pixels.release();
  }
}

/** Expands packed bits into opaque black and white pixels for display; padding bits are not shown. */
export function unpackRaster(bytes: Uint8Array, width: number, height: number): ImageData {
  const image = new ImageData(Math.max(1, width), Math.max(1, height));
  const words = new Uint32Array(image.data.buffer);
  const stride = bytesPerRowFor(width);
  for (let y = 0; y < height; y++) {
    const line = y * stride;
    const base = y * width;
    for (let x = 0; x < width; x++) {
      const set = (bytes[line + (x >> 3)] ?? 0) & (0x80 >> (x & 7));
      words[base + x] = set ? 0xffffffff : 0xff000000;
    }
  }
  return image;
}

const BASE64_CHUNK = 32768;

/** The engine's own Base64 of a byte array, where the browser has one (same alphabet and padding). */
type NativeBase64 = Uint8Array & { toBase64?: () => string };

/**
 * Standard Base64 of the packed bytes. The browser's own encoder is used where it exists (a
 * batch row is 215 kB, and the text detour costs a few milliseconds per row); otherwise the
 * byte-to-text step runs in chunks to bound argument lists.
 */
export function encodeBase64(bytes: Uint8Array, native = true): string {
  const direct = (bytes as NativeBase64).toBase64;
  if (native && typeof direct === 'function') return direct.call(bytes);
  const parts: string[] = [];
  for (let i = 0; i < bytes.length; i += BASE64_CHUNK) {
    parts.push(
      String.fromCharCode.apply(null, bytes.subarray(i, i + BASE64_CHUNK) as unknown as number[]),
    );
  }
  return btoa(parts.join(''));
}
