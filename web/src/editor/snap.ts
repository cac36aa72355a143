// Move snapping of a dragged box's left and top edges against the page and the other objects.

import { hitBox, type Box, type Shape } from './geometry';

export const SNAP_MM = 0.8;

/** An unselected object's extent on one axis: start and size. */
export interface Span {
  p: number;
  s: number;
}

export interface Candidate {
  value: number;
  guide?: number;
}

export interface Snap {
  value: number;
  guide?: number;
}

export interface Guides {
  x: number[];
  y: number[];
}

/** Every place the edge may land, in the order they are tried. */
export function snapCandidates(
  v: number,
  e: number,
  P: number,
  others: readonly Span[],
): Candidate[] {
  const out: Candidate[] = [
    { value: 0, guide: 0 },
    { value: (P - e) / 2, guide: P / 2 },
    { value: P - e, guide: P },
    { value: Math.round(v) },
  ];
  for (const { p, s } of others) {
    const c = p + s / 2;
    out.push(
      { value: p, guide: p },
      { value: c - e / 2, guide: c },
      { value: p + s - e, guide: p + s },
      { value: p + s, guide: p + s },
      { value: p - e, guide: p },
      { value: c - e / 2, guide: c },
    );
  }
  return out;
}

const clampTo = (v: number, max: number) => Math.max(0, Math.min(v, max));

/**
 * Where an edge at `v` of a box `e` long on a page `P` long lands. A candidate wins only when it
 * is strictly nearer than everything before it and than 0.8 mm; Alt switches snapping off.
 */
export function snapEdge(
  v: number,
  e: number,
  P: number,
  others: readonly Span[],
  alt: boolean,
): Snap {
  if (alt) return { value: clampTo(v, P - e) };
  let best: Snap = { value: v };
  let distance = SNAP_MM;
  for (const c of snapCandidates(v, e, P, others)) {
    const d = Math.abs(c.value - v);
    if (d < distance) {
      distance = d;
      best = c;
    }
  }
  return { value: clampTo(best.value, P - e), guide: best.guide };
}

export interface MoveSnap {
  dx: number;
  dy: number;
  guides: Guides;
}

/**
 * The displacement of a dragged group: its bounding box at the start (`start`) moved by the
 * pointer's displacement, its left and top edges snapped against the unselected objects.
 */
export function snapMove(
  start: Box,
  dx: number,
  dy: number,
  page: { widthMm: number; heightMm: number },
  unselected: readonly Shape[],
  alt: boolean,
): MoveSnap {
  const boxes = unselected.map(hitBox);
  const sx = snapEdge(
    start.x + dx,
    start.w,
    page.widthMm,
    boxes.map((b) => ({ p: b.x, s: b.w })),
    alt,
  );
  const sy = snapEdge(
    start.y + dy,
    start.h,
    page.heightMm,
    boxes.map((b) => ({ p: b.y, s: b.h })),
    alt,
  );
  return {
    dx: sx.value - start.x,
    dy: sy.value - start.y,
    guides: {
      x: sx.guide === undefined ? [] : [sx.guide],
      y: sy.guide === undefined ? [] : [sy.guide],
    },
  };
}
