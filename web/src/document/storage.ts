// Browser storage behind a small interface: reads tolerate anything, writes report and never throw.

export interface KeyValueStorage {
  getItem(key: string): string | null;
  setItem(key: string, value: string): void;
  removeItem(key: string): void;
}

export const STORAGE_KEYS = {
  draft: 'sorvendale.draft.v1',
  printHistory: 'sorvendale.print-history.v1',
  userTemplates: 'sorvendale.user-templates.v1',
  printer: 'sorvendale.printer',
  theme: 'sorvendale.theme',
} as const;

const noStorage: KeyValueStorage = {
  getItem: () => null,
  setItem: () => {
    throw new Error('no storage');
  },
  removeItem: () => undefined,
};

/** The page's local storage, or a store that keeps nothing when the browser refuses access. */
export function defaultStorage(): KeyValueStorage {
  try {
    const storage = (globalThis as { localStorage?: KeyValueStorage }).localStorage;
    return storage ?? noStorage;
  } catch {
    return noStorage;
  }
}

export function readTextKey(
  key: string,
  storage: KeyValueStorage = defaultStorage(),
): string | undefined {
  try {
    return storage.getItem(key) ?? undefined;
  } catch {
    return undefined;
  }
}

export function writeTextKey(
  key: string,
  value: string,
  storage: KeyValueStorage = defaultStorage(),
): boolean {
  try {
    storage.setItem(key, value);
    return true;
  } catch {
    return false;
  }
}

/** Nothing when the key is absent or its text does not parse. */
export function readJsonKey(key: string, storage: KeyValueStorage = defaultStorage()): unknown {
  const text = readTextKey(key, storage);
  if (text === undefined) return undefined;
  try {
    return JSON.parse(text) as unknown;
  } catch {
    return undefined;
  }
}

export function writeJsonKey(
  key: string,
  value: unknown,
  storage: KeyValueStorage = defaultStorage(),
): boolean {
  let text: string;
  try {
    text = JSON.stringify(value);
  } catch {
    return false;
  }
  return writeTextKey(key, text, storage);
}

export function removeKey(key: string, storage: KeyValueStorage = defaultStorage()): boolean {
  try {
    storage.removeItem(key);
    return true;
  } catch {
    return false;
  }
}

/** An in-memory storage, for tests and for pages where local storage is unavailable. */
export class MemoryStorage implements KeyValueStorage {
  readonly items = new Map<string, string>();
  /** Writes longer than this many characters in total are refused, like a full browser storage. */
  constructor(private readonly quota = Number.POSITIVE_INFINITY) {}
  getItem(key: string): string | null {
    return this.items.get(key) ?? null;
  }
  setItem(key: string, value: string): void {
    let used = value.length;
    for (const [k, v] of this.items) if (k !== key) used += v.length;
    if (used > this.quota) throw new Error('QuotaExceededError');
    this.items.set(key, String(value));
  }
  removeItem(key: string): void {
    this.items.delete(key);
  }
}
