// Resizing one object by one of its eight handles, with each type's own rules.

import type { Box, Handle } from './geometry';
import { SNAP_MM, type Guides } from './snap';

export const MIN_SIZE_MM = 2;
const MIN_ASPECT_SIDE = 0.01;
const MIN_FACTOR = 0.05;

export interface Page {
  widthMm: number;
  heightMm: number;
}

/**
 * How a barcode's box follows its fields: the `widthScale` for a requested width, and the box
 * width a scale really draws (nothing when the data cannot be encoded).
 */
export interface BarcodeSizing {
  scaleFor(widthMm: number): number;
  widthAt(widthScale: number): number | undefined;
  /** Bar height for a requested box height, and the box height it gives. */
  barHeightFor(heightMm: number): number;
  heightAt(barHeight: number): number;
  /** Turned a quarter: the printed length runs along the box's height, the bars across it. */
  sideways?: boolean;
}

export interface ResizeSubject {
  type: string;
  /** Only for barcodes. */
  sizing?: BarcodeSizing;
  /** Pictures: false lets a corner stretch them. A PDF417 passes true. */
  keepAspect?: boolean;
}

export interface Resized {
  box: Box;
  widthScale?: number;
  barHeight?: number;
  guides: Guides;
}

function axes(handle: Handle) {
  return {
    e: handle.includes('e'),
    w: handle.includes('w'),
    n: handle.includes('n'),
    s: handle.includes('s'),
  };
}

/**
 * A line keeps its direction: a handle does not give height to a horizontal line or width to a
 * vertical one, which the 2 mm minimum would otherwise do at the first touch of a corner.
 */
function lineAxes(handle: Handle, start: Box) {
  const a = axes(handle);
  if (start.h === 0) a.n = a.s = false;
  if (start.w === 0) a.e = a.w = false;
  return a;
}

/**
 * The new box and fields for a drag of `handle` by (dx, dy) from the starting box. Edge snapping
 * at 0.8 mm is always on; a qrcode and an image dragged by a corner stop at (and snap onto) the
 * first page edge their side reaches, so they stay square or in aspect.
 */
export function resizeBox(
  subject: ResizeSubject,
  handle: Handle,
  start: Box,
  dx: number,
  dy: number,
  page: Page,
): Resized {
  const W = page.widthMm;
  const H = page.heightMm;
  const a = subject.type === 'line' ? lineAxes(handle, start) : axes(handle);
  const { x: ox, y: oy, w: ow, h: oh } = start;
  let { x, y, w, h } = start;
  const guides: Guides = { x: [], y: [] };

  if (a.e) w = Math.max(MIN_SIZE_MM, ow + dx);
  if (a.s) h = Math.max(MIN_SIZE_MM, oh + dy);
  if (a.w) {
    w = Math.max(MIN_SIZE_MM, ow - dx);
    x = ox + ow - w;
  }
  if (a.n) {
    h = Math.max(MIN_SIZE_MM, oh - dy);
    y = oy + oh - h;
  }

  const corner = (a.e || a.w) && (a.n || a.s);
  // Room from the fixed side to the page edge the moving side heads for.
  const roomX = a.w ? ox + ow : W - ox;
  const roomY = a.n ? oy + oh : H - oy;
  const edgeX = a.w ? 0 : W;
  const edgeY = a.n ? 0 : H;

  // Pictures keep their aspect unless told otherwise; a PDF417 always keeps its symbol's.
  const aspect = subject.type === 'image' ? subject.keepAspect !== false : subject.keepAspect;
  if (aspect === true && corner) {
    const bw = Math.max(MIN_ASPECT_SIDE, ow);
    const bh = Math.max(MIN_ASPECT_SIDE, oh);
    const fx = a.e ? (bw + dx) / bw : (bw - dx) / bw;
    const fy = a.s ? (bh + dy) / bh : (bh - dy) / bh;
    let f = Math.max(MIN_FACTOR, Math.abs(fy - 1) > Math.abs(fx - 1) ? fy : fx);
    const fitX = roomX / bw;
    const fitY = roomY / bh;
    const fit = Math.min(fitX, fitY);
    if (Math.min(roomX - bw * f, roomY - bh * f) <= SNAP_MM) {
      f = fit;
      if (fitX === fit) guides.x.push(edgeX);
      if (fitY === fit) guides.y.push(edgeY);
    }
    w = Math.max(MIN_SIZE_MM, bw * f);
    h = Math.max(MIN_SIZE_MM, bh * f);
    x = a.w ? ox + ow - w : ox;
    y = a.n ? oy + oh - h : oy;
  } else if (subject.type === 'qrcode') {
    let side = Math.max(MIN_SIZE_MM, a.e || a.w ? w : h);
    const fit = Math.min(roomX, roomY);
    if (fit - side <= SNAP_MM && fit >= MIN_SIZE_MM) {
      side = fit;
      if (roomX === fit) guides.x.push(edgeX);
      if (roomY === fit) guides.y.push(edgeY);
    }
    w = h = side;
    x = a.w ? ox + ow - side : ox;
    y = a.n ? oy + oh - side : oy;
  } else {
    if (a.e && x + w >= W - SNAP_MM) {
      w = W - x;
      guides.x.push(W);
    }
    if (a.w && x <= SNAP_MM) {
      w += x;
      x = 0;
      guides.x.push(0);
    }
    if (a.s && y + h >= H - SNAP_MM) {
      h = H - y;
      guides.y.push(H);
    }
    if (a.n && y <= SNAP_MM) {
      h += y;
      y = 0;
      guides.y.push(0);
    }
  }

  if ((a.e || a.w) && Math.abs(x + w / 2 - W / 2) <= SNAP_MM) {
    x = W / 2 - w / 2;
    guides.x.push(W / 2);
  }
  if ((a.n || a.s) && Math.abs(y + h / 2 - H / 2) <= SNAP_MM) {
    y = H / 2 - h / 2;
    guides.y.push(H / 2);
  }

  const out: Resized = { box: { x, y, w, h }, guides };
  if (subject.type === 'barcode' && subject.sizing) {
    // The box a barcode draws follows its fields, so the fixed side is re-anchored on it.
    const sizing = subject.sizing;
    const sideways = sizing.sideways === true;
    const alongX = a.e || a.w;
    const alongY = a.n || a.s;
    const fitX = (drawn: number) => {
      if (a.w) x += w - drawn;
      w = drawn;
    };
    const fitY = (drawn: number) => {
      if (a.n) y += h - drawn;
      h = drawn;
    };
    if (sideways ? alongY : alongX) {
      out.widthScale = sizing.scaleFor(sideways ? h : w);
      const drawn = sizing.widthAt(out.widthScale);
      if (drawn !== undefined) (sideways ? fitY : fitX)(drawn);
    }
    if (sideways ? alongX : alongY) {
      out.barHeight = sizing.barHeightFor(sideways ? w : h);
      (sideways ? fitX : fitY)(sizing.heightAt(out.barHeight));
    }
  }

  out.box = {
    x: Math.max(0, Math.min(x, W - w)),
    y: Math.max(0, Math.min(y, H - h)),
    w,
    h,
  };
  return out;
}
