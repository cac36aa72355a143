// What the editor draws over the label: selection frames, handles, the marquee and the guides.
// Drawn in canvas pixels (printer dots), so widths and dashes divide by the zoom to look the
// same on screen at every zoom.

import { mmToDots, type LabelObject } from '../document/model';
import type { Ctx2D } from '../render/context2d';
import { HANDLES, HANDLE_SIZE_PX, handlePoint, hitBox, type Box } from './geometry';
import type { Guides } from './snap';

export const FRAME_COLOR = '#5e5ce6';
export const LOCKED_FRAME_COLOR = '#ff9f0a';
export const MARQUEE_FILL = 'rgba(94, 92, 230, 0.10)';
export const GUIDE_COLOR = '#ff375f';

export interface OverlayState {
  selected: readonly LabelObject[];
  /** The object that shows handles: a single unlocked selection. */
  handles?: LabelObject;
  marquee?: Box;
  guides: Guides;
  zoom: number;
  dpi: number;
  /** Canvas size in pixels. */
  width: number;
  height: number;
}

export function drawOverlay(ctx: Ctx2D, s: OverlayState): void {
  const k = (mm: number) => mmToDots(mm, s.dpi);
  const z = s.zoom;
  ctx.save();
  ctx.lineWidth = 1.5 / z;
  for (const o of s.selected) {
    const b = hitBox(o);
    ctx.strokeStyle = o.locked ? LOCKED_FRAME_COLOR : FRAME_COLOR;
    ctx.strokeRect(k(b.x), k(b.y), k(b.w), k(b.h));
  }
  if (s.handles) {
    const size = HANDLE_SIZE_PX / z;
    ctx.fillStyle = '#ffffff';
    ctx.strokeStyle = FRAME_COLOR;
    for (const handle of HANDLES) {
      const p = handlePoint(s.handles, handle);
      ctx.fillRect(k(p.x) - size / 2, k(p.y) - size / 2, size, size);
      ctx.strokeRect(k(p.x) - size / 2, k(p.y) - size / 2, size, size);
    }
  }
  if (s.marquee) {
    const m = s.marquee;
    ctx.fillStyle = MARQUEE_FILL;
    ctx.fillRect(k(m.x), k(m.y), k(m.w), k(m.h));
    ctx.lineWidth = 1 / z;
    ctx.strokeStyle = FRAME_COLOR;
    ctx.setLineDash([4 / z, 3 / z]);
    ctx.strokeRect(k(m.x), k(m.y), k(m.w), k(m.h));
  }
  if (s.guides.x.length + s.guides.y.length > 0) {
    ctx.lineWidth = 1 / z;
    ctx.strokeStyle = GUIDE_COLOR;
    ctx.setLineDash([5 / z, 3 / z]);
    // A guide on the page edge is pulled in by half its width so that all of it shows.
    const inside = (v: number, max: number) => Math.min(Math.max(v, 0.5 / z), max - 0.5 / z);
    ctx.beginPath();
    for (const gx of new Set(s.guides.x)) {
      const px = inside(k(gx), s.width);
      ctx.moveTo(px, 0);
      ctx.lineTo(px, s.height);
    }
    for (const gy of new Set(s.guides.y)) {
      const py = inside(k(gy), s.height);
      ctx.moveTo(0, py);
      ctx.lineTo(s.width, py);
    }
    ctx.stroke();
  }
  ctx.restore();
}
