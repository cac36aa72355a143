// A barcode's box in terms of its fields, measured by the renderer for the record on screen.

import { clamp } from '../document/fields';
import type { BarcodeObject } from '../document/model';
import type { MergeContext } from '../merge/types';
import { naturalBarcodeWidth, textBandHeight } from '../render/barcode';
import type { BarcodeSizing } from './resize';

const WIDTH_SCALE_MIN = 0.25;
const WIDTH_SCALE_MAX = 10;
const BAR_HEIGHT_MIN = 4;
const BAR_HEIGHT_MAX = 60;

/** Boxes are kept to 0.1 mm, as the automatic barcode sizing stores them. */
const tenth = (mm: number) => Math.max(1, Math.round(mm * 10) / 10);

export function barcodeSizing(
  obj: BarcodeObject,
  dpi: number,
  context: MergeContext,
): BarcodeSizing {
  return sizingFromNatural(obj, naturalBarcodeWidth(obj, dpi, context));
}

/** The sizing for a barcode whose width at `widthScale` 1 is `natural` mm (none: unencodable). */
export function sizingFromNatural(
  obj: Pick<BarcodeObject, 'w' | 'showText'>,
  natural: number | undefined,
): BarcodeSizing {
  // Unencodable data draws nothing; its current width stands in for the natural one.
  const base = natural ?? Math.max(1, obj.w);
  const band = (barHeight: number) => textBandHeight({ showText: obj.showText, barHeight });
  // The band grows with the bars, so the bars for a box height solve bars + band(bars) = height.
  const bandBase = band(0);
  const bandRate = band(1) - bandBase;
  return {
    scaleFor: (widthMm) => clamp(widthMm / base, WIDTH_SCALE_MIN, WIDTH_SCALE_MAX),
    widthAt: (widthScale) => (natural === undefined ? undefined : tenth(natural * widthScale)),
    barHeightFor: (heightMm) =>
      clamp((heightMm - bandBase) / (1 + bandRate), BAR_HEIGHT_MIN, BAR_HEIGHT_MAX),
    heightAt: (barHeight) => tenth(barHeight + band(barHeight)),
  };
}
