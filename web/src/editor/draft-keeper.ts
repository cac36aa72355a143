// Who writes the draft and what the user hears about it: one tab at a time holds the draft (a
// Web Lock), a write that fails says so until one succeeds, and a running batch keeps its
// position beside the draft so a page opened after a cut-off batch can continue it.

import type { RecordBackend, WriteResult } from '../document/database';
import { removeDraft, saveBatchPosition, saveDraft, type BatchPosition } from '../document/draft';
import type { LabelDocument } from '../document/model';
import type { Dataset } from '../merge/types';
import type { LastingHint } from '../page/status';

export const DRAFT_LOCK_NAME = 'sorvendale.draft';
export const OTHER_TAB_HINT = '另一个窗口正在编辑标签，这里的修改不会自动保存';

export function draftFailedHint(reason: string): string {
  return `草稿未能保存：${reason}。请用「保存」把标签存到文件。`;
}

export interface KeeperHooks {
  setLastingHint(key: string, hint: LastingHint | undefined): void;
  /** Called when this tab takes the draft over with edits it could not save meanwhile. */
  resave(): void;
}

interface LockManagerLike {
  request(
    name: string,
    options: { ifAvailable?: boolean },
    callback: (lock: unknown) => Promise<unknown> | undefined,
  ): Promise<unknown>;
}

export class DraftKeeper {
  private backend: RecordBackend | undefined;
  private readonly pending: Promise<RecordBackend>;
  private writer = false;
  private missedEdits = false;
  private batchRunning = false;

  constructor(
    backend: Promise<RecordBackend>,
    readonly hooks: KeeperHooks,
  ) {
    this.pending = backend.then((b) => (this.backend = b));
  }

  /** Whether this tab holds the draft. */
  get holdsDraft(): boolean {
    return this.writer;
  }

  /**
   * Asks for the draft's lock: granted at once, or after the tab holding it closes. Without Web
   * Locks this tab simply holds it.
   */
  claim(locks: LockManagerLike | undefined = navigatorLocks()): void {
    if (!locks) {
      this.takeOver();
      return;
    }
    const hold = () => new Promise<never>(() => undefined);
    void locks.request(DRAFT_LOCK_NAME, { ifAvailable: true }, (lock) => {
      if (lock) {
        this.takeOver();
        return hold();
      }
      this.hooks.setLastingHint('tab', { text: OTHER_TAB_HINT, tone: 'info' });
      void locks.request(DRAFT_LOCK_NAME, {}, () => {
        this.takeOver();
        return hold();
      });
      return undefined;
    });
  }

  /** Without a lock manager (tests): this tab holds the draft. */
  takeOver(): void {
    this.writer = true;
    this.hooks.setLastingHint('tab', undefined);
    if (this.missedEdits) {
      this.missedEdits = false;
      this.hooks.resave();
    }
  }

  /** Writes the draft when this tab holds it; false when it did not land. */
  save(doc: LabelDocument, dataset: Dataset | null): Promise<boolean> {
    if (!this.writer) {
      this.missedEdits = true;
      return Promise.resolve(false);
    }
    return this.run((b) => saveDraft(doc, dataset, b));
  }

  remove(): Promise<boolean> {
    if (!this.writer) return Promise.resolve(false);
    this.batchRunning = false;
    return this.run((b) => removeDraft(b));
  }

  /**
   * A batch's position after each row, or none when it ended. Its first position also stores
   * the document and records, so a cut-off batch comes back with what it printed.
   */
  batchMoved(
    position: BatchPosition | undefined,
    current: { doc: LabelDocument; dataset: Dataset | null; dirty: boolean },
  ): void {
    if (!this.writer) return;
    if (position) {
      if (!this.batchRunning) void this.run((b) => saveDraft(current.doc, current.dataset, b));
      this.batchRunning = true;
      void this.run((b) => saveBatchPosition(position, b));
      return;
    }
    this.batchRunning = false;
    // A saved document needs no draft once its batch is through.
    if (current.dirty) void this.run((b) => saveBatchPosition(undefined, b));
    else void this.run((b) => removeDraft(b));
  }

  /** Forgets a cut-off batch's position (the user chose "忽略"). */
  forgetBatch(): void {
    if (this.writer) void this.run((b) => saveBatchPosition(undefined, b));
  }

  /**
   * Transactions start in call order: at once when the database is open (also while the page
   * closes), else in order once it is.
   */
  private async run(write: (b: RecordBackend) => Promise<WriteResult>): Promise<boolean> {
    const result = this.backend ? await write(this.backend) : await write(await this.pending);
    this.hooks.setLastingHint(
      'draft',
      result.ok ? undefined : { text: draftFailedHint(result.reason), tone: 'error' },
    );
    return result.ok;
  }
}

function navigatorLocks(): LockManagerLike | undefined {
  const nav = (globalThis as { navigator?: { locks?: LockManagerLike } }).navigator;
  return nav?.locks;
}
