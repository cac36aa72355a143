// Composing one print row from labels drawn per slot, and its packed raster.

import { mmToDots, type LabelDocument } from '../document/model';
import type { MergeContext } from '../merge/types';
import type { Ctx2D } from '../render/context2d';
import { drawLabel } from '../render/label';
import { turnSurface180 } from '../render/rotate';
import { createSurface } from '../image/surface';
import { columnLeft, rowGeometry, rowMetrics, type RowGeometry, type RowMetrics } from './geometry';
import { packOpaqueRaster, packRaster } from './pack';

/** One slot per column, left to right; an absent context leaves its column white. */
export type Slots = readonly (MergeContext | null | undefined)[];

export interface ComposedRow {
  canvas: HTMLCanvasElement;
  metrics: RowMetrics;
}

export interface ComposedRaster extends ComposedRow {
  bytes: Uint8Array;
}

export interface PreviewRaster extends ComposedRaster {
  frame?: { x: number; y: number; width: number; height: number };
}

function surface(width: number, height: number): { canvas: HTMLCanvasElement; ctx: Ctx2D } {
  const canvas = createSurface();
  canvas.width = width;
  canvas.height = height;
  const ctx = canvas.getContext('2d', { willReadFrequently: true });
  if (!ctx) throw new Error('无法创建绘图表面');
  return { canvas, ctx };
}

/**
 * The print row surface, kept between rows of the same size: a batch composes thousands of rows
 * of one geometry, and a new 7 MB surface per row costs more than drawing the labels on it.
 */
let rowSurface: { canvas: HTMLCanvasElement; ctx: Ctx2D } | undefined;

function sharedSurface(width: number, height: number): { canvas: HTMLCanvasElement; ctx: Ctx2D } {
  if (rowSurface?.canvas.width !== width || rowSurface.canvas.height !== height) {
    rowSurface = surface(width, height);
    rowSurface.ctx.fillStyle = '#fff';
    rowSurface.ctx.fillRect(0, 0, width, height);
  }
  rowSurface.ctx.setTransform(1, 0, 0, 1, 0, 0);
  return rowSurface;
}

/**
 * Whitens what the labels of this row will not cover: the gaps and the empty columns. Each
 * present label is drawn by `drawLabel`, which starts by filling its whole rectangle white, so a
 * reused surface needs no second fill of the whole row (a measurable share of a batch row).
 */
function whitenUncovered(ctx: Ctx2D, g: RowGeometry, slots: Slots): void {
  ctx.fillStyle = '#fff';
  for (let c = 0; c < g.columns; c++) {
    const left = columnLeft(g, c);
    if (!slots[c]) ctx.fillRect(left, 0, g.labelWidth, g.labelHeight);
    if (c > 0 && g.gap > 0) ctx.fillRect(left - g.gap, 0, g.gap, g.labelHeight);
  }
}

/**
 * Draws each present slot's label straight into the row at (x, y), clipped to the label's own
 * rectangle, which gives the same dots as drawing it on a label-sized surface and copying that
 * over, without allocating and copying a label surface per column.
 */
function drawSlots(
  target: Ctx2D,
  doc: LabelDocument,
  g: RowGeometry,
  slots: Slots,
  origin: (column: number) => { x: number; y: number },
): void {
  for (let c = 0; c < g.columns; c++) {
    const context = slots[c];
    if (!context) continue;
    const at = origin(c);
    target.save();
    target.translate(at.x, at.y);
    target.beginPath();
    target.rect(0, 0, g.labelWidth, g.labelHeight);
    target.clip();
    drawLabel(target, doc, context);
    target.restore();
  }
}

/**
 * Draws the row with its left top corner at (x, y). A row printed the other way up is composed
 * and turned on its own surface first, so offsets still move it in the printer's direction.
 */
function placeRow(
  target: Ctx2D,
  doc: LabelDocument,
  g: RowGeometry,
  slots: Slots,
  x: number,
  y: number,
): void {
  if (doc.print.orientation !== 'rotate180') {
    drawSlots(target, doc, g, slots, (c) => ({ x: x + columnLeft(g, c), y }));
    return;
  }
  const row = composeOn(false, doc, slots, g.columns, {});
  target.save();
  target.imageSmoothingEnabled = false;
  target.drawImage(row.canvas, x, y);
  target.restore();
}

