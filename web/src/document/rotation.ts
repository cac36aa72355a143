// Quarter turns of texts, codes and pictures. The box stays axis-aligned on the label; turning an
// object by 90° or 270° swaps its sides about the box's centre, so what it draws keeps its size.

import { TEXT_FIELDS } from './field-table';
import type { LabelObject, ObjectOfType, Placement } from './model';

export type Rotation = (typeof TEXT_FIELDS.rotation.choices)[number];
export const ROTATIONS: readonly Rotation[] = TEXT_FIELDS.rotation.choices;

export type RotatableObject = ObjectOfType<'text' | 'barcode' | 'qrcode' | 'image'>;

export function isRotatable(obj: LabelObject): obj is RotatableObject {
  return (
    obj.type === 'text' || obj.type === 'barcode' || obj.type === 'qrcode' || obj.type === 'image'
  );
}

/** The stored rotation, 0 when absent (objects built before rotation existed). */
export function rotationOf(obj: { rotation?: number }): Rotation {
  const r = obj.rotation;
  return r === 90 || r === 180 || r === 270 ? r : 0;
}

/** True when the content runs across the box: its own width lies along the box's height. */
export function isSideways(rotation: number | undefined): boolean {
  return rotation === 90 || rotation === 270;
}

/**
 * The box turned by a quarter turn about its centre, then kept on the page: a side longer than
 * the page is cut to it, and the box is moved inside.
 */
export function quarterTurnedBox(
  box: Placement,
  page: { widthMm: number; heightMm: number },
): Placement {
  const cx = box.x + box.w / 2;
  const cy = box.y + box.h / 2;
  const w = Math.min(box.h, page.widthMm);
  const h = Math.min(box.w, page.heightMm);
  return {
    x: Math.max(0, Math.min(cx - w / 2, page.widthMm - w)),
    y: Math.max(0, Math.min(cy - h / 2, page.heightMm - h)),
    w,
    h,
  };
}

/** Sets a rotation; the box turns with it when the content changes between lying and standing. */
export function setRotation(
  obj: RotatableObject,
  to: Rotation,
  page: { widthMm: number; heightMm: number },
): void {
  if (isSideways(rotationOf(obj)) !== isSideways(to))
    Object.assign(obj, quarterTurnedBox(obj, page));
  obj.rotation = to;
}

/** One clockwise quarter turn. */
export function rotateQuarter(
  obj: RotatableObject,
  page: { widthMm: number; heightMm: number },
): void {
  setRotation(obj, ((rotationOf(obj) + 90) % 360) as Rotation, page);
}
