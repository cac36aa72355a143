import { describe, expect, test } from 'vitest';
import { composePreviewRaster, composeRow, composeRowRaster } from '../src/compose/row';
import { encodeBase64, packRaster } from '../src/compose/pack';
import { rowGeometry } from '../src/compose/geometry';
import type { Slots } from '../src/compose/row';
import { darkColumns, doc, rect, text } from './render-fixtures';

const full = () => rect(0, 0, 50, 80, { fill: true });

describe('row geometry', () => {
  test('50 × 80 mm, 300 dpi, 3 columns, 2 mm gap', () => {
    const d = doc({}, { columns: 3, columnGapMm: 2 });
    const r = composeRowRaster(d, [{}, {}, {}]);
    expect(r.metrics).toEqual({
      width: 1821,
      height: 945,
      labelWidth: 591,
      labelHeight: 945,
      gap: 24,
      bytesPerRow: 228,
    });
    expect([r.canvas.width, r.canvas.height]).toEqual([1821, 945]);
    expect(r.bytes.length).toBe(215460);
    expect(encodeBase64(r.bytes).length).toBe(287280);
    expect(r.bytes[227]).toBe(0xff); // three padding bits per line, sent white
  });

  test('50 mm at 203 dpi on 2 columns: 816 dots, 102 bytes, no padding', () => {
    const r = composeRowRaster(doc({ dpi: 203 }, { columns: 2 }), [{}, {}]);
    expect([r.metrics.width, r.metrics.labelWidth, r.metrics.gap, r.metrics.bytesPerRow]).toEqual([
      816, 400, 16, 102,
    ]);
    expect(r.bytes.every((b) => b === 0xff)).toBe(true);
  });

  test('column counts are rounded and clamped; the caller may pass its own', () => {
    expect(rowGeometry(doc({}, { columns: 12 })).columns).toBe(8);
    expect(rowGeometry(doc({}, { columns: 0 })).columns).toBe(1);
    expect(rowGeometry(doc(), 2.5).columns).toBe(3);
    expect(composeRow(doc({}, { columns: 3 }), [{}], 1).metrics.width).toBe(591);
  });
});

describe('composing', () => {
  test('each present slot fills its column; empty slots, gaps and extra slots stay white', () => {
    const d = doc({}, { columns: 3, columnGapMm: 2 });
    d.objects.push(full());
    const r = composeRowRaster(d, [{}, undefined, {}, {}]);
    const ctx = r.canvas.getContext('2d')!;
    const cols = darkColumns(ctx, 400, 401);
    expect(cols.length).toBe(591 * 2);
    expect(cols[0]).toBe(0);
    expect(cols[590]).toBe(590);
    expect(cols[591]).toBe(2 * 615);
    expect(cols[cols.length - 1]).toBe(1820);
    // Packed: first column black, gap white (dots 591 … 614), second column white.
    const line = r.bytes.subarray(400 * 228, 401 * 228);
    expect(line[0]).toBe(0);
    expect(line[73]).toBe(0b00000001); // dots 584 … 590 black, 591 the first gap dot
    expect(line[74]).toBe(0xff);
    expect(line[100]).toBe(0xff);
    expect(line[160]).toBe(0);
  });

  test('each label is drawn with its own context', () => {
    const d = doc({}, { columns: 2 });
    d.objects.push(text(0, 0, 50, 20, { text: '{{a}}' }));
    const r = composeRow(d, [{ row: { a: 'H' } }, { row: { a: 'HHHHHH' } }]);
    const cols = darkColumns(r.canvas.getContext('2d')!);
    const first = cols.filter((x) => x < 591);
    const second = cols.filter((x) => x >= 615).map((x) => x - 615);
    expect(first[first.length - 1]).toBeLessThan(60);
    expect(second[second.length - 1]).toBeGreaterThan(150);
  });

  test('applyOffset shifts the labels inside the row, cutting what leaves it', () => {
    const d = doc({}, { columns: 2, offsetXMm: 1, offsetYMm: 1 });
    d.objects.push(full());
    const plain = composeRow(d, [{}, {}]);
    expect(darkColumns(plain.canvas.getContext('2d')!, 0, 1)[0]).toBe(0);
    const shifted = composeRow(d, [{}, {}], 2, { applyOffset: true });
    expect([shifted.canvas.width, shifted.metrics.width]).toEqual([1206, 1206]);
    const ctx = shifted.canvas.getContext('2d')!;
    expect(darkColumns(ctx, 500, 501)[0]).toBe(12); // 11.81: the first dot is mostly white
    expect(darkColumns(ctx, 0, 11)).toEqual([]); // the top 11.81 dots are white
    const cols = darkColumns(ctx, 500, 501);
    expect(cols[cols.length - 1]).toBe(1205); // the right label runs off the edge
  });
});

