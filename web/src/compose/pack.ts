// The print row raster: 1 bit per dot, lines top to bottom, `bytesPerRow` bytes per line with
// nothing between lines, the most significant bit the leftmost dot, 1 = white, 0 = black.
// Padding bits past the width stay 0.

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

/**
 * Packs the surface's pixels: a dot is white (bit 1) when 0.299 R + 0.587 G + 0.114 B >= 128.
 * The weights are applied in thousandths so that grey v counts as exactly v (127 black, 128 white).
 */
export function packRaster(surface: Surface, size: RasterSize): Uint8Array {
  const { width, height, bytesPerRow } = size;
  const out = new Uint8Array(bytesPerRow * height);
  if (width <= 0 || height <= 0) return out;
  const pixels = readContext(surface).getImageData(0, 0, width, height).data;
  // Little-endian view: one word per pixel, 0xAABBGGRR.
  const words = new Uint32Array(pixels.buffer, pixels.byteOffset, width * height);
  const fullBytes = width >> 3;
  const tail = width & 7;
  let p = 0;
  for (let y = 0; y < height; y++) {
    let o = y * bytesPerRow;
    for (let b = 0; b < fullBytes; b++) {
      let acc = 0;
      for (let k = 0; k < 8; k++) {
        const w = words[p++];
        acc <<= 1;
        if ((w | 0xff000000) === -1) {
          acc |= 1; // white, the common case
        } else if (299 * (w & 255) + 587 * ((w >>> 8) & 255) + 114 * ((w >>> 16) & 255) >= 128000) {
          acc |= 1;
        }
      }
      out[o++] = acc;
    }
    if (tail) {
      let acc = 0;
      for (let k = 0; k < tail; k++) {
        const w = words[p++];
        acc <<= 1;
        if (299 * (w & 255) + 587 * ((w >>> 8) & 255) + 114 * ((w >>> 16) & 255) >= 128000)
          acc |= 1;
      }
      out[o] = acc << (8 - tail);
    }
  }
  return out;
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

/** Standard Base64 of the packed bytes; the byte-to-text step runs in chunks to bound argument lists. */
export function encodeBase64(bytes: Uint8Array): string {
  const parts: string[] = [];
  for (let i = 0; i < bytes.length; i += BASE64_CHUNK) {
    parts.push(
      String.fromCharCode.apply(null, bytes.subarray(i, i + BASE64_CHUNK) as unknown as number[]),
    );
  }
  return btoa(parts.join(''));
}
