// Plain geometry of the canvas gestures, in millimetres: hit boxes, handles, the marquee test and
// the pointer mapping. Nothing here touches the DOM or the store.

export interface Point {
  x: number;
  y: number;
}

export interface Box {
  x: number;
  y: number;
  w: number;
  h: number;
}

/** A horizontal line has no height; this much of it can still be grasped. */
export const LINE_GRAB_MM = 1.5;
/** Handles are 8 screen pixels; the pointer hits one within half of that on both axes. */
export const HANDLE_SIZE_PX = 8;
/** A marquee smaller than this in both directions is a click on empty space. */
export const MARQUEE_CLICK_MM = 0.5;

export const HANDLES = ['nw', 'n', 'ne', 'e', 'se', 's', 'sw', 'w'] as const;
export type Handle = (typeof HANDLES)[number];

export interface Shape extends Box {
  id: string;
  type: string;
  locked?: boolean;
  /** A rectangle without fill is hit on its outline only. */
  fill?: boolean;
}

/** The box used for hitting, the selection frame and snapping against other objects. */
export function hitBox(o: Shape): Box {
  return { x: o.x, y: o.y, w: o.w, h: o.type === 'line' ? Math.max(o.h, LINE_GRAB_MM) : o.h };
}

export function contains(box: Box, p: Point): boolean {
  return p.x >= box.x && p.x <= box.x + box.w && p.y >= box.y && p.y <= box.y + box.h;
}

/**
 * Whether a press at the point takes the object. An unfilled rectangle is a frame: only a point
 * within `outline` mm of its edge takes it, so what lies inside stays reachable.
 */
export function hits(o: Shape, p: Point, outline = LINE_GRAB_MM): boolean {
  const box = hitBox(o);
  if (!contains(box, p)) return false;
  if (o.type !== 'rect' || o.fill === true) return true;
  const inner = Math.min(p.x - box.x, box.x + box.w - p.x, p.y - box.y, box.y + box.h - p.y);
  return inner <= outline;
}

/**
 * The top-most object hit at the point (bounds inclusive); `outline` is the frame's grab width,
 * 1.5 mm at 100 % zoom.
 */
export function topmostAt<T extends Shape>(
  objects: readonly T[],
  p: Point,
  outline = LINE_GRAB_MM,
): T | undefined {
  for (let i = objects.length - 1; i >= 0; i--) {
    if (hits(objects[i], p, outline)) return objects[i];
  }
  return undefined;
}

export interface ScreenRect {
  left: number;
  top: number;
  width: number;
  height: number;
}

export function pointerToMm(
  clientX: number,
  clientY: number,
  rect: ScreenRect,
  page: { widthMm: number; heightMm: number },
): Point {
  return {
    x: ((clientX - rect.left) * page.widthMm) / Math.max(1, rect.width),
    y: ((clientY - rect.top) * page.heightMm) / Math.max(1, rect.height),
  };
}

/** Half a handle, in millimetres, for a canvas shown `screenWidth` pixels wide. */
export function handleToleranceMm(screenWidth: number, pageWidthMm: number): number {
  return ((HANDLE_SIZE_PX / 2) * pageWidthMm) / Math.max(1, screenWidth);
}

export function handlePoint(box: Box, handle: Handle): Point {
  const { x, y, w, h } = box;
  switch (handle) {
    case 'nw':
      return { x, y };
    case 'n':
      return { x: x + w / 2, y };
    case 'ne':
      return { x: x + w, y };
    case 'e':
      return { x: x + w, y: y + h / 2 };
    case 'se':
      return { x: x + w, y: y + h };
    case 's':
      return { x: x + w / 2, y: y + h };
    case 'sw':
      return { x, y: y + h };
    case 'w':
      return { x, y: y + h / 2 };
  }
}

/** The first handle, in the fixed order, within `tolerance` of the point on both axes. */
export function handleAt(box: Box, p: Point, tolerance: number): Handle | undefined {
  return HANDLES.find((handle) => {
    const q = handlePoint(box, handle);
    return Math.abs(p.x - q.x) <= tolerance && Math.abs(p.y - q.y) <= tolerance;
  });
}

export function boundingBox(boxes: readonly Box[]): Box {
  const left = Math.min(...boxes.map((b) => b.x));
  const top = Math.min(...boxes.map((b) => b.y));
  const right = Math.max(...boxes.map((b) => b.x + b.w));
  const bottom = Math.max(...boxes.map((b) => b.y + b.h));
  return { x: left, y: top, w: right - left, h: bottom - top };
}

export function spanBox(a: Point, b: Point): Box {
  return {
    x: Math.min(a.x, b.x),
    y: Math.min(a.y, b.y),
    w: Math.abs(a.x - b.x),
    h: Math.abs(a.y - b.y),
  };
}

export function isMarqueeClick(a: Point, b: Point): boolean {
  return Math.abs(a.x - b.x) < MARQUEE_CLICK_MM && Math.abs(a.y - b.y) < MARQUEE_CLICK_MM;
}

/**
 * Ids of the unlocked objects, in document order, whose stored box (no line allowance) overlaps
 * the rectangle; touching edges do not count.
 */
export function idsInMarquee(objects: readonly Shape[], r: Box): string[] {
  return objects
    .filter(
      (o) => !o.locked && o.x < r.x + r.w && o.x + o.w > r.x && o.y < r.y + r.h && o.y + o.h > r.y,
    )
    .map((o) => o.id);
}
