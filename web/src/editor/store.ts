// The one store of the working document, selection, zoom, undo history and imported data.

import { createDocument } from '../document/factory';
import { clamp } from '../document/fields';
import type { LabelDocument, LabelObject } from '../document/model';
import { cloneDocument, deepCopy } from '../document/copy';
import { newId } from '../document/ids';
import { isRotatable, rotateQuarter } from '../document/rotation';
import type { Dataset, MergeContext } from '../merge/types';
import { keepsSymbolAspect } from '../render/matrix';

export const UNDO_DEPTH = 60;
export const COALESCE_MS = 700;
export const ZOOM_MIN = 0.2;
export const ZOOM_MAX = 4;
export const DUPLICATE_OFFSET_MM = 3;

export type Listener = (store: DocumentStore) => void;
export type LayerDirection = 'up' | 'down' | 'top' | 'bottom';
export type AlignKind = 'left' | 'hcenter' | 'right' | 'top' | 'vcenter' | 'bottom';

/** Duplicates carry a random tail in place of the counter, their own id form. */
const duplicateId = (): string => newId('o', { random: 6 });

/** Keeps a box on the page; the top-left edge wins when the box is larger than the page. */
function keepOnPage(obj: LabelObject, doc: LabelDocument): void {
  obj.x = Math.max(0, Math.min(obj.x, doc.page.widthMm - obj.w));
  obj.y = Math.max(0, Math.min(obj.y, doc.page.heightMm - obj.h));
}

export class DocumentStore {
  doc: LabelDocument = createDocument();
  selection: string[] = [];
  zoom = 1;
  revision = 0;
  dirty = false;
  dataset: Dataset | null = null;
  recordIndex = 0;
  undoStack: LabelDocument[] = [];
  redoStack: LabelDocument[] = [];
  readonly listeners = new Set<Listener>();
  /** The data set to bring back with an undo entry, for the entries that an import made. */
  readonly dataAt = new WeakMap<LabelDocument, { dataset: Dataset | null; record: number }>();
  lastSnapshotKey = '';
  lastSnapshotAt = 0;

  get canUndo(): boolean {
    return this.undoStack.length > 0;
  }

  get canRedo(): boolean {
    return this.redoStack.length > 0;
  }

  /** Selected objects in document (z) order. */
  get selected(): LabelObject[] {
    const ids = new Set(this.selection);
    return this.doc.objects.filter((o) => ids.has(o.id));
  }

  get single(): LabelObject | undefined {
    if (this.selection.length !== 1) return undefined;
    return this.doc.objects.find((o) => o.id === this.selection[0]);
  }

  subscribe(listener: Listener): () => void {
    this.listeners.add(listener);
    return () => {
      this.listeners.delete(listener);
    };
  }

  emit(): void {
    // A copy, so a listener that unsubscribes (or subscribes) mid-emit does not disturb the walk.
    for (const listener of [...this.listeners]) {
      try {
        listener(this);
      } catch (error) {
        console.error('Sorvendale 渲染失败', error);
      }
    }
  }

  snapshot(key = ''): void {
    const now = Date.now();
    if (key !== '' && key === this.lastSnapshotKey && now - this.lastSnapshotAt < COALESCE_MS) {
      this.lastSnapshotAt = now;
      return;
    }
    this.undoStack.push(cloneDocument(this.doc));
    if (this.undoStack.length > UNDO_DEPTH)
      this.undoStack.splice(0, this.undoStack.length - UNDO_DEPTH);
    this.redoStack = [];
    this.lastSnapshotKey = key;
    this.lastSnapshotAt = now;
  }

  touch(): void {
    this.dirty = true;
    this.emit();
  }

  preview(): void {
    this.emit();
  }

  private commit(): void {
    this.revision += 1;
    this.dirty = true;
    this.emit();
  }

  update(mutator: (doc: LabelDocument) => void): void {
    this.snapshot();
    mutator(this.doc);
    this.commit();
  }

  undo(): void {
    this.step(this.undoStack, this.redoStack);
  }

  redo(): void {
    this.step(this.redoStack, this.undoStack);
  }

  private step(from: LabelDocument[], to: LabelDocument[]): void {
    const next = from.pop();
    if (!next) return;
    const current = cloneDocument(this.doc);
    to.push(current);
    const data = this.dataAt.get(next);
    if (data) {
      this.dataAt.set(current, { dataset: this.dataset, record: this.recordIndex });
      this.dataset = data.dataset;
      this.recordIndex = data.record;
    }
    this.doc = next;
    // A nudge right after an undo must start its own step, not merge into the undone one.
    this.lastSnapshotKey = '';
    const ids = new Set(next.objects.map((o) => o.id));
    this.selection = this.selection.filter((id) => ids.has(id));
    this.commit();
  }

  reset(doc: LabelDocument, dirty = true): void {
    this.snapshot();
    this.doc = doc;
    this.selection = [];
    this.revision += 1;
    this.dirty = dirty;
    this.emit();
  }

  markSaved(): void {
    this.dirty = false;
    this.emit();
  }

  select(ids: readonly string[]): void {
    const next = [...new Set(ids)];
    if (next.length === this.selection.length && next.every((id, i) => id === this.selection[i]))
      return;
    this.selection = next;
    this.emit();
  }

