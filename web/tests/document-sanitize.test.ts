import fc from 'fast-check';
import { describe, expect, it } from 'vitest';
import { createDocument, createObject } from '../src/document/factory';
import { serializeDocument } from '../src/document/files';
import type { ImageObject, QrCodeObject } from '../src/document/model';
import { MISSING_OBJECTS, NOT_AN_OBJECT, sanitizeDocument } from '../src/document/sanitize';

const doc = (extra: Record<string, unknown> = {}) => ({ objects: [], ...extra });

describe('sanitizeDocument refusals', () => {
  it('refuses non-objects, wrong versions and a missing objects array', () => {
    for (const v of [null, [], 3, 'x', true])
      expect(() => sanitizeDocument(v)).toThrow(NOT_AN_OBJECT);
    expect(() => sanitizeDocument(doc({ schemaVersion: '1' }))).toThrow('不支持的文档版本：1');
    expect(() => sanitizeDocument(doc({ schemaVersion: 2 }))).toThrow('不支持的文档版本：2');
    expect(() => sanitizeDocument({ page: {} })).toThrow(MISSING_OBJECTS);
    expect(() => sanitizeDocument({ objects: {} })).toThrow(MISSING_OBJECTS);
    expect(sanitizeDocument(doc()).schemaVersion).toBe(1);
  });
});

describe('sanitizeDocument repairs', () => {
  it('converts numbers the platform way and clamps into range', () => {
    const d = sanitizeDocument(
      doc({
        page: { widthMm: '120', heightMm: null, dpi: '203' },
        print: {
          columns: 3.5,
          density: true,
          speed: 'fast',
          copies: 500,
          offsetXMm: -99,
          copyMode: 'x',
        },
      }),
    );
    expect(d.page).toEqual({ widthMm: 120, heightMm: 10, dpi: 203 });
    expect(d.print).toMatchObject({ columns: 4, density: 1, speed: 3, copies: 99, offsetXMm: -20 });
    expect(d.print.copyMode).toBe('duplicate');
    expect(sanitizeDocument(doc({ page: { dpi: 600 } })).page.dpi).toBe(300);
  });

  it('keeps a legacy shared gap as both gaps', () => {
    const d = sanitizeDocument(doc({ print: { gapMm: 5 } }));
    expect(d.print).toEqual({ ...createDocument().print, columnGapMm: 5, rowGapMm: 5 });
    expect(sanitizeDocument(doc({ print: { gapMm: 5, rowGapMm: 1 } })).print.rowGapMm).toBe(1);
  });

  it('cuts texts to their limits and defaults non-texts', () => {
    const d = sanitizeDocument(
      doc({
        name: 'n'.repeat(100),
        objects: [{ type: 'text', text: 7, name: 'm'.repeat(70), id: 'i'.repeat(70) }],
      }),
    );
    expect(d.name).toHaveLength(80);
    expect(d.objects[0]).toMatchObject({ text: '文本', name: 'm'.repeat(60), id: 'i'.repeat(64) });
    expect(sanitizeDocument(doc({ name: 5 })).name).toBe('未命名标签');
    // A cut never leaves half a surrogate pair behind.
    expect(sanitizeDocument(doc({ name: `${'a'.repeat(79)}😀` })).name).toBe('a'.repeat(79));
  });

  it('drops unknown types and non-objects and repairs duplicate or missing ids', () => {
    const d = sanitizeDocument(
      doc({
        objects: [
          { type: 'rect', id: 'a' },
          5,
          { type: 'circle' },
          { type: 'line', id: 'a' },
          { type: 'rect' },
        ],
      }),
    );
    expect(d.objects.map((o) => o.type)).toEqual(['rect', 'line', 'rect']);
    expect(d.objects[0].id).toBe('a');
    expect(new Set(d.objects.map((o) => o.id)).size).toBe(3);
  });

  it('places objects without a position diagonally and clamps them to the page', () => {
    const d = sanitizeDocument(
      doc({ objects: [{ type: 'text' }, { type: 'qrcode' }, { type: 'rect' }] }),
    );
    expect(d.objects.map((o) => [o.x, o.y, o.w, o.h])).toEqual([
      [0, 0, 36, 8],
      [2, 2, 16, 16],
      [4, 4, 36, 18],
    ]);
    const edge = sanitizeDocument(
      doc({
        objects: [
          { type: 'rect', x: 49, w: 30 },
          { type: 'rect', x: 80 },
          { type: 'line', h: -3 },
        ],
      }),
    );
    expect(edge.objects[0].w).toBe(1);
    expect(edge.objects[1]).toMatchObject({ x: 50, w: 0.1 });
    expect(edge.objects[2].h).toBe(0);
  });

  it('keeps a default size inside the page when only the position is given', () => {
    const d = sanitizeDocument(doc({ objects: [{ type: 'rect', x: 40, y: 75 }] }));
    expect(d.objects[0]).toMatchObject({ w: 10, h: 5 });
  });

  it('squares qrcodes within the page', () => {
    const wide = sanitizeDocument(doc({ objects: [{ type: 'qrcode', x: 0, y: 0, w: 30, h: 10 }] }));
    expect(wide.objects[0]).toMatchObject({ w: 30, h: 30 });
    const narrow = sanitizeDocument(
      doc({ page: { widthMm: 20 }, objects: [{ type: 'qrcode', x: 0, y: 0, w: 30, h: 10 }] }),
    );
    expect(narrow.objects[0]).toMatchObject({ w: 20, h: 20 });
    // A PDF417 keeps its own aspect; an unknown symbology is a QR code, square again.
    const codes = sanitizeDocument(
      doc({
        objects: [
          { type: 'qrcode', w: 30, h: 10, symbology: 'pdf417' },
          { type: 'qrcode', w: 30, h: 10, symbology: 'aztec' },
          { type: 'qrcode', w: 30, h: 10, symbology: 'gs1datamatrix' },
        ],
      }),
    ).objects;
    expect(codes.map((o) => [o.type === 'qrcode' && o.symbology, o.w, o.h])).toEqual([
      ['pdf417', 30, 10],
      ['qrcode', 30, 30],
      ['gs1datamatrix', 30, 30],
    ]);
  });

  it('keeps only quarter turns, on the types that turn', () => {
    const given = [90, '270', 180, 45, -90, 360, null, 'x', undefined];
    const d = sanitizeDocument(
      doc({
        objects: [
          ...given.map((rotation) => ({ type: 'text', rotation })),
          { type: 'rect', rotation: 90 },
          { type: 'line', rotation: 90 },
        ],
      }),
    );
    expect(d.objects.map((o) => (o as { rotation?: unknown }).rotation)).toEqual([
      90,
      270,
      180,
      0,
      0,
      0,
      0,
      0,
      0,
      undefined,
      undefined,
    ]);
    expect(sanitizeDocument(doc({ print: { orientation: 'rotate180' } })).print.orientation).toBe(
      'rotate180',
    );
    expect(sanitizeDocument(doc({ print: { orientation: 180 } })).print.orientation).toBe('normal');
  });

  it('settles the dither mode of images from legacy fields', () => {
    const d = sanitizeDocument(
      doc({
        objects: [
          { type: 'image', dither: false },
          { type: 'image', ditherMode: 'ordered', dither: false },
          { type: 'image', gamma: 1.23456, whitePoint: 3 },
        ],
      }),
    );
    const [a, b, c] = d.objects as ImageObject[];
    expect([a.ditherMode, a.dither]).toEqual(['threshold', false]);
    expect([b.ditherMode, b.dither]).toEqual(['ordered', true]);
    expect([c.ditherMode, c.gamma, c.whitePoint]).toEqual(['floyd', 1.23, 128]);
  });

  it('writes fields in their stored order, unknown fields dropped', () => {
    const d = createDocument();
    const q = createObject('qrcode', { x: 1, y: 1, w: 10, h: 10 }) as QrCodeObject & {
      extra?: number;
    };
    q.locked = true;
    q.extra = 3;
    d.objects.push(q);
    const parsed = JSON.parse(serializeDocument(d)) as Record<string, unknown> & {
      objects: object[];
    };
    expect(Object.keys(parsed)).toEqual(['schemaVersion', 'name', 'page', 'print', 'objects']);
    expect(Object.keys(parsed.print as object)).toEqual(Object.keys(d.print));
    expect(Object.keys(parsed.objects[0])).toEqual([
      'id',
      'type',
      'name',
      'x',
      'y',
      'w',
      'h',
      'locked',
      'symbology',
      'data',
      'ecc',
      'moduleSize',
      'rotation',
    ]);
    expect(serializeDocument(d)).toContain('\n  "name"');
  });
});

