// The canvas gestures as a small state machine: idle, moving, resizing or drawing a marquee.
// Points are in millimetres; the DOM adapter turns pointer events into these calls.

import type { BarcodeObject, LabelObject } from '../document/model';
import { keepsSymbolAspect } from '../render/matrix';
import {
  LINE_GRAB_MM,
  boundingBox,
  handleAt,
  idsInMarquee,
  isMarqueeClick,
  spanBox,
  topmostAt,
  type Box,
  type Handle,
  type Point,
} from './geometry';
import { resizeBox, type BarcodeSizing } from './resize';
import { snapMove, type Guides } from './snap';
import type { DocumentStore } from '../store/document-store';

export interface Modifiers {
  ctrl: boolean;
  meta: boolean;
  shift: boolean;
  alt: boolean;
}

type Drag =
  | { kind: 'idle' }
  | {
      kind: 'move';
      start: Point;
      starts: { obj: LabelObject; x: number; y: number }[];
      snapshotted: boolean;
    }
  | {
      kind: 'resize';
      start: Point;
      obj: LabelObject;
      handle: Handle;
      box: Box;
      sizing?: BarcodeSizing;
      snapshotted: boolean;
    }
  | { kind: 'marquee'; start: Point; current: Point; additive: boolean; before: string[] };

export type SizingFor = (obj: BarcodeObject) => BarcodeSizing;

const IDLE: Drag = { kind: 'idle' };

const HANDLE_CURSORS: Record<Handle, string> = {
  nw: 'nwse-resize',
  se: 'nwse-resize',
  ne: 'nesw-resize',
  sw: 'nesw-resize',
  n: 'ns-resize',
  s: 'ns-resize',
  e: 'ew-resize',
  w: 'ew-resize',
};

export class CanvasGestures {
  private drag: Drag = IDLE;
  private alt = false;
  guides: Guides = { x: [], y: [] };

  constructor(
    private readonly store: DocumentStore,
    private readonly sizingFor: SizingFor,
  ) {}

  get active(): boolean {
    return this.drag.kind !== 'idle';
  }

  get state(): Drag['kind'] {
    return this.drag.kind;
  }

  /** The marquee rectangle while one is drawn. */
  get marquee(): Box | undefined {
    return this.drag.kind === 'marquee' ? spanBox(this.drag.start, this.drag.current) : undefined;
  }

  /** The single unlocked selected object, the only one that shows handles. */
  handleOwner(): LabelObject | undefined {
    const single = this.store.single;
    return single && !single.locked ? single : undefined;
  }

  /** The object a press at the point takes; a frame's grab width stays the same on screen. */
  hitAt(p: Point): LabelObject | undefined {
    return topmostAt(this.store.doc.objects, p, LINE_GRAB_MM / this.store.zoom);
  }

  /** The pointer's shape over the canvas while no gesture runs: what a press there would do. */
  cursorAt(p: Point, handleTolerance: number): string {
    const owner = this.handleOwner();
    const handle = owner && handleAt(owner, p, handleTolerance);
    if (handle) return HANDLE_CURSORS[handle];
    const hit = this.hitAt(p);
    return hit && !hit.locked ? 'move' : 'default';
  }

