// Row builders: one call makes the row of one stored field, with its caption and limits.

import type { NumberField, TextField } from '../document/field-table';
import type { BindingRow, ChoiceRow, NumberRow, SwitchRow, TextRow } from './row-types';
import { numberLimits } from './row-types';
import type { Rounding } from './rules';

type KeysOf<T, V> = { [K in keyof T]-?: T[K] extends V ? K : never }[keyof T] & string;

function put<T>(target: T, key: string, value: unknown): void {
  (target as Record<string, unknown>)[key] = value;
}

/** A number row with the field's range and step; it rounds as the field stores, unless told. */
export function num<T>(
  key: KeysOf<T, number>,
  caption: string,
  field: Pick<NumberField, 'min' | 'max' | 'step' | 'decimals'>,
  round: Rounding = field.decimals ?? 'none',
): NumberRow<T> {
  return {
    kind: 'number',
    caption,
    numberLimits: numberLimits(field.min, field.max, field.step, round),
    get: (o) => o[key] as number,
    set: (o, v) => put(o, key, v),
  };
}

export function txt<T>(
  key: KeysOf<T, string>,
  caption: string,
  field: Pick<TextField, 'maxLength'>,
  multiline = false,
): TextRow<T> {
  return {
    kind: 'text',
    caption,
    limit: field.maxLength,
    multiline,
    get: (o) => o[key] as string,
    set: (o, v) => put(o, key, v),
  };
}

export function toggle<T>(key: KeysOf<T, boolean | undefined>, caption: string): SwitchRow<T> {
  return {
    kind: 'switch',
    caption,
    get: (o) => o[key] === true,
    set: (o, v) => put(o, key, v),
  };
}

export function pick<T, V extends string | number>(
  kind: 'choice' | 'segments',
  key: KeysOf<T, V>,
  caption: string,
  options: readonly { value: V; label: string }[],
): ChoiceRow<T> {
  return {
    kind,
    caption,
    options: () => options,
    get: (o) => o[key] as V,
    set: (o, v) => put(o, key, v),
  };
}

export function binding<T extends { data: string }>(): BindingRow<T> {
  return { kind: 'binding', caption: '绑定字段', get: (o) => o.data, set: (o, v) => (o.data = v) };
}
