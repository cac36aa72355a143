// Documents and objects for rendering tests and benchmarks: the factory's defaults from the
// field tables, then whatever a test overrides.
import { defaultOwnFields } from '../src/document/factory';
import { PAGE_FIELDS, PRINT_FIELDS, defaultValues } from '../src/document/field-table';
import type {
  BarcodeObject,
  ImageObject,
  LabelDocument,
  LineObject,
  QrCodeObject,
  RectObject,
  TextObject,
} from '../src/document/model';

let seq = 0;
const base = (type: string, x: number, y: number, w: number, h: number) => ({
  id: `t${seq++}`,
  name: type,
  x,
  y,
  w,
  h,
});

export function doc(
  over: Partial<LabelDocument['page']> = {},
  print: Partial<LabelDocument['print']> = {},
): LabelDocument {
  return {
    schemaVersion: 1,
    name: 'test',
    page: { ...defaultValues(PAGE_FIELDS), ...over },
    print: { ...defaultValues(PRINT_FIELDS), ...print },
    objects: [],
  };
}

export const text = (
  x: number,
  y: number,
  w: number,
  h: number,
  o: Partial<TextObject> = {},
): TextObject => ({
  ...base('text', x, y, w, h),
  type: 'text',
  ...defaultOwnFields('text'),
  text: '文本',
  ...o,
});

export const barcode = (x: number, y: number, o: Partial<BarcodeObject> = {}): BarcodeObject => ({
  ...base('barcode', x, y, 36, 18),
  type: 'barcode',
  ...defaultOwnFields('barcode'),
  ...o,
});

export const qrcode = (
  x: number,
  y: number,
  w: number,
  h: number,
  o: Partial<QrCodeObject> = {},
): QrCodeObject => ({
  ...base('qrcode', x, y, w, h),
  type: 'qrcode',
  ...defaultOwnFields('qrcode'),
  ...o,
});

export const rect = (
  x: number,
  y: number,
  w: number,
  h: number,
  o: Partial<RectObject> = {},
): RectObject => ({
  ...base('rect', x, y, w, h),
  type: 'rect',
  ...defaultOwnFields('rect'),
  ...o,
});

export const line = (
  x: number,
  y: number,
  w: number,
  h: number,
  o: Partial<LineObject> = {},
): LineObject => ({
  ...base('line', x, y, w, h),
  type: 'line',
  ...defaultOwnFields('line'),
  ...o,
});

export const image = (
  x: number,
  y: number,
  w: number,
  h: number,
  o: Partial<ImageObject> = {},
): ImageObject => ({
  ...base('image', x, y, w, h),
  type: 'image',
  ...defaultOwnFields('image'),
  ...o,
});

/** A canvas sized to the label, with a context that reads back quickly. */
export function labelCanvas(width: number, height: number) {
  const canvas = document.createElement('canvas');
  canvas.width = width;
  canvas.height = height;
  const ctx = canvas.getContext('2d', { willReadFrequently: true })!;
  return { canvas, ctx };
}

/** Columns (x) that hold at least one dark pixel (luminance < 128), within rows y0 … y1. */
export function darkColumns(
  ctx: CanvasRenderingContext2D,
  y0 = 0,
  y1 = ctx.canvas.height,
): number[] {
  const { width } = ctx.canvas;
  const d = ctx.getImageData(0, y0, width, y1 - y0).data;
  const cols: number[] = [];
  for (let x = 0; x < width; x++) {
    for (let y = 0; y < y1 - y0; y++) {
      const i = (y * width + x) * 4;
      if (0.299 * d[i] + 0.587 * d[i + 1] + 0.114 * d[i + 2] < 128) {
        cols.push(x);
        break;
      }
    }
  }
  return cols;
}

/** Rows (y) that hold at least one dark pixel. */
export function darkRows(ctx: CanvasRenderingContext2D): number[] {
  const { width, height } = ctx.canvas;
  const d = ctx.getImageData(0, 0, width, height).data;
  const rows: number[] = [];
  for (let y = 0; y < height; y++) {
    for (let x = 0; x < width; x++) {
      const i = (y * width + x) * 4;
      if (0.299 * d[i] + 0.587 * d[i + 1] + 0.114 * d[i + 2] < 128) {
        rows.push(y);
        break;
      }
    }
  }
  return rows;
}