describe('preview raster', () => {
  test('a positive X offset widens the raster and moves the labels; the frame starts at 0', () => {
    const d = doc({}, { columns: 3, offsetXMm: 1 });
    d.objects.push(full());
    const r = composePreviewRaster(d, [{}]);
    expect([r.metrics.width, r.metrics.height, r.metrics.bytesPerRow]).toEqual([1832, 945, 229]);
    expect(r.bytes.length).toBe(229 * 945);
    expect(r.frame).toEqual({ x: 0, y: 0, width: 1821, height: 945 });
    const cols = darkColumns(r.canvas.getContext('2d')!, 100, 101);
    expect(cols[0]).toBe(12);
    expect(cols[cols.length - 1]).toBe(601); // 11.81 + 591 = 602.81
  });

  test('a negative offset leaves the labels at the edge and moves the frame', () => {
    const d = doc({}, { columns: 3, offsetXMm: -1, offsetYMm: -2 });
    d.objects.push(full());
    const r = composePreviewRaster(d, [{}, {}, {}]);
    expect([r.metrics.width, r.metrics.height]).toEqual([1832, 945 + 23]);
    expect(r.frame!.x).toBeCloseTo(11.811, 3);
    expect(r.frame!.y).toBeCloseTo(23.622, 3);
    expect([r.frame!.width, r.frame!.height]).toEqual([1821, 945]);
    const ctx = r.canvas.getContext('2d')!;
    expect(darkColumns(ctx, 0, 1)[0]).toBe(0);
    expect(ctx.getImageData(0, 943, 1, 1).data[0]).toBe(0);
    expect(ctx.getImageData(0, 946, 1, 1).data[0]).toBe(255);
  });

  test('without offsets there is no frame and the raster equals the row raster', () => {
    const d = doc({}, { columns: 2 });
    d.objects.push(rect(5, 5, 20, 30, { lineWidth: 0.4 }));
    const p = composePreviewRaster(d, [{}, {}]);
    expect(p.frame).toBeUndefined();
    expect(p.bytes).toEqual(composeRowRaster(d, [{}, {}]).bytes);
  });
});

describe('the reused row surface', () => {
  const black = () => {
    const d = doc({}, { columns: 3, columnGapMm: 2 });
    d.objects.push(full());
    return d;
  };
  const words = () => {
    const d = doc({}, { columns: 3, columnGapMm: 2 });
    d.objects.push(text(0, 0, 50, 20, { text: '{{a}}' }));
    return d;
  };
  const fresh = (d: ReturnType<typeof doc>, slots: Slots, columns: number, offset: boolean) => {
    const row = composeRow(d, slots, columns, { applyOffset: offset });
    return packRaster(row.canvas, row.metrics);
  };

  // Each row follows rows that left ink in every column and gap (long texts, then black labels
  // shifted over the gaps); it must pack exactly as on a new surface.
  test.each([
    { name: 'an empty middle column', d: black, slots: [{}, undefined, {}], columns: 3 },
    { name: 'no labels at all', d: black, slots: [undefined, undefined, undefined], columns: 3 },
    { name: 'shorter texts', d: words, slots: [{ row: { a: 'H' } }, undefined, {}], columns: 3 },
    { name: 'fewer columns', d: black, slots: [undefined, {}], columns: 2 },
    { name: 'offsets drawn in', d: black, slots: [{}, undefined, {}], columns: 3, offset: true },
  ])('$name', ({ d, slots, columns, offset = false }) => {
    const long = { row: { a: 'HHHHHHHH' } };
    composeRowRaster(words(), [long, long, long]);
    const shifted = black();
    shifted.print.offsetXMm = -3;
    composeRowRaster(shifted, [{}, {}, {}], 3, { applyOffset: true });
    const document = d();
    document.print.offsetXMm = 1.5;
    const bytes = composeRowRaster(document, slots, columns, { applyOffset: offset }).bytes;
    const expected = fresh(document, slots, columns, offset);
    // The first differing byte, not a diff of 200 kB that would take minutes to print.
    expect(bytes.length).toBe(expected.length);
    expect(bytes.findIndex((b, i) => b !== expected[i])).toBe(-1);
  });
});
