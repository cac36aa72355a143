import { describe, expect, it } from 'vitest';
import {
  handleAt,
  handleToleranceMm,
  idsInMarquee,
  isMarqueeClick,
  pointerToMm,
  topmostAt,
  type Shape,
} from '../src/editor/geometry';
import { snapEdge, snapMove, type Span } from '../src/editor/snap';

const shape = (id: string, x: number, y: number, w: number, h: number, more = {}): Shape => ({
  id,
  type: 'rect',
  x,
  y,
  w,
  h,
  ...more,
});

describe('hit testing', () => {
  const objects = [
    shape('a', 10, 10, 20, 20, { fill: true }),
    shape('b', 20, 20, 20, 20, { fill: true }),
    shape('line', 0, 50, 30, 0, { type: 'line' }),
    // A border over a picture: the frame is on top, the picture inside it.
    shape('picture', 55, 5, 10, 10, { type: 'image' }),
    shape('frame', 50, 0, 20, 20),
  ];
  it.each([
    ['overlap: the later object is on top', 25, 25, 'b'],
    ['only the lower object', 12, 12, 'a'],
    ['bounds are inclusive', 10, 10, 'a'],
    ['the far corner is inclusive', 40, 40, 'b'],
    ['a flat line is grasped 1.5 mm below it', 15, 51.5, 'line'],
    ['but not further', 15, 51.6, undefined],
    ['empty space', 45, 5, undefined],
    ['inside a hollow frame: the picture under it', 60, 10, 'picture'],
    ['inside a hollow frame, on nothing', 52, 18, undefined],
    ['a hollow frame within 1.5 mm of its edge', 51.5, 10, 'frame'],
    ['a hollow frame near its bottom edge', 60, 18.5, 'frame'],
  ])('%s', (_, x, y, id) => {
    expect(topmostAt(objects, { x, y })?.id).toBe(id);
  });

  it('keeps the frame grab the same on screen: narrower when zoomed in', () => {
    // At 200 % the 1.5 mm of 100 % become 0.75 mm.
    expect(topmostAt(objects, { x: 51, y: 18 }, 0.75)?.id).toBeUndefined();
    expect(topmostAt(objects, { x: 50.7, y: 18 }, 0.75)?.id).toBe('frame');
    // A filled rectangle is taken anywhere on its area, whatever the zoom.
    expect(topmostAt(objects, { x: 12, y: 12 }, 0.1)?.id).toBe('a');
  });

  it('maps the pointer through the on-screen rectangle', () => {
    const rect = { left: 100, top: 50, width: 250, height: 400 };
    expect(pointerToMm(225, 250, rect, { widthMm: 50, heightMm: 80 })).toEqual({ x: 25, y: 40 });
    // A collapsed canvas divides by one, not zero.
    const flat = { left: 0, top: 0, width: 0, height: 0 };
    expect(pointerToMm(2, 3, flat, { widthMm: 50, heightMm: 80 })).toEqual({ x: 100, y: 240 });
    expect(handleToleranceMm(400, 50)).toBe(0.5);
  });
});

describe('handles', () => {
  const box = { x: 10, y: 20, w: 10, h: 8 };
  it.each([
    ['nw', 10, 20],
    ['n', 15, 20],
    ['ne', 20, 20],
    ['e', 20, 24],
    ['se', 20, 28],
    ['s', 15, 28],
    ['sw', 10, 28],
    ['w', 10, 24],
  ])('%s at (%d, %d), hit within the tolerance on both axes', (handle, x, y) => {
    expect(handleAt(box, { x, y }, 0.5)).toBe(handle);
    expect(handleAt(box, { x: x + 0.5, y: y - 0.5 }, 0.5)).toBe(handle);
    expect(handleAt(box, { x: x + 0.51, y }, 0.5)).toBeUndefined();
  });

  it('the first handle in order wins where they overlap', () => {
    // A flat line: nw/sw, n/s and ne/se coincide.
    const flat = { x: 0, y: 0, w: 10, h: 0 };
    expect([0, 5, 10].map((x) => handleAt(flat, { x, y: 0 }, 0.5))).toEqual(['nw', 'n', 'ne']);
    // A tiny box: every handle is within reach of its centre; nw comes first.
    expect(handleAt({ x: 0, y: 0, w: 0.4, h: 0.4 }, { x: 0.2, y: 0.2 }, 0.5)).toBe('nw');
  });
});

