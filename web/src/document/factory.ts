// Fresh documents and objects with their factory defaults.

import {
  DEFAULT_DOCUMENT_NAME,
  SAMPLE_QR_DATA,
  TYPE_LABELS,
  type LabelDocument,
  type ObjectOfType,
  type ObjectType,
  type Placement,
  type PrintSettings,
} from './model';

let idCounter = 0;

/** "o", the time in base 36, then a page-wide counter in base 36. */
export function newObjectId(): string {
  const id = `o${Date.now().toString(36)}${idCounter.toString(36)}`;
  idCounter += 1;
  return id;
}

export function defaultPrintSettings(): PrintSettings {
  return {
    columns: 2,
    columnGapMm: 2,
    rowGapMm: 2,
    density: 9,
    speed: 3,
    copies: 1,
    copyMode: 'duplicate',
    oddAlign: 'left',
    offsetXMm: 0,
    offsetYMm: 0,
  };
}

export function createDocument(name: string = DEFAULT_DOCUMENT_NAME): LabelDocument {
  return {
    schemaVersion: 1,
    name,
    page: { widthMm: 50, heightMm: 80, dpi: 300 },
    print: defaultPrintSettings(),
    objects: [],
  };
}

type OwnFields<T extends ObjectType> = Omit<
  ObjectOfType<T>,
  'id' | 'type' | 'name' | 'x' | 'y' | 'w' | 'h' | 'locked'
>;

/** The factory defaults of each type's own fields, in their stored order. */
export function defaultOwnFields<T extends ObjectType>(type: T): OwnFields<T> {
  const all: { [K in ObjectType]: OwnFields<K> } = {
    text: {
      text: '双击编辑文本',
      fontSize: 12,
      bold: false,
      italic: false,
      align: 'left',
      lineHeight: 1.2,
    },
    barcode: {
      symbology: 'code128',
      data: '1234567890',
      showText: true,
      moduleWidth: 3,
      barHeight: 12,
      widthScale: 1,
    },
    qrcode: { data: SAMPLE_QR_DATA, ecc: 'M', moduleSize: 4 },
    rect: { lineWidth: 1.2, radius: 0, fill: false },
    line: { lineWidth: 1.2 },
    image: {
      src: '',
      threshold: 150,
      dither: true,
      ditherMode: 'floyd',
      brightness: 100,
      contrast: 100,
      invert: false,
      denoise: false,
      fit: 'stretch',
      blackPoint: 0,
      whitePoint: 255,
      gamma: 1,
      shadowLift: 0,
      localContrast: 0,
      inkSaving: 0,
    },
  };
  return all[type];
}

export function createObject<T extends ObjectType>(type: T, placement: Placement): ObjectOfType<T> {
  return {
    id: newObjectId(),
    type,
    name: TYPE_LABELS[type],
    x: placement.x,
    y: placement.y,
    w: placement.w,
    h: placement.h,
    ...defaultOwnFields(type),
  } as ObjectOfType<T>;
}
