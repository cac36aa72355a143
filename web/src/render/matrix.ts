// Where a 2D code's modules fall in its box. A QR code fills the largest square of its box, as it
// always has. Data Matrix and PDF417 print like the barcodes: every module the same whole number
// of dots, the most that fit, centred in the box, so a scanner sees even modules.

import { mmToDots, type QrCodeObject } from '../document/model';
import { isSideways } from '../document/rotation';

/** The library draws PDF417 one pixel wide per module (rows three high), other 2D codes two. */
export function pixelsPerModule(bcid: string): number {
  return bcid === 'pdf417' ? 1 : 2;
}

/** The symbol's size in modules (PDF417 rows count three), from its bitmap at `scale`. */
export function symbolModules(
  bcid: string,
  bitmap: { width: number; height: number },
  scale: number,
): { across: number; down: number } {
  const unit = pixelsPerModule(bcid) * Math.max(1, Math.round(scale));
  return { across: bitmap.width / unit, down: bitmap.height / unit };
}

export interface MatrixPlacement {
  /** The drawn rectangle in dots: whole for Data Matrix and PDF417 of a dot or more a module. */
  x: number;
  y: number;
  w: number;
  h: number;
  /** Dots per module; under 1 the symbol is squeezed into the box and cannot print. */
  moduleDots: number;
}

/** Where the symbol is drawn in an upright box of `obj`'s size. */
export function matrixPlacement(
  obj: Pick<QrCodeObject, 'x' | 'y' | 'w' | 'h' | 'symbology'>,
  dpi: number,
  modules: { across: number; down: number },
): MatrixPlacement {
  const bx = mmToDots(obj.x, dpi);
  const by = mmToDots(obj.y, dpi);
  const bw = mmToDots(obj.w, dpi);
  const bh = mmToDots(obj.h, dpi);
  if (obj.symbology === 'qrcode') {
    const side = Math.max(1, Math.min(bw, bh));
    const x = bx + (bw - side) / 2;
    const y = by + (bh - side) / 2;
    return { x, y, w: side, h: side, moduleDots: side / modules.across };
  }
  const fit = Math.min(bw / modules.across, bh / modules.down);
  // A box typed in millimetres for a whole module count converts back a hair under it.
  const moduleDots = fit >= 1 - 1e-6 ? Math.floor(fit + 1e-6) : fit;
  const w = modules.across * moduleDots;
  const h = modules.down * moduleDots;
  const whole = (v: number) => (moduleDots >= 1 ? Math.round(v) : v);
  return { x: whole(bx + (bw - w) / 2), y: whole(by + (bh - h) / 2), w, h, moduleDots };
}

export { keepsSymbolAspect } from '../document/edits';

/**
 * The box for a PDF417 of these modules: the side its length runs along is kept, the other
 * follows the symbol (to 0.01 mm up, well under a dot).
 */
export function aspectBox(
  obj: Pick<QrCodeObject, 'w' | 'h' | 'rotation'>,
  modules: { across: number; down: number },
): { w: number; h: number } {
  const ratio = modules.down / modules.across;
  // Rounded up, so the length alone decides how many dots a module gets.
  const round = (v: number) => Math.max(1, Math.ceil(v * 100 - 1e-6) / 100);
  return isSideways(obj.rotation)
    ? { w: round(obj.h * ratio), h: obj.h }
    : { w: obj.w, h: round(obj.w * ratio) };
}
