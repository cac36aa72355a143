import { describe, expect, it } from 'vitest';
import type { Box, Handle } from '../src/editor/geometry';
import { resizeBox, type BarcodeSizing } from '../src/editor/resize';
import { fixedSizing } from './support/barcode-sizing';

// A 50 × 80 mm page: its centre lines are x 25 and y 40.
const page = { widthMm: 50, heightMm: 80 };
const tuple = (b: Box) => [b.x, b.y, b.w, b.h].map((v) => Math.round(v * 1e6) / 1e6);

type Row = [handle: Handle, dx: number, dy: number, box: [number, number, number, number]];

describe('plain boxes (rect, text) from (10, 20, 10, 8)', () => {
  const start = { x: 10, y: 20, w: 10, h: 8 };
  it.each<Row>([
    ['nw', 2, 1, [12, 21, 8, 7]],
    ['n', 2, 1, [10, 21, 10, 7]],
    ['ne', 2, 1, [10, 21, 12, 7]],
    ['e', 2, 1, [10, 20, 12, 8]],
    ['se', 2, 1, [10, 20, 12, 9]],
    ['s', 2, 1, [10, 20, 10, 9]],
    ['sw', 2, 1, [12, 20, 8, 9]],
    ['w', 2, 1, [12, 20, 8, 8]],
    // At least 2 mm, the opposite side fixed.
    ['w', 20, 0, [18, 20, 2, 8]],
    ['n', 0, 30, [10, 26, 10, 2]],
  ])('%s by (%d, %d)', (handle, dx, dy, box) => {
    const r = resizeBox({ type: 'rect' }, handle, start, dx, dy, page);
    expect(tuple(r.box)).toEqual(box);
    expect(r.guides).toEqual({ x: [], y: [] });
  });

  it.each<[...Row, { x: number[]; y: number[] }]>([
    ['e', 29.3, 0, [10, 20, 40, 8], { x: [50], y: [] }],
    ['e', 100, 0, [10, 20, 40, 8], { x: [50], y: [] }],
    ['w', -9.5, 0, [0, 20, 20, 8], { x: [0], y: [] }],
    ['s', 0, 100, [10, 20, 10, 60], { x: [], y: [80] }],
    ['n', 0, -19.5, [10, 0, 10, 28], { x: [], y: [0] }],
    ['e', 20.6, 0, [9.7, 20, 30.6, 8], { x: [25], y: [] }],
    ['s', 0, 32.4, [10, 19.8, 10, 40.4], { x: [], y: [40] }],
    // An east handle does not look at the horizontal centre line.
    ['e', 0.2, 31.8, [10, 20, 10.2, 8], { x: [], y: [] }],
  ])('snaps %s by (%d, %d) onto an edge or centre line', (handle, dx, dy, box, guides) => {
    const r = resizeBox({ type: 'rect' }, handle, start, dx, dy, page);
    expect(tuple(r.box)).toEqual(box);
    expect(r.guides).toEqual(guides);
  });
});

describe('lines keep their direction', () => {
  it.each<[string, Box, ...Row]>([
    ['flat', { x: 10, y: 20, w: 10, h: 0 }, 'se', 2, 5, [10, 20, 12, 0]],
    ['flat', { x: 10, y: 20, w: 10, h: 0 }, 'nw', -2, -5, [8, 20, 12, 0]],
    ['flat', { x: 10, y: 20, w: 10, h: 0 }, 'n', 0, -5, [10, 20, 10, 0]],
    ['upright', { x: 10, y: 20, w: 0, h: 10 }, 'e', 5, 0, [10, 20, 0, 10]],
    ['upright', { x: 10, y: 20, w: 0, h: 10 }, 's', 5, 2, [10, 20, 0, 12]],
    ['slanted', { x: 10, y: 20, w: 10, h: 5 }, 'se', 1, -4, [10, 20, 11, 2]],
  ])('%s line by %s', (_, start, handle, dx, dy, box) => {
    expect(tuple(resizeBox({ type: 'line' }, handle, start, dx, dy, page).box)).toEqual(box);
  });
});

describe('images keep their aspect by the corners', () => {
  it.each<[string, Box, ...Row]>([
    [
      'se (10, 1) on 20 × 20 gives 30 × 30',
      { x: 5, y: 5, w: 20, h: 20 },
      'se',
      10,
      1,
      [5, 5, 30, 30],
    ],
    ['nw grows up and left', { x: 15, y: 25, w: 20, h: 20 }, 'nw', -10, -1, [5, 15, 30, 30]],
    [
      'the vertical factor wins when further from 1',
      { x: 5, y: 5, w: 20, h: 10 },
      'ne',
      1,
      -5,
      [5, 0, 30, 15],
    ],
    [
      'a tie goes to the horizontal factor',
      { x: 5, y: 5, w: 20, h: 20 },
      'se',
      5,
      -5,
      [5, 5, 25, 25],
    ],
    [
      'a factor floored at 0.05, sides at 2 mm',
      { x: 5, y: 5, w: 20, h: 20 },
      'se',
      -100,
      0,
      [5, 5, 2, 2],
    ],
    ['an edge handle stretches', { x: 5, y: 5, w: 20, h: 20 }, 'e', 4, 3, [5, 5, 24, 20]],
  ])('%s', (_, start, handle, dx, dy, box) => {
    expect(tuple(resizeBox({ type: 'image' }, handle, start, dx, dy, page).box)).toEqual(box);
  });

  it('a corner stops on the first page edge it reaches, still in aspect', () => {
    const r = resizeBox({ type: 'image' }, 'nw', { x: 15, y: 25, w: 20, h: 20 }, -30, 0, page);
    // The left edge (15 mm of room) is reached before the top (25 mm).
    expect(tuple(r.box)).toEqual([0, 10, 35, 35]);
    expect(r.guides).toEqual({ x: [0], y: [] });
  });
});

