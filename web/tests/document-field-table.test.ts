import { describe, expect, it } from 'vitest';
import { createObject } from '../src/document/factory';
import {
  DOCUMENT_FIELDS,
  OWN_FIELDS,
  PAGE_FIELDS,
  PRINT_FIELDS,
  type FieldTable,
} from '../src/document/field-table';
import { readField } from '../src/document/fields';
import { newId } from '../src/document/ids';
import { sanitizeDocument } from '../src/document/sanitize';

const tables: [string, FieldTable][] = [
  ['document', DOCUMENT_FIELDS],
  ['page', PAGE_FIELDS],
  ['print', PRINT_FIELDS],
  ...Object.entries(OWN_FIELDS),
];

describe('field tables', () => {
  it('every default survives its own sanitiser unchanged', () => {
    for (const [name, table] of tables) {
      for (const [key, fieldRule] of Object.entries(table)) {
        expect(readField(fieldRule, fieldRule.default), `${name}.${key}`).toBe(fieldRule.default);
        if (fieldRule.kind === 'number') {
          expect(fieldRule.step, `${name}.${key}`).toBeGreaterThan(0);
          expect(fieldRule.max - fieldRule.min, `${name}.${key}`).toBeGreaterThanOrEqual(
            fieldRule.step,
          );
        }
      }
    }
  });

  it('an object with only its type gets the factory defaults, except where the sanitiser differs', () => {
    for (const type of Object.keys(OWN_FIELDS) as (keyof typeof OWN_FIELDS)[]) {
      const made = createObject(type, { x: 0, y: 0, w: 1, h: 1 }) as unknown as Record<
        string,
        unknown
      >;
      const read = sanitizeDocument({ objects: [{ type }] }).objects[0] as unknown as Record<
        string,
        unknown
      >;
      for (const [key, fieldRule] of Object.entries(OWN_FIELDS[type])) {
        const expected =
          fieldRule.kind === 'text' ? (fieldRule.sanitizedDefault ?? made[key]) : made[key];
        expect(read[key], `${type}.${key}`).toEqual(expected);
      }
      // Stored order: the base fields, then the table's.
      expect(Object.keys(read).slice(8)).toEqual(Object.keys(OWN_FIELDS[type]));
    }
  });

  it('rounds integer and two-decimal fields after clamping', () => {
    const cases: [Parameters<typeof readField>[0], unknown, unknown][] = [
      [OWN_FIELDS.barcode.moduleWidth, 2.5, 3],
      [OWN_FIELDS.barcode.moduleWidth, 99, 10],
      [OWN_FIELDS.image.gamma, 1.234, 1.23],
      [OWN_FIELDS.image.gamma, 0.001, 0.3],
      [OWN_FIELDS.barcode.widthScale, 1.234, 1.234],
      [PAGE_FIELDS.dpi, '203', 203],
      [PAGE_FIELDS.dpi, 204, 300],
      [OWN_FIELDS.qrcode.ecc, 'h', 'M'],
    ];
    for (const [fieldRule, input, expected] of cases)
      expect(readField(fieldRule, input), String(input)).toBe(expected);
  });
});

describe('ids', () => {
  it('carry the prefix, the time in base 36 and a counter or random tail', () => {
    const now = 1_700_000_000_000;
    const time = now.toString(36);
    const a = newId('o', { now });
    const b = newId('o', { now });
    expect(a).not.toBe(b);
    expect(a.startsWith(`o${time}`)).toBe(true);
    expect(newId('p', { now, random: 5 })).toMatch(new RegExp(`^p${time}[0-9a-z]{5}$`));
  });
});
