// Every property row of every object type, in panel order, one line per field. Ranges and steps
// follow the document's field limits; the page-relative ones read the page from the context.

import {
  BARCODE_FIELDS,
  LINE_FIELDS,
  OBJECT_BASE_FIELDS,
  QRCODE_FIELDS,
  RECT_FIELDS,
  TEXT_FIELDS,
} from '../document/field-table';
import type {
  BarcodeObject,
  ImageObject,
  LabelObject,
  LineObject,
  MatrixSymbology,
  ObjectOfType,
  ObjectType,
  QrCodeObject,
  QrEcc,
  RectObject,
  TextAlign,
  TextObject,
} from '../document/model';
import {
  ROTATIONS,
  isRotatable,
  isSideways,
  setRotation,
  type RotatableObject,
  type Rotation,
} from '../document/rotation';
import { textBandHeight } from '../render/barcode-size';
import { SYMBOLOGIES } from '../render/symbologies';
import type { ChoiceRow, Row, RowContext } from './row-types';
import { IMAGE_ROWS } from './image-rows';
import { binding, num, pick, toggle, txt } from './row-builders';
import { applyTextStyle, barcodeBarHeight, textStyle, type TextStyle } from './rules';

/** "名称" and "锁定" open every object's rows. */
const COMMON_ROWS: readonly Row<LabelObject>[] = [
  txt<LabelObject>('name', '名称', OBJECT_BASE_FIELDS.name),
  toggle<LabelObject>('locked', '锁定'),
];

const TEXT_STYLES: { value: TextStyle; label: string }[] = [
  { value: 'normal', label: '常规' },
  { value: 'bold', label: '加粗' },
  { value: 'italic', label: '斜体' },
];

const TEXT_ROWS: Row<TextObject>[] = [
  txt('text', '内容', TEXT_FIELDS.text, true),
  num('fontSize', '字号 pt', TEXT_FIELDS.fontSize),
  num('lineHeight', '行高', TEXT_FIELDS.lineHeight),
  {
    kind: 'segments',
    caption: '样式',
    options: () => TEXT_STYLES,
    get: (o) => textStyle(o),
    set: (o, v) => applyTextStyle(o, v as TextStyle),
  },
  pick<TextObject, TextAlign>('segments', 'align', '对齐', [
    { value: 'left', label: '左' },
    { value: 'center', label: '中' },
    { value: 'right', label: '右' },
  ]),
  toggle('shrinkToFit', '自动缩小字号'),
];

export const BARCODE_HINT = '条码横向拉伸过大可能影响扫描；建议用打印预览确认条宽和空白区。';

/**
 * A barcode's box side set from the panel: the side its printed length runs along sets the
 * stretch, the other one the bars (turned a quarter, the length runs down the box).
 */
function setBarcodeSide(o: BarcodeObject, side: 'w' | 'h', mm: number, ctx: RowContext): void {
  if (side === (isSideways(o.rotation) ? 'h' : 'w')) {
    o.widthScale = ctx.barcodeWidthScale?.(o, mm) ?? o.widthScale;
  } else {
    o.barHeight = barcodeBarHeight(mm, ctx.barcodeTextBand ?? textBandHeight(o));
  }
}

const BARCODE_ROWS: Row<BarcodeObject>[] = [
  {
    ...pick<BarcodeObject, string>('choice', 'symbology', '码制', SYMBOLOGIES),
    // A file may name an encoder the list does not offer; it is shown, not silently replaced.
    options: (_ctx, o) =>
      SYMBOLOGIES.some((s) => s.value === o.symbology)
        ? SYMBOLOGIES
        : [{ value: o.symbology, label: o.symbology }, ...SYMBOLOGIES],
  },
  txt('data', '数据', BARCODE_FIELDS.data),
  binding(),
  {
    kind: 'number',
    caption: '宽度 mm',
    numberLimits: (ctx) => ({ min: 2, max: ctx.pageW, step: 0.5, round: 'none' }),
    // What prints, not the box: the box follows the symbol only when the view next draws. A
    // sideways symbol prints its length along the box's height, so its width is the box's.
    get: (o, ctx) => (isSideways(o.rotation) ? o.w : (ctx.barcodePrintedWidth?.(o) ?? o.w)),
    set: (o, v, ctx) => setBarcodeSide(o, 'w', v, ctx),
  },
  {
    kind: 'number',
    caption: '高度 mm',
    numberLimits: (ctx) => ({ min: 4, max: ctx.pageH, step: 0.5, round: 'none' }),
    get: (o) => o.h,
    set: (o, v, ctx) => setBarcodeSide(o, 'h', v, ctx),
  },
  num('moduleWidth', '模块宽', BARCODE_FIELDS.moduleWidth),
  toggle('showText', '显示文字'),
  { kind: 'hint', text: BARCODE_HINT },
];

/** The 2D symbologies in the chooser's order. */
export const MATRIX_SYMBOLOGIES: readonly { value: MatrixSymbology; label: string }[] = [
  { value: 'qrcode', label: 'QR 码' },
  { value: 'datamatrix', label: 'Data Matrix' },
  { value: 'gs1datamatrix', label: 'GS1 Data Matrix' },
  { value: 'pdf417', label: 'PDF417' },
];

