import { beforeAll, describe, expect, test } from 'vitest';
import { composePreviewRaster, composeRowRaster, type Slots } from '../src/compose/row';
import type { LabelDocument, LabelObject } from '../src/document/model';
import type { Rotation } from '../src/document/rotation';
import { clearRenderCaches } from '../src/render/caches';
import { preloadImages } from '../src/render/sources';
import { barcode, doc, image, qrcode, text } from './render-fixtures';

// Everything is placed on whole dots at 300 dpi, so a turned label must be the upright one with
// its dots moved, bit for bit.
const mm = (dots: number) => (dots * 25.4) / 300;
const W = 300;
const H = 480;

function pictureUrl(): string {
  const c = document.createElement('canvas');
  c.width = 64;
  c.height = 40;
  const ctx = c.getContext('2d')!;
  const g = ctx.createLinearGradient(0, 0, 64, 40);
  g.addColorStop(0, '#000');
  g.addColorStop(1, '#fff');
  ctx.fillStyle = g;
  ctx.fillRect(0, 0, 64, 40);
  ctx.fillStyle = '#000';
  ctx.fillRect(4, 4, 10, 3); // an asymmetric mark shows a wrong turn
  return c.toDataURL('image/png');
}

let src = '';

/** The upright label's boxes in dots: a text, a barcode with its text line, a QR code, a picture. */
const BOXES = [
  [12, 12, 276, 72],
  [12, 96, 276, 126],
  [12, 240, 120, 120],
  [150, 240, 120, 200],
];

/** The same label turned clockwise: page and boxes move, each object turns by the same angle. */
function labelAt(rotation: Rotation): LabelDocument {
  const turn = ([x, y, w, h]: number[]): number[] => {
    if (rotation === 90) return [H - y - h, x, h, w];
    if (rotation === 180) return [W - x - w, H - y - h, w, h];
    if (rotation === 270) return [y, W - x - w, h, w];
    return [x, y, w, h];
  };
  const [tb, bb, qb, ib] = BOXES.map((b) => turn(b).map(mm));
  const sideways = rotation === 90 || rotation === 270;
  const d = doc({ widthMm: mm(sideways ? H : W), heightMm: mm(sideways ? W : H), dpi: 300 });
  const objects: LabelObject[] = [
    text(tb[0], tb[1], tb[2], tb[3], { text: 'Rotate 旋转 ABC xyz', fontSize: 10, rotation }),
    {
      ...barcode(bb[0], bb[1], { data: 'ROT-12345', moduleWidth: 2, barHeight: mm(96), rotation }),
      w: bb[2],
      h: bb[3],
    },
    qrcode(qb[0], qb[1], qb[2], qb[3], { data: 'https://example.com/r', moduleSize: 3, rotation }),
    image(ib[0], ib[1], ib[2], ib[3], { src, rotation }),
  ];
  d.objects.push(...objects);
  return d;
}

/** Dots of a packed raster as 0/1 (1 = black), row by row. */
function dots(bytes: Uint8Array, width: number, height: number): Uint8Array {
  const out = new Uint8Array(width * height);
  const stride = Math.ceil(width / 8);
  for (let y = 0; y < height; y++)
    for (let x = 0; x < width; x++)
      out[y * width + x] = bytes[y * stride + (x >> 3)] & (0x80 >> (x & 7)) ? 0 : 1;
  return out;
}

/** Dots turned clockwise, written out coordinate by coordinate. */
function turned(src: Uint8Array, width: number, height: number, rotation: Rotation): Uint8Array {
  const sideways = rotation === 90 || rotation === 270;
  const tw = sideways ? height : width;
  const out = new Uint8Array(width * height);
  for (let y = 0; y < height; y++)
    for (let x = 0; x < width; x++) {
      const [nx, ny] =
        rotation === 90
          ? [height - 1 - y, x]
          : rotation === 180
            ? [width - 1 - x, height - 1 - y]
            : rotation === 270
              ? [y, width - 1 - x]
              : [x, y];
      out[ny * tw + nx] = src[y * width + x];
    }
  return out;
}

