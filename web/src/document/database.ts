// Where the draft, the user templates and the print history live: one IndexedDB database with a
// store per kind, or, where the browser refuses IndexedDB, local storage under the old keys.
// Reads tolerate anything; writes say whether they landed and, if not, why.

import { isPlainObject, member } from './fields';
import { readJsonKey, removeKey, STORAGE_KEYS, type KeyValueStorage } from './storage';

export const DATABASE_NAME = 'sorvendale';
export const DATABASE_VERSION = 2;
export const RECORD_KINDS = ['draft', 'templates', 'history'] as const;
/** What a reprint needs: documents as printed, and data sets stored once by content hash. */
export const SNAPSHOT_KINDS = ['snapshots', 'datasets'] as const;
export type RecordKind = (typeof RECORD_KINDS)[number] | (typeof SNAPSHOT_KINDS)[number];

/** The keys of the local-storage records, which IndexedDB replaces. */
export const LEGACY_KEYS: Record<(typeof RECORD_KINDS)[number], string> = {
  draft: STORAGE_KEYS.draft,
  templates: STORAGE_KEYS.userTemplates,
  history: STORAGE_KEYS.printHistory,
};
const LOCAL_BATCH_KEY = STORAGE_KEYS.draftBatch;

export interface StoredRecord {
  key: string;
  value: unknown;
}

export interface WriteResult {
  ok: boolean;
  /** Why the write failed, for the user; empty when it landed. */
  reason: string;
}

/** Applied as one transaction: `clear` first, then `remove`, then `put`. */
export interface RecordChange {
  clear?: boolean;
  remove?: readonly string[];
  put?: readonly StoredRecord[];
}

export interface RecordBackend {
  readonly where: 'indexeddb' | 'local';
  readAll(kind: RecordKind): Promise<StoredRecord[]>;
  /** One record, without reading the others (snapshots are large). */
  readOne?(kind: RecordKind, key: string): Promise<unknown>;
  readKeys?(kind: RecordKind): Promise<string[]>;
  write(kind: RecordKind, change: RecordChange): Promise<WriteResult>;
}

export const QUOTA_REASON = '浏览器存储空间已满';
export const LOCAL_SNAPSHOT_REASON = '本地存储不保存重印快照';

/** A full storage reads as such; anything else as its kind and message. */
export function storageFailureReason(error: unknown): string {
  const name = error instanceof Error || error instanceof DOMException ? error.name : '';
  const message = error instanceof Error || error instanceof DOMException ? error.message : '';
  if (name === 'QuotaExceededError' || /quota/i.test(message)) return QUOTA_REASON;
  if (name === '' && message === '') return `浏览器拒绝写入（${String(error)}）`;
  return `浏览器拒绝写入（${name}${message ? `: ${message}` : ''}）`;
}

const ok: WriteResult = { ok: true, reason: '' };
const failed = (error: unknown): WriteResult => ({
  ok: false,
  reason: storageFailureReason(error),
});

function requestResult<T>(request: IDBRequest<T>): Promise<T> {
  return new Promise((resolve, reject) => {
    request.onsuccess = () => resolve(request.result);
    request.onerror = () => reject(request.error ?? new Error('IndexedDB request failed'));
  });
}

class IndexedDbBackend implements RecordBackend {
  readonly where = 'indexeddb';
  constructor(private readonly db: IDBDatabase) {}

  async readAll(kind: RecordKind): Promise<StoredRecord[]> {
    try {
      const store = this.db.transaction(kind, 'readonly').objectStore(kind);
      const [keys, values] = await Promise.all([
        requestResult(store.getAllKeys()),
        requestResult(store.getAll()),
      ]);
      return keys.map((key, i) => ({ key: String(key), value: values[i] as unknown }));
    } catch {
      return [];
    }
  }

  async readOne(kind: RecordKind, key: string): Promise<unknown> {
    try {
      return await requestResult(this.db.transaction(kind, 'readonly').objectStore(kind).get(key));
    } catch {
      return undefined;
    }
  }

  async readKeys(kind: RecordKind): Promise<string[]> {
    try {
      const store = this.db.transaction(kind, 'readonly').objectStore(kind);
      return (await requestResult(store.getAllKeys())).map(String);
    } catch {
      return [];
    }
  }

  write(kind: RecordKind, change: RecordChange): Promise<WriteResult> {
    return new Promise((resolve) => {
      try {
        const tx = this.db.transaction(kind, 'readwrite');
        tx.oncomplete = () => resolve(ok);
        tx.onerror = (event) => event.preventDefault();
        tx.onabort = () => resolve(failed(tx.error ?? new Error('aborted')));
        const store = tx.objectStore(kind);
        try {
          if (change.clear) store.clear();
          for (const key of change.remove ?? []) store.delete(key);
          for (const record of change.put ?? []) store.put(record.value, record.key);
        } catch (error) {
          // A value that cannot be cloned or a refused put: nothing of the change is kept.
          tx.abort();
          resolve(failed(error));
        }
      } catch (error) {
        resolve(failed(error));
      }
    });
  }
}

