// The label document: one label's page, print settings and objects, all geometry in millimetres.

import {
  IMAGE_FIELDS,
  OWN_FIELDS,
  PAGE_FIELDS,
  PRINT_FIELDS,
  QRCODE_FIELDS,
  TEXT_FIELDS,
  type FieldValues,
} from './field-table';

export const SCHEMA_VERSION = 1;

export type ObjectType = keyof typeof OWN_FIELDS;
export const OBJECT_TYPES: readonly ObjectType[] = [
  'text',
  'barcode',
  'qrcode',
  'rect',
  'line',
  'image',
];

export const TYPE_LABELS: Record<ObjectType, string> = {
  text: '文本',
  barcode: '一维码',
  qrcode: '二维码',
  rect: '矩形',
  line: '直线',
  image: '图片',
};

type Choices<F extends { choices: readonly unknown[] }> = F['choices'][number];

export type Dpi = Choices<typeof PAGE_FIELDS.dpi>;
export type CopyMode = Choices<typeof PRINT_FIELDS.copyMode>;
export type OddAlign = Choices<typeof PRINT_FIELDS.oddAlign>;
export type TextAlign = Choices<typeof TEXT_FIELDS.align>;
export type QrEcc = Choices<typeof QRCODE_FIELDS.ecc>;
export type MatrixSymbology = Choices<typeof QRCODE_FIELDS.symbology>;
export type DitherMode = Choices<typeof IMAGE_FIELDS.ditherMode>;
export type ImageFit = Choices<typeof IMAGE_FIELDS.fit>;

export type PageSettings = FieldValues<typeof PAGE_FIELDS>;
export type PrintSettings = FieldValues<typeof PRINT_FIELDS>;

/** Fields every object carries, in their stored order. For a line, w and h are the vector to its end. */
export interface ObjectBase {
  id: string;
  type: ObjectType;
  name: string;
  x: number;
  y: number;
  w: number;
  h: number;
  /** Absent counts as false. */
  locked?: boolean;
}

/** A type's own fields, as its table in field-table.ts describes them. */
export type OwnFields<T extends ObjectType> = FieldValues<(typeof OWN_FIELDS)[T]>;

export interface TextObject extends ObjectBase, OwnFields<'text'> {
  type: 'text';
}

export interface BarcodeObject extends ObjectBase, OwnFields<'barcode'> {
  type: 'barcode';
}

export interface QrCodeObject extends ObjectBase, OwnFields<'qrcode'> {
  type: 'qrcode';
}

export interface RectObject extends ObjectBase, OwnFields<'rect'> {
  type: 'rect';
}

export interface LineObject extends ObjectBase, OwnFields<'line'> {
  type: 'line';
}

export interface ImageObject extends ObjectBase, OwnFields<'image'> {
  type: 'image';
}

export type LabelObject =
  TextObject | BarcodeObject | QrCodeObject | RectObject | LineObject | ImageObject;

export type ObjectOfType<T extends ObjectType> = Extract<LabelObject, { type: T }>;

export interface LabelDocument {
  schemaVersion: 1;
  name: string;
  page: PageSettings;
  print: PrintSettings;
  objects: LabelObject[];
}

export interface Placement {
  x: number;
  y: number;
  w: number;
  h: number;
}

/** Printer dots for a length in millimetres, unrounded: callers round where they need whole dots. */
export function mmToDots(mm: number, dpi: number): number {
  return (mm * dpi) / 25.4;
}
