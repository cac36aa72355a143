// Where the working document comes from and goes to: autosave, files, new and loaded documents.

import type { RecordBackend } from '../document/database';
import { loadDraft, type Draft } from '../document/draft';
import {
  DOCUMENT_FILE_TYPE,
  documentFileName,
  readDocumentFile,
  serializeDocument,
} from '../document/files';
import { createDocument } from '../document/factory';
import { TEXT_FIELDS } from '../document/field-table';
import { textCutHint } from '../document/sanitize';
import type { LabelDocument } from '../document/model';
import { createSampleDocument } from '../document/templates';
import type { HintTone, StatusState } from '../page/status';
import type { DraftKeeper } from './draft-keeper';
import type { DocumentStore } from '../store/document-store';

export const AUTOSAVE_DELAY_MS = 500;
export const DISCARD_QUESTION = '当前文档有未保存的改动，确定要放弃吗？';

export interface SessionHooks {
  confirm(message: string): boolean;
  download(fileName: string, text: string, type: string): void;
  setStatus(state: StatusState, text: string): void;
  showHint(text: string, tone?: HintTone): void;
  /** Render caches, zoom fit, property panel and toolbar, image preloading: the views' part of a load. */
  afterLoad?(doc: LabelDocument): void;
  beforeLoad?(): void;
  /** True while a print or a batch is under way: leaving the page then asks first. */
  printing?(): boolean;
}

/** An error renders as its kind, a colon, a blank and its message. */
export function failureText(error: unknown): string {
  return error instanceof Error ? `${error.name}: ${error.message}` : String(error);
}

export class DocumentSession {
  private timer: ReturnType<typeof setTimeout> | undefined;

  constructor(
    readonly store: DocumentStore,
    readonly hooks: SessionHooks,
    readonly demo = false,
    readonly keeper?: DraftKeeper,
  ) {
    store.subscribe(() => this.scheduleAutosave());
  }

  /** Restarted by every change while dirty, so the draft lands 500 ms after the last one. */
  scheduleAutosave(): void {
    if (this.demo || !this.store.dirty) return;
    this.cancelAutosave();
    this.timer = setTimeout(() => {
      this.timer = undefined;
      this.writeDraft();
    }, AUTOSAVE_DELAY_MS);
  }

  cancelAutosave(): void {
    if (this.timer !== undefined) clearTimeout(this.timer);
    this.timer = undefined;
  }

  /** Resolves to whether the draft landed; the keeper tells the user when it did not. */
  writeDraft(): Promise<boolean> {
    if (this.demo || !this.keeper) return Promise.resolve(false);
    return this.keeper.save(this.store.doc, this.store.dataset);
  }

  /**
   * On page close: the draft is written at once when dirty; true asks the browser to confirm,
   * also while a print or a batch is under way.
   */
  onPageClose(): boolean {
    const printing = this.hooks.printing?.() ?? false;
    if (!this.store.dirty) return printing;
    this.cancelAutosave();
    void this.writeDraft();
    return true;
  }

  confirmDiscard(): boolean {
    return !this.store.dirty || this.hooks.confirm(DISCARD_QUESTION);
  }

  loadDocument(doc: LabelDocument, dirty = false): void {
    this.hooks.beforeLoad?.();
    void this.keeper?.remove();
    this.cancelAutosave();
    this.store.reset(doc, dirty);
    this.cancelAutosave();
    // A hint about the old document (a failed picture, a print) would mislead about the new one.
    this.hooks.showHint('');
    this.hooks.afterLoad?.(doc);
  }

  saveToFile(): void {
    const doc = this.store.doc;
    this.hooks.download(documentFileName(doc), serializeDocument(doc), DOCUMENT_FILE_TYPE);
    this.store.markSaved();
    void this.keeper?.remove();
    this.cancelAutosave();
    this.hooks.setStatus('online', '已保存');
  }

  /** Opens a file's text; a failure leaves the working document as it was. */
  openText(fileName: string, text: string): boolean {
    let doc: LabelDocument;
    let textCut: boolean;
    try {
      ({ doc, textCut } = readDocumentFile(text));
    } catch (error) {
      this.hooks.setStatus('error', `打开失败：${failureText(error)}`);
      return false;
    }
    this.loadDocument(doc, false);
    this.hooks.setStatus('online', `已打开 ${fileName}`);
    const opened = `已打开「${doc.name}」，共 ${doc.objects.length} 个对象`;
    if (textCut)
      this.hooks.showHint(`${opened}；${textCutHint(TEXT_FIELDS.text.maxLength)}`, 'error');
    else this.hooks.showHint(opened);
    return true;
  }

  newDocument(): boolean {
    if (!this.confirmDiscard()) return false;
    this.loadDocument(createDocument(), false);
    this.hooks.setStatus('idle', '新建标签');
    return true;
  }
}

export const DRAFT_RESTORED_HINT = '已恢复上次未保存的编辑；保存后会清除草稿。';

/**
 * Start-up document: the sample in demo mode (not dirty), else a valid draft (dirty, with its
 * data set), else the store's fresh document. Resolves to the restored draft, if any.
 */
export async function startDocument(
  store: DocumentStore,
  demo: boolean,
  backend: Promise<RecordBackend>,
): Promise<Draft | undefined> {
  if (demo) {
    store.reset(createSampleDocument(), false);
    return undefined;
  }
  const draft = await loadDraft(await backend);
  if (!draft) return undefined;
  store.reset(draft.doc, true);
  if (draft.dataset) store.setDataset(draft.dataset);
  return draft;
}
