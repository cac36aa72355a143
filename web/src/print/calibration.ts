// The calibration label: a document like any other, so it is composed, previewed and sent by
// the normal print path. Every mark is a filled rectangle exactly one dot wide on a whole dot,
// so the frame lands on the label's first and last dot rows and columns and a tick k mm from an
// edge on the dot nearest to k mm.

import { defaultOwnFields } from '../document/factory';
import type { LabelDocument, RectObject, TextObject } from '../document/model';
import { mmToDots } from '../document/model';
import { labelSizeDots } from '../render/label';

/** Ticks from each edge, one per millimetre up to this many. */
export const SCALE_MM = 5;
const TICK_MM = 1.5;
const LONG_TICK_MM = 2.5;
const CROSS_MM = 6;
const NUMBER_PT = 4;
const NUMBER_MM = 1.6;
const INFO_PT = 6;

/** The dot k mm from an edge, counted from that edge's own dot (0 for the frame). */
export const tickDot = (mm: number, dpi: number): number => Math.round(mmToDots(mm, dpi));

/** The calibration label for the document's label size and dpi, printed on `printer`. */
export function calibrationDocument(source: LabelDocument, printer: string): LabelDocument {
  const { dpi, widthMm, heightMm } = source.page;
  const dot = 25.4 / dpi;
  const size = labelSizeDots(source);
  const W = size.width;
  const H = size.height;
  const objects: (RectObject | TextObject)[] = [];
  // A block of whole dots: columns x … x + w − 1, rows y … y + h − 1.
  const block = (x: number, y: number, w: number, h: number) => {
    objects.push({
      id: `cal-${objects.length}`,
      type: 'rect',
      name: '校准',
      x: x * dot,
      y: y * dot,
      w: w * dot,
      h: h * dot,
      ...defaultOwnFields('rect'),
      fill: true,
    });
  };
  const label = (
    text: string,
    x: number,
    y: number,
    w: number,
    pt: number,
    align: TextObject['align'] = 'center',
  ) => {
    objects.push({
      id: `cal-${objects.length}`,
      type: 'text',
      name: '校准',
      x,
      y,
      w,
      h: (pt * 25.4) / 72 + 0.4,
      ...defaultOwnFields('text'),
      text,
      fontSize: pt,
      align,
      lineHeight: 1,
    });
  };

  // The frame on the outermost dots.
  block(0, 0, W, 1);
  block(0, H - 1, W, 1);
  block(0, 0, 1, H);
  block(W - 1, 0, 1, H);

  const cx = Math.floor(W / 2);
  const cy = Math.floor(H / 2);
  const length = (k: number) => tickDot(k === SCALE_MM ? LONG_TICK_MM : TICK_MM, dpi);
  const scaleEnd = tickDot(SCALE_MM, dpi);
  // Left and right scales run along the middle row, top and bottom along the middle column.
  block(0, cy, scaleEnd + 1, 1);
  block(W - 1 - scaleEnd, cy, scaleEnd + 1, 1);
  block(cx, 0, 1, scaleEnd + 1);
  block(cx, H - 1 - scaleEnd, 1, scaleEnd + 1);
  for (let k = 1; k <= SCALE_MM; k++) {
    const d = tickDot(k, dpi);
    const half = Math.floor(length(k) / 2);
    block(d, cy - half, 1, 2 * half + 1);
    block(W - 1 - d, cy - half, 1, 2 * half + 1);
    block(cx - half, d, 2 * half + 1, 1);
    block(cx - half, H - 1 - d, 2 * half + 1, 1);
    // Numbers alternate sides so neighbours one millimetre apart do not touch.
    const side = k % 2 === 1 ? -1 : 1;
    const beside = (half + 1) * dot + 0.2;
    const numberY = (row: number) => row * dot - NUMBER_MM / 2;
    const numberX = (column: number) => column * dot - NUMBER_MM / 2;
    const vertical = side < 0 ? cy * dot - beside - NUMBER_MM : cy * dot + beside;
    label(String(k), numberX(d), vertical, NUMBER_MM, NUMBER_PT);
    label(String(k), numberX(W - 1 - d), vertical, NUMBER_MM, NUMBER_PT);
    const horizontal = side < 0 ? cx * dot - beside - NUMBER_MM : cx * dot + beside;
    label(String(k), horizontal, numberY(d), NUMBER_MM, NUMBER_PT);
    label(String(k), horizontal, numberY(H - 1 - d), NUMBER_MM, NUMBER_PT);
  }

  // The centre cross, on the same middle row and column.
  const arm = Math.floor(mmToDots(CROSS_MM, dpi) / 2);
  block(cx - arm, cy, 2 * arm + 1, 1);
  block(cx, cy - arm, 1, 2 * arm + 1);

  // Printer, size and dpi in the quarters the scales and the cross leave free.
  const infoHeight = (INFO_PT * 25.4) / 72;
  const infoWidth = Math.max(1, widthMm / 2 - 5);
  const upper = Math.max(0.5, heightMm / 4 - infoHeight / 2);
  const lower = heightMm / 2 + upper;
  label(printer, 1.5, upper, infoWidth, INFO_PT, 'left');
  label(`${widthMm}×${heightMm} mm`, widthMm / 2 + 3.5, upper, infoWidth, INFO_PT, 'left');
  label(`${dpi} dpi`, 1.5, lower, infoWidth, INFO_PT, 'left');

  return {
    schemaVersion: 1,
    name: '校准标签',
    page: { ...source.page },
    print: {
      ...source.print,
      columns: 1,
      copies: 1,
      copyMode: 'duplicate',
      offsetXMm: 0,
      offsetYMm: 0,
    },
    objects,
  };
}
