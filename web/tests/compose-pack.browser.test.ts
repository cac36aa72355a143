import { describe, expect, test } from 'vitest';
import {
  bytesPerRowFor,
  encodeBase64,
  packOpaqueRaster,
  packRaster,
  readFramePixels,
  unpackRaster,
} from '../src/compose/pack';

function surface(width: number, height: number, paint?: (ctx: CanvasRenderingContext2D) => void) {
  const canvas = document.createElement('canvas');
  canvas.width = width;
  canvas.height = height;
  const ctx = canvas.getContext('2d', { willReadFrequently: true })!;
  ctx.fillStyle = '#fff';
  ctx.fillRect(0, 0, width, height);
  paint?.(ctx);
  return canvas;
}

const size = (width: number, height: number) => ({
  width,
  height,
  bytesPerRow: bytesPerRowFor(width),
});

describe('packRaster', () => {
  test('an all-white row packs to 0xFF, padding bits included', () => {
    const bytes = packRaster(surface(1821, 3), size(1821, 3));
    expect(bytes.length).toBe(228 * 3);
    for (let line = 0; line < 3; line++) {
      const row = bytes.subarray(line * 228, line * 228 + 228);
      expect(row.subarray(0, 227).every((b) => b === 0xff)).toBe(true);
      expect(row[227]).toBe(0xff); // 1821 = 227 × 8 + 5; the padding is white too
    }
    expect(packRaster(surface(816, 2), size(816, 2)).every((b) => b === 0xff)).toBe(true);
  });

  test('grey 127 prints black and 128 stays white; alpha is ignored', () => {
    const bytes = packRaster(
      surface(8, 1, (ctx) => {
        ctx.fillStyle = 'rgb(127,127,127)';
        ctx.fillRect(0, 0, 1, 1);
        ctx.fillStyle = 'rgb(128,128,128)';
        ctx.fillRect(1, 0, 1, 1);
        ctx.fillStyle = 'rgb(255,0,0)'; // luminance 76
        ctx.fillRect(2, 0, 1, 1);
        ctx.fillStyle = 'rgb(0,255,0)'; // 150
        ctx.fillRect(3, 0, 1, 1);
        ctx.fillStyle = '#000';
        ctx.fillRect(7, 0, 1, 1);
      }),
      size(8, 1),
    );
    expect(bytes[0]).toBe(0b01011110);
    const clear = document.createElement('canvas');
    clear.width = 8;
    clear.height = 1; // transparent black pixels
    expect(packRaster(clear, size(8, 1))[0]).toBe(0);
  });

  test('MSB is the leftmost dot and lines follow each other without gaps', () => {
    const canvas = surface(10, 2, (ctx) => {
      ctx.fillStyle = '#000';
      ctx.fillRect(0, 0, 1, 1);
      ctx.fillRect(9, 0, 1, 1);
      ctx.fillRect(8, 1, 1, 1);
    });
    expect(Array.from(packRaster(canvas, size(10, 2)))).toEqual([0x7f, 0xbf, 0xff, 0x7f]);
  });

  test('pack and unpack round trip on a random pattern', () => {
    const w = 37;
    const h = 11;
    const canvas = surface(w, h);
    const ctx = canvas.getContext('2d')!;
    const img = ctx.getImageData(0, 0, w, h);
    let s = 12345;
    const black: boolean[] = [];
    for (let i = 0; i < w * h; i++) {
      s = (s * 1103515245 + 12345) >>> 0;
      const b = (s >>> 16) % 3 === 0;
      black.push(b);
      const v = b ? (s >>> 8) % 128 : 128 + ((s >>> 8) % 128);
      img.data.set([v, v, v, 255], i * 4);
    }
    ctx.putImageData(img, 0, 0);
    const bytes = packRaster(canvas, size(w, h));
    const back = unpackRaster(bytes, w, h);
    expect(back.width).toBe(w);
    for (let i = 0; i < w * h; i++) {
      const v = black[i] ? 0 : 255;
      expect(Array.from(back.data.subarray(i * 4, i * 4 + 4))).toEqual([v, v, v, 255]);
    }
    for (let y = 0; y < h; y++) expect(bytes[y * 5 + 4] & 0b00000111).toBe(0b111);
  });
});

describe('packOpaqueRaster', () => {
  // Colours whose verdict flips if red and blue were swapped, greys at the threshold, noise, and
  // widths that end mid-byte: the video-frame copy must pack exactly as getImageData does.
  test.each([
    { w: 1821, h: 40 },
    { w: 37, h: 11 },
    { w: 816, h: 3 },
  ])('packs as packRaster on an opaque $w × $h surface', async ({ w, h }) => {
    const canvas = surface(w, h, (ctx) => {
      const colours = ['rgb(255,128,0)', 'rgb(0,128,255)', 'rgb(127,127,127)', 'rgb(128,128,128)'];
      colours.forEach((c, i) => {
        ctx.fillStyle = c;
        ctx.fillRect(i * 3, 0, 3, h);
      });
      let s = w * 7 + h;
      for (let i = 0; i < (w * h) / 5; i++) {
        s = (s * 1103515245 + 12345) >>> 0;
        const v = (s >>> 8) & 255;
        ctx.fillStyle = `rgb(${v},${(s >>> 16) & 255},${255 - v})`;
        ctx.fillRect(12 + ((s >>> 4) % (w - 12)), (s >>> 20) % h, 1 + (s % 3), 1);
      }
      ctx.font = '9px sans-serif';
      ctx.fillStyle = '#000';
      ctx.fillText('打印 128', 14, h - 2);
    });
    const pixels = await readFramePixels(canvas, w, h);
    expect(pixels, 'this browser reads through video frames').toBeDefined();
    pixels!.release();
    expect(await packOpaqueRaster(canvas, size(w, h))).toEqual(packRaster(canvas, size(w, h)));
  });
});

describe('encodeBase64', () => {
  // Both ways (the browser's encoder and the chunked text one) equal encoding all bytes at once.
  test.each([{ native: true }, { native: false }])('native $native', ({ native }) => {
    const bytes = new Uint8Array(215460);
    for (let i = 0; i < bytes.length; i++) bytes[i] = (i * 7919) & 255;
    const text = encodeBase64(bytes, native);
    expect(text.length).toBe(287280);
    let whole = '';
    for (let i = 0; i < bytes.length; i++) whole += String.fromCharCode(bytes[i]);
    expect(text === btoa(whole)).toBe(true);
    expect(encodeBase64(new Uint8Array([0xfb, 0xff]), native)).toBe('+/8=');
    expect(encodeBase64(new Uint8Array([0xfb]), native)).toBe('+w==');
    expect(encodeBase64(new Uint8Array(0), native)).toBe('');
    // A view into a larger buffer encodes only its own bytes.
    expect(encodeBase64(new Uint8Array([1, 0xfb, 0xff, 2]).subarray(1, 3), native)).toBe('+/8=');
  });
});
