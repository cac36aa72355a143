// Print row geometry in whole dots: labels side by side with the column gap between them.

import { PRINT_FIELDS } from '../document/field-table';
import { mmToDots, type LabelDocument } from '../document/model';
import { labelSizeDots } from '../render/label';
import { bytesPerRowFor } from './pack';

export interface RowMetrics {
  width: number;
  height: number;
  labelWidth: number;
  labelHeight: number;
  gap: number;
  bytesPerRow: number;
}

export interface RowGeometry {
  labelWidth: number;
  labelHeight: number;
  columns: number;
  gap: number;
  rowWidth: number;
}

/** A column count rounded and clamped to 1 … 8; anything unreadable counts as 1. */
export function clampColumns(columns: number): number {
  const n = Math.round(columns);
  const { min, max } = PRINT_FIELDS.columns;
  return Number.isFinite(n) ? Math.min(max, Math.max(min, n)) : min;
}

export function rowGeometry(doc: LabelDocument, columns: number = doc.print.columns): RowGeometry {
  const { width: labelWidth, height: labelHeight } = labelSizeDots(doc);
  const cols = clampColumns(columns);
  const gap = Math.round(mmToDots(doc.print.columnGapMm, doc.page.dpi));
  return {
    labelWidth,
    labelHeight,
    columns: cols,
    gap,
    rowWidth: cols * labelWidth + (cols - 1) * gap,
  };
}

export function columnLeft(g: RowGeometry, column: number): number {
  return column * (g.labelWidth + g.gap);
}

export function rowMetrics(g: RowGeometry, width = g.rowWidth, height = g.labelHeight): RowMetrics {
  return {
    width,
    height,
    labelWidth: g.labelWidth,
    labelHeight: g.labelHeight,
    gap: g.gap,
    bytesPerRow: bytesPerRowFor(width),
  };
}
