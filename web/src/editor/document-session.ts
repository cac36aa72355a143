// Where the working document comes from and goes to: autosave, files, new and loaded documents.

import { loadDraft, removeDraft, saveDraft } from '../document/draft';
import {
  DOCUMENT_FILE_TYPE,
  documentFileName,
  parseDocumentText,
  serializeDocument,
} from '../document/files';
import { createDocument } from '../document/factory';
import type { LabelDocument } from '../document/model';
import { defaultStorage, type KeyValueStorage } from '../document/storage';
import { createSampleDocument } from '../document/templates';
import type { HintTone, StatusState } from '../page/status';
import type { DocumentStore } from './store';

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
    readonly storage: KeyValueStorage = defaultStorage(),
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

  /** A full storage silently skips the draft. */
  writeDraft(): boolean {
    if (this.demo) return false;
    return saveDraft(this.store.doc, this.store.dataset, this.storage);
  }

  /** On page close: the draft is written at once when dirty; true asks the browser to confirm. */
  onPageClose(): boolean {
    if (!this.store.dirty) return false;
    this.cancelAutosave();
    this.writeDraft();
    return true;
  }

  confirmDiscard(): boolean {
    return !this.store.dirty || this.hooks.confirm(DISCARD_QUESTION);
  }

  loadDocument(doc: LabelDocument, dirty = false): void {
    this.hooks.beforeLoad?.();
    removeDraft(this.storage);
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
    removeDraft(this.storage);
    this.cancelAutosave();
    this.hooks.setStatus('online', '已保存');
  }

  /** Opens a file's text; a failure leaves the working document as it was. */
  openText(fileName: string, text: string): boolean {
    let doc: LabelDocument;
    try {
      doc = parseDocumentText(text);
    } catch (error) {
      this.hooks.setStatus('error', `打开失败：${failureText(error)}`);
      return false;
    }
    this.loadDocument(doc, false);
    this.hooks.setStatus('online', `已打开 ${fileName}`);
    this.hooks.showHint(`已打开「${doc.name}」，共 ${doc.objects.length} 个对象`);
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
 * data set), else the store's fresh document. True when a draft was restored.
 */
export function startDocument(
  store: DocumentStore,
  demo: boolean,
  storage: KeyValueStorage = defaultStorage(),
): boolean {
  if (demo) {
    store.reset(createSampleDocument(), false);
    return false;
  }
  const draft = loadDraft(storage);
  if (!draft) return false;
  store.reset(draft.doc, true);
  if (draft.dataset) store.setDataset(draft.dataset);
  return true;
}
