// Where new objects go, and the zoom that fits the label into the canvas area.

import type { ObjectType, Placement } from '../document/model';
import { ZOOM_MAX, ZOOM_MIN } from '../store/document-store';

export type AddableType = Exclude<ObjectType, 'image'>;

export const EDGE_MARGIN_MM = 2;
export const FIT_PADDING_PX = 48;
export const FIT_ZOOM_MAX = 2;

interface PageSize {
  widthMm: number;
  heightMm: number;
}

export function addedSize(type: AddableType, page: PageSize): { w: number; h: number } {
  switch (type) {
    case 'text':
      return { w: Math.min(36, page.widthMm - 6), h: 8 };
    case 'barcode':
      return { w: 40, h: 18 };
    case 'qrcode':
      return { w: 16, h: 16 };
    case 'rect':
      return { w: Math.min(36, page.widthMm - 6), h: 18 };
    case 'line':
      return { w: 30, h: 0 };
  }
}

/** Centred on the page, but no nearer than 2 mm to the top and left edges. */
export function addedPlacement(type: AddableType, page: PageSize): Placement {
  const { w, h } = addedSize(type, page);
  return {
    x: Math.max(EDGE_MARGIN_MM, (page.widthMm - w) / 2),
    y: Math.max(EDGE_MARGIN_MM, (page.heightMm - h) / 2),
    w,
    h,
  };
}

/** A picture at (4, 4), scaled in its aspect into a box of at most 24 mm a side. */
export function picturePlacement(
  pixelWidth: number,
  pixelHeight: number,
  page: PageSize,
): Placement {
  const boxW = Math.max(2, Math.min(24, page.widthMm - 8));
  const boxH = Math.max(2, Math.min(24, page.heightMm - 8));
  const pw = Math.max(1, pixelWidth);
  const ph = Math.max(1, pixelHeight);
  const scale = Math.min(boxW / pw, boxH / ph);
  return { x: 4, y: 4, w: Math.max(2, pw * scale), h: Math.max(2, ph * scale) };
}

export function fitZoom(
  hostWidth: number,
  hostHeight: number,
  canvasWidth: number,
  canvasHeight: number,
): number {
  const w = (hostWidth - FIT_PADDING_PX) / Math.max(1, canvasWidth);
  const h = (hostHeight - FIT_PADDING_PX) / Math.max(1, canvasHeight);
  return Math.max(ZOOM_MIN, Math.min(w, h, FIT_ZOOM_MAX));
}

export const ZOOM_STEP = 1.2;
export const WHEEL_ZOOM_OUT = 0.9;
export const WHEEL_ZOOM_IN = 1.1;

export function zoomLabel(zoom: number): string {
  return `${Math.round(zoom * 100)}%`;
}

export { ZOOM_MAX, ZOOM_MIN };
