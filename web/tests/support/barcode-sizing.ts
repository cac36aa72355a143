// A barcode sizing with a fixed natural width and any scale printable, for the gesture tables
// under node (the real one measures with the barcode library on a canvas).
import { barHeightSizing } from '../../src/editor/barcode-sizing';
import type { BarcodeSizing } from '../../src/editor/resize';

export function fixedSizing(
  natural: number | undefined,
  currentWidth: number,
  showText: boolean,
): BarcodeSizing {
  const base = natural ?? Math.max(1, currentWidth);
  return {
    scaleFor: (mm) => Math.min(10, Math.max(0.25, mm / base)),
    widthAt: (scale) => (natural === undefined ? undefined : natural * scale),
    ...barHeightSizing(showText),
  };
}
