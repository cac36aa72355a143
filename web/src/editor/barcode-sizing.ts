// A barcode's box in terms of its fields, measured by the renderer for the record on screen.

import { clamp } from '../document/fields';
import { BARCODE_FIELDS } from '../document/field-table';
import type { BarcodeObject } from '../document/model';
import { isSideways } from '../document/rotation';
import type { MergeContext } from '../merge/types';
import { printedBarcodeWidth, textBandHeight, widthScaleForWidth } from '../render/barcode-size';
import type { BarcodeSizing } from './resize';

/** Boxes are kept as the automatic barcode sizing stores them: widths to 0.01 mm, heights to 0.1. */
const hundredth = (mm: number) => Math.max(1, Math.round(mm * 100) / 100);
const tenth = (mm: number) => Math.max(1, Math.round(mm * 10) / 10);

/**
 * The sizing of a barcode as it is when a resize starts. Widths move in whole dots per module, so
 * the box takes the printed width of the scale nearest the pointer.
 */
export function barcodeSizing(
  obj: BarcodeObject,
  dpi: number,
  context: MergeContext,
): BarcodeSizing {
  // The drag changes the object itself; the width rules read it as it was at the press.
  const start = { ...obj };
  return {
    scaleFor: (widthMm) => widthScaleForWidth(start, widthMm, dpi, context),
    widthAt: (widthScale) => {
      const printed = printedBarcodeWidth({ ...start, widthScale }, dpi, context);
      return printed === undefined ? undefined : hundredth(printed);
    },
    ...barHeightSizing(obj.showText),
    sideways: isSideways(obj.rotation),
  };
}

/** The bars for a box height: the band grows with the bars, so bars + band(bars) = height. */
export function barHeightSizing(
  showText: boolean,
): Pick<BarcodeSizing, 'barHeightFor' | 'heightAt'> {
  const band = (barHeight: number) => textBandHeight({ showText, barHeight });
  const bandBase = band(0);
  const bandRate = band(1) - bandBase;
  const { min, max } = BARCODE_FIELDS.barHeight;
  return {
    barHeightFor: (heightMm) => clamp((heightMm - bandBase) / (1 + bandRate), min, max),
    heightAt: (barHeight) => tenth(barHeight + band(barHeight)),
  };
}
