// Field readers that repair instead of refusing: every read yields a value in the field's range.

import type { FieldSpec, FieldTable, FieldValue, FieldValues, NumberField } from './field-table';

export type PlainObject = Record<string, unknown>;

export function isPlainObject(value: unknown): value is PlainObject {
  return typeof value === 'object' && value !== null && !Array.isArray(value);
}

/** Own members only, so names on Object.prototype never leak in from a crafted file. */
export function member(obj: PlainObject, key: string): unknown {
  return Object.prototype.hasOwnProperty.call(obj, key) ? obj[key] : undefined;
}

function toNumber(value: unknown): number {
  if (typeof value === 'number') return value;
  try {
    return Number(value);
  } catch {
    // Symbols and objects whose conversion throws count as non-numeric.
    return Number.NaN;
  }
}

export function clamp(value: number, min: number, max: number): number {
  return Math.min(Math.max(value, min), max);
}

/**
 * Numeric text, null, booleans convert as Number() does; anything non-finite takes the default.
 * The default is clamped too, so a repaired value never lies outside the range it would be
 * clamped to on the next read.
 */
export function readNumber(value: unknown, min: number, max: number, fallback: number): number {
  const n = toNumber(value);
  return clamp(Number.isFinite(n) ? n : fallback, min, max);
}

/** Cuts to `limit` UTF-16 units without leaving half of a surrogate pair at the end. */
export function cutText(text: string, limit: number): string {
  if (text.length <= limit) return text;
  let end = limit;
  const last = text.charCodeAt(end - 1);
  if (last >= 0xd800 && last <= 0xdbff) end -= 1;
  return text.slice(0, end);
}

function readText(value: unknown, limit: number, fallback: string): string {
  return typeof value === 'string' ? cutText(value, limit) : fallback;
}

function readBoolean(value: unknown, fallback: boolean): boolean {
  return typeof value === 'boolean' ? value : fallback;
}

/** One field by its table entry: clamped and rounded, cut, or replaced by its default. */
export function readField<S extends FieldSpec>(
  fieldRule: S,
  value: unknown,
  fallback?: FieldValue<S>,
): FieldValue<S> {
  return readSpec(fieldRule, value, fallback) as FieldValue<S>;
}

function readSpec(fieldRule: FieldSpec, value: unknown, fallback: unknown): unknown {
  switch (fieldRule.kind) {
    case 'number': {
      const n = readNumber(
        value,
        fieldRule.min,
        fieldRule.max,
        (fallback as number) ?? fieldRule.default,
      );
      if (fieldRule.decimals === undefined) return n;
      const unit = 10 ** fieldRule.decimals;
      return Math.round(n * unit) / unit;
    }
    case 'text':
      return readText(
        value,
        fieldRule.maxLength,
        (fallback as string) ?? fieldRule.sanitizedDefault ?? fieldRule.default,
      );
    case 'boolean':
      return readBoolean(value, (fallback as boolean) ?? fieldRule.default);
    case 'choice': {
      // Numeric choices (the dpi) accept numeric text as the number conversion reads it.
      const v = typeof fieldRule.default === 'number' ? toNumber(value) : value;
      return (fieldRule.choices as readonly unknown[]).includes(v)
        ? v
        : ((fallback as unknown) ?? fieldRule.default);
    }
  }
}

/** Every field of a table from a raw object, in the table's order. */
export function readFields<T extends FieldTable>(table: T, raw: PlainObject): FieldValues<T> {
  const out: Record<string, unknown> = {};
  for (const [key, fieldRule] of Object.entries(table))
    out[key] = readSpec(fieldRule, member(raw, key), undefined);
  return out as FieldValues<T>;
}

/**
 * A number field as a form entry reads: an empty or non-numeric entry, or a 0 below the range,
 * takes the field's empty-entry value; anything else is clamped and rounded as stored.
 */
export function readEntry(fieldRule: NumberField, text: string): number {
  const n = text.trim() === '' ? Number.NaN : Number(text);
  const empty = fieldRule.emptyEntry ?? fieldRule.default;
  const whole = fieldRule.decimals === 0 ? Math.round(n) : n;
  if (!Number.isFinite(n) || (whole === 0 && fieldRule.min > 0)) return empty;
  return readField(fieldRule, n);
}
