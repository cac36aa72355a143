// Turns untrusted JSON (opened files, the draft, stored templates) into a valid document.

import { newObjectId } from './factory';
import {
  isPlainObject,
  member,
  readBoolean,
  readChoice,
  readInteger,
  readNumber,
  readText,
  type PlainObject,
} from './fields';
import {
  DEFAULT_DOCUMENT_NAME,
  OBJECT_TYPES,
  SAMPLE_QR_DATA,
  TYPE_LABELS,
  type DitherMode,
  type LabelDocument,
  type LabelObject,
  type ObjectBase,
  type ObjectType,
  type PageSettings,
  type PrintSettings,
} from './model';

export const NOT_AN_OBJECT = '文件内容不是有效的 JSON 对象';
export const MISSING_OBJECTS = '文件缺少 objects 数组';
export function unsupportedVersion(value: unknown): string {
  return `不支持的文档版本：${String(value)}`;
}

const DITHER_MODES: readonly DitherMode[] = ['threshold', 'floyd', 'ordered', 'stochastic'];

function sanitizePage(raw: PlainObject): PageSettings {
  let dpi: number;
  try {
    dpi = Number(member(raw, 'dpi'));
  } catch {
    dpi = Number.NaN;
  }
  return {
    widthMm: readNumber(member(raw, 'widthMm'), 10, 300, 50),
    heightMm: readNumber(member(raw, 'heightMm'), 10, 300, 80),
    dpi: dpi === 203 ? 203 : 300,
  };
}

function sanitizePrint(raw: PlainObject): PrintSettings {
  // Older documents had one shared gap; it stays the default of both gaps.
  const gap = readNumber(member(raw, 'gapMm'), 0, 20, 2);
  return {
    columns: readInteger(member(raw, 'columns'), 1, 8, 2),
    columnGapMm: readNumber(member(raw, 'columnGapMm'), 0, 20, gap),
    rowGapMm: readNumber(member(raw, 'rowGapMm'), 0, 20, gap),
    density: readInteger(member(raw, 'density'), 0, 15, 9),
    speed: readInteger(member(raw, 'speed'), 1, 6, 3),
    copies: readInteger(member(raw, 'copies'), 1, 99, 1),
    copyMode: readChoice(member(raw, 'copyMode'), ['duplicate', 'sequence', 'serial'], 'duplicate'),
    oddAlign: readChoice(member(raw, 'oddAlign'), ['left', 'right'], 'left'),
    offsetXMm: readNumber(member(raw, 'offsetXMm'), -20, 20, 0),
    offsetYMm: readNumber(member(raw, 'offsetYMm'), -20, 20, 0),
  };
}

function settleDitherMode(raw: PlainObject): DitherMode {
  const mode = member(raw, 'ditherMode');
  if (typeof mode === 'string' && (DITHER_MODES as readonly string[]).includes(mode))
    return mode as DitherMode;
  return readBoolean(member(raw, 'dither'), true) ? 'floyd' : 'threshold';
}

function ownFields(base: ObjectBase, raw: PlainObject): LabelObject {
  const f = (key: string) => member(raw, key);
  switch (base.type) {
    case 'text':
      return {
        ...base,
        type: 'text',
        text: readText(f('text'), 5000, '文本'),
        fontSize: readNumber(f('fontSize'), 4, 200, 12),
        bold: readBoolean(f('bold'), false),
        italic: readBoolean(f('italic'), false),
        align: readChoice(f('align'), ['left', 'center', 'right'], 'left'),
        lineHeight: readNumber(f('lineHeight'), 0.8, 3, 1.2),
      };
    case 'barcode':
      return {
        ...base,
        type: 'barcode',
        symbology: readText(f('symbology'), 40, 'code128'),
        data: readText(f('data'), 500, '1234567890'),
        showText: readBoolean(f('showText'), true),
        moduleWidth: readInteger(f('moduleWidth'), 1, 10, 3),
        barHeight: readNumber(f('barHeight'), 4, 60, 12),
        widthScale: readNumber(f('widthScale'), 0.25, 10, 1),
      };
    case 'qrcode':
      return {
        ...base,
        type: 'qrcode',
        data: readText(f('data'), 2000, SAMPLE_QR_DATA),
        ecc: readChoice(f('ecc'), ['L', 'M', 'Q', 'H'], 'M'),
        moduleSize: readInteger(f('moduleSize'), 2, 12, 4),
      };
    case 'rect':
      return {
        ...base,
        type: 'rect',
        lineWidth: readNumber(f('lineWidth'), 0.1, 5, 1.2),
        radius: readNumber(f('radius'), 0, 20, 0),
        fill: readBoolean(f('fill'), false),
      };
    case 'line':
      return { ...base, type: 'line', lineWidth: readNumber(f('lineWidth'), 0.1, 5, 1.2) };
    case 'image': {
      const ditherMode = settleDitherMode(raw);
      return {
        ...base,
        type: 'image',
        src: readText(f('src'), 16_777_216, ''),
        threshold: readInteger(f('threshold'), 0, 255, 150),
        dither: ditherMode !== 'threshold',
        ditherMode,
        brightness: readInteger(f('brightness'), 0, 200, 100),
        contrast: readInteger(f('contrast'), 0, 200, 100),
        invert: readBoolean(f('invert'), false),
        denoise: readBoolean(f('denoise'), false),
        fit: readChoice(f('fit'), ['stretch', 'cover'], 'stretch'),
        blackPoint: readInteger(f('blackPoint'), 0, 128, 0),
        whitePoint: readInteger(f('whitePoint'), 128, 255, 255),
        gamma: Math.round(readNumber(f('gamma'), 0.3, 3, 1) * 100) / 100,
        shadowLift: readInteger(f('shadowLift'), 0, 100, 0),
        localContrast: readInteger(f('localContrast'), 0, 100, 0),
        inkSaving: readInteger(f('inkSaving'), 0, 100, 0),
      };
    }
  }
}

