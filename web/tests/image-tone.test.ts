import { describe, expect, test } from 'vitest';
import { toneMap, type ToneSettings } from '../src/image/tone';
import { localContrast5x5, median3x3 } from '../src/image/filters';

const neutral: ToneSettings = {
  brightness: 100,
  contrast: 100,
  blackPoint: 0,
  whitePoint: 255,
  gamma: 1,
  shadowLift: 0,
  inkSaving: 0,
  invert: false,
};

function tone(greys: number[], s: Partial<ToneSettings>): number[] {
  const rgba = new Uint8ClampedArray(greys.length * 4);
  greys.forEach((g, i) => rgba.set([g, g, g, 255], i * 4));
  const out = new Float32Array(greys.length);
  toneMap(rgba, out, { ...neutral, ...s });
  return Array.from(out);
}

describe('tone chain', () => {
  test('neutral settings keep greys and luminance uses 0.299/0.587/0.114', () => {
    expect(tone([0, 77, 128, 255], {})).toEqual([0, 77, 128, 255]);
    const rgba = new Uint8ClampedArray([255, 0, 0, 0, 0, 255, 0, 255, 0, 0, 255, 9]);
    const out = new Float32Array(3);
    toneMap(rgba, out, neutral);
    expect(Array.from(out).map((v) => +v.toFixed(3))).toEqual([76.245, 149.685, 29.07]);
  });

  test('contrast 0 flattens to 128 plus the brightness shift', () => {
    expect(tone([0, 90, 255], { contrast: 0 })).toEqual([128, 128, 128]);
    expect(tone([0, 255], { contrast: 0, brightness: 150 })).toEqual([191.5, 191.5]);
    expect(tone([100], { contrast: 200 })).toEqual([72]);
  });

  test('levels: black point clamps to 128 and the white point stays above it', () => {
    expect(tone([127, 128, 129, 130], { blackPoint: 128, whitePoint: 128 })).toEqual([
      0, 0, 255, 255,
    ]);
    const high = tone([0, 128, 191, 255], { blackPoint: 200, whitePoint: 255 });
    expect([high[0], high[1], high[3]]).toEqual([0, 0, 255]);
    expect(high[2]).toBeCloseTo((63 / 127) * 255, 3);
    expect(tone([100], { blackPoint: 50, whitePoint: 150 })[0]).toBeCloseTo(127.5, 4);
  });

  test('gamma lightens mid-tones and is skipped (no clamp) at exactly 1', () => {
    expect(Math.abs(tone([128], { gamma: 0.55 })[0] - 174.6)).toBeLessThan(0.1);
    // Contrast pushes 10 far below 0; only a real gamma step clamps it before the shadow lift.
    expect(tone([10], { contrast: 200, shadowLift: 100 })).toEqual([0]);
    expect(tone([10], { contrast: 200, shadowLift: 100, gamma: 2 })).toEqual([55]);
  });

  test('shadow lift, ink saving and invert act on the lightness after gamma', () => {
    expect(tone([0, 255], { shadowLift: 100 })).toEqual([55, 255]);
    expect(tone([0, 255], { inkSaving: 100 })).toEqual([35, 255]);
    expect(tone([0], { shadowLift: 100, inkSaving: 100 })).toEqual([90]);
    const mid = tone([128], { shadowLift: 40 })[0];
    expect(mid).toBeCloseTo(128 + 40 * 0.55 * (1 - 128 / 255) ** 2, 3);
    expect(tone([0, 200, 255], { invert: true })).toEqual([255, 55, 0]);
    expect(tone([0], { invert: true, shadowLift: 100 })).toEqual([200]);
  });
});

function clampIdx(v: number, n: number): number {
  return Math.min(n - 1, Math.max(0, v));
}

function randomBuffer(w: number, h: number, seed: number): Float32Array {
  const buf = new Float32Array(w * h);
  let s = seed;
  for (let i = 0; i < buf.length; i++) {
    s = (s * 1103515245 + 12345) >>> 0;
    buf[i] = (s >>> 8) % 256;
  }
  return buf;
}

describe('neighbourhood filters', () => {
  test('median matches a sorted 3x3 window with clamped edges', () => {
    for (const [w, h] of [
      [7, 5],
      [1, 4],
      [3, 1],
      [1, 1],
    ]) {
      const src = randomBuffer(w, h, w * 31 + h);
      const got = src.slice();
      median3x3(got, w, h);
      for (let y = 0; y < h; y++) {
        for (let x = 0; x < w; x++) {
          const win: number[] = [];
          for (let dy = -1; dy <= 1; dy++)
            for (let dx = -1; dx <= 1; dx++)
              win.push(src[clampIdx(y + dy, h) * w + clampIdx(x + dx, w)]);
          win.sort((a, b) => a - b);
          expect(got[y * w + x]).toBe(win[4]);
        }
      }
    }
  });

  test('median removes an isolated speck', () => {
    const buf = new Float32Array(25).fill(255);
    buf[12] = 0;
    median3x3(buf, 5, 5);
    expect(buf.every((v) => v === 255)).toBe(true);
  });

  test('local contrast matches the 25-sample mean formula and clamps', () => {
    const w = 9;
    const h = 6;
    const src = randomBuffer(w, h, 7);
    const got = src.slice();
    localContrast5x5(got, w, h, 60);
    const k = 0.6 * 1.15;
    for (let y = 0; y < h; y++) {
      for (let x = 0; x < w; x++) {
        let sum = 0;
        for (let dy = -2; dy <= 2; dy++)
          for (let dx = -2; dx <= 2; dx++)
            sum += src[clampIdx(y + dy, h) * w + clampIdx(x + dx, w)];
        const v = src[y * w + x];
        const want = Math.min(255, Math.max(0, v + (v - sum / 25) * k));
        expect(got[y * w + x]).toBeCloseTo(want, 3);
      }
    }
    const flat = new Float32Array(16).fill(90);
    localContrast5x5(flat, 4, 4, 100);
    expect(Array.from(flat).every((v) => Math.abs(v - 90) < 1e-4)).toBe(true);
  });
});
