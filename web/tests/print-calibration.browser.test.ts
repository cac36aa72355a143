import { describe, expect, test } from 'vitest';
import { composeRowRaster } from '../src/compose/row';
import { calibrationDocument } from '../src/print/calibration';
import { doc } from './render-fixtures';

/** Black dots of one raster row (or column) within [from, to]: a clear bit is black. */
function blackAlong(
  raster: ReturnType<typeof composeRowRaster>,
  line: { row: number } | { column: number },
  from: number,
  to: number,
): number[] {
  const { bytesPerRow } = raster.metrics;
  const black = (x: number, y: number) =>
    (raster.bytes[y * bytesPerRow + (x >> 3)] & (0x80 >> (x & 7))) === 0;
  const out: number[] = [];
  for (let i = from; i <= to; i++)
    if ('row' in line ? black(i, line.row) : black(line.column, i)) out.push(i);
  return out;
}

describe('calibration label raster', () => {
  // Ticks 1 … 5 mm from an edge: 7.99 dots per mm at 203 dpi, 11.81 at 300.
  test.each([
    { widthMm: 40, heightMm: 30, dpi: 203, W: 320, H: 240, ticks: [8, 16, 24, 32, 40] },
    { widthMm: 50, heightMm: 25, dpi: 300, W: 591, H: 295, ticks: [12, 24, 35, 47, 59] },
    { widthMm: 33.5, heightMm: 21.5, dpi: 300, W: 396, H: 254, ticks: [12, 24, 35, 47, 59] },
  ] as const)('$widthMm×$heightMm mm at $dpi dpi', ({ widthMm, heightMm, dpi, W, H, ticks }) => {
    const source = doc({ widthMm, heightMm, dpi }, { columns: 3, offsetXMm: 4, offsetYMm: -2 });
    const cal = calibrationDocument(source, 'Zeko QX530');
    expect(cal.print).toMatchObject({ columns: 1, copies: 1, offsetXMm: 0, offsetYMm: 0 });
    const r = composeRowRaster(cal, [{}], 1);
    expect([r.metrics.width, r.metrics.height]).toEqual([W, H]);
    const all = (n: number) => Array.from({ length: n }, (_, i) => i);

    // The frame: every dot of the outermost rows and columns, and one dot thick.
    for (const row of [0, H - 1]) expect(blackAlong(r, { row }, 0, W - 1)).toEqual(all(W));
    for (const column of [0, W - 1]) expect(blackAlong(r, { column }, 0, H - 1)).toEqual(all(H));
    const quarterX = Math.floor(W / 4);
    const quarterY = Math.floor(H / 4);
    expect(blackAlong(r, { column: quarterX }, 0, 3)).toEqual([0]);
    expect(blackAlong(r, { column: quarterX }, H - 4, H - 1)).toEqual([H - 1]);
    expect(blackAlong(r, { row: quarterY }, 0, 3)).toEqual([0]);
    expect(blackAlong(r, { row: quarterY }, W - 4, W - 1)).toEqual([W - 1]);

    // Just off the scales' middle row and column only the ticks are black: k mm from each
    // edge, counted from the frame's dot.
    const cx = Math.floor(W / 2);
    const cy = Math.floor(H / 2);
    const span = ticks[4] + 6;
    for (const row of [cy - 1, cy + 1]) {
      expect(blackAlong(r, { row }, 1, span)).toEqual(ticks);
      expect(blackAlong(r, { row }, W - 1 - span, W - 2)).toEqual(
        ticks.map((t) => W - 1 - t).reverse(),
      );
    }
    for (const column of [cx - 1, cx + 1]) {
      expect(blackAlong(r, { column }, 1, span)).toEqual(ticks);
      expect(blackAlong(r, { column }, H - 1 - span, H - 2)).toEqual(
        ticks.map((t) => H - 1 - t).reverse(),
      );
    }
  });
});
