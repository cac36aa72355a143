// Turns untrusted JSON (opened files, the draft, stored templates) into a valid document.

import {
  DOCUMENT_FIELDS,
  IMAGE_FIELDS,
  OBJECT_BASE_FIELDS,
  OWN_FIELDS,
  PAGE_FIELDS,
  PRINT_FIELDS,
} from './field-table';
import {
  isPlainObject,
  member,
  readField,
  readFields,
  readNumber,
  type PlainObject,
} from './fields';
import { newObjectId } from './ids';
import {
  OBJECT_TYPES,
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
/** More objects than any label needs; past this the editor would crawl. */
export const MAX_OBJECTS = 2000;
export const tooManyObjects = (n: number) => `标签对象过多：${n} 个，最多 ${MAX_OBJECTS} 个`;
export const textCutHint = (limit: number) => `文本过长，已截断为 ${limit} 字`;
export function unsupportedVersion(value: unknown): string {
  return `不支持的文档版本：${String(value)}`;
}

function sanitizePrint(raw: PlainObject): PrintSettings {
  const print = readFields(PRINT_FIELDS, raw);
  // Older documents had one shared gap (same range and default); it stays the default of both.
  const gapField = PRINT_FIELDS.columnGapMm;
  const gap = readField(gapField, member(raw, 'gapMm'));
  print.columnGapMm = readField(gapField, member(raw, 'columnGapMm'), gap);
  print.rowGapMm = readField(PRINT_FIELDS.rowGapMm, member(raw, 'rowGapMm'), gap);
  return print;
}

/** The mode as stored, or from the older on/off flag when the mode is missing or unknown. */
function settleDitherMode(raw: PlainObject): DitherMode {
  const mode = member(raw, 'ditherMode');
  const modes: readonly unknown[] = IMAGE_FIELDS.ditherMode.choices;
  if (modes.includes(mode)) return mode as DitherMode;
  return readField(IMAGE_FIELDS.dither, member(raw, 'dither')) ? 'floyd' : 'threshold';
}

function ownFields(base: ObjectBase, raw: PlainObject): LabelObject {
  const own = readFields(OWN_FIELDS[base.type], raw);
  const obj = { ...base, ...own } as LabelObject;
  if (obj.type === 'image') {
    obj.ditherMode = settleDitherMode(raw);
    obj.dither = obj.ditherMode !== 'threshold';
  }
  return obj;
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

  let id = readField(OBJECT_BASE_FIELDS.id, member(value, 'id'));
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
  // A PDF417 keeps its own aspect, which drawing works out; the other 2D codes are square.
  if (kind === 'qrcode' && member(value, 'symbology') !== 'pdf417') {
    const side = Math.min(Math.max(w, h, 2), W, H);
    w = side;
    h = side;
  }

  const base: ObjectBase = {
    id,
    type: kind,
    name: readField(OBJECT_BASE_FIELDS.name, member(value, 'name'), TYPE_LABELS[kind]),
    x,
    y,
    w,
    h,
    locked: readField(OBJECT_BASE_FIELDS.locked, member(value, 'locked')),
  };
  return ownFields(base, value);
}

/** A valid document with only known fields in their stored order, or throws one of three messages. */
export function sanitizeDocument(value: unknown): LabelDocument {
  if (!isPlainObject(value)) throw new Error(NOT_AN_OBJECT);
  const version = member(value, 'schemaVersion');
  if (version !== undefined && version !== 1) throw new Error(unsupportedVersion(version));
  const rawPage = member(value, 'page');
  const page: PageSettings = readFields(PAGE_FIELDS, isPlainObject(rawPage) ? rawPage : {});
  const rawPrint = member(value, 'print');
  const print = sanitizePrint(isPlainObject(rawPrint) ? rawPrint : {});
  const rawObjects = member(value, 'objects');
  if (!Array.isArray(rawObjects)) throw new Error(MISSING_OBJECTS);
  if (rawObjects.length > MAX_OBJECTS) throw new Error(tooManyObjects(rawObjects.length));
  const seen = new Set<string>();
  const objects: LabelObject[] = [];
  rawObjects.forEach((element, index) => {
    const obj = sanitizeObject(element, index, page, seen);
    if (obj) objects.push(obj);
  });
  return {
    schemaVersion: 1,
    name: readField(DOCUMENT_FIELDS.name, member(value, 'name')),
    page,
    print,
    objects,
  };
}
