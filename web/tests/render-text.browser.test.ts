import { describe, expect, test } from 'vitest';
import { drawLabel, labelSizeDots } from '../src/render/label';
import { fontPx, textFont } from '../src/render/text';
import { darkColumns, darkRows, doc, labelCanvas, text } from './render-fixtures';

function render(objects: ReturnType<typeof text>[], dpi: 203 | 300 = 300) {
  const d = doc({ dpi });
  d.objects.push(...objects);
  const { width, height } = labelSizeDots(d);
  const { ctx } = labelCanvas(width, height);
  drawLabel(ctx, d);
  return ctx;
}

// Bands of consecutive dark rows: one per drawn line.
function bands(rows: number[]): number[][] {
  const out: number[][] = [];
  for (const r of rows) {
    const last = out[out.length - 1];
    if (last && r - last[last.length - 1] <= 3) last.push(r);
    else out.push([r]);
  }
  return out;
}

const mm = (dots: number): number => (dots * 25.4) / 300;

describe('text drawing', () => {
  test('font size in dots and the font text', () => {
    expect(fontPx(12, 300)).toBe(50);
    expect(fontPx(12, 203)).toBeCloseTo(33.83, 2);
    expect(textFont({ fontSize: 12, bold: true, italic: true }, 300)).toBe(
      'italic bold 50px "Microsoft YaHei", "PingFang SC", "Segoe UI", sans-serif',
    );
    expect(textFont({ fontSize: 6, bold: false, italic: false }, 300)).toBe(
      '25px "Microsoft YaHei", "PingFang SC", "Segoe UI", sans-serif',
    );
  });

  test('a line is drawn only when its whole pitch fits, with one dot of tolerance', () => {
    // 12 pt, pitch 60 dots. 10 mm = 118.1 dots holds one line; 10.1 mm = 119.3 holds two.
    const one = render([text(0, 0, 40, 10, { text: 'H\nH\nH' })]);
    expect(bands(darkRows(one))).toHaveLength(1);
    const two = render([text(0, 0, 40, 10.1, { text: 'H\nH\nH' })]);
    const b = bands(darkRows(two));
    expect(b).toHaveLength(2);
    expect(b[1][0] - b[0][0]).toBe(60);
    // The 8 mm box of 94.49 dots: one line.
    expect(
      bands(darkRows(render([text(0, 0, 40, 8, { text: 'H H H H H H H H H H H H H H H H' })]))),
    ).toHaveLength(1);
  });

  test('CJK text breaks between characters; empty width draws nothing', () => {
    const w = mm(50 * 2.4); // room for two 50-dot ideographs
    const ctx = render([text(0, 0, w, 40, { text: '标签排版' })]);
    expect(bands(darkRows(ctx))).toHaveLength(2);
    expect(darkRows(render([text(0, 0, 0, 40, { text: '标签排版' })]))).toEqual([]);
  });

  test('the space at a break is not drawn at the start of the next line', () => {
    const ctx = render([text(1, 1, mm(160), 40, { text: 'HHH HHH' })]);
    const b = bands(darkRows(ctx));
    expect(b).toHaveLength(2);
    const firstLeft = darkColumns(ctx, b[0][0], b[0][b[0].length - 1] + 1)[0];
    const secondLeft = darkColumns(ctx, b[1][0], b[1][b[1].length - 1] + 1)[0];
    expect(secondLeft).toBe(firstLeft);
  });

  test('a word wider than the box stays whole and is cut at the box edges', () => {
    const left = 118.11; // 10 mm
    const width = 59.06; // 5 mm
    for (const align of ['left', 'center'] as const) {
      const ctx = render([text(10, 10, 5, 20, { text: 'HHHHHHHHHH', align })]);
      const cols = darkColumns(ctx);
      expect(cols[0]).toBeGreaterThanOrEqual(Math.floor(left));
      expect(cols[cols.length - 1]).toBeLessThanOrEqual(Math.ceil(left + width));
      // Cut by the clip: ink reaches both edges of the box.
      expect(cols[0]).toBeLessThanOrEqual(left + 6);
      expect(cols[cols.length - 1]).toBeGreaterThanOrEqual(left + width - 6);
      expect(bands(darkRows(ctx))).toHaveLength(1);
    }
  });

  test('left, centre and right anchors place the line in the box', () => {
    const boxLeft = 118.11;
    const boxRight = boxLeft + 354.33; // 30 mm wide
    const ink = (align: 'left' | 'center' | 'right') => {
      const cols = darkColumns(render([text(10, 10, 30, 20, { text: 'HH', align })]));
      return [cols[0], cols[cols.length - 1]];
    };
    const [l0, l1] = ink('left');
    const [c0, c1] = ink('center');
    const [r0, r1] = ink('right');
    const span = l1 - l0;
    expect(l0 - boxLeft).toBeGreaterThanOrEqual(0);
    expect(l0 - boxLeft).toBeLessThan(8);
    expect(Math.abs((c0 + c1) / 2 - (boxLeft + boxRight) / 2)).toBeLessThan(3);
    expect(boxRight - r1).toBeGreaterThanOrEqual(0);
    expect(boxRight - r1).toBeLessThan(8);
    expect(c1 - c0).toBe(span);
    expect(r1 - r0).toBe(span);
  });

  test('a placeholder value with a line feed starts a new paragraph', () => {
    const d = doc();
    d.objects.push(text(0, 0, 40, 30, { text: '{{a}}' }));
    const { width, height } = labelSizeDots(d);
    const { ctx } = labelCanvas(width, height);
    drawLabel(ctx, d, { row: { a: 'H\nH' }, index: 0, total: 1 });
    expect(bands(darkRows(ctx))).toHaveLength(2);
  });
});