describe('qrcodes stay square', () => {
  const start = { x: 30, y: 50, w: 12, h: 12 };
  it.each<[...Row, { x: number[]; y: number[] }]>([
    // The west handle keeps the right edge where it was.
    ['w', -3, 2, [27, 50, 15, 15], { x: [], y: [] }],
    ['sw', -3, 8, [27, 50, 15, 15], { x: [], y: [] }],
    ['n', 5, -4, [30, 46, 16, 16], { x: [], y: [] }],
    ['se', 2, -9, [30, 50, 14, 14], { x: [], y: [] }],
    ['w', 20, 0, [40, 50, 2, 2], { x: [], y: [] }],
    // East: 20 mm of room to the right edge, 30 mm down; the side stops at 20.
    ['e', 30, 0, [30, 50, 20, 20], { x: [50], y: [] }],
    ['e', 7.5, 0, [30, 50, 20, 20], { x: [50], y: [] }],
  ])('%s by (%d, %d)', (handle, dx, dy, box, guides) => {
    const r = resizeBox({ type: 'qrcode' }, handle, start, dx, dy, page);
    expect(tuple(r.box)).toEqual(box);
    expect(r.guides).toEqual(guides);
  });

  it('the centre line can still take the box: it moves, its side stays', () => {
    const r = resizeBox({ type: 'qrcode' }, 'e', { x: 10, y: 20, w: 12, h: 12 }, 17, 0, page);
    expect(tuple(r.box)).toEqual([10.5, 20, 29, 29]);
    expect(r.guides).toEqual({ x: [25], y: [] });
  });
});

describe('barcodes set their fields, and the box follows what they draw', () => {
  // 20 mm wide at widthScale 1, human-readable line on: box height = bars × 1.16 + 1.2.
  const start = { x: 10, y: 20, w: 20, h: 15.1 };
  const sizing = fixedSizing(20, 20, true);

  it.each<[Handle, number, number, Partial<Record<'widthScale' | 'barHeight', number>>, number[]]>([
    ['e', 10, 0, { widthScale: 1.5 }, [10, 20, 30, 15.1]],
    ['w', -5, 0, { widthScale: 1.25 }, [5, 20, 25, 15.1]],
    ['w', 19, 0, { widthScale: 0.25 }, [25, 20, 5, 15.1]],
    ['s', 0, 4, { barHeight: 15.431034 }, [10, 20, 20, 19.1]],
    ['n', 0, 12, { barHeight: 4 }, [10, 29.3, 20, 5.8]],
    ['se', 10, 4, { widthScale: 1.5, barHeight: 15.431034 }, [10, 20, 30, 19.1]],
  ])('%s by (%d, %d)', (handle, dx, dy, fields, box) => {
    const r = resizeBox({ type: 'barcode', sizing }, handle, start, dx, dy, page);
    const got = {
      widthScale: r.widthScale,
      barHeight: r.barHeight === undefined ? undefined : Math.round(r.barHeight * 1e6) / 1e6,
    };
    expect(got).toEqual({ widthScale: undefined, barHeight: undefined, ...fields });
    expect(tuple(r.box)).toEqual(box);
  });

  it.each<[Handle, number, number, Partial<Record<'widthScale' | 'barHeight', number>>, number[]]>([
    // Turned a quarter: the printed length runs down the box, the bars across it.
    ['s', 0, 10, { widthScale: 1.5 }, [20, 10, 15.1, 30]],
    ['n', 0, -5, { widthScale: 1.25 }, [20, 5, 15.1, 25]],
    ['e', 4, 0, { barHeight: 15.431034 }, [20, 10, 19.1, 20]],
    ['w', 12, 0, { barHeight: 4 }, [29.3, 10, 5.8, 20]],
  ])('turned a quarter: %s by (%d, %d)', (handle, dx, dy, fields, box) => {
    const sideways = { ...sizing, sideways: true };
    const turned = { x: 20, y: 10, w: 15.1, h: 20 };
    const r = resizeBox({ type: 'barcode', sizing: sideways }, handle, turned, dx, dy, page);
    const got = {
      widthScale: r.widthScale,
      barHeight: r.barHeight === undefined ? undefined : Math.round(r.barHeight * 1e6) / 1e6,
    };
    expect(got).toEqual({ widthScale: undefined, barHeight: undefined, ...fields });
    expect(tuple(r.box)).toEqual(box);
  });

  it('keeps the fixed side where it was when the drawn width steps', () => {
    // Whole-module widths: only whole scales draw.
    const stepped: BarcodeSizing = { ...sizing, widthAt: (s) => 20 * Math.max(1, Math.round(s)) };
    const r = resizeBox({ type: 'barcode', sizing: stepped }, 'w', start, -7, 0, page);
    expect(tuple(r.box)).toEqual([10, 20, 20, 15.1]);
    expect(r.widthScale).toBeCloseTo(1.35, 9);
  });

  it('nothing printable: the box is kept as dragged; without text the bars take all the height', () => {
    const broken = fixedSizing(undefined, 0.5, false);
    const r = resizeBox(
      { type: 'barcode', sizing: broken },
      'e',
      { x: 10, y: 20, w: 0.5, h: 12 },
      3.5,
      0,
      page,
    );
    expect(r.widthScale).toBe(4); // 4 mm over the 1 mm floor
    expect(tuple(r.box)).toEqual([10, 20, 4, 12]);
    // Without the text band the bars take the whole height.
    expect(broken.barHeightFor(20)).toBe(20);
    expect(broken.barHeightFor(100)).toBe(60);
  });
});
