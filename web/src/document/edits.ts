// Edits over a document's objects as plain functions: the store wraps each in one undo step.

import { deepCopy } from './copy';
import { newId } from './ids';
import type { LabelDocument, LabelObject } from './model';

export const DUPLICATE_OFFSET_MM = 3;

export type LayerDirection = 'up' | 'down' | 'top' | 'bottom';
export type AlignKind = 'left' | 'hcenter' | 'right' | 'top' | 'vcenter' | 'bottom';

/** Keeps a box on the page; the top-left edge wins when the box is larger than the page. */
export function keepOnPage(obj: LabelObject, page: LabelDocument['page']): void {
  obj.x = Math.max(0, Math.min(obj.x, page.widthMm - obj.w));
  obj.y = Math.max(0, Math.min(obj.y, page.heightMm - obj.h));
}

/** Duplicates carry a random tail in place of the counter, their own id form. */
const duplicateId = (): string => newId('o', { random: 6 });

/** Copies of `originals`, moved down and right on the page, with ids no object of `doc` has. */
export function duplicates(doc: LabelDocument, originals: readonly LabelObject[]): LabelObject[] {
  const taken = new Set(doc.objects.map((o) => o.id));
  return originals.map((o) => {
    const copy = deepCopy(o);
    let id = duplicateId();
    while (taken.has(id)) id = duplicateId();
    taken.add(id);
    copy.id = id;
    copy.x += DUPLICATE_OFFSET_MM;
    copy.y += DUPLICATE_OFFSET_MM;
    keepOnPage(copy, doc.page);
    return copy;
  });
}

/** Moves the object at `index` one step or to an end of the drawing order. */
export function moveLayer(objects: LabelObject[], index: number, direction: LayerDirection): void {
  const [obj] = objects.splice(index, 1);
  const target =
    direction === 'up'
      ? Math.min(index + 1, objects.length)
      : direction === 'down'
        ? Math.max(index - 1, 0)
        : direction === 'top'
          ? objects.length
          : 0;
  objects.splice(target, 0, obj);
}

/** Aligns each of `targets` against the page. */
export function alignObjects(
  targets: readonly LabelObject[],
  page: LabelDocument['page'],
  kind: AlignKind,
): void {
  const W = page.widthMm;
  const H = page.heightMm;
  for (const o of targets) {
    if (kind === 'left') o.x = 0;
    else if (kind === 'hcenter') o.x = (W - o.w) / 2;
    else if (kind === 'right') o.x = W - o.w;
    else if (kind === 'top') o.y = 0;
    else if (kind === 'vcenter') o.y = (H - o.h) / 2;
    else o.y = H - o.h;
  }
}

/** PDF417 is wider than high; its box keeps the symbol's aspect, the rest stay square. */
export function keepsSymbolAspect(obj: { type: string; symbology?: string }): boolean {
  return obj.type === 'qrcode' && obj.symbology === 'pdf417';
}

/** Fits every object onto the page after a page-size change; square 2D codes stay square. */
export function clampObjectsToPage(doc: LabelDocument): void {
  const W = doc.page.widthMm;
  const H = doc.page.heightMm;
  for (const o of doc.objects) {
    o.w = Math.min(o.w, W);
    o.h = Math.min(o.h, H);
    if (o.type === 'qrcode' && !keepsSymbolAspect(o)) {
      const side = Math.min(o.w, o.h, W, H);
      o.w = side;
      o.h = side;
    }
    keepOnPage(o, doc.page);
  }
}

/** Moves each of `targets` by (dx, dy) millimetres, kept on the page. */
export function nudgeObjects(
  targets: readonly LabelObject[],
  page: LabelDocument['page'],
  dx: number,
  dy: number,
): void {
  for (const o of targets) {
    o.x += dx;
    o.y += dy;
    keepOnPage(o, page);
  }
}
