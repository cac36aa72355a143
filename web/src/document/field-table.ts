// Every stored field of a document, one table per part: factory default, the sanitiser's default
// where it differs, range, the inspector's step, rounding, cut length, choices and, for the
// settings a form shows, caption and choice labels. The factory, the sanitiser, drawing, the
// inspector, the print sheet and the tests all read these tables, so a new field is one line
// here. Each table lists its fields in their stored order.

/** What a form shows for a field: its caption and, for a choice, one label per choice. */
interface FormText {
  readonly caption?: string;
  /** Labels in the order of the choices (for a whole-number field: of min, min + 1, …). */
  readonly labels?: readonly string[];
}

export interface NumberField extends FormText {
  readonly kind: 'number';
  readonly default: number;
  readonly min: number;
  readonly max: number;
  /** The step of the field's number input. */
  readonly step: number;
  /** Decimals kept after clamping (0 for integer fields); absent keeps the value as it is. */
  readonly decimals?: number;
  /**
   * What a form entry that is empty, not a number, or 0 below the range reads as, where that
   * differs from `default` (an emptied column count means one column, not the factory's two).
   */
  readonly emptyEntry?: number;
}

export interface TextField {
  readonly kind: 'text';
  readonly default: string;
  /** What the sanitiser puts in when the text is absent, where it differs from `default`. */
  readonly sanitizedDefault?: string;
  /** Cut length in UTF-16 units. */
  readonly maxLength: number;
}

export interface BooleanField {
  readonly kind: 'boolean';
  readonly default: boolean;
}

export interface ChoiceField<T extends string | number = string | number> extends FormText {
  readonly kind: 'choice';
  readonly default: T;
  readonly choices: readonly T[];
}

export type FieldSpec = NumberField | TextField | BooleanField | ChoiceField;
export type FieldTable = Readonly<Record<string, FieldSpec>>;

/** The value type a field holds. */
export type FieldValue<S extends FieldSpec> = S extends NumberField
  ? number
  : S extends TextField
    ? string
    : S extends BooleanField
      ? boolean
      : S extends ChoiceField<infer T>
        ? T
        : never;

/** The record a table describes. */
export type FieldValues<T extends FieldTable> = { -readonly [K in keyof T]: FieldValue<T[K]> };

const number = (
  def: number,
  min: number,
  max: number,
  step: number,
  decimals?: number,
): NumberField => ({
  kind: 'number',
  default: def,
  min,
  max,
  step,
  ...(decimals === undefined ? {} : { decimals }),
});
const integer = (def: number, min: number, max: number, step = 1): NumberField =>
  number(def, min, max, step, 0);
const text = (def: string, maxLength: number, sanitizedDefault?: string): TextField => ({
  kind: 'text',
  default: def,
  maxLength,
  ...(sanitizedDefault === undefined ? {} : { sanitizedDefault }),
});
/** Adds a form's caption, choice labels or empty-entry reading to a field. */
const shown = <
  F extends NumberField | ChoiceField,
  E extends { readonly labels?: readonly string[]; readonly emptyEntry?: number } = object,
>(
  field: F,
  caption: string,
  extra?: E,
): F & { readonly caption: string } & E => ({ ...field, caption, ...(extra as E) });
const boolean = (def: boolean): BooleanField => ({ kind: 'boolean', default: def });
const choice = <const T extends string | number>(
  choices: readonly T[],
  def: NoInfer<T>,
): ChoiceField<T> => ({ kind: 'choice', default: def, choices });

export const DEFAULT_DOCUMENT_NAME = '未命名标签';
export const SAMPLE_QR_DATA = 'https://example.com/sorvendale';

export const DOCUMENT_FIELDS = {
  name: text(DEFAULT_DOCUMENT_NAME, 80),
} as const satisfies FieldTable;

export const PAGE_FIELDS = {
  widthMm: number(50, 10, 300, 1),
  heightMm: number(80, 10, 300, 1),
  dpi: choice([203, 300], 300),
} as const satisfies FieldTable;

