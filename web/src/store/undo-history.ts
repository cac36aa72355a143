// The undo history of the working document: snapshots before each edit, merged when the same
// kind of edit repeats quickly (a held arrow key), and the data set an import replaced.

import { cloneDocument } from '../document/copy';
import type { LabelDocument } from '../document/model';
import type { Dataset } from '../merge/types';

export const UNDO_DEPTH = 60;
export const COALESCE_MS = 700;

/** The data set and record shown with a history entry, for the entries an import made. */
export interface DataState {
  dataset: Dataset | null;
  record: number;
}

export class UndoHistory {
  /** Older documents, the newest last. */
  readonly past: LabelDocument[] = [];
  /** Undone documents, the next to redo last. */
  readonly future: LabelDocument[] = [];
  private readonly dataAt = new WeakMap<LabelDocument, DataState>();
  private lastKey = '';
  private lastAt = 0;

  get canUndo(): boolean {
    return this.past.length > 0;
  }

  get canRedo(): boolean {
    return this.future.length > 0;
  }

  /**
   * Keeps a copy of `doc` to come back to. An edit with the same non-empty `key` within
   * `COALESCE_MS` of the last one joins its step instead.
   */
  record(doc: LabelDocument, key = ''): void {
    const now = Date.now();
    if (key !== '' && key === this.lastKey && now - this.lastAt < COALESCE_MS) {
      this.lastAt = now;
      return;
    }
    this.past.push(cloneDocument(doc));
    if (this.past.length > UNDO_DEPTH) this.past.splice(0, this.past.length - UNDO_DEPTH);
    this.future.length = 0;
    this.lastKey = key;
    this.lastAt = now;
  }

  /** The data state that undoing the newest entry brings back. */
  attachData(data: DataState): void {
    const newest = this.past[this.past.length - 1];
    if (newest) this.dataAt.set(newest, data);
  }

  /** One step back: the document to show and the data state it brings, if any. */
  undo(current: LabelDocument, data: DataState) {
    return this.step(this.past, this.future, current, data);
  }

  redo(current: LabelDocument, data: DataState) {
    return this.step(this.future, this.past, current, data);
  }

  clear(): void {
    this.past.length = 0;
    this.future.length = 0;
    this.lastKey = '';
  }

  private step(
    from: LabelDocument[],
    to: LabelDocument[],
    current: LabelDocument,
    data: DataState,
  ): { doc: LabelDocument; data?: DataState } | undefined {
    const next = from.pop();
    if (!next) return undefined;
    const kept = cloneDocument(current);
    to.push(kept);
    const restored = this.dataAt.get(next);
    if (restored) this.dataAt.set(kept, data);
    // An edit right after an undo starts its own step, never merging into the undone one.
    this.lastKey = '';
    return { doc: next, data: restored };
  }
}