const QRCODE_ROWS: Row<QrCodeObject>[] = [
  {
    ...pick<QrCodeObject, MatrixSymbology>('choice', 'symbology', '码制', MATRIX_SYMBOLOGIES),
    // Leaving PDF417 squares the box again on its longer side, within the page; the drawing
    // fits a PDF417 to its own aspect.
    set: (o: QrCodeObject, v: string | number, ctx: RowContext) => {
      o.symbology = v as MatrixSymbology;
      if (v !== 'pdf417')
        o.w = o.h = Math.max(2, Math.min(Math.max(o.w, o.h), ctx.pageW - o.x, ctx.pageH - o.y));
    },
  },
  txt('data', '内容', QRCODE_FIELDS.data, true),
  binding(),
  {
    ...pick<QrCodeObject, QrEcc>(
      'segments',
      'ecc',
      '纠错',
      (['L', 'M', 'Q', 'H'] as const).map((v) => ({ value: v, label: v })),
    ),
    // The other 2D codes choose their own error correction.
    when: (o) => o.symbology === 'qrcode',
  },
  num('moduleSize', '模块点', QRCODE_FIELDS.moduleSize),
];

const RECT_ROWS: Row<RectObject>[] = [
  num('lineWidth', '线宽 mm', RECT_FIELDS.lineWidth),
  num('radius', '圆角 mm', RECT_FIELDS.radius),
  toggle('fill', '填充'),
];

const LINE_ROWS: Row<LineObject>[] = [num('lineWidth', '线宽 mm', LINE_FIELDS.lineWidth)];

const TYPE_ROWS: { [K in ObjectType]: readonly Row<ObjectOfType<K>>[] } = {
  text: TEXT_ROWS,
  barcode: BARCODE_ROWS,
  qrcode: QRCODE_ROWS,
  rect: RECT_ROWS,
  line: LINE_ROWS,
  image: IMAGE_ROWS,
};

const isQr = (o: LabelObject) => o.type === 'qrcode';
const isImage = (o: LabelObject) => o.type === 'image';

/** A picture with its aspect locked: the other side follows a typed one. */
function keepsAspect(o: LabelObject): o is ImageObject {
  return o.type === 'image' && o.keepAspect && o.w > 0 && o.h > 0;
}
const isBoxed = (o: LabelObject) => o.type !== 'qrcode' && o.type !== 'barcode';

/**
 * The position grid. Each field clamps to its own range only: a box may hang over the page edge
 * until the page clamps it. A barcode's size follows its barcode fields, so it has none here.
 */
export const POSITION_ROWS: readonly Row<LabelObject>[] = [
  {
    kind: 'number',
    caption: 'X mm',
    half: true,
    numberLimits: (ctx) => ({ min: 0, max: ctx.pageW, step: 0.5, round: 'none' }),
    get: (o) => o.x,
    set: (o, v) => (o.x = v),
  },
  {
    kind: 'number',
    caption: 'Y mm',
    half: true,
    numberLimits: (ctx) => ({ min: 0, max: ctx.pageH, step: 0.5, round: 'none' }),
    get: (o) => o.y,
    set: (o, v) => (o.y = v),
  },
  {
    kind: 'number',
    caption: '尺寸 mm',
    half: true,
    when: isQr,
    numberLimits: (ctx) => ({
      min: 2,
      max: Math.min(ctx.pageW, ctx.pageH),
      step: 0.5,
      round: 'none',
    }),
    get: (o) => o.w,
    set: (o, v) => {
      o.w = v;
      o.h = v;
    },
  },
  {
    kind: 'number',
    caption: '宽 mm',
    half: true,
    when: isBoxed,
    numberLimits: (ctx) => ({ min: 1, max: ctx.pageW, step: 0.5, round: 'none' }),
    get: (o) => o.w,
    set: (o, v) => {
      if (keepsAspect(o)) o.h = Math.max(1, (o.h * v) / o.w);
      o.w = v;
    },
  },
  {
    kind: 'number',
    caption: '高 mm',
    half: true,
    when: isBoxed,
    // A line's height is the vertical part of its vector, so 0 (horizontal) is allowed.
    numberLimits: (ctx, o) => ({
      min: o.type === 'line' ? 0 : 1,
      max: ctx.pageH,
      step: 0.5,
      round: 'none',
    }),
    get: (o) => o.h,
    set: (o, v) => {
      if (keepsAspect(o)) o.w = Math.max(1, (o.w * v) / o.h);
      o.h = v;
    },
  },
  { ...toggle<ImageObject>('keepAspect', '锁定比例'), when: isImage } as Row<LabelObject>,
];

/** Texts, codes and pictures turn in quarter turns; the box turns with them. */
const ROTATION_ROW: ChoiceRow<RotatableObject> = {
  kind: 'segments',
  caption: '旋转',
  options: () => ROTATIONS.map((r) => ({ value: r, label: `${r}°` })),
  get: (o) => o.rotation ?? 0,
  set: (o, v, ctx) => setRotation(o, v as Rotation, { widthMm: ctx.pageW, heightMm: ctx.pageH }),
};

/**
 * The rows of one object, in panel order: common rows, the type's rows, the rotation where the
 * type turns, the position grid.
 */
export function objectRows(obj: LabelObject): readonly Row<LabelObject>[] {
  return [
    ...COMMON_ROWS,
    ...(TYPE_ROWS[obj.type] as readonly Row<LabelObject>[]),
    ...(isRotatable(obj) ? [ROTATION_ROW as Row<LabelObject>] : []),
    ...POSITION_ROWS,
  ];
}