  /** True when a drag started and the pointer should be captured. */
  pointerDown(p: Point, mods: Modifiers, handleTolerance: number): boolean {
    const store = this.store;
    this.alt = mods.alt;
    this.guides = { x: [], y: [] };
    const additive = mods.ctrl || mods.meta || mods.shift;

    const owner = this.handleOwner();
    const handle = owner && handleAt(owner, p, handleTolerance);
    if (owner && handle) {
      this.drag = {
        kind: 'resize',
        start: p,
        obj: owner,
        handle,
        box: { x: owner.x, y: owner.y, w: owner.w, h: owner.h },
        sizing: owner.type === 'barcode' ? this.sizingFor(owner) : undefined,
        snapshotted: false,
      };
      return true;
    }

    const hit = this.hitAt(p);
    if (!hit) {
      const before = [...store.selection];
      if (!additive) store.select([]);
      this.drag = { kind: 'marquee', start: p, current: p, additive, before };
      return true;
    }

    if (mods.ctrl || mods.meta) {
      store.toggleSelection(hit.id);
      return false;
    }
    if (mods.shift) {
      store.select([...store.selection, hit.id]);
      return false;
    }
    if (hit.locked) {
      store.select([hit.id]);
      return false;
    }
    // A group is dragged by any of its members.
    if (!store.selection.includes(hit.id)) store.select([hit.id]);
    const dragged = store.selected.filter((o) => !o.locked);
    if (dragged.length === 0) return false;
    this.drag = {
      kind: 'move',
      start: p,
      starts: dragged.map((obj) => ({ obj, x: obj.x, y: obj.y })),
      snapshotted: false,
    };
    return true;
  }

  pointerMove(p: Point, alt = this.alt): void {
    const drag = this.drag;
    this.alt = alt;
    if (drag.kind === 'idle') return;
    if (drag.kind === 'marquee') {
      drag.current = p;
      this.store.preview();
      return;
    }
    const dx = p.x - drag.start.x;
    const dy = p.y - drag.start.y;
    if (!drag.snapshotted) {
      if (dx === 0 && dy === 0) return;
      // One unkeyed snapshot per drag: the whole drag is one undo step.
      this.store.snapshot();
      drag.snapshotted = true;
    }
    if (drag.kind === 'move') this.move(drag, dx, dy);
    else this.resize(drag, dx, dy);
    this.store.touch();
  }

  private move(drag: Extract<Drag, { kind: 'move' }>, dx: number, dy: number): void {
    const doc = this.store.doc;
    const start = boundingBox(drag.starts.map((s) => ({ x: s.x, y: s.y, w: s.obj.w, h: s.obj.h })));
    const selected = new Set(this.store.selection);
    const others = doc.objects.filter((o) => !selected.has(o.id));
    const snap = snapMove(start, dx, dy, doc.page, others, this.alt);
    for (const s of drag.starts) {
      s.obj.x = s.x + snap.dx;
      s.obj.y = s.y + snap.dy;
    }
    this.guides = snap.guides;
  }

  private resize(drag: Extract<Drag, { kind: 'resize' }>, dx: number, dy: number): void {
    const obj = drag.obj;
    const r = resizeBox(
      {
        type: obj.type,
        sizing: drag.sizing,
        keepAspect: obj.type === 'image' ? obj.keepAspect : keepsSymbolAspect(obj) || undefined,
      },
      drag.handle,
      drag.box,
      dx,
      dy,
      this.store.doc.page,
    );
    Object.assign(obj, r.box);
    if (obj.type === 'barcode') {
      if (r.widthScale !== undefined) obj.widthScale = r.widthScale;
      if (r.barHeight !== undefined) obj.barHeight = r.barHeight;
    }
    this.guides = r.guides;
  }

  pointerUp(p?: Point): void {
    const drag = this.drag;
    this.drag = IDLE;
    const hadGuides = this.guides.x.length + this.guides.y.length > 0;
    this.guides = { x: [], y: [] };
    const store = this.store;
    switch (drag.kind) {
      case 'idle':
        return;
      case 'marquee': {
        const end = p ?? drag.current;
        const before = store.selection;
        if (!isMarqueeClick(drag.start, end)) {
          const ids = idsInMarquee(store.doc.objects, spanBox(drag.start, end));
          store.select(drag.additive ? [...drag.before, ...ids] : ids);
        }
        // The marquee itself must leave the canvas even when the selection stayed.
        if (store.selection === before) store.preview();
        return;
      }
      case 'move':
      case 'resize':
        if (drag.snapshotted) {
          store.endGesture();
        } else if (hadGuides) {
          store.preview();
        }
        return;
    }
  }
}
