import { beforeEach, describe, expect, test } from 'vitest';
import {
  clearProcessedImages,
  getProcessedImage,
  processedImageCount,
  processedImageKey,
  processedKeyTail,
  storeProcessedImage,
} from '../src/image/cache';
import { sanitizeDocument } from '../src/document/sanitize';
import { fitSourceRect, processPicture, type PictureSettings } from '../src/image/process';
import { pictureSettings } from '../src/render/picture';
import { image } from './render-fixtures';

const base: PictureSettings = pictureSettings(image(0, 0, 1, 1, { ditherMode: 'threshold' }));

function canvasOf(w: number, h: number, paint: (ctx: CanvasRenderingContext2D) => void) {
  const c = document.createElement('canvas');
  c.width = w;
  c.height = h;
  paint(c.getContext('2d')!);
  return c;
}

function greys(c: HTMLCanvasElement): number[] {
  const d = c.getContext('2d')!.getImageData(0, 0, c.width, c.height).data;
  const out: number[] = [];
  for (let i = 0; i < d.length; i += 4) {
    expect(d[i + 3]).toBe(255);
    expect(d[i]).toBe(d[i + 1]);
    out.push(d[i]);
  }
  return out;
}

describe('picture processing', () => {
  test('older files without a dither mode reach the pipeline with the mode their flag implies', () => {
    const doc = sanitizeDocument({
      objects: [
        { type: 'image', threshold: 150 },
        { type: 'image', dither: false },
        { type: 'image', dither: true, ditherMode: 'ordered' },
      ],
    });
    const modes = doc.objects.map((o) => (o.type === 'image' ? pictureSettings(o).mode : ''));
    expect(modes).toEqual(['floyd', 'threshold', 'ordered']);
    expect(pictureSettings(image(0, 0, 1, 1))).toMatchObject({
      mode: 'floyd',
      brightness: 100,
      contrast: 100,
      blackPoint: 0,
      whitePoint: 255,
      gamma: 1,
      fit: 'stretch',
    });
  });

  test('cover crops the middle of a wide source; stretch keeps it all', () => {
    expect(fitSourceRect('cover', 400, 200, 50, 50)).toEqual({ sx: 100, sy: 0, sw: 200, sh: 200 });
    expect(fitSourceRect('cover', 200, 400, 100, 50)).toEqual({ sx: 0, sy: 150, sw: 200, sh: 100 });
    expect(fitSourceRect('stretch', 400, 200, 50, 50)).toEqual({ sx: 0, sy: 0, sw: 400, sh: 200 });
    // A 400 × 200 source: black outer quarters, white middle. Cover shows only the white middle.
    const src = canvasOf(400, 200, (ctx) => {
      ctx.fillStyle = '#000';
      ctx.fillRect(0, 0, 400, 200);
      ctx.fillStyle = '#fff';
      ctx.fillRect(100, 0, 200, 200);
    });
    const cover = greys(processPicture(src, 40, 40, { ...base, fit: 'cover' }));
    expect(cover.every((v) => v === 255)).toBe(true);
    const stretch = greys(processPicture(src, 40, 40, base));
    expect(stretch.slice(0, 10)).toEqual(new Array(10).fill(0));
    expect(stretch[20]).toBe(255);
  });

  test('contrast 0: all black by threshold 150, half black by floyd', () => {
    const src = canvasOf(30, 30, (ctx) => {
      const g = ctx.createLinearGradient(0, 0, 30, 0);
      g.addColorStop(0, '#000');
      g.addColorStop(1, '#fff');
      ctx.fillStyle = g;
      ctx.fillRect(0, 0, 30, 30);
    });
    const flat = greys(processPicture(src, 60, 60, { ...base, contrast: 0 }));
    expect(flat.every((v) => v === 0)).toBe(true);
    const floyd = greys(processPicture(src, 60, 60, { ...base, contrast: 0, mode: 'floyd' }));
    const black = floyd.filter((v) => v === 0).length / floyd.length;
    expect(Math.abs(black - 0.5)).toBeLessThan(0.03);
  });

  test('a transparent picture is white unless inverted', () => {
    const clear = canvasOf(10, 10, () => {});
    expect(greys(processPicture(clear, 12, 8, base)).every((v) => v === 255)).toBe(true);
    expect(
      greys(processPicture(clear, 12, 8, { ...base, invert: true })).every((v) => v === 0),
    ).toBe(true);
  });

  test('stochastic dots match at the same position in different pictures of the same grey', () => {
    const grey = 'rgb(120,120,120)';
    const a = canvasOf(40, 40, (ctx) => {
      ctx.fillStyle = grey;
      ctx.fillRect(0, 0, 40, 40);
    });
    const b = canvasOf(40, 40, (ctx) => {
      ctx.fillStyle = '#000';
      ctx.fillRect(0, 0, 40, 40);
      ctx.fillStyle = grey;
      ctx.fillRect(0, 20, 40, 20);
    });
    const s: PictureSettings = { ...base, mode: 'stochastic' };
    const ga = greys(processPicture(a, 40, 40, s));
    const gb = greys(processPicture(b, 40, 40, s));
    expect(gb.slice(800)).toEqual(ga.slice(800));
    expect(gb.slice(0, 800).every((v) => v === 0)).toBe(true);
    expect(new Set(ga.slice(800)).size).toBe(2);
  });

  test('denoise removes a speck before thresholding', () => {
    const src = canvasOf(9, 9, (ctx) => {
      ctx.fillStyle = '#fff';
      ctx.fillRect(0, 0, 9, 9);
      ctx.fillStyle = '#000';
      ctx.fillRect(4, 4, 1, 1);
    });
    expect(greys(processPicture(src, 9, 9, base)).filter((v) => v === 0).length).toBe(1);
    expect(
      greys(processPicture(src, 9, 9, { ...base, denoise: true })).every((v) => v === 255),
    ).toBe(true);
  });
});

describe('processed-image cache', () => {
  beforeEach(() => clearProcessedImages());

  test('the key lists sixteen values in order', () => {
    const key = processedImageKey('data:x', 20, 10, base);
    expect(key).toBe('data:x|20|10|150|threshold|100|100|false|false|stretch|0|255|1|0|0|0');
    expect(key.split('|')).toHaveLength(16);
  });

  test('storing the 41st keeps everything; the 42nd empties the cache first', () => {
    const bitmap = document.createElement('canvas');
    for (let i = 0; i < 41; i++) storeProcessedImage(`s${i}`, processedKeyTail(1, 1, base), bitmap);
    expect(processedImageCount()).toBe(41);
    expect(getProcessedImage('s0', processedKeyTail(1, 1, base))).toBe(bitmap);
    storeProcessedImage('s41', processedKeyTail(1, 1, base), bitmap);
    expect(processedImageCount()).toBe(1);
    expect(getProcessedImage('s0', processedKeyTail(1, 1, base))).toBeUndefined();
    expect(getProcessedImage('s41', processedKeyTail(1, 1, base))).toBe(bitmap);
  });

  test('replacing an entry under the same key does not count twice', () => {
    const tail = processedKeyTail(2, 2, base);
    storeProcessedImage('a', tail, document.createElement('canvas'));
    storeProcessedImage('a', tail, document.createElement('canvas'));
    storeProcessedImage('a', processedKeyTail(3, 2, base), document.createElement('canvas'));
    expect(processedImageCount()).toBe(2);
  });
});
