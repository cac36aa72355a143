import { toCanvas } from 'bwip-js/browser';
import { afterEach, beforeEach, describe, expect, test, vi } from 'vitest';
import {
  barcodeBitmap,
  barcodeCacheSize,
  barcodeKey,
  barcodeLibrary,
  BARCODE_CACHE_LIMIT,
} from '../src/render/barcode-bitmap';
import { composePreviewRaster, composeRow, composeRowRaster } from '../src/compose/row';
import { unpackRaster } from '../src/compose/pack';
import { mmToDots } from '../src/document/model';
import { barcodeModuleDots } from '../src/render/barcode';
import {
  autoSizeBarcodes,
  autoSizeSignature,
  measureBarcode,
  naturalBarcodeWidth,
  printedBarcodeWidth,
  QR_MIN_MODULE_DOTS,
  qrModuleDots,
  resetAutoSize,
  textBandHeight,
  widthScaleForWidth,
} from '../src/render/barcode-size';
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
    const original = barcodeLibrary.encode;
    vi.spyOn(barcodeLibrary, 'encode').mockImplementation((options) => {
      seen.push({ ...options });
      return original(options);
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
    const spy = vi.spyOn(barcodeLibrary, 'encode');
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
    const spy = vi.spyOn(barcodeLibrary, 'encode');
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

  test('symbols drawn on the canvases an overflow let go equal freshly drawn ones', () => {
    type Request = Parameters<typeof barcodeBitmap>[0];
    const requests: Request[] = [
      { bcid: 'qrcode', text: 'https://example.com/p/1', scale: 4, heightMm: 0, showText: false },
      { bcid: 'code128', text: '690000000001', scale: 2, heightMm: 10, showText: false },
      { bcid: 'ean13', text: '690123456789', scale: 3, heightMm: 10, showText: true },
      { bcid: 'qrcode', text: 'x', scale: 1, heightMm: 0, showText: false, ecc: 'H' },
    ];
    const pixels = (c: HTMLCanvasElement) => [
      c.width,
      c.height,
      c.getContext('2d')!.getImageData(0, 0, c.width, c.height).data.join(''),
    ];
    const fresh = requests.map((r) => pixels(barcodeBitmap(r)!));
    clearRenderCaches();
    // Fill the cache past its limit with larger and smaller symbols, so that the let-go canvases
    // carry other sizes and ink; the encodes below must get no new canvas.
    for (let i = 0; i <= BARCODE_CACHE_LIMIT + 1; i++) {
      const wide = i % 2 === 0;
      barcodeBitmap({
        bcid: wide ? 'qrcode' : 'code128',
        text: `F${i}`,
        scale: wide ? 6 : 1,
        heightMm: wide ? 0 : 5,
        showText: false,
      });
    }
    const created = vi.spyOn(document, 'createElement');
    expect(requests.map((r) => pixels(barcodeBitmap(r)!))).toEqual(fresh);
    expect(created).not.toHaveBeenCalled();
  });

  test('every symbol equals the library drawing it on a canvas itself', () => {
    // Symbols are drawn into kept buffers, 2D codes of square modules from their matrix; the
    // pixels must be the library's own, size included, in any order of sizes.
    const pixels = (c: HTMLCanvasElement) =>
      `${c.width}x${c.height}:` +
      c.getContext('2d')!.getImageData(0, 0, c.width, c.height).data.join(',');
    const cases: [string, string, number, boolean][] = [
      ['qrcode', 'https://example.com/p/690000000001', 0, false],
      ['qrcode', '中文数据 ABC 123', 0, false],
      ['datamatrix', '中文数据 ABC 123', 0, false],
      ['datamatrix', 'x', 0, false],
      ['gs1datamatrix', '(01)09501101530003(17)261231(10)AB12', 0, false],
      ['pdf417', 'PDF417 数据 123', 0, false],
      ['code128', '690000000001', 10, false],
      ['ean13', '690123456789', 10, true],
      ['code39', 'ABC-123', 7.5, false],
      ['gs1-128', '(01)09501101530003(10)AB12', 12, false],
    ];
    clearRenderCaches();
    for (const [bcid, text, heightMm, showText] of cases)
      for (const scale of [1, 2, 3])
        for (const ecc of bcid === 'qrcode' ? ['L', 'H'] : [undefined]) {
          const mine = barcodeBitmap({ bcid, text, scale, heightMm, showText, ecc })!;
          const theirs = document.createElement('canvas');
          toCanvas(theirs, {
            bcid,
            text,
            scale,
            includetext: showText,
            textxalign: 'center',
            textsize: 8,
            paddingwidth: 0,
            paddingheight: 0,
            backgroundcolor: 'FFFFFF',
            ...(heightMm > 0 ? { height: heightMm } : {}),
            ...(ecc ? { eclevel: ecc } : {}),
          });
          expect(pixels(mine), `${bcid} ${text} ×${scale} ${ecc ?? ''}`).toBe(pixels(theirs));
        }
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
  // Code 128 "1234567890" in Code Set C: start, five pairs, check (11 modules each), stop (13).
  const MODULES = 90;

  test('dots per module and printed width for each scale; the box shows the printed width', () => {
    const table: [moduleWidth: number, widthScale: number, dots: number][] = [
      [1, 0.25, 1],
      [1, 0.8, 1],
      [1, 1, 1],
      [1, 1.25, 1],
      [1, 1.5, 2],
      [1, 2.3, 2],
      [2, 0.8, 2],
      [2, 1, 2],
      [2, 1.25, 3],
      [2, 2.3, 5],
      [3, 0.8, 2],
      [3, 1, 3],
      [3, 1.25, 4],
      [3, 1.5, 5],
      [3, 2.3, 7],
      [10, 10, 100],
    ];
    for (const dpi of [203, 300] as const) {
      for (const [moduleWidth, widthScale, dots] of table) {
        const label = `${moduleWidth} × ${widthScale} at ${dpi} dpi`;
        const b = barcode(0, 0, { data: '1234567890', moduleWidth, widthScale });
        expect(barcodeModuleDots(b), label).toBe(dots);
        const printed = (MODULES * dots * 25.4) / dpi;
        expect(printedBarcodeWidth(b, dpi), label).toBeCloseTo(printed, 9);
        expect(measureBarcode(b, dpi)!.w, label).toBeCloseTo(printed, 9);
        expect(naturalBarcodeWidth(b, dpi), label).toBeCloseTo(
          (MODULES * moduleWidth * 25.4) / dpi,
          9,
        );
        // The inspector shows w to two decimals; the box must convert back to the printed dots.
        const d = doc({ dpi, widthMm: 300 });
        d.objects.push(b);
        resetAutoSize();
        autoSizeBarcodes(d, {}, 0);
        expect(b.w, label).toBe(Math.round(printed * 100) / 100);
        expect(Math.round(mmToDots(b.w, dpi)), label).toBe(MODULES * dots);
      }
    }
  });

  test('a requested width moves the scale to the nearest whole-dot module', () => {
    const b = barcode(0, 0, { data: '1234567890', moduleWidth: 3, w: 10 });
    const table: [requestedMm: number, scale: number, printedDots: number][] = [
      [22.86, 1, 270], // exactly the natural width
      [30, 4 / 3, 360], // 354.3 dots: 3.94 per module, so 4
      [26, 1, 270], // 307.1 dots: 3.41 per module, so 3
      [1, 1 / 3, 90], // below one dot per module: the fewest
      [1000, 10, 2700], // the field's maximum
    ];
    for (const [requested, scale, printedDots] of table) {
      const s = widthScaleForWidth(b, requested, 300);
      expect(s, `${requested} mm`).toBeCloseTo(scale, 12);
      expect(barcodeModuleDots({ ...b, widthScale: s }) * MODULES, `${requested} mm`).toBe(
        printedDots,
      );
    }
    // Data that cannot be encoded: the current box stands for the natural width.
    const bad = barcode(0, 0, { symbology: 'ean13', data: 'x', w: 10 });
    expect(widthScaleForWidth(bad, 20, 300)).toBe(2);
    expect(widthScaleForWidth({ ...bad, w: 0.5 }, 20, 300)).toBe(10);
    expect(widthScaleForWidth(bad, 1, 300)).toBe(0.25);
  });

  test('autoSizeBarcodes measures only on a new signature and keeps failed boxes', () => {
    const d = doc();
    const good = barcode(0, 0, { id: 'g', data: '{{code}}', w: 5, h: 5 });
    const bad = barcode(0, 30, { id: 'b', symbology: 'ean13', data: '{{code}}', w: 7, h: 8 });
    d.objects.push(good, bad, qrcode(0, 50, 10, 10, { id: 'q' }));
    const ctx = { row: { code: '1234567890' }, index: 0, total: 2 };
    autoSizeBarcodes(d, ctx, 0);
    expect(good.w).toBe(22.86);
    expect(good.h).toBe(15.1);
    expect(textBandHeight(good)).toBeCloseTo(3.12, 9);
    expect([bad.w, bad.h]).toEqual([7, 8]);
    expect([d.objects[2].w, d.objects[2].h]).toEqual([10, 10]);
    good.w = 1;
    autoSizeBarcodes(d, ctx, 0); // same signature: nothing measured
    expect(good.w).toBe(1);
    autoSizeBarcodes(d, ctx, 1); // record index is part of the signature
    expect(good.w).toBe(22.86);
    expect(autoSizeSignature(d, ctx, 1)).toBe(
      '300#bg:code128:{{code}}:3:12:true:1:0|bb:ean13:{{code}}:3:12:true:1:0|qq:qrcode:https://example.com/sorvendale:M:4:10:10:0#1#{"code":"1234567890"}',
    );
    // The dpi is part of it: a dpi change re-measures every symbol.
    expect(autoSizeSignature({ ...d, objects: [] }, {}, 0)).toBe('300##0#{}');
    // Turned a quarter, the printed length runs down the box: the sides swap, and so do the
    // sides the inspector's width rule reads when the data cannot be encoded.
    good.rotation = 270;
    autoSizeBarcodes(d, ctx, 1);
    expect([good.w, good.h]).toEqual([15.1, 22.86]);
    expect(widthScaleForWidth({ ...bad, rotation: 90, w: 8, h: 5 }, 10, 300)).toBe(2);
    expect(measureBarcode({ ...good, showText: false }, 300)!.h).toBe(12);
    expect(measureBarcode({ ...good, symbology: 'ean13', data: 'x' }, 300)).toBeUndefined();
  });

  test('bars start at the dot nearest the box edge, at their own width whatever the box', () => {
    const d = doc();
    // 10 mm is 118.11 dots; "AB" in Code Set B is 57 modules, 171 dots at 3 dots each.
    d.objects.push(barcode(10, 10, { data: 'AB', w: 30, barHeight: 10, showText: false }));
    const rows = darkRows(draw(d));
    expect(rows[0]).toBe(118);
    expect(rows[rows.length - 1]).toBe(235);
    const cols = darkColumns(draw(d));
    expect(cols[0]).toBe(118);
    expect(cols[cols.length - 1]).toBe(118 + 171 - 1);
    d.objects[0] = barcode(10, 10, { data: 'AB', w: 30, barHeight: 10, showText: true });
    const withText = darkRows(draw(d));
    expect(withText[withText.length - 1]).toBeGreaterThan((10 * 300) / 25.4 + 118.11 + 0.2 * 19);
  });

  test('canvas, preview, print raster and browser print show the same bars', () => {
    const d = doc({ dpi: 203, widthMm: 60, heightMm: 20 }, { columns: 1, offsetXMm: 0.7 });
    d.objects.push(barcode(5.3, 2, { data: 'SV-42', moduleWidth: 2, widthScale: 1.3 }));
    autoSizeBarcodes(d, {}, 0);
    const line = Math.round(mmToDots(5, 203));
    const runs = (ctx: CanvasRenderingContext2D, y: number) => {
      const px = ctx.getImageData(0, y, ctx.canvas.width, 1).data;
      const out: number[] = [];
      let last = false;
      for (let x = 0; x < ctx.canvas.width; x++) {
        const black = px[x * 4] < 128;
        if (black !== last || out.length === 0) out.push(0);
        out[out.length - 1] += 1;
        last = black;
      }
      // Bars and gaps only: drop the white margins at both ends.
      return out.slice(1, -1);
    };
    const canvas = runs(draw(d), line);
    expect(canvas.length).toBeGreaterThan(20);
    expect(new Set(canvas).size).toBeLessThanOrEqual(4); // Code 128: 1 to 4 modules of 3 dots
    expect(canvas.every((r) => r % 3 === 0)).toBe(true);
    const print = composeRowRaster(d, [{}], 1);
    const preview = composePreviewRaster(d, [{}], 1);
    const browser = composeRow(d, [{}], 1, { applyOffset: true });
    const unpacked = (bytes: Uint8Array, w: number, h: number) => {
      const { ctx } = labelCanvas(w, h);
      ctx.putImageData(unpackRaster(bytes, w, h), 0, 0);
      return ctx;
    };
    expect(runs(unpacked(print.bytes, print.metrics.width, print.metrics.height), line)).toEqual(
      canvas,
    );
    expect(
      runs(unpacked(preview.bytes, preview.metrics.width, preview.metrics.height), line),
    ).toEqual(canvas);
    expect(runs(browser.canvas.getContext('2d')!, line)).toEqual(canvas);
  });
});

describe('QR module size', () => {
  test('dots per module as printed, for the document check', () => {
    // "HELLO" at ECC M is a version 1 symbol: 21 modules.
    const table: [side: number, dpi: number, dots: number][] = [
      [20, 300, 236.22 / 21],
      [5, 300, 59.055 / 21],
      [3, 300, 35.433 / 21],
      [3, 203, 23.976 / 21],
    ];
    for (const [side, dpi, dots] of table) {
      const q = qrcode(0, 0, side, side + 5, { data: 'HELLO' });
      expect(qrModuleDots(q, dpi), `${side} mm at ${dpi}`).toBeCloseTo(dots, 2);
    }
    expect(qrModuleDots(qrcode(0, 0, 3, 3, { data: 'HELLO' }), 203)!).toBeLessThan(
      QR_MIN_MODULE_DOTS,
    );
    expect(qrModuleDots(qrcode(0, 0, 3, 3, { data: '' }), 300)).toBeUndefined();
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

  test('Data Matrix and PDF417 print whole dots per module, the most that fit, centred', () => {
    // "HELLO": a 12 × 12 Data Matrix; a PDF417 103 modules across, 6 rows of 3 modules high.
    const cases = [
      { symbology: 'datamatrix', w: 30, h: 30, across: 12, down: 12, dots: 29 },
      { symbology: 'pdf417', w: 30, h: 30, across: 103, down: 18, dots: 3 },
      { symbology: 'pdf417', w: 30, h: 20, across: 103, down: 18, dots: 2, turned: 90 },
    ] as const;
    for (const c of cases) {
      const d = doc();
      const obj = qrcode(5, 5, c.w, c.h, { symbology: c.symbology, data: 'HELLO', moduleSize: 2 });
      if ('turned' in c) obj.rotation = c.turned;
      d.objects.push(obj);
      autoSizeBarcodes(d, {}, 0);
      // A PDF417's box follows the symbol's aspect along its length; the rest stay as they are.
      const length = 'turned' in c ? obj.h : obj.w;
      const across = 'turned' in c ? obj.w : obj.h;
      if (c.symbology === 'pdf417') expect(across).toBeCloseTo((length * 18) / 103, 1);
      else expect([obj.w, obj.h]).toEqual([30, 30]);
      const ctx = draw(d);
      const cols = darkColumns(ctx);
      const rows = darkRows(ctx);
      const [wide, high] = 'turned' in c ? [c.down, c.across] : [c.across, c.down];
      expect(cols[cols.length - 1] + 1 - cols[0], c.symbology).toBe(wide * c.dots);
      expect(rows[rows.length - 1] + 1 - rows[0], c.symbology).toBe(high * c.dots);
      // Centred in the box to the nearest dot.
      const box = (mm: number) => mmToDots(mm, 300);
      const mid = (box(obj.x) + box(obj.x + obj.w)) / 2;
      expect(Math.abs(cols[0] + (wide * c.dots) / 2 - mid)).toBeLessThanOrEqual(1);
    }
  });

  test('nearest-neighbour scaling keeps modules solid black or white', () => {
    const d = doc();
    d.objects.push(qrcode(0, 0, 20, 20, { data: 'HELLO', moduleSize: 2 }));
    const data = draw(d).getImageData(0, 0, 236, 236).data;
    for (let i = 0; i < data.length; i += 4) expect(data[i] === 0 || data[i] === 255).toBe(true);
  });
});
