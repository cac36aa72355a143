// Templates the user saved on this machine: newest first, at most 50.

import { cutText, isPlainObject, member } from './fields';
import { newId } from './ids';
import { cloneDocument } from './copy';
import type { LabelDocument } from './model';
import { sanitizeDocument } from './sanitize';
import {
  defaultStorage,
  readJsonKey,
  STORAGE_KEYS,
  writeJsonKey,
  type KeyValueStorage,
} from './storage';

export const USER_TEMPLATE_LIMIT = 50;
export const USER_TEMPLATE_CATEGORY = '我的模板';

export interface UserTemplate {
  id: string;
  name: string;
  category: string;
  description: string;
  savedAt: number;
  doc: LabelDocument;
}

/** Stored entries that still hold a valid document, repaired, newest first. */
export function loadUserTemplates(
  storage: KeyValueStorage = defaultStorage(),
  now: number = Date.now(),
): UserTemplate[] {
  const value = readJsonKey(STORAGE_KEYS.userTemplates, storage);
  if (!Array.isArray(value)) return [];
  const out: UserTemplate[] = [];
  for (const entry of value) {
    if (!isPlainObject(entry)) continue;
    const name = member(entry, 'name');
    const rawDoc = member(entry, 'doc');
    if (typeof name !== 'string' || rawDoc === undefined) continue;
    let doc: LabelDocument;
    try {
      doc = sanitizeDocument(rawDoc);
    } catch {
      continue;
    }
    const id = member(entry, 'id');
    const category = member(entry, 'category');
    const description = member(entry, 'description');
    const savedAt = member(entry, 'savedAt');
    out.push({
      id: typeof id === 'string' && id !== '' ? id : `u${now.toString(36)}`,
      name: cutText(name, 60),
      category: typeof category === 'string' ? category : USER_TEMPLATE_CATEGORY,
      description: typeof description === 'string' ? cutText(description, 120) : '',
      savedAt: typeof savedAt === 'number' && Number.isFinite(savedAt) ? savedAt : now,
      doc,
    });
  }
  return out.sort((a, b) => b.savedAt - a.savedAt);
}

/** Saves a copy of the document as the newest template; false when storage refused it. */
export function saveUserTemplate(
  name: string,
  doc: LabelDocument,
  storage: KeyValueStorage = defaultStorage(),
  now: number = Date.now(),
  description = '',
): boolean {
  const trimmed = cutText(name.trim(), 60);
  const entry: UserTemplate = {
    id: newId('u', { now, random: 5 }),
    name: trimmed === '' ? cutText(doc.name, 60) : trimmed,
    category: USER_TEMPLATE_CATEGORY,
    description: cutText(description, 120),
    savedAt: now,
    doc: sanitizeDocument(cloneDocument(doc)),
  };
  const list = [entry, ...loadUserTemplates(storage, now)].slice(0, USER_TEMPLATE_LIMIT);
  return writeJsonKey(STORAGE_KEYS.userTemplates, list, storage);
}

export function deleteUserTemplate(
  id: string,
  storage: KeyValueStorage = defaultStorage(),
): boolean {
  const list = loadUserTemplates(storage).filter((t) => t.id !== id);
  return writeJsonKey(STORAGE_KEYS.userTemplates, list, storage);
}
