// Deep copies go through JSON everywhere, matching what a save and reopen would give.

import type { LabelDocument } from './model';

export function deepCopy<T>(value: T): T {
  return JSON.parse(JSON.stringify(value)) as T;
}

export function cloneDocument(doc: LabelDocument): LabelDocument {
  return deepCopy(doc);
}
