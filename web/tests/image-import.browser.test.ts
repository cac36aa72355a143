import { describe, expect, test } from 'vitest';
import {
  formatByteSize,
  importImageFile,
  reencodePicture,
  type JpegEncoder,
} from '../src/image/import';

function pngBlob(w: number, h: number): Promise<Blob> {
  const c = document.createElement('canvas');
  c.width = w;
  c.height = h;
  const ctx = c.getContext('2d')!;
  ctx.fillStyle = 'rgba(200,40,40,0.5)';
  ctx.fillRect(0, 0, w / 2, h);
  return new Promise((resolve) => c.toBlob((b) => resolve(b!), 'image/png'));
}

/** A valid PNG followed by filler bytes: decodes as the small picture, but weighs `bytes`. */
async function paddedPng(w: number, h: number, bytes: number): Promise<File> {
  const png = new Uint8Array(await (await pngBlob(w, h)).arrayBuffer());
  const padded = new Uint8Array(bytes);
  padded.set(png);
  return new File([padded], 'big.png', { type: 'image/png' });
}

describe('importImageFile', () => {
  test('a small picture is stored unchanged', async () => {
    const blob = await pngBlob(30, 20);
    const file = new File([blob], 'a.png', { type: 'image/png' });
    const r = await importImageFile(file);
    expect(r.compressed).toBe(false);
    expect(r.dataUrl.startsWith('data:image/png;base64,')).toBe(true);
    expect([r.width, r.height]).toEqual([30, 20]);
    expect(r.originalBytes).toBe(file.size);
    expect(r.embeddedChars).toBe(r.dataUrl.length);
  });

  test('a 12 MB file is re-encoded even though its pixels are few', async () => {
    const file = await paddedPng(40, 30, 12 * 1024 * 1024);
    const r = await importImageFile(file);
    expect(r.compressed).toBe(true);
    expect(r.dataUrl.startsWith('data:image/jpeg')).toBe(true);
    expect([r.width, r.height]).toEqual([40, 30]);
    expect(r.originalBytes).toBe(12 * 1024 * 1024);
    expect(r.embeddedChars).toBe(r.dataUrl.length);
  });

  test('a 5000 × 3000 picture is first tried at 3200 × 1920', async () => {
    const file = await paddedPng(5000, 3000, 11 * 1024 * 1024);
    const r = await importImageFile(file);
    expect([r.width, r.height]).toEqual([3200, 1920]);
    expect(r.compressed).toBe(true);
  });

  test('refusals: wrong media type and undecodable content', async () => {
    await expect(importImageFile(new File(['x'], 'a.txt', { type: 'text/plain' }))).rejects.toThrow(
      '请选择 PNG / JPEG / BMP / WebP 图片',
    );
    await expect(
      importImageFile(new File([new Uint8Array([1, 2, 3])], 'a.png', { type: 'image/png' })),
    ).rejects.toThrow('图片解码失败，请换一张 PNG / JPEG / WebP 图片');
  });
});

describe('re-encoding ladder', () => {
  test('five qualities per round, sizes shrinking by 0.72, the last encoding kept', () => {
    const img = document.createElement('canvas');
    img.width = 5000;
    img.height = 3000;
    const calls: string[] = [];
    const tooBig: JpegEncoder = (c, q) => {
      calls.push(`${c.width}x${c.height}@${q}`);
      return 'x'.repeat(4_194_305) + calls.length;
    };
    const r = reencodePicture(img, 5000, 3000, tooBig);
    expect(calls).toHaveLength(25);
    expect(calls.slice(0, 5)).toEqual([
      '3200x1920@0.9',
      '3200x1920@0.8',
      '3200x1920@0.7',
      '3200x1920@0.6',
      '3200x1920@0.5',
    ]);
    expect(calls[5]).toBe('2304x1382@0.9');
    expect(calls[24]).toBe(
      `${Math.round(5000 * 0.64 * 0.72 ** 4)}x${Math.round(3000 * 0.64 * 0.72 ** 4)}@0.5`,
    );
    expect(r.dataUrl.endsWith('25')).toBe(true);
    expect([r.width, r.height]).toEqual([
      Math.round(5000 * 0.64 * 0.72 ** 4),
      Math.round(3000 * 0.64 * 0.72 ** 4),
    ]);
  });

  test('the first encoding within the limit wins', () => {
    const img = document.createElement('canvas');
    img.width = 100;
    img.height = 50;
    const calls: number[] = [];
    const r = reencodePicture(img, 100, 50, (_c, q) => {
      calls.push(q);
      return q > 0.75 ? 'x'.repeat(4_194_305) : 'ok';
    });
    expect(calls).toEqual([0.9, 0.8, 0.7]);
    expect(r).toEqual({ dataUrl: 'ok', width: 100, height: 50 });
  });
});

test('formatByteSize', () => {
  expect(formatByteSize(512)).toBe('512 B');
  expect(formatByteSize(1023)).toBe('1023 B');
  expect(formatByteSize(1024)).toBe('1 KB');
  expect(formatByteSize(2047)).toBe('2 KB');
  expect(formatByteSize(1_572_864)).toBe('1.5 MB');
  expect(formatByteSize(1_048_576)).toBe('1.0 MB');
});
