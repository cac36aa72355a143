// Turning grey into the printer's black and white. Every value becomes 0 (black) or 255 (white).

import type { DitherMode } from '../document/model';

/** The standard 8 × 8 Bayer index matrix, row-major. */
export const BAYER8: readonly number[] = [
  0, 32, 8, 40, 2, 34, 10, 42, 48, 16, 56, 24, 50, 18, 58, 26, 12, 44, 4, 36, 14, 46, 6, 38, 60, 28,
  52, 20, 62, 30, 54, 22, 3, 35, 11, 43, 1, 33, 9, 41, 51, 19, 59, 27, 49, 17, 57, 25, 15, 47, 7,
  39, 13, 45, 5, 37, 63, 31, 55, 23, 61, 29, 53, 21,
];

const TWO32 = 4294967296;

/**
 * Noise in 0 … 1 from the position alone, so the same grey gets the same dots in every picture.
 * The last product is deliberately a double (rounded to 53 bits), not a 32-bit wrapping multiply.
 */
export function positionNoise(x: number, y: number): number {
  const h1 = (Math.imul(x, 374761393) + Math.imul(y, 668265263)) >>> 0;
  const h2 = h1 ^ (h1 >>> 13); // signed 32-bit
  const product = h2 * 1274126177;
  const h3 = ((product % TWO32) + TWO32) % TWO32;
  return (h3 & 65535) / 65535;
}

export function binarize(
  buf: Float32Array,
  width: number,
  height: number,
  threshold: number,
  mode: DitherMode,
): void {
  switch (mode) {
    case 'floyd':
      floyd(buf, width, height, threshold);
      return;
    case 'ordered':
      ordered(buf, width, height, threshold);
      return;
    case 'stochastic':
      stochastic(buf, width, height, threshold);
      return;
    default:
      // "threshold", and any mode a crafted caller passes at run time.
      for (let i = 0; i < buf.length; i++) buf[i] = buf[i] < threshold ? 0 : 255;
  }
}

function floyd(buf: Float32Array, width: number, height: number, t: number): void {
  for (let y = 0; y < height; y++) {
    const row = y * width;
    const hasNext = y + 1 < height;
    for (let x = 0; x < width; x++) {
      const i = row + x;
      const v = buf[i];
      const nv = v < t ? 0 : 255;
      buf[i] = nv;
      const e = v - nv;
      if (e === 0) continue;
      const hasRight = x + 1 < width;
      if (hasRight) buf[i + 1] += e * 0.4375;
      if (hasNext) {
        const below = i + width;
        if (x > 0) buf[below - 1] += e * 0.1875;
        buf[below] += e * 0.3125;
        if (hasRight) buf[below + 1] += e * 0.0625;
      }
    }
  }
}

function ordered(buf: Float32Array, width: number, height: number, t: number): void {
  const levels = new Float64Array(64);
  for (let m = 0; m < 64; m++) levels[m] = t + ((BAYER8[m] + 0.5) / 64 - 0.5) * 160;
  for (let y = 0; y < height; y++) {
    const row = y * width;
    const band = (y & 7) * 8;
    for (let x = 0; x < width; x++) {
      const i = row + x;
      buf[i] = buf[i] < levels[band + (x & 7)] ? 0 : 255;
    }
  }
}

function stochastic(buf: Float32Array, width: number, height: number, t: number): void {
  for (let y = 0; y < height; y++) {
    const row = y * width;
    for (let x = 0; x < width; x++) {
      const i = row + x;
      buf[i] = buf[i] < t + (positionNoise(x, y) - 0.5) * 180 ? 0 : 255;
    }
  }
}