/** The database, or nothing when the browser refuses it or does not answer in time. */
export function openIndexedDb(
  factory: IDBFactory | undefined = (globalThis as { indexedDB?: IDBFactory }).indexedDB,
  timeoutMs = 5000,
): Promise<RecordBackend | undefined> {
  return new Promise((resolve) => {
    if (!factory) return resolve(undefined);
    const timer = setTimeout(() => resolve(undefined), timeoutMs);
    const done = (backend: RecordBackend | undefined) => {
      clearTimeout(timer);
      resolve(backend);
    };
    try {
      const request = factory.open(DATABASE_NAME, DATABASE_VERSION);
      request.onupgradeneeded = () => {
        for (const kind of [...RECORD_KINDS, ...SNAPSHOT_KINDS])
          if (!request.result.objectStoreNames.contains(kind))
            request.result.createObjectStore(kind);
      };
      request.onsuccess = () => {
        const db = request.result;
        // A newer page in another tab upgrades the database: this one steps aside.
        db.onversionchange = () => db.close();
        done(new IndexedDbBackend(db));
      };
      request.onerror = () => done(undefined);
      request.onblocked = () => done(undefined);
    } catch {
      done(undefined);
    }
  });
}

/** Records kept in an array under one key are keyed by their `id`. */
function recordId(value: unknown, fallback: string): string {
  const id = isPlainObject(value) ? member(value, 'id') : undefined;
  return typeof id === 'string' && id !== '' ? id : fallback;
}

/**
 * Today's local-storage layout: the draft as one object (its batch position beside it), the
 * templates and the history as arrays, newest first.
 */
export function localBackend(storage: KeyValueStorage): RecordBackend {
  const draftKey = (key: string) => (key === 'batch' ? LOCAL_BATCH_KEY : LEGACY_KEYS.draft);
  const list = (kind: keyof typeof LEGACY_KEYS): StoredRecord[] => {
    const value = readJsonKey(LEGACY_KEYS[kind], storage);
    if (!Array.isArray(value)) return [];
    return value.map((entry: unknown, i) => ({ key: recordId(entry, `#${i}`), value: entry }));
  };
  return {
    where: 'local',
    readAll(kind) {
      if (kind === 'snapshots' || kind === 'datasets') return Promise.resolve([]);
      if (kind !== 'draft') return Promise.resolve(list(kind));
      const out: StoredRecord[] = [];
      for (const key of ['current', 'batch']) {
        const value = readJsonKey(draftKey(key), storage);
        if (value !== undefined) out.push({ key, value });
      }
      return Promise.resolve(out);
    },
    write(kind, change) {
      const write = (key: string, value: unknown): WriteResult => {
        try {
          storage.setItem(key, JSON.stringify(value));
          return ok;
        } catch (error) {
          return failed(error);
        }
      };
      // A few megabytes hold no reprint snapshots; the history entries themselves still fit.
      if (kind === 'snapshots' || kind === 'datasets')
        return Promise.resolve({ ok: false, reason: LOCAL_SNAPSHOT_REASON });
      if (kind === 'draft') {
        if (change.clear) for (const key of ['current', 'batch']) removeKey(draftKey(key), storage);
        for (const key of change.remove ?? []) removeKey(draftKey(key), storage);
        for (const record of change.put ?? []) {
          const result = write(draftKey(record.key), record.value);
          if (!result.ok) return Promise.resolve(result);
        }
        return Promise.resolve(ok);
      }
      const gone = new Set([...(change.remove ?? []), ...(change.put ?? []).map((r) => r.key)]);
      const kept = change.clear ? [] : list(kind).filter((r) => !gone.has(r.key));
      const next = [...(change.put ?? []), ...kept].map((r) => r.value);
      return Promise.resolve(write(LEGACY_KEYS[kind], next));
    },
  };
}

/**
 * Moves the records under the old local-storage keys into the database, each kind in one
 * transaction; a key is removed only once its records are stored, so a failed move keeps them.
 */
export async function migrateLocalRecords(
  db: RecordBackend,
  storage: KeyValueStorage,
): Promise<void> {
  for (const kind of RECORD_KINDS) {
    const value = readJsonKey(LEGACY_KEYS[kind], storage);
    if (value === undefined) continue;
    let put: StoredRecord[];
    if (kind === 'draft') put = [{ key: 'current', value }];
    else if (Array.isArray(value))
      put = value.map((entry: unknown, i) => {
        const key = recordId(entry, `${kind === 'templates' ? 'u' : 'p'}legacy${i}`);
        // Without an id a record could not be deleted later; it takes its key as id.
        return { key, value: isPlainObject(entry) ? { ...entry, id: key } : entry };
      });
    else put = [];
    if ((await db.write(kind, { put })).ok) removeKey(LEGACY_KEYS[kind], storage);
  }
  removeKey(LOCAL_BATCH_KEY, storage);
}

export interface RecordStorage {
  backend: RecordBackend;
  /** Why IndexedDB could not be used, when the records fell back to local storage. */
  fallback?: string;
}

let opened: Promise<RecordStorage> | undefined;

/**
 * The page's record storage, opened once: the database with the old keys moved in and lasting
 * storage asked for, or local storage where IndexedDB is refused.
 */
export function recordStorage(storage: KeyValueStorage): Promise<RecordStorage> {
  opened ??= (async () => {
    const db = await openIndexedDb();
    if (!db) return { backend: localBackend(storage), fallback: '浏览器拒绝了 IndexedDB' };
    await migrateLocalRecords(db, storage);
    try {
      void navigator.storage?.persist?.().catch(() => false);
    } catch {
      // Lasting storage is a wish; the records are kept either way.
    }
    return { backend: db };
  })();
  return opened;
}