export const PRINT_FIELDS = {
  columns: shown(integer(2, 1, 8), '列布局', {
    labels: ['单列', '双列', '三列', '四列', '五列', '六列', '七列', '八列'],
    emptyEntry: 1,
  }),
  columnGapMm: shown(number(2, 0, 20, 0.5), '列间距 mm'),
  rowGapMm: shown(number(2, 0, 20, 0.5), '行间距 mm'),
  density: shown(integer(9, 0, 15), '浓度'),
  speed: shown(integer(3, 1, 6), '速度 ips'),
  copies: shown(integer(1, 1, 99), '份数（总标签数）'),
  copyMode: shown(choice(['duplicate', 'sequence', 'serial'], 'duplicate'), '多份数据', {
    labels: [
      '每份相同（普通复印）',
      '按数据表顺延（条码逐份换值）',
      '流水号递增（序列号逐份变化）',
    ],
  }),
  oddAlign: shown(choice(['left', 'right'], 'left'), '末行对齐', { labels: ['左列', '右列'] }),
  offsetXMm: shown(number(0, -20, 20, 0.5), 'X 偏移 mm'),
  offsetYMm: shown(number(0, -20, 20, 0.5), 'Y 偏移 mm'),
  /** "rotate180" turns every printed row upside down, for rolls that feed the other way. */
  orientation: shown(choice(['normal', 'rotate180'], 'normal'), '打印方向', {
    labels: ['正向', '旋转 180°'],
  }),
} as const satisfies FieldTable;

/**
 * The fields every object carries besides its type and geometry. The name's default is the
 * type's label; geometry ranges follow the page, so the sanitiser works them out itself.
 */
export const OBJECT_BASE_FIELDS = {
  id: text('', 64),
  name: text('', 60),
  locked: boolean(false),
} as const satisfies FieldTable;

/** Clockwise quarter turns of what a text, code or picture draws inside its box. */
const rotation = () => choice([0, 90, 180, 270], 0);

/** Step of every position and size input, in millimetres. */
export const GEOMETRY_STEP_MM = 0.5;

export const TEXT_FIELDS = {
  text: text('双击编辑文本', 5000, '文本'),
  fontSize: number(12, 4, 200, 1),
  bold: boolean(false),
  italic: boolean(false),
  align: choice(['left', 'center', 'right'], 'left'),
  lineHeight: number(1.2, 0.8, 3, 0.05),
  rotation: rotation(),
  shrinkToFit: boolean(false),
} as const satisfies FieldTable;

export const BARCODE_FIELDS = {
  symbology: text('code128', 40),
  data: text('1234567890', 500),
  showText: boolean(true),
  moduleWidth: integer(3, 1, 10),
  barHeight: number(12, 4, 60, 0.5),
  widthScale: number(1, 0.25, 10, 0.05),
  rotation: rotation(),
} as const satisfies FieldTable;

export const QRCODE_FIELDS = {
  /** The 2D symbology drawn; `ecc` and the square box are QR-only. */
  symbology: choice(['qrcode', 'datamatrix', 'gs1datamatrix', 'pdf417'], 'qrcode'),
  data: text(SAMPLE_QR_DATA, 2000),
  ecc: choice(['L', 'M', 'Q', 'H'], 'M'),
  moduleSize: integer(4, 2, 12),
  rotation: rotation(),
} as const satisfies FieldTable;

export const RECT_FIELDS = {
  lineWidth: number(1.2, 0.1, 5, 0.1),
  radius: number(0, 0, 20, 0.5),
  fill: boolean(false),
} as const satisfies FieldTable;

export const LINE_FIELDS = {
  lineWidth: number(1.2, 0.1, 5, 0.1),
} as const satisfies FieldTable;

export const IMAGE_FIELDS = {
  src: text('', 16_777_216),
  threshold: integer(150, 0, 255, 5),
  /** Always true exactly when `ditherMode` is not "threshold"; older files carry only this flag. */
  dither: boolean(true),
  ditherMode: choice(['threshold', 'floyd', 'ordered', 'stochastic'], 'floyd'),
  brightness: integer(100, 0, 200, 5),
  contrast: integer(100, 0, 200, 5),
  invert: boolean(false),
  denoise: boolean(false),
  fit: choice(['stretch', 'cover'], 'stretch'),
  blackPoint: integer(0, 0, 128, 5),
  whitePoint: integer(255, 128, 255, 5),
  gamma: number(1, 0.3, 3, 0.05, 2),
  shadowLift: integer(0, 0, 100, 5),
  localContrast: integer(0, 0, 100, 5),
  inkSaving: integer(0, 0, 100, 5),
  rotation: rotation(),
  /** A typed width or height, or a corner handle, keeps the picture's aspect. */
  keepAspect: boolean(true),
} as const satisfies FieldTable;

/** Each object type's own fields, in the order of the type list. */
export const OWN_FIELDS = {
  text: TEXT_FIELDS,
  barcode: BARCODE_FIELDS,
  qrcode: QRCODE_FIELDS,
  rect: RECT_FIELDS,
  line: LINE_FIELDS,
  image: IMAGE_FIELDS,
} as const;

/** The factory defaults of a table, in its order. */
export function defaultValues<T extends FieldTable>(table: T): FieldValues<T> {
  const out: Record<string, unknown> = {};
  for (const [key, fieldRule] of Object.entries(table)) out[key] = fieldRule.default;
  return out as FieldValues<T>;
}