function raster(d: LabelDocument, slots: Slots = [{}]) {
  const r = composeRowRaster(d, slots, slots.length);
  return { ...r.metrics, dots: dots(r.bytes, r.metrics.width, r.metrics.height) };
}

const count = (a: Uint8Array) => a.reduce((n, v) => n + v, 0);

beforeAll(async () => {
  clearRenderCaches();
  src = pictureUrl();
  await preloadImages(labelAt(0));
});

/** Dots that differ, within an optional box (x, y, w, h) of a surface `width` wide. */
function differing(a: Uint8Array, b: Uint8Array, width: number, box?: number[]): number {
  const [bx, by, bw, bh] = box ?? [0, 0, width, a.length / width];
  let n = 0;
  for (let y = by; y < by + bh; y++)
    for (let x = bx; x < bx + bw; x++) if (a[y * width + x] !== b[y * width + x]) n++;
  return n;
}

describe('turned objects', () => {
  test.each<Rotation>([90, 180, 270])(
    'at %d° the label is the upright one turned, dot for dot',
    (rotation) => {
      const base = raster(labelAt(0));
      const got = raster(labelAt(rotation));
      expect(count(base.dots)).toBeGreaterThan(20000); // every object drew
      expect([got.width, got.height]).toEqual(rotation === 180 ? [W, H] : [H, W]);
      const want = turned(base.dots, base.width, base.height, rotation);
      // Object by object, so that a failure names the one that moved.
      const boxes = labelAt(rotation).objects.map((o) =>
        [o.x, o.y, o.w, o.h].map((v) => Math.round((v * 300) / 25.4)),
      );
      const names = ['text', 'barcode', 'qrcode', 'picture'];
      expect(
        Object.fromEntries(
          names.map((n, i) => [n, differing(got.dots, want, got.width, boxes[i])]),
        ),
      ).toEqual({ text: 0, barcode: 0, qrcode: 0, picture: 0 });
      expect(differing(got.dots, want, got.width)).toBe(0);
    },
  );
});

describe('rows printed the other way up', () => {
  test('the row raster, an empty column included, is the upright row turned 180°', () => {
    const upright = labelAt(0);
    upright.print.columns = 2;
    const flipped: LabelDocument = {
      ...upright,
      print: { ...upright.print, orientation: 'rotate180' },
    };
    const slots = [{}, null];
    const base = raster(upright, slots);
    const got = raster(flipped, slots);
    expect(count(base.dots)).toBeGreaterThan(20000);
    const want = turned(base.dots, base.width, base.height, 180);
    expect(differing(got.dots, want, got.width)).toBe(0);
    // The shared row surface is reused: composing the flipped row again gives the same bits, and
    // an upright row after it nothing of the flipped one.
    expect(differing(raster(flipped, slots).dots, got.dots, got.width)).toBe(0);
    expect(differing(raster(upright, slots).dots, base.dots, got.width)).toBe(0);
  });

  test('the preview turns the row first, then moves it by the offsets', () => {
    const flipped = labelAt(0);
    flipped.print = { ...flipped.print, columns: 1, orientation: 'rotate180', offsetXMm: mm(30) };
    const row = raster(flipped);
    const preview = composePreviewRaster(flipped, [{}], 1);
    expect(preview.frame).toEqual({ x: 0, y: 0, width: W, height: H });
    const pd = dots(preview.bytes, preview.metrics.width, preview.metrics.height);
    const pw = preview.metrics.width;
    expect(pw).toBe(W + 30);
    let blankLeft = 0;
    let moved = 0;
    for (let y = 0; y < H; y++) {
      for (let x = 0; x < 30; x++) blankLeft += pd[y * pw + x];
      for (let x = 0; x < W; x++) if (pd[y * pw + 30 + x] !== row.dots[y * W + x]) moved++;
    }
    expect([blankLeft, moved]).toEqual([0, 0]);
  });
});