describe('marquee', () => {
  const objects = [
    shape('a', 10, 10, 10, 10),
    shape('locked', 30, 10, 10, 10, { locked: true }),
    shape('line', 10, 40, 20, 0, { type: 'line' }),
  ];
  it.each([
    ['overlap selects', { x: 15, y: 15, w: 20, h: 5 }, ['a']],
    ['touching the right edge does not', { x: 20, y: 0, w: 5, h: 30 }, []],
    ['touching the top edge does not', { x: 0, y: 0, w: 50, h: 10 }, []],
    ['a locked object never', { x: 0, y: 0, w: 50, h: 30 }, ['a']],
    // The stored box of a flat line has no height, so a marquee must cross it.
    ['crossing a flat line', { x: 0, y: 39, w: 50, h: 2 }, ['line']],
    ['just under a flat line (no grasp allowance)', { x: 0, y: 40, w: 50, h: 1 }, []],
  ])('%s', (_, rect, ids) => {
    expect(idsInMarquee(objects, rect)).toEqual(ids);
  });

  it.each([
    [0.49, 0.49, true],
    [0.5, 0, false],
    [0, -0.5, false],
    [-0.3, 0.3, true],
  ])('a drag of (%d, %d) mm is a click: %s', (dx, dy, click) => {
    expect(isMarqueeClick({ x: 10, y: 10 }, { x: 10 + dx, y: 10 + dy })).toBe(click);
  });
});

describe('move snapping of one edge (box 10 mm on a 50 mm page)', () => {
  const e = 10;
  const P = 50;
  it.each<[string, number, Span[], number, number | undefined]>([
    ['page start', 0.3, [], 0, 0],
    ['page centre', 20.4, [], 20, 25],
    ['page end', 39.7, [], 40, 50],
    ['whole millimetre, no guide', 12.3, [], 12, undefined],
    ["other's start", 30.45, [{ p: 30.3, s: 5 }], 30.3, 30.3],
    ["other's centre", 27.7, [{ p: 30, s: 5.6 }], 27.8, 32.8],
    ["other's end, right-aligned", 25.45, [{ p: 30.3, s: 5 }], 25.3, 35.3],
    ["abutting the other's end", 15.45, [{ p: 10.3, s: 5 }], 15.3, 15.3],
    ["abutting the other's start", 20.45, [{ p: 30.3, s: 5 }], 20.3, 30.3],
    // Ties keep the earlier candidate: only strictly nearer ones replace it.
    ['tie with the page start', 0.4, [], 0, 0],
    ['tie between rounding and an object', 15.5, [{ p: 10, s: 5 }], 16, undefined],
    // The page start (0.75 away) is taken first, the whole millimetre is nearer.
    ['nearer later candidate', 0.75, [], 1, undefined],
    ['clamped onto the page', 45, [], 40, undefined],
    ['clamped at the start', -3.2, [], 0, undefined],
  ])('%s', (_, v, others, value, guide) => {
    const snap = snapEdge(v, e, P, others, false);
    expect(snap.value).toBeCloseTo(value, 9);
    expect(snap.guide).toBe(guide);
  });

  it.each([
    [12.34, 12.34],
    [-3, 0],
    [41.37, 40],
  ])('Alt: %d lands at %d, no guide', (v, value) => {
    expect(snapEdge(v, e, P, [{ p: 12.3, s: 3 }], true)).toEqual({ value });
  });

  it('snaps a group box on both axes against the hit boxes of the others', () => {
    const others = [shape('line', 0, 20, 30, 0, { type: 'line' })];
    // The top edge lands under the line's 1.5 mm grasp band; the left edge on a whole mm.
    const snap = snapMove(
      { x: 5, y: 30, w: 8, h: 5 },
      2.3,
      -8.4,
      { widthMm: 50, heightMm: 80 },
      others,
      false,
    );
    expect(snap.dx).toBeCloseTo(2, 9);
    expect(snap.dy).toBeCloseTo(-8.5, 9);
    expect(snap.guides).toEqual({ x: [], y: [21.5] });
  });
});