function freshId(seen: Set<string>): string {
  let id = newObjectId();
  while (seen.has(id)) id = newObjectId();
  return id;
}

/** One object, or undefined when the element is not an object of a known type. */
export function sanitizeObject(
  value: unknown,
  index: number,
  page: PageSettings,
  seen: Set<string>,
): LabelObject | undefined {
  if (!isPlainObject(value)) return undefined;
  const type = member(value, 'type');
  if (typeof type !== 'string' || !(OBJECT_TYPES as readonly string[]).includes(type))
    return undefined;
  const kind = type as ObjectType;

  let id = readText(member(value, 'id'), 64, '');
  if (id === '' || seen.has(id)) id = freshId(seen);
  seen.add(id);

  const W = page.widthMm;
  const H = page.heightMm;
  // Objects without a position fan out diagonally instead of piling up at the corner.
  const x = readNumber(member(value, 'x'), 0, W, Math.min(index * 2, Math.max(0, W - 20)));
  const y = readNumber(member(value, 'y'), 0, H, Math.min(index * 2, Math.max(0, H - 8)));
  const defaultW = Math.min(kind === 'qrcode' ? 16 : 36, W);
  const defaultH = kind === 'qrcode' ? Math.min(16, H) : kind === 'text' ? 8 : 18;
  let w = readNumber(member(value, 'w'), 0.1, Math.max(0.1, W - x), defaultW);
  let h = readNumber(member(value, 'h'), kind === 'line' ? 0 : 0.5, Math.max(0.1, H - y), defaultH);
  if (kind === 'qrcode') {
    const side = Math.min(Math.max(w, h, 2), W, H);
    w = side;
    h = side;
  }

  const base: ObjectBase = {
    id,
    type: kind,
    name: readText(member(value, 'name'), 60, TYPE_LABELS[kind]),
    x,
    y,
    w,
    h,
    locked: readBoolean(member(value, 'locked'), false),
  };
  return ownFields(base, value);
}

/** A valid document with only known fields in their stored order, or throws one of three messages. */
export function sanitizeDocument(value: unknown): LabelDocument {
  if (!isPlainObject(value)) throw new Error(NOT_AN_OBJECT);
  const version = member(value, 'schemaVersion');
  if (version !== undefined && version !== 1) throw new Error(unsupportedVersion(version));
  const rawPage = member(value, 'page');
  const page = sanitizePage(isPlainObject(rawPage) ? rawPage : {});
  const rawPrint = member(value, 'print');
  const print = sanitizePrint(isPlainObject(rawPrint) ? rawPrint : {});
  const rawObjects = member(value, 'objects');
  if (!Array.isArray(rawObjects)) throw new Error(MISSING_OBJECTS);
  const seen = new Set<string>();
  const objects: LabelObject[] = [];
  rawObjects.forEach((element, index) => {
    const obj = sanitizeObject(element, index, page, seen);
    if (obj) objects.push(obj);
  });
  return {
    schemaVersion: 1,
    name: readText(member(value, 'name'), 80, DEFAULT_DOCUMENT_NAME),
    page,
    print,
    objects,
  };
}

/** Deep copies everywhere go through JSON, matching what a save and reopen would give. */
export function cloneDocument(doc: LabelDocument): LabelDocument {
  return JSON.parse(JSON.stringify(doc)) as LabelDocument;
}
