import { describe, expect, test } from 'vitest';
import type { DitherMode } from '../src/document/model';
import { BAYER8, binarize, positionNoise } from '../src/image/binarize';

function uniform(w: number, h: number, v: number): Float32Array {
  return new Float32Array(w * h).fill(v);
}

const blackShare = (buf: Float32Array): number => buf.filter((v) => v === 0).length / buf.length;

describe('binarisation', () => {
  test('threshold: black strictly below T; unknown modes act the same', () => {
    for (const mode of ['threshold', 'bogus'] as DitherMode[]) {
      const buf = new Float32Array([149, 149.99, 150, 151, 0, 255]);
      binarize(buf, 6, 1, 150, mode);
      expect(Array.from(buf)).toEqual([0, 0, 255, 255, 0, 255]);
    }
  });

  test('floyd keeps the mean of a mid-grey whatever the threshold', () => {
    for (const t of [60, 128, 150, 200]) {
      const buf = uniform(64, 64, 128);
      binarize(buf, 64, 64, t, 'floyd');
      expect(buf.every((v) => v === 0 || v === 255)).toBe(true);
      expect(Math.abs(blackShare(buf) - 0.5)).toBeLessThan(0.03);
    }
  });

  test('floyd leaves pure black and pure white without stray dots', () => {
    for (const t of [1, 128, 255]) {
      const black = uniform(40, 30, 0);
      binarize(black, 40, 30, t, 'floyd');
      expect(blackShare(black)).toBe(1);
    }
    for (const t of [0, 128, 255]) {
      const white = uniform(40, 30, 255);
      binarize(white, 40, 30, t, 'floyd');
      expect(blackShare(white)).toBe(0);
    }
  });

  test('floyd pushes 7/16 of the error to the right and the rest to the next row', () => {
    // 100 with T 128 becomes 0, error 100: right gets 43.75 (still black), below gets 31.25.
    const buf = new Float32Array([100, 100, 0, 0]);
    binarize(buf, 2, 2, 128, 'floyd');
    expect(Array.from(buf)).toEqual([0, 255, 0, 0]);
    const one = new Float32Array([100, 90]);
    binarize(one, 2, 1, 128, 'floyd');
    expect(Array.from(one)).toEqual([0, 255]); // 90 + 43.75 reaches 128
  });

  test('ordered: Bayer rows and thresholds spanning T ± 78.75', () => {
    expect(BAYER8.slice(0, 8)).toEqual([0, 32, 8, 40, 2, 34, 10, 42]);
    expect(BAYER8.slice(8, 16)).toEqual([48, 16, 56, 24, 50, 18, 58, 26]);
    expect([...BAYER8].sort((a, b) => a - b)).toEqual(Array.from({ length: 64 }, (_, i) => i));
    // At the lowest threshold only its own cell stays white; at the highest nothing is black.
    const low = uniform(8, 8, 150 - 78.75);
    binarize(low, 8, 8, 150, 'ordered');
    expect(blackShare(low)).toBe(63 / 64);
    expect(low[0]).toBe(255);
    const high = uniform(8, 8, 150 + 78.75);
    binarize(high, 8, 8, 150, 'ordered');
    expect(blackShare(high)).toBe(0);
    const under = uniform(8, 8, 150 + 78.74);
    binarize(under, 8, 8, 150, 'ordered');
    expect(blackShare(under)).toBe(1 / 64);
    expect(under[7 * 8]).toBe(0); // M 63 sits at row 7, column 0
    const mid = uniform(16, 16, 150);
    binarize(mid, 16, 16, 150, 'ordered');
    expect(blackShare(mid)).toBe(0.5);
    // Cell (x 1, y 0) has M 32: threshold 150 + (32.5/64 - 0.5) × 160 = 151.25.
    const cell = uniform(8, 1, 151);
    binarize(cell, 8, 1, 150, 'ordered');
    expect(cell[1]).toBe(0);
    const cell2 = uniform(8, 1, 151.25);
    binarize(cell2, 8, 1, 150, 'ordered');
    expect(cell2[1]).toBe(255);
  });

  test('stochastic noise uses a rounded double product, not a wrapping multiply', () => {
    const reference = (x: number, y: number): number => {
      const h1 = (BigInt(x) * 374761393n + BigInt(y) * 668265263n) % 2n ** 32n;
      let h2 = Number(h1 ^ (h1 >> 13n));
      if (h2 >= 2 ** 31) h2 -= 2 ** 32;
      const rounded = BigInt(h2 * 1274126177); // the double, as an exact integer
      const h3 = ((rounded % 2n ** 32n) + 2n ** 32n) % 2n ** 32n;
      return Number(h3 & 65535n) / 65535;
    };
    let differsFromImul = 0;
    for (let y = 0; y < 40; y += 3) {
      for (let x = 0; x < 2000; x += 97) {
        expect(positionNoise(x, y)).toBe(reference(x, y));
        const h1 = (Math.imul(x, 374761393) + Math.imul(y, 668265263)) >>> 0;
        const wrapped = (Math.imul(h1 ^ (h1 >>> 13), 1274126177) & 65535) / 65535;
        if (wrapped !== positionNoise(x, y)) differsFromImul++;
      }
    }
    expect(differsFromImul).toBeGreaterThan(0);
    expect(positionNoise(0, 0)).toBe(0);
  });

  test('stochastic thresholds span T ± 90 and depend on position only', () => {
    const a = uniform(50, 20, 120);
    const b = uniform(50, 20, 120);
    b.fill(10, 0, 100); // a different picture, same grey elsewhere
    binarize(a, 50, 20, 150, 'stochastic');
    binarize(b, 50, 20, 150, 'stochastic');
    expect(Array.from(a.subarray(100))).toEqual(Array.from(b.subarray(100)));
    expect(blackShare(a)).toBeGreaterThan(0.5);
    expect(blackShare(a)).toBeLessThan(0.8);
    for (let i = 0; i < 1000; i++) {
      const x = i % 50;
      const y = Math.floor(i / 50);
      expect(a[i]).toBe(120 < 150 + (positionNoise(x, y) - 0.5) * 180 ? 0 : 255);
    }
    const top = uniform(30, 30, 150 + 90);
    binarize(top, 30, 30, 150, 'stochastic');
    expect(blackShare(top)).toBe(0);
  });
});