function composeOn(
  shared: boolean,
  doc: LabelDocument,
  slots: Slots,
  columns: number,
  options: { applyOffset?: boolean },
): ComposedRow {
  const g = rowGeometry(doc, columns);
  const width = Math.max(1, g.rowWidth);
  const height = Math.max(1, g.labelHeight);
  const { canvas, ctx } = shared ? sharedSurface(width, height) : surface(width, height);
  // Shifted labels leave their columns, and a degenerate label covers nothing: whiten it all.
  if (shared && !options.applyOffset && g.labelWidth > 0 && g.labelHeight > 0 && g.gap >= 0) {
    whitenUncovered(ctx, g, slots);
  } else {
    ctx.fillStyle = '#fff';
    ctx.fillRect(0, 0, canvas.width, canvas.height);
  }
  if (options.applyOffset) {
    const ox = mmToDots(doc.print.offsetXMm, doc.page.dpi);
    const oy = mmToDots(doc.print.offsetYMm, doc.page.dpi);
    placeRow(ctx, doc, g, slots, ox, oy);
  } else {
    drawSlots(ctx, doc, g, slots, (c) => ({ x: columnLeft(g, c), y: 0 }));
    // The whole row turns, gaps included: the mirrored columns land on the columns' places.
    if (doc.print.orientation === 'rotate180') turnSurface180(canvas);
  }
  return { canvas, metrics: rowMetrics(g) };
}

/** The row on a surface of its own, which the caller may keep (browser print encodes it). */
export function composeRow(
  doc: LabelDocument,
  slots: Slots,
  columns: number = doc.print.columns,
  options: { applyOffset?: boolean } = {},
): ComposedRow {
  return composeOn(false, doc, slots, columns, options);
}

export function composeRowRaster(
  doc: LabelDocument,
  slots: Slots,
  columns: number = doc.print.columns,
  options: { applyOffset?: boolean } = {},
): ComposedRaster {
  // Only the bytes outlive this call in practice; the canvas is the shared row surface and holds
  // this row only until the next one is composed.
  const row = composeOn(true, doc, slots, columns, options);
  return { ...row, bytes: packRaster(row.canvas, row.metrics) };
}

/**
 * `composeRowRaster` for what prints: the same bytes, read back through a video frame where the
 * browser can, which spares a batch a fresh 7 MB pixel array per row. The surface is copied before
 * this returns to its caller, so the next row may be drawn on it at once.
 */
export async function composeRowRasterAsync(
  doc: LabelDocument,
  slots: Slots,
  columns: number = doc.print.columns,
): Promise<ComposedRaster> {
  const row = composeOn(true, doc, slots, columns, {});
  return { ...row, bytes: await packOpaqueRaster(row.canvas, row.metrics) };
}

/**
 * The row widened by the printer offsets, as the shifted origin will print it. A positive offset
 * moves the labels; a negative one keeps them at the edge and moves the label area (the frame).
 */
export function composePreviewRaster(
  doc: LabelDocument,
  slots: Slots,
  columns: number = doc.print.columns,
): PreviewRaster {
  const g = rowGeometry(doc, columns);
  const dx = mmToDots(doc.print.offsetXMm, doc.page.dpi);
  const dy = mmToDots(doc.print.offsetYMm, doc.page.dpi);
  const width = Math.max(1, Math.trunc(g.rowWidth + Math.abs(dx)));
  const height = Math.max(1, Math.trunc(g.labelHeight + Math.abs(dy)));
  const { canvas, ctx } = surface(width, height);
  ctx.fillStyle = '#fff';
  ctx.fillRect(0, 0, width, height);
  const baseX = Math.max(0, -dx);
  const baseY = Math.max(0, -dy);
  placeRow(ctx, doc, g, slots, baseX + dx, baseY + dy);
  const metrics = rowMetrics(g, width, height);
  const frame =
    dx !== 0 || dy !== 0
      ? { x: baseX, y: baseY, width: g.rowWidth, height: g.labelHeight }
      : undefined;
  return { canvas, metrics, bytes: packRaster(canvas, metrics), frame };
}
