// Whether a text object's resolved text fits its box, and the size at which it would: the same
// line filling and line count as drawing, so what the check passes is what prints whole.

import { mmToDots, type TextObject } from '../document/model';
import { layoutText, visibleLineCount } from './text-layout';
import { fontPx, textFont } from './text-font';

/** Width in dots of a text drawn in a CSS font. */
export type TextMeasure = (font: string, text: string) => number;

/** Smallest size shrinking goes to, and its step, in points. */
export const SHRINK_MIN_PT = 4;
export const SHRINK_STEP_PT = 0.5;

/** A line may overhang the box by this much before it counts as cut: anti-aliasing, not ink. */
const WIDTH_TOLERANCE_DOTS = 0.5;

type FitObject = Pick<
  TextObject,
  'w' | 'h' | 'fontSize' | 'bold' | 'italic' | 'lineHeight' | 'shrinkToFit'
>;

/** True when every line of the text, filled as drawing fills it, is shown whole at this size. */
export function textFitsAt(
  obj: FitObject,
  text: string,
  dpi: number,
  fontSize: number,
  measure: TextMeasure,
): boolean {
  const boxWidth = mmToDots(obj.w, dpi);
  if (!(boxWidth > 0)) return text === '';
  const font = textFont({ ...obj, fontSize }, dpi);
  const width = (s: string) => measure(font, s);
  const lines = layoutText(text, boxWidth, width);
  if (lines.some((line) => width(line) > boxWidth + WIDTH_TOLERANCE_DOTS)) return false;
  const pitch = fontPx(fontSize, dpi) * obj.lineHeight;
  const boxHeight = Math.max(0, mmToDots(obj.h, dpi));
  return visibleLineCount(lines.length, 0, boxHeight, pitch) === lines.length;
}

/**
 * The largest size not above `fontSize`, in half-point steps, at which the whole text fits; the
 * smallest size when none does.
 */
export function shrunkFontSize(
  obj: FitObject,
  text: string,
  dpi: number,
  measure: TextMeasure,
): number {
  const top = Math.floor(obj.fontSize / SHRINK_STEP_PT) * SHRINK_STEP_PT;
  if (textFitsAt(obj, text, dpi, obj.fontSize, measure)) return obj.fontSize;
  for (let size = top; size > SHRINK_MIN_PT; size -= SHRINK_STEP_PT) {
    if (size < obj.fontSize && textFitsAt(obj, text, dpi, size, measure)) return size;
  }
  return Math.min(obj.fontSize, SHRINK_MIN_PT);
}

/** The size the text is drawn at: its own, or the shrunk one when it shrinks to fit. */
export function drawnFontSize(
  obj: FitObject,
  text: string,
  dpi: number,
  measure: TextMeasure,
): number {
  return obj.shrinkToFit ? shrunkFontSize(obj, text, dpi, measure) : obj.fontSize;
}

/** True when the text prints whole, shrinking first where the object asks for it. */
export function textFits(obj: FitObject, text: string, dpi: number, measure: TextMeasure): boolean {
  return textFitsAt(obj, text, dpi, drawnFontSize(obj, text, dpi, measure), measure);
}

let measuring: OffscreenCanvasRenderingContext2D | null = null;
let measuringFont = '';

/** Measures with the drawing surface's own text metrics. */
export const canvasTextMeasure: TextMeasure = (font, text) => {
  measuring ??= new OffscreenCanvas(1, 1).getContext('2d');
  if (!measuring) return 0;
  if (measuringFont !== font) {
    measuring.font = font;
    measuringFont = font;
  }
  return measuring.measureText(text).width;
};
