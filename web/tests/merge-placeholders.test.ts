import { afterEach, beforeEach, describe, expect, it, vi } from 'vitest';
import {
  builtinValue,
  findPlaceholders,
  formatDate,
  isBuiltinName,
  resolvePlaceholders,
} from '../src/merge/placeholders';

describe('resolvePlaceholders', () => {
  it('fills fields, leaves placeholders without data and ignores non-placeholders', () => {
    const row = { 名称: '苹果' };
    expect(resolvePlaceholders('{{ 名称 }}|{{名称}}', { row })).toBe('苹果|苹果');
    expect(resolvePlaceholders('{名称} {{}} {{ 名称 }}')).toBe('{名称} {{}} {{ 名称 }}');
    expect(resolvePlaceholders('{{__index__}}/{{__rows__}}')).toBe('1/0');
    expect(resolvePlaceholders('¥ {{价格}}', { row })).toBe('¥ ');
    expect(resolvePlaceholders('{{__index__}}/{{__rows__}}', { row, index: 4, total: 9 })).toBe(
      '5/9',
    );
  });

  it('replaces in one pass, so values are never scanned again', () => {
    expect(resolvePlaceholders('{{a}}', { row: { a: '{{b}}', b: 'x' } })).toBe('{{b}}');
    expect(resolvePlaceholders('{{a}}', { row: { a: '{{__index__}}' } })).toBe('{{__index__}}');
  });

  it('lists placeholder names in order with repeats', () => {
    expect(findPlaceholders('{{ a }}{{b}} {{a}} {{}}')).toEqual(['a', 'b', 'a']);
  });
});

describe('built-in names', () => {
  it('tells built-in forms from names that only look built-in', () => {
    for (const n of [
      'date+30:yyyy-MM-dd',
      'date:yyyy年M月d日',
      'date-1',
      'date',
      'serial:1001:1:4',
      'serial',
      '__date__',
    ])
      expect(isBuiltinName(n)).toBe(true);
    for (const n of [
      'date+30 : yyyy',
      'serial:-5',
      'serial:x',
      'date+ 3',
      'serial:1:2:3:4',
      '__index',
      'Date',
    ])
      expect(isBuiltinName(n)).toBe(false);
  });

  it('counts serials with padding that never cuts', () => {
    expect(builtinValue('serial:1001:1:4', { index: 0 })).toBe('1001');
    expect(builtinValue('serial:1001:1:4', { index: 10 })).toBe('1011');
    expect([0, 1, 2].map((index) => builtinValue('serial:7:5:3', { index }))).toEqual([
      '007',
      '012',
      '017',
    ]);
    expect(builtinValue('serial:1:1:2', { index: 149 })).toBe('150');
    expect(builtinValue('serial', {})).toBe('1');
  });
});

describe('dates', () => {
  beforeEach(() => vi.useFakeTimers());
  afterEach(() => vi.useRealTimers());

  it('shifts by calendar days across months', () => {
    vi.setSystemTime(new Date(2026, 0, 15, 10, 30));
    expect(resolvePlaceholders('{{date+30:yyyy-MM-dd}}')).toBe('2026-02-14');
    expect(resolvePlaceholders('{{date:  yyyy年M月d日  }}')).toBe('2026年1月15日');
    vi.setSystemTime(new Date(2026, 2, 1, 8));
    expect(resolvePlaceholders('{{date-1}}')).toBe('2026-02-28');
    vi.setSystemTime(new Date(2024, 2, 1, 8));
    expect(resolvePlaceholders('{{date-1}}')).toBe('2024-02-29');
    vi.setSystemTime(new Date(2026, 11, 31, 23, 59, 5));
    expect(resolvePlaceholders('{{date+1}} {{__datetime__}}')).toBe(
      '2027-01-01 2026-12-31 23:59:05',
    );
  });

  it('formats only the listed tokens', () => {
    const d = new Date(2026, 2, 5, 9, 7, 3);
    expect(formatDate(d, 'yy/M/d HH:mm')).toBe('26/3/5 09:07');
    expect(formatDate(d, 'yyy h H m s ss dd MM')).toBe('26y h H m s 03 05 03');
  });
});
