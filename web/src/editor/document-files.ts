// Browser side of the document session: downloads, the file chooser and page close.

import type { RecordBackend } from '../document/database';
import { DOCUMENT_FILE_ACCEPT } from '../document/files';
import type { Elements } from '../page/elements';
import type { StatusLine } from '../page/status';
import { DocumentSession, failureText, type SessionHooks } from './document-session';
import { DraftKeeper } from './draft-keeper';
import type { DocumentStore } from '../store/document-store';

export function downloadText(fileName: string, text: string, type: string): void {
  const url = URL.createObjectURL(new Blob([text], { type }));
  const link = document.createElement('a');
  link.href = url;
  link.download = fileName;
  document.body.append(link);
  link.click();
  link.remove();
  setTimeout(() => URL.revokeObjectURL(url), 0);
}

export type DocumentFileElements = Pick<
  Elements,
  'btn-new' | 'btn-open' | 'btn-save' | 'doc-input'
>;

export interface DocumentFileDeps extends Pick<
  SessionHooks,
  'afterLoad' | 'beforeLoad' | 'printing'
> {
  status: StatusLine;
  demo: boolean;
  /** Where the draft is kept. */
  records: Promise<RecordBackend>;
}

/** Wires btn-new, btn-open, btn-save, doc-input and the page-close guard; returns the session. */
export function installDocumentFiles(
  el: DocumentFileElements,
  store: DocumentStore,
  deps: DocumentFileDeps,
): DocumentSession {
  const { status, demo, records, ...loadHooks } = deps;
  const keeper = new DraftKeeper(records, {
    setLastingHint: (key, hint) => status.setLastingHint?.(key, hint),
    resave: () => void session.writeDraft(),
  });
  // Demo mode writes no draft, so it never takes the draft from another tab.
  if (!demo) keeper.claim();
  const session: DocumentSession = new DocumentSession(
    store,
    {
      confirm: (message) => window.confirm(message),
      download: downloadText,
      setStatus: status.setStatus,
      showHint: status.showHint,
      ...loadHooks,
    },
    demo,
    keeper,
  );
  const input = el['doc-input'];
  input.accept = DOCUMENT_FILE_ACCEPT;
  el['btn-save'].addEventListener('click', () => session.saveToFile());
  el['btn-new'].addEventListener('click', () => session.newDocument());
  el['btn-open'].addEventListener('click', () => {
    if (session.confirmDiscard()) input.click();
  });
  input.addEventListener('change', () => {
    const file = input.files?.[0];
    input.value = '';
    if (!file) return;
    file.text().then(
      (text) => session.openText(file.name, text),
      (error: unknown) => status.setStatus('error', `打开失败：${failureText(error)}`),
    );
  });
  window.addEventListener('beforeunload', (event) => {
    if (session.onPageClose()) event.preventDefault();
  });
  return session;
}
