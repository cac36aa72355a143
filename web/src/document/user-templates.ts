// Templates the user saved on this machine: newest first, at most 50.

import { cutText, isPlainObject, member } from './fields';
import { newId } from './ids';
import { cloneDocument } from './copy';
import type { LabelDocument } from './model';
import { sanitizeDocument } from './sanitize';
import type { RecordBackend, WriteResult } from './database';

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
export async function loadUserTemplates(
  backend: RecordBackend,
  now: number = Date.now(),
): Promise<UserTemplate[]> {
  const out: UserTemplate[] = [];
  for (const { key, value: entry } of await backend.readAll('templates')) {
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
      id: typeof id === 'string' && id !== '' ? id : key,
      name: cutText(name, 60),
      category: typeof category === 'string' ? category : USER_TEMPLATE_CATEGORY,
      description: typeof description === 'string' ? cutText(description, 120) : '',
      savedAt: typeof savedAt === 'number' && Number.isFinite(savedAt) ? savedAt : now,
      doc,
    });
  }
  return out.sort((a, b) => b.savedAt - a.savedAt);
}

/** Saves a copy of the document as the newest template; says whether the write landed. */
export async function saveUserTemplate(
  name: string,
  doc: LabelDocument,
  backend: RecordBackend,
  now: number = Date.now(),
  description = '',
): Promise<WriteResult> {
  const trimmed = cutText(name.trim(), 60);
  const entry: UserTemplate = {
    id: newId('u', { now, random: 5 }),
    name: trimmed === '' ? cutText(doc.name, 60) : trimmed,
    category: USER_TEMPLATE_CATEGORY,
    description: cutText(description, 120),
    savedAt: now,
    doc: sanitizeDocument(cloneDocument(doc)),
  };
  // The oldest beyond the limit go in the same transaction as the new one.
  const older = (await loadUserTemplates(backend, now)).slice(USER_TEMPLATE_LIMIT - 1);
  return backend.write('templates', {
    remove: older.map((t) => t.id),
    put: [{ key: entry.id, value: entry }],
  });
}

export function deleteUserTemplate(id: string, backend: RecordBackend): Promise<WriteResult> {
  return backend.write('templates', { remove: [id] });
}
