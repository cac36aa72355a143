import { describe, expect, test } from 'vitest';
import { bytesPerRowFor, packPixels } from '../src/compose/pack';

/** The packing rule read literally: one pixel at a time, one bit set per light pixel and per padding bit. */
function referencePack(words: Uint32Array, width: number, height: number): Uint8Array {
  const bytesPerRow = bytesPerRowFor(width);
  const out = new Uint8Array(bytesPerRow * height);
  for (let y = 0; y < height; y++) {
    for (let x = 0; x < width; x++) {
      const w = words[y * width + x];
      const r = w & 255;
      const g = (w >>> 8) & 255;
      const b = (w >>> 16) & 255;
      if (299 * r + 587 * g + 114 * b >= 128000) out[y * bytesPerRow + (x >> 3)] |= 0x80 >> (x & 7);
    }
    for (let x = width; x < bytesPerRow * 8; x++)
      out[y * bytesPerRow + (x >> 3)] |= 0x80 >> (x & 7);
  }
  return out;
}

const WHITE = 0xffffffff;
const rgba = (r: number, g: number, b: number, a = 255) =>
  ((a << 24) | (b << 16) | (g << 8) | r) >>> 0;
const grey = (v: number) => rgba(v, v, v);

/** A deterministic generator, so a failure names a reproducible surface. */
function lcg(seed: number): () => number {
  let s = seed >>> 0;
  return () => {
    s = (Math.imul(s, 1103515245) + 12345) >>> 0;
    return s >>> 8;
  };
}

type Fill = (next: () => number, i: number) => number;

// Mostly white with scattered ink, as labels are; the ink picks from the edge cases.
const EDGES = [
  grey(127),
  grey(128),
  grey(0),
  rgba(255, 255, 254),
  rgba(255, 0, 0),
  rgba(0, 255, 0),
];
const sparse: Fill = (next) => (next() % 5 === 0 ? EDGES[next() % EDGES.length] : WHITE);
const noise: Fill = (next) => rgba(next() & 255, next() & 255, next() & 255, next() & 255);
const greys: Fill = (next) => grey(120 + (next() % 16));
// Alpha is ignored: white with any alpha, and a transparent near-white, still count as white.
const alphas: Fill = (next) => [WHITE, 0x00ffffff, 0x80ffffff, rgba(128, 128, 128, 0)][next() % 4];
// Runs of eight white pixels broken by one dark pixel at every position of the byte.
const runs: Fill = (_next, i) => (i % 9 === 0 ? grey(127) : WHITE);
const allWhite: Fill = () => WHITE;

const CASES: { name: string; width: number; height: number; fill: Fill }[] = [
  // Every tail length, all black, so any padding bit that is not white shows.
  ...Array.from({ length: 17 }, (_, i) => ({
    name: `all black, width ${i + 1}`,
    width: i + 1,
    height: 2,
    fill: (() => grey(0)) as Fill,
  })),
  { name: 'one dot', width: 1, height: 1, fill: sparse },
  { name: 'seven dots, all tail', width: 7, height: 3, fill: noise },
  { name: 'exactly one byte', width: 8, height: 4, fill: greys },
  { name: 'one byte and one dot', width: 9, height: 5, fill: sparse },
  { name: 'odd width, grey edges', width: 37, height: 11, fill: greys },
  { name: 'odd width, alpha', width: 45, height: 6, fill: alphas },
  { name: 'runs broken at every bit', width: 72, height: 9, fill: runs },
  { name: 'noise, whole bytes', width: 64, height: 8, fill: noise },
  { name: 'all white with padding', width: 1821, height: 2, fill: allWhite },
  { name: 'row width, sparse ink', width: 1821, height: 7, fill: sparse },
  { name: '203 dpi row, noise', width: 816, height: 3, fill: noise },
];

describe('packPixels equals the per-pixel rule', () => {
  test.each(CASES)('$name ($width × $height)', ({ width, height, fill }) => {
    const next = lcg(width * 31 + height);
    const words = new Uint32Array(width * height);
    for (let i = 0; i < words.length; i++) words[i] = fill(next, i);
    const size = { width, height, bytesPerRow: bytesPerRowFor(width) };
    expect(packPixels(words, size)).toEqual(referencePack(words, width, height));
  });

  test('a line of grey 127 then 128 per byte half prints 0x0F', () => {
    const words = new Uint32Array([...Array(4).fill(grey(127)), ...Array(4).fill(grey(128))]);
    expect(Array.from(packPixels(words, { width: 8, height: 1, bytesPerRow: 1 }))).toEqual([0x0f]);
  });

  test('no pixels give the zero-filled raster', () => {
    expect(packPixels(new Uint32Array(0), { width: 0, height: 3, bytesPerRow: 0 }).length).toBe(0);
    expect(packPixels(new Uint32Array(0), { width: 8, height: 0, bytesPerRow: 1 }).length).toBe(0);
  });
});
