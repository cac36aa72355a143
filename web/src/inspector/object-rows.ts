// Every property row of every object type, in panel order, one line per field. Ranges and steps
// follow the document's field limits; the page-relative ones read the page from the context.

import { defaultOwnFields } from '../document/factory';
import {
  BARCODE_FIELDS,
  IMAGE_FIELDS,
  LINE_FIELDS,
  OBJECT_BASE_FIELDS,
  QRCODE_FIELDS,
  RECT_FIELDS,
  TEXT_FIELDS,
  type NumberField,
  type TextField,
} from '../document/field-table';
import type {
  BarcodeObject,
  DitherMode,
  ImageFit,
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
import type {
  BindingRow,
  ChoiceRow,
  NumberRow,
  Row,
  RowContext,
  SwitchRow,
  TextRow,
} from './row-types';
import { numberLimits } from './row-types';
import {
  applyDitherMode,
  applyTextStyle,
  barcodeBarHeight,
  shownDitherMode,
  textStyle,
  type Rounding,
  type TextStyle,
} from './rules';

type KeysOf<T, V> = { [K in keyof T]-?: T[K] extends V ? K : never }[keyof T] & string;

function put<T>(target: T, key: string, value: unknown): void {
  (target as Record<string, unknown>)[key] = value;
}

/** A number row with the field's range and step; it rounds as the field stores, unless told. */
export function num<T>(
  key: KeysOf<T, number>,
  caption: string,
  field: Pick<NumberField, 'min' | 'max' | 'step' | 'decimals'>,
  round: Rounding = field.decimals ?? 'none',
): NumberRow<T> {
  return {
    kind: 'number',
    caption,
    numberLimits: numberLimits(field.min, field.max, field.step, round),
    get: (o) => o[key] as number,
    set: (o, v) => put(o, key, v),
  };
}

export function txt<T>(
  key: KeysOf<T, string>,
  caption: string,
  field: Pick<TextField, 'maxLength'>,
  multiline = false,
): TextRow<T> {
  return {
    kind: 'text',
    caption,
    limit: field.maxLength,
    multiline,
    get: (o) => o[key] as string,
    set: (o, v) => put(o, key, v),
  };
}

export function toggle<T>(key: KeysOf<T, boolean | undefined>, caption: string): SwitchRow<T> {
  return {
    kind: 'switch',
    caption,
    get: (o) => o[key] === true,
    set: (o, v) => put(o, key, v),
  };
}

export function pick<T, V extends string | number>(
  kind: 'choice' | 'segments',
  key: KeysOf<T, V>,
  caption: string,
  options: readonly { value: V; label: string }[],
): ChoiceRow<T> {
  return {
    kind,
    caption,
    options: () => options,
    get: (o) => o[key] as V,
    set: (o, v) => put(o, key, v),
  };
}

function binding<T extends { data: string }>(): BindingRow<T> {
  return { kind: 'binding', caption: '绑定字段', get: (o) => o.data, set: (o, v) => (o.data = v) };
}

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

const DITHER_MODES: { value: DitherMode; label: string }[] = [
  { value: 'threshold', label: '纯黑白（阈值）' },
  { value: 'floyd', label: '误差扩散（保留细节）' },
  { value: 'ordered', label: '网点（印刷感）' },
  { value: 'stochastic', label: '随机抖动（照片）' },
];

export const IMAGE_HINT =
  '暗部发黑时：把 Gamma 调到 0.6～0.8、暗部提升 20～40，并用误差扩散/随机抖动；碳带暗部补偿可进一步减轻点增益。照片必要时把打印浓度从 9 降到 7～8。';

/** The picture presets: each sets exactly these fields as one undo step. */
export const IMAGE_PRESETS: readonly {
  label: string;
  title?: string;
  apply: (o: ImageObject, ctx: RowContext) => void;
}[] = [
  {
    label: '黑白增强',
    title: '提高对比度并增强黑白分界，适合线稿和文字',
    apply: (o) =>
      Object.assign(o, {
        brightness: 105,
        contrast: 165,
        threshold: 160,
        ditherMode: 'floyd',
        dither: true,
        invert: false,
        denoise: true,
      }),
  },
  {
    label: '碳带暗部',
    title: '提亮暗部、增强局部纹理并补偿碳带点增益，适合深色照片',
    apply: (o) =>
      Object.assign(o, {
        brightness: 100,
        contrast: 105,
        gamma: 0.55,
        shadowLift: 55,
        localContrast: 30,
        inkSaving: 25,
        threshold: 120,
        ditherMode: 'floyd',
        dither: true,
        invert: false,
        denoise: true,
      }),
  },
  {
    label: '恢复默认',
    // Every picture setting, but never the picture itself nor its turn (the box follows it).
    apply: (o) =>
      Object.assign(o, { ...defaultOwnFields('image'), src: o.src, rotation: o.rotation }),
  },
  {
    label: '铺满标签',
    title: '把图片扩展到整个标签，便于制作背景图',
    apply: (o, ctx) => Object.assign(o, { x: 0, y: 0, w: ctx.pageW, h: ctx.pageH, fit: 'cover' }),
  },
];

const IMAGE_ROWS: Row<ImageObject>[] = [
  num('brightness', '亮度', IMAGE_FIELDS.brightness),
  num('contrast', '对比度', IMAGE_FIELDS.contrast),
  num('shadowLift', '暗部提升', IMAGE_FIELDS.shadowLift),
  num('gamma', 'Gamma', IMAGE_FIELDS.gamma),
  num('localContrast', '局部对比', IMAGE_FIELDS.localContrast),
  num('inkSaving', '碳带补偿', IMAGE_FIELDS.inkSaving),
  num('blackPoint', '黑场', IMAGE_FIELDS.blackPoint),
  num('whitePoint', '白场', IMAGE_FIELDS.whitePoint),
  {
    kind: 'choice',
    caption: '黑白处理',
    options: () => DITHER_MODES,
    get: (o) => shownDitherMode(o),
    set: (o, v) => applyDitherMode(o, v as DitherMode),
  },
  // Stored whole, but kept as typed while the panel edits it.
  num('threshold', '阈值', IMAGE_FIELDS.threshold, 'none'),
  toggle('invert', '反色'),
  toggle('denoise', '去噪'),
  pick<ImageObject, ImageFit>('choice', 'fit', '填充方式', [
    { value: 'stretch', label: '拉伸到框' },
    { value: 'cover', label: '等比裁切铺满' },
  ]),
  { kind: 'presets', caption: '调整', presets: IMAGE_PRESETS },
  { kind: 'hint', text: IMAGE_HINT },
  { kind: 'action', caption: '图片', label: '换一张图', action: 'replace-image' },
];

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
