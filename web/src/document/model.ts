// The label document: one label's page, print settings and objects, all geometry in millimetres.

export const SCHEMA_VERSION = 1;

export type ObjectType = 'text' | 'barcode' | 'qrcode' | 'rect' | 'line' | 'image';
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

export type Dpi = 203 | 300;
export type CopyMode = 'duplicate' | 'sequence' | 'serial';
export type OddAlign = 'left' | 'right';
export type TextAlign = 'left' | 'center' | 'right';
export type QrEcc = 'L' | 'M' | 'Q' | 'H';
export type DitherMode = 'threshold' | 'floyd' | 'ordered' | 'stochastic';
export type ImageFit = 'stretch' | 'cover';

export interface PageSettings {
  widthMm: number;
  heightMm: number;
  dpi: Dpi;
}

export interface PrintSettings {
  columns: number;
  columnGapMm: number;
  rowGapMm: number;
  density: number;
  speed: number;
  copies: number;
  copyMode: CopyMode;
  oddAlign: OddAlign;
  offsetXMm: number;
  offsetYMm: number;
}

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

export interface TextObject extends ObjectBase {
  type: 'text';
  text: string;
  fontSize: number;
  bold: boolean;
  italic: boolean;
  align: TextAlign;
  lineHeight: number;
}

export interface BarcodeObject extends ObjectBase {
  type: 'barcode';
  symbology: string;
  data: string;
  showText: boolean;
  moduleWidth: number;
  barHeight: number;
  widthScale: number;
}

export interface QrCodeObject extends ObjectBase {
  type: 'qrcode';
  data: string;
  ecc: QrEcc;
  moduleSize: number;
}

export interface RectObject extends ObjectBase {
  type: 'rect';
  lineWidth: number;
  radius: number;
  fill: boolean;
}

export interface LineObject extends ObjectBase {
  type: 'line';
  lineWidth: number;
}

export interface ImageObject extends ObjectBase {
  type: 'image';
  src: string;
  threshold: number;
  dither: boolean;
  ditherMode: DitherMode;
  brightness: number;
  contrast: number;
  invert: boolean;
  denoise: boolean;
  fit: ImageFit;
  blackPoint: number;
  whitePoint: number;
  gamma: number;
  shadowLift: number;
  localContrast: number;
  inkSaving: number;
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

export const DEFAULT_DOCUMENT_NAME = '未命名标签';
export const SAMPLE_QR_DATA = 'https://example.com/sorvendale';

/** Printer dots for a length in millimetres, unrounded: callers round where they need whole dots. */
export function mmToDots(mm: number, dpi: number): number {
  return (mm * dpi) / 25.4;
}

export { createDocument, createObject, newObjectId } from './factory';
