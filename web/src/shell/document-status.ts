// The status bar's object count and page size, the document name in the title bar and the
// browser tab's title, refreshed on every store change; unchanged texts are not written again.
import type { LabelDocument } from '../document/model';
import type { Elements } from '../page/elements';
import { writeText, writeTitle } from '../page/write';

export interface DocumentStatusTexts {
  light: string;
  docName: string;
  title: string;
}

export function documentStatusTexts(doc: LabelDocument, dirty: boolean): DocumentStatusTexts {
  return {
    light: `${doc.objects.length} 个对象 · ${doc.page.widthMm}×${doc.page.heightMm}mm`,
    docName: dirty ? `${doc.name} ·未保存` : doc.name,
    title: `${dirty ? '● ' : ''}${doc.name} · Sorvendale`,
  };
}

export function showDocumentStatus(
  el: Pick<Elements, 'status-light' | 'doc-name'>,
  doc: LabelDocument,
  dirty: boolean,
): void {
  const texts = documentStatusTexts(doc, dirty);
  writeText(el['status-light'], texts.light);
  writeText(el['doc-name'], texts.docName);
  writeTitle(document, texts.title);
}
