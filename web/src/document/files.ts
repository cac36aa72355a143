// The .svtpl file form of a document.

import type { LabelDocument } from './model';
import { TEXT_FIELDS } from './field-table';
import { isPlainObject, member, type PlainObject } from './fields';
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
  return readDocumentFile(text).doc;
}

/** An opened file's document, and whether a text object's text was longer than it may be. */
export function readDocumentFile(text: string): { doc: LabelDocument; textCut: boolean } {
  const raw = JSON.parse(text) as unknown;
  const doc = sanitizeDocument(raw);
  // sanitizeDocument has checked that raw is an object with an objects array.
  const objects = member(raw as PlainObject, 'objects') as unknown[];
  const textCut = objects.some((o) => {
    const t = isPlainObject(o) && member(o, 'type') === 'text' ? member(o, 'text') : undefined;
    return typeof t === 'string' && t.length > TEXT_FIELDS.text.maxLength;
  });
  return { doc, textCut };
}
