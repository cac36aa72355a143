// The one store of the working document, selection, zoom, undo history and imported data. Every
// UI area reads it and changes the document through its methods, each one undo step.

import {
  alignObjects,
  clampObjectsToPage,
  duplicates,
  moveLayer,
  nudgeObjects,
  type AlignKind,
  type LayerDirection,
} from '../document/edits';
import { createDocument } from '../document/factory';
import { clamp } from '../document/fields';
import type { LabelDocument, LabelObject } from '../document/model';
import { isRotatable, rotateQuarter } from '../document/rotation';
import type { Dataset, MergeContext } from '../merge/types';
import { UndoHistory, type DataState } from './undo-history';

export { DUPLICATE_OFFSET_MM, type AlignKind, type LayerDirection } from '../document/edits';
export { COALESCE_MS, UNDO_DEPTH } from './undo-history';
export const ZOOM_MIN = 0.2;
export const ZOOM_MAX = 4;

export type Listener = (store: DocumentStore) => void;

export class DocumentStore {
  doc: LabelDocument = createDocument();
  selection: string[] = [];
  zoom = 1;
  revision = 0;
  dirty = false;
  dataset: Dataset | null = null;
  recordIndex = 0;
  readonly history = new UndoHistory();
  readonly listeners = new Set<Listener>();

  get canUndo(): boolean {
    return this.history.canUndo;
  }

  get canRedo(): boolean {
    return this.history.canRedo;
  }

  /** The documents an undo goes back through, the newest last. */
  get undoStack(): readonly LabelDocument[] {
    return this.history.past;
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
    this.history.record(this.doc, key);
  }

  touch(): void {
    this.dirty = true;
    this.emit();
  }

  preview(): void {
    this.emit();
  }

  /**
   * Ends a gesture that changed the document in place (a drag): what follows the document's
   * structure, such as the property panel, rebuilds once now rather than at every move.
   */
  endGesture(): void {
    this.revision += 1;
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
    this.step(this.history.undo(this.doc, this.dataState()));
  }

  redo(): void {
    this.step(this.history.redo(this.doc, this.dataState()));
  }

  private dataState(): DataState {
    return { dataset: this.dataset, record: this.recordIndex };
  }

  private step(to: { doc: LabelDocument; data?: DataState } | undefined): void {
    if (!to) return;
    if (to.data) {
      this.dataset = to.data.dataset;
      this.recordIndex = to.data.record;
    }
    this.doc = to.doc;
    const ids = new Set(to.doc.objects.map((o) => o.id));
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
    const copies = duplicates(this.doc, originals);
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
    this.update((doc) => moveLayer(doc.objects, index, direction));
  }

  align(kind: AlignKind): void {
    const targets = this.selected.filter((o) => !o.locked);
    if (targets.length === 0) return;
    this.update((doc) => alignObjects(targets, doc.page, kind));
  }

  /** Fits every object onto the page after a page-size change; the caller snapshots and emits. */
  clampObjectsToPage(): void {
    clampObjectsToPage(this.doc);
  }

  nudge(dx: number, dy: number): void {
    const targets = this.selected.filter((o) => !o.locked);
    if (targets.length === 0) return;
    this.snapshot('nudge');
    nudgeObjects(targets, this.doc.page, dx, dy);
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
    this.history.attachData(this.dataState());
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