  selectAll(): void {
    this.select(this.doc.objects.map((o) => o.id));
  }

  toggleSelection(id: string): void {
    this.selection = this.selection.includes(id)
      ? this.selection.filter((s) => s !== id)
      : [...this.selection, id];
    this.emit();
  }

  add(obj: LabelObject): void {
    this.snapshot();
    this.doc.objects.push(obj);
    this.selection = [obj.id];
    this.commit();
  }

  removeSelected(): void {
    if (this.selection.length === 0) return;
    const ids = new Set(this.selection);
    this.snapshot();
    this.doc.objects = this.doc.objects.filter((o) => !ids.has(o.id));
    this.selection = [];
    this.commit();
  }

  duplicateSelected(): void {
    const originals = this.selected;
    if (originals.length === 0) return;
    this.snapshot();
    const taken = new Set(this.doc.objects.map((o) => o.id));
    const copies = originals.map((o) => {
      const copy = deepCopy(o);
      let id = duplicateId();
      while (taken.has(id)) id = duplicateId();
      taken.add(id);
      copy.id = id;
      copy.x += DUPLICATE_OFFSET_MM;
      copy.y += DUPLICATE_OFFSET_MM;
      keepOnPage(copy, this.doc);
      return copy;
    });
    this.doc.objects.push(...copies);
    this.selection = copies.map((c) => c.id);
    this.commit();
  }

  /** Selected objects that can turn: texts, codes and pictures that are not locked. */
  get rotatable(): LabelObject[] {
    return this.selected.filter((o) => isRotatable(o) && !o.locked);
  }

  /** Turns each selected object a quarter clockwise about its own centre, as one undo step. */
  rotateSelected(): void {
    const targets = this.rotatable;
    if (targets.length === 0) return;
    this.update((doc) => {
      for (const obj of targets) if (isRotatable(obj)) rotateQuarter(obj, doc.page);
    });
  }

  moveLayer(direction: LayerDirection): void {
    if (this.selection.length !== 1) return;
    const index = this.doc.objects.findIndex((o) => o.id === this.selection[0]);
    if (index < 0) return;
    this.update((doc) => {
      const [obj] = doc.objects.splice(index, 1);
      const target =
        direction === 'up'
          ? Math.min(index + 1, doc.objects.length)
          : direction === 'down'
            ? Math.max(index - 1, 0)
            : direction === 'top'
              ? doc.objects.length
              : 0;
      doc.objects.splice(target, 0, obj);
    });
  }

  align(kind: AlignKind): void {
    const targets = this.selected.filter((o) => !o.locked);
    if (targets.length === 0) return;
    this.update((doc) => {
      const W = doc.page.widthMm;
      const H = doc.page.heightMm;
      for (const o of targets) {
        switch (kind) {
          case 'left':
            o.x = 0;
            break;
          case 'hcenter':
            o.x = (W - o.w) / 2;
            break;
          case 'right':
            o.x = W - o.w;
            break;
          case 'top':
            o.y = 0;
            break;
          case 'vcenter':
            o.y = (H - o.h) / 2;
            break;
          case 'bottom':
            o.y = H - o.h;
            break;
        }
      }
    });
  }

  /** Fits every object onto the page after a page-size change; the caller snapshots and emits. */
  clampObjectsToPage(): void {
    const W = this.doc.page.widthMm;
    const H = this.doc.page.heightMm;
    for (const o of this.doc.objects) {
      o.w = Math.min(o.w, W);
      o.h = Math.min(o.h, H);
      if (o.type === 'qrcode' && !keepsSymbolAspect(o)) {
        const side = Math.min(o.w, o.h, W, H);
        o.w = side;
        o.h = side;
      }
      keepOnPage(o, this.doc);
    }
  }

  nudge(dx: number, dy: number): void {
    const targets = this.selected.filter((o) => !o.locked);
    if (targets.length === 0) return;
    this.snapshot('nudge');
    for (const o of targets) {
      o.x += dx;
      o.y += dy;
      keepOnPage(o, this.doc);
    }
    this.commit();
  }

  setZoom(zoom: number): void {
    this.zoom = clamp(Number.isFinite(zoom) ? zoom : 1, ZOOM_MIN, ZOOM_MAX);
    this.emit();
  }

  /** Installing data is not an edit: no undo step and the document stays as dirty as it was. */
  setDataset(dataset: Dataset | null): void {
    this.dataset = dataset;
    this.recordIndex = 0;
    this.revision += 1;
    this.emit();
  }

  /** An import that replaces the data set: one undo step brings the previous one back. */
  importDataset(dataset: Dataset): void {
    this.snapshot();
    this.dataAt.set(this.undoStack[this.undoStack.length - 1], {
      dataset: this.dataset,
      record: this.recordIndex,
    });
    this.setDataset(dataset);
  }

  setRecord(index: number): void {
    if (!this.dataset) return;
    const last = Math.max(0, this.dataset.rows.length - 1);
    const next = clamp(Math.round(Number.isFinite(index) ? index : 0), 0, last);
    if (next === this.recordIndex) return;
    this.recordIndex = next;
    this.emit();
  }

  dataContext(): MergeContext {
    if (!this.dataset) return {};
    return {
      row: this.dataset.rows[this.recordIndex],
      index: this.recordIndex,
      total: this.dataset.rows.length,
    };
  }
}
