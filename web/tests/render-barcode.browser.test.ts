import { afterEach, beforeEach, describe, expect, test, vi } from 'vitest';
import {
  barcodeBitmap,
  barcodeCacheSize,
  barcodeKey,
  barcodeLibrary,
  BARCODE_CACHE_LIMIT,
} from '../src/render/barcode-bitmap';
import {
  autoSizeBarcodes,
  autoSizeSignature,
  measureBarcode,
  naturalBarcodeWidth,
  textBandHeight,
} from '../src/render/barcode';
import { clearRenderCaches } from '../src/render/caches';
import { drawLabel, labelSizeDots } from '../src/render/label';
import { SYMBOLOGIES } from '../src/render/symbologies';
import { barcode, darkColumns, darkRows, doc, labelCanvas, qrcode } from './render-fixtures';
import type { LabelDocument } from '../src/document/model';

function draw(d: LabelDocument, context = {}) {
  const { width, height } = labelSizeDots(d);
  const { ctx } = labelCanvas(width, height);
  drawLabel(ctx, d, context);
  return ctx;
}

beforeEach(() => clearRenderCaches());
afterEach(() => vi.restoreAllMocks());

describe('symbol bitmaps', () => {
  test('the key joins the six request fields', () => {
    expect(
      barcodeKey({ bcid: 'code128', text: 'A|B', scale: 3, heightMm: 10, showText: false }),
    ).toBe('code128|A|B|3|10|false|');
    expect(
      barcodeKey({ bcid: 'qrcode', text: 'x', scale: 4, heightMm: 0, showText: false, ecc: 'H' }),
    ).toBe('qrcode|x|4|0|false|H');
  });

  test('exactly the listed library options', () => {
    // The library adds its own defaults to the object it is given: record what we passed.
    const seen: unknown[] = [];
    const original = barcodeLibrary.toCanvas;
    vi.spyOn(barcodeLibrary, 'toCanvas').mockImplementation((canvas, options) => {
      seen.push({ ...options });
      return original(canvas, options);
    });
    barcodeBitmap({ bcid: 'code128', text: 'AB12', scale: 2.6, heightMm: 10, showText: false });
    barcodeBitmap({
      bcid: 'qrcode',
      text: 'hello',
      scale: 0.2,
      heightMm: 0,
      showText: false,
      ecc: 'Q',
    });
    expect(seen[0]).toEqual({
      bcid: 'code128',
      text: 'AB12',
      scale: 3,
      includetext: false,
      textxalign: 'center',
      textsize: 8,
      paddingwidth: 0,
      paddingheight: 0,
      backgroundcolor: 'FFFFFF',
      height: 10,
    });
    expect(seen[1]).toEqual({
      bcid: 'qrcode',
      text: 'hello',
      scale: 1,
      includetext: false,
      textxalign: 'center',
      textsize: 8,
      paddingwidth: 0,
      paddingheight: 0,
      backgroundcolor: 'FFFFFF',
      eclevel: 'Q',
    });
  });

  test('two identical barcodes on one label make one library call', () => {
    const spy = vi.spyOn(barcodeLibrary, 'toCanvas');
    const d = doc();
    d.objects.push(barcode(2, 2, { data: 'SAME-1' }), barcode(2, 40, { data: 'SAME-1' }));
    const ctx = draw(d);
    expect(spy).toHaveBeenCalledTimes(1);
    draw(d);
    expect(spy).toHaveBeenCalledTimes(1);
    // Both drawn: dark rows in both bands.
    const rows = darkRows(ctx);
    expect(rows.some((r) => r < 200)).toBe(true);
    expect(rows.some((r) => r > 470)).toBe(true);
  });

  test('invalid data draws nothing and is tried again next time', () => {
    const spy = vi.spyOn(barcodeLibrary, 'toCanvas');
    const d = doc();
    d.objects.push(
      barcode(2, 2, { symbology: 'ean13', data: 'not digits' }),
      qrcode(2, 40, 20, 20, { data: '' }),
    );
    expect(darkRows(draw(d))).toEqual([]);
    expect(barcodeCacheSize()).toBe(0);
    draw(d);
    expect(spy).toHaveBeenCalledTimes(4);
    expect(
      barcodeBitmap({ bcid: 'nosuchcode', text: '1', scale: 1, heightMm: 10, showText: false }),
    ).toBeUndefined();
  });

  test('overflow empties the cache whole', () => {
    for (let i = 0; i <= BARCODE_CACHE_LIMIT; i++) {
      barcodeBitmap({ bcid: 'code128', text: `N${i}`, scale: 1, heightMm: 10, showText: false });
    }
    expect(barcodeCacheSize()).toBe(201);
    barcodeBitmap({ bcid: 'code128', text: 'last', scale: 1, heightMm: 10, showText: false });
    expect(barcodeCacheSize()).toBe(1);
  });

  test('the symbology list', () => {
    expect(SYMBOLOGIES.map((s) => s.value)).toEqual([
      'code128',
      'code39',
      'code93',
      'ean13',
      'ean8',
      'upca',
      'upce',
      'interleaved2of5',
      'rationalizedCodabar',
      'gs1-128',
      'databaromni',
    ]);
    expect(SYMBOLOGIES[7].label).toBe('ITF-14');
  });
});

