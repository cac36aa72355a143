// The .svtpl file form of a document.

import type { LabelDocument } from './model';
import { sanitizeDocument } from './sanitize';

export const DOCUMENT_FILE_TYPE = 'application/json';
export const DOCUMENT_FILE_ACCEPT = '.svtpl,.json,application/json';

export function documentFileName(doc: LabelDocument): string {
  const base = doc.name.trim();
  return `${base === '' ? 'label' : base}.svtpl`;
}

/**
 * Two-space JSON in the stored field order. Going through the sanitiser puts fields that
 * editing appended out of order (such as `locked`) back in place.
 */
export function serializeDocument(doc: LabelDocument): string {
  return JSON.stringify(sanitizeDocument(doc), null, 2);
}

/** Parses and sanitises an opened file's text; throws the parser's or the sanitiser's error. */
export function parseDocumentText(text: string): LabelDocument {
  return sanitizeDocument(JSON.parse(text) as unknown);
}
