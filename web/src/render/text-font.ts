// The font a text object is drawn in, at a size in dots. Shared by drawing and fitting.

import type { TextObject } from '../document/model';

export const TEXT_FAMILIES = '"Microsoft YaHei", "PingFang SC", "Segoe UI", sans-serif';

/** Font size in dots of a point size. */
export function fontPx(fontSize: number, dpi: number): number {
  return (fontSize * dpi) / 72;
}

export function textFont(
  obj: Pick<TextObject, 'bold' | 'italic' | 'fontSize'>,
  dpi: number,
): string {
  return `${obj.italic ? 'italic ' : ''}${obj.bold ? 'bold ' : ''}${fontPx(obj.fontSize, dpi)}px ${TEXT_FAMILIES}`;
}
