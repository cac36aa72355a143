// Browser side of the document session: downloads, the file chooser and page close.

import { DOCUMENT_FILE_ACCEPT } from '../document/files';
import { setStatus, showHint } from '../shell/status';
import { DocumentSession, failureText, type SessionHooks } from './document-session';
import type { DocumentStore } from './store';

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

/** Wires btn-new, btn-open, btn-save, doc-input and the page-close guard; returns the session. */
export function installDocumentFiles(
  store: DocumentStore,
  demo: boolean,
  extra: Pick<SessionHooks, 'afterLoad' | 'beforeLoad'> = {},
): DocumentSession {
  const session = new DocumentSession(
    store,
    {
      confirm: (message) => window.confirm(message),
      download: downloadText,
      setStatus,
      showHint,
      ...extra,
    },
    demo,
  );
  const input = document.getElementById('doc-input') as HTMLInputElement | null;
  if (input) input.accept = DOCUMENT_FILE_ACCEPT;
  document.getElementById('btn-save')?.addEventListener('click', () => session.saveToFile());
  document.getElementById('btn-new')?.addEventListener('click', () => session.newDocument());
  document.getElementById('btn-open')?.addEventListener('click', () => {
    if (session.confirmDiscard()) input?.click();
  });
  input?.addEventListener('change', () => {
    const file = input.files?.[0];
    input.value = '';
    if (!file) return;
    file.text().then(
      (text) => session.openText(file.name, text),
      (error: unknown) => setStatus('error', `打开失败：${failureText(error)}`),
    );
  });
  window.addEventListener('beforeunload', (event) => {
    if (session.onPageClose()) event.preventDefault();
  });
  return session;
}
