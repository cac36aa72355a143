// Placeholders in double braces, filled from a record, the series position or a built-in value.

import type { MergeContext } from './types';

// The shortest brace-free run between "{{" and "}}"; the name is that run trimmed.
const PLACEHOLDER = /\{\{\s*([^{}]+?)\s*\}\}/g;
const DATE_FORM = /^date(?:([+-])([0-9]+))?(?::([\s\S]*))?$/;
const SERIAL_FORM = /^serial((?::[0-9]+){0,3})$/;

function pad2(n: number): string {
  return n < 10 ? `0${n}` : String(n);
}

/** Formats local date and time with the tokens yyyy yy MM M dd d HH mm ss; anything else is copied. */
export function formatDate(date: Date, format: string): string {
  const year = String(date.getFullYear());
  const tokens: [string, () => string][] = [
    ['yyyy', () => year],
    ['yy', () => year.slice(-2).padStart(2, '0')],
    ['MM', () => pad2(date.getMonth() + 1)],
    ['M', () => String(date.getMonth() + 1)],
    ['dd', () => pad2(date.getDate())],
    ['d', () => String(date.getDate())],
    ['HH', () => pad2(date.getHours())],
    ['mm', () => pad2(date.getMinutes())],
    ['ss', () => pad2(date.getSeconds())],
  ];
  let out = '';
  let i = 0;
  while (i < format.length) {
    const hit = tokens.find(([token]) => format.startsWith(token, i));
    if (hit) {
      out += hit[1]();
      i += hit[0].length;
    } else {
      out += format[i];
      i += 1;
    }
  }
  return out;
}

/** The built-in value for a name, or undefined when the name is a field name. */
export function builtinValue(
  name: string,
  context: MergeContext = {},
  now: Date = new Date(),
): string | undefined {
  switch (name) {
    case '__index__':
      return String((context.index ?? 0) + 1);
    case '__rows__':
      return String(context.total ?? 0);
    case '__date__':
      return formatDate(now, 'yyyy-MM-dd');
    case '__datetime__':
      return formatDate(now, 'yyyy-MM-dd HH:mm:ss');
  }
  const date = DATE_FORM.exec(name);
  if (date) {
    const offset = date[2] === undefined ? 0 : Number(date[2]) * (date[1] === '-' ? -1 : 1);
    const shifted = new Date(now.getTime());
    // setDate carries over month and year ends in local time and keeps the time of day.
    shifted.setDate(shifted.getDate() + offset);
    const format = (date[3] ?? '').trim();
    return formatDate(shifted, format === '' ? 'yyyy-MM-dd' : format);
  }
  const serial = SERIAL_FORM.exec(name);
  if (serial) {
    const parts = serial[1]
      .split(':')
      .slice(1)
      .map((p) => Number(p));
    const [start = 1, step = 1, width = 0] = parts;
    const value = String(start + (context.index ?? 0) * step);
    return width > 0 ? value.padStart(width, '0') : value;
  }
  return undefined;
}

export function isBuiltinName(name: string): boolean {
  return builtinValue(name) !== undefined;
}

/** Every placeholder's trimmed name, in order, repeats included. */
export function findPlaceholders(text: string): string[] {
  return Array.from(text.matchAll(PLACEHOLDER), (m) => m[1].trim());
}

/**
 * Replaces every placeholder in one pass, so a value that itself looks like a placeholder
 * is shown literally. Without a record, field placeholders stay exactly as written.
 */
export function resolvePlaceholders(text: string, context: MergeContext = {}): string {
  if (!text.includes('{{')) return text;
  const now = context.now === undefined ? new Date() : new Date(context.now);
  return text.replace(PLACEHOLDER, (whole, inner: string) => {
    const name = inner.trim();
    const builtin = builtinValue(name, context, now);
    if (builtin !== undefined) return builtin;
    if (!context.row) return whole;
    const value = Object.prototype.hasOwnProperty.call(context.row, name)
      ? context.row[name]
      : undefined;
    return value === undefined || value === null ? '' : String(value);
  });
}