describe('measuring barcodes', () => {
  test('one bitmap pixel per dot: natural width and the measured box', () => {
    const b = barcode(0, 0, { data: '1234567890', moduleWidth: 3 });
    const bitmap = barcodeBitmap({
      bcid: 'code128',
      text: '1234567890',
      scale: 3,
      heightMm: 10,
      showText: false,
    })!;
    // Code Set C: start, five pairs, check (11 modules each) and stop (13): 90 modules.
    expect(bitmap.width).toBe(270);
    expect(naturalBarcodeWidth(b, 300)).toBeCloseTo((270 * 25.4) / 300, 9);
    expect(naturalBarcodeWidth(b, 203)).toBeCloseTo((270 * 25.4) / 203, 9);
    const m = measureBarcode({ ...b, widthScale: 1.5 }, 300)!;
    expect(m.w).toBeCloseTo(22.86 * 1.5, 9);
    expect(m.h).toBeCloseTo(15.12, 9);
    expect(textBandHeight(b)).toBeCloseTo(3.12, 9);
    expect(measureBarcode({ ...b, showText: false }, 300)!.h).toBe(12);
    expect(measureBarcode({ ...b, symbology: 'ean13', data: 'x' }, 300)).toBeUndefined();
  });

  test('autoSizeBarcodes rounds to 0.1 mm, measures only on a new signature and keeps failed boxes', () => {
    const d = doc();
    const good = barcode(0, 0, { id: 'g', data: '{{code}}', w: 5, h: 5 });
    const bad = barcode(0, 30, { id: 'b', symbology: 'ean13', data: '{{code}}', w: 7, h: 8 });
    d.objects.push(good, bad, qrcode(0, 50, 10, 10, { id: 'q' }));
    const ctx = { row: { code: '1234567890' }, index: 0, total: 2 };
    autoSizeBarcodes(d, ctx, 0);
    expect(good.w).toBe(22.9);
    expect(good.h).toBe(15.1);
    expect([bad.w, bad.h]).toEqual([7, 8]);
    expect([d.objects[2].w, d.objects[2].h]).toEqual([10, 10]);
    good.w = 1;
    autoSizeBarcodes(d, ctx, 0); // same signature: nothing measured
    expect(good.w).toBe(1);
    autoSizeBarcodes(d, ctx, 1); // record index is part of the signature
    expect(good.w).toBe(22.9);
    expect(autoSizeSignature(d, ctx, 1)).toBe(
      'bg:code128:{{code}}:3:12:true:1|bb:ean13:{{code}}:3:12:true:1|qq:https://example.com/sorvendale:M:4#1#{"code":"1234567890"}',
    );
    expect(autoSizeSignature({ ...d, objects: [] }, {}, 0)).toBe('#0#{}');
  });

  test('bars fill barHeight from the top of the box; the text line sits below them', () => {
    const d = doc();
    d.objects.push(barcode(10, 10, { data: 'AB', w: 30, barHeight: 10, showText: false }));
    // Box from 118.11 dots, bars 118.11 high and 354.33 wide: edge pixels print when mostly covered.
    const top = (10 * 300) / 25.4;
    const rows = darkRows(draw(d));
    expect(rows[0]).toBe(118);
    expect(rows[rows.length - 1]).toBe(235);
    const cols = darkColumns(draw(d));
    expect(cols[0]).toBe(118);
    expect(cols[cols.length - 1]).toBe(471);
    d.objects[0] = barcode(10, 10, { data: 'AB', w: 30, barHeight: 10, showText: true });
    const withText = darkRows(draw(d));
    expect(withText[withText.length - 1]).toBeGreaterThan(top + 118.11 + 0.2 * 19);
  });
});

describe('QR codes', () => {
  test('a 20 × 30 mm box gets a 20 mm square symbol centred vertically, no quiet zone', () => {
    const d = doc();
    d.objects.push(qrcode(5, 5, 20, 30, { data: 'HELLO', moduleSize: 4 }));
    const ctx = draw(d);
    const side = (20 * 300) / 25.4; // 236.22
    const left = (5 * 300) / 25.4; // 59.06
    const top = left + ((30 - 20) * 300) / 25.4 / 2; // 118.11
    const rows = darkRows(ctx);
    const cols = darkColumns(ctx);
    expect(Math.abs(rows[0] - top)).toBeLessThanOrEqual(1);
    expect(Math.abs(rows[rows.length - 1] + 1 - (top + side))).toBeLessThanOrEqual(1);
    expect(Math.abs(cols[0] - left)).toBeLessThanOrEqual(1);
    expect(Math.abs(cols[cols.length - 1] + 1 - (left + side))).toBeLessThanOrEqual(1);
    // Finder pattern in the corner: the first dark pixel is right at the symbol's corner.
    const px = ctx.getImageData(Math.ceil(left), Math.ceil(top), 1, 1).data;
    expect(px[0]).toBe(0);
  });

  test('nearest-neighbour scaling keeps modules solid black or white', () => {
    const d = doc();
    d.objects.push(qrcode(0, 0, 20, 20, { data: 'HELLO', moduleSize: 2 }));
    const data = draw(d).getImageData(0, 0, 236, 236).data;
    for (let i = 0; i < data.length; i += 4) expect(data[i] === 0 || data[i] === 255).toBe(true);
  });
});
