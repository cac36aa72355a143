// The declarative row: what a property row shows and how it writes back, with no DOM in it. The
// panel builder turns a list of these into controls, so a new field is one line in a row table.

import type { BarcodeObject } from '../document/model';
import type { Rounding } from './rules';

export interface Choice<V> {
  value: V;
  label: string;
  disabled?: boolean;
}

/** What a row may read besides its target: page size, data fields, build-time measurements. */
export interface RowContext {
  pageW: number;
  pageH: number;
  fields: readonly string[];
  hasDataset: boolean;
  /** The barcode's `widthScale` whose printed width comes nearest a width in mm. */
  barcodeWidthScale?: (obj: BarcodeObject, widthMm: number) => number;
  /** The barcode's width in mm as it prints now, or nothing when it cannot be encoded. */
  barcodePrintedWidth?: (obj: BarcodeObject) => number | undefined;
  /**
   * The barcode's text band when the panel was built. Measured once, like the width, so that the
   * bar heights typed on the way to a value ("2" before "20") do not change what "20" means.
   */
  barcodeTextBand?: number;
}

export interface NumberSpec {
  min: number;
  max: number;
  step: number;
  round: Rounding;
}

interface RowBase<T> {
  caption: string;
  /** Shown beside its neighbour in a two-column grid. */
  half?: boolean;
  /** Hidden when this says so (the position grid differs by type). */
  when?: (target: T) => boolean;
}

export interface NumberRow<T> extends RowBase<T> {
  kind: 'number';
  numberLimits: (ctx: RowContext, target: T) => NumberSpec;
  get: (target: T, ctx: RowContext) => number;
  set: (target: T, value: number, ctx: RowContext) => void;
  /** Runs when the field is committed (change, Enter or leaving it), after the typed values. */
  commit?: (target: T) => void;
  /** What the user is told when a committed value was outside the range and got clamped. */
  clampNotice?: (stored: number, range: NumberSpec) => string;
}

export interface TextRow<T> extends RowBase<T> {
  kind: 'text';
  multiline?: boolean;
  limit: number;
  get: (target: T) => string;
  set: (target: T, value: string) => void;
  /** On leaving the field; returns whether it changed the target. */
  blur?: (target: T) => boolean;
}

export interface ChoiceRow<T, V = string | number> extends RowBase<T> {
  kind: 'choice' | 'segments';
  options: (ctx: RowContext, target: T) => readonly Choice<V>[];
  get: (target: T, ctx: RowContext) => V;
  set: (target: T, value: V, ctx: RowContext) => void;
}

export interface SwitchRow<T> extends RowBase<T> {
  kind: 'switch';
  get: (target: T) => boolean;
  set: (target: T, value: boolean) => void;
}

/** The field-binding select over a data text. */
export interface BindingRow<T> extends RowBase<T> {
  kind: 'binding';
  get: (target: T) => string;
  set: (target: T, value: string) => void;
}

/** Buttons that each change several fields at once. */
export interface PresetRow<T> extends RowBase<T> {
  kind: 'presets';
  presets: readonly {
    label: string;
    title?: string;
    apply: (target: T, ctx: RowContext) => void;
  }[];
}

/** A row whose control the panel supplies itself (the picture replacement). */
export interface ActionRow<T> extends RowBase<T> {
  kind: 'action';
  label: string;
  action: 'replace-image';
}

export interface DecorRow<T> {
  kind: 'hint' | 'subtitle' | 'separator' | 'summary';
  text?: string;
  /** For the summary: recomputed after every typed value. */
  live?: (target: T) => string;
  when?: (target: T) => boolean;
}

export type Row<T> =
  | NumberRow<T>
  | TextRow<T>
  | ChoiceRow<T>
  | SwitchRow<T>
  | BindingRow<T>
  | PresetRow<T>
  | ActionRow<T>
  | DecorRow<T>;

export function numberLimits(min: number, max: number, step: number, round: Rounding = 'none') {
  return (): NumberSpec => ({ min, max, step, round });
}