describe('sanitizeDocument on arbitrary JSON', () => {
  const messages = [NOT_AN_OBJECT, MISSING_OBJECTS];
  const objectArb = fc.record(
    {
      type: fc.constantFrom('text', 'barcode', 'qrcode', 'rect', 'line', 'image', 'other'),
      id: fc.oneof(fc.constantFrom('a', 'b', ''), fc.jsonValue()),
      x: fc.jsonValue(),
      y: fc.oneof(fc.double(), fc.string()),
      w: fc.oneof(fc.double(), fc.constant(null)),
      h: fc.double(),
      ditherMode: fc.jsonValue(),
      dither: fc.jsonValue(),
      gamma: fc.double(),
    },
    { requiredKeys: ['type'] },
  );
  const docArb = fc.record({
    schemaVersion: fc.constantFrom(1, undefined),
    page: fc.record({ widthMm: fc.jsonValue(), heightMm: fc.double(), dpi: fc.jsonValue() }),
    print: fc.dictionary(
      fc.constantFrom('columns', 'gapMm', 'rowGapMm', 'copies', 'copyMode'),
      fc.jsonValue(),
    ),
    objects: fc.array(fc.oneof(objectArb, fc.jsonValue())),
  });

  it('either refuses with a known message or yields a fixed point', () => {
    fc.assert(
      fc.property(fc.oneof(fc.jsonValue(), docArb), (value) => {
        let once;
        try {
          once = sanitizeDocument(value);
        } catch (error) {
          const text = (error as Error).message;
          expect(messages.includes(text) || text.startsWith('不支持的文档版本：')).toBe(true);
          return;
        }
        expect(sanitizeDocument(JSON.parse(JSON.stringify(once)))).toEqual(once);
      }),
      { numRuns: 400 },
    );
  });
});
