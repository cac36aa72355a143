// Browser storage behind a small interface: every key and preference the designer keeps. Reads
// tolerate anything, writes report and never throw. Local storage keeps the small preferences;
// the draft, templates and history live in the record database (database.ts), under these keys
// only where IndexedDB is refused.

export interface KeyValueStorage {
  getItem(key: string): string | null;
  setItem(key: string, value: string): void;
  removeItem(key: string): void;
}

export const STORAGE_KEYS = {
  draft: 'sorvendale.draft.v1',
  /** The running batch's position beside the draft, where records fall back to local storage. */
  draftBatch: 'sorvendale.draft-batch.v1',
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

export const THEME_CHOICES = ['system', 'dark', 'light'] as const;
export type ThemeChoice = (typeof THEME_CHOICES)[number];

/** Anything but one of the three choices reads as "system". */
export function parseTheme(value: unknown): ThemeChoice {
  return THEME_CHOICES.find((c) => c === value) ?? 'system';
}

/** The theme is kept as plain text; an unreadable storage just means it isn't remembered. */
export function readThemePreference(storage: KeyValueStorage = defaultStorage()): ThemeChoice {
  return parseTheme(readTextKey(STORAGE_KEYS.theme, storage));
}

export function writeThemePreference(
  choice: ThemeChoice,
  storage: KeyValueStorage = defaultStorage(),
): boolean {
  return writeTextKey(STORAGE_KEYS.theme, choice, storage);
}

/** The remembered printer name, plain text; empty when there is none. */
export function readPrinterPreference(storage: KeyValueStorage = defaultStorage()): string {
  return readTextKey(STORAGE_KEYS.printer, storage) ?? '';
}

export function writePrinterPreference(
  name: string,
  storage: KeyValueStorage = defaultStorage(),
): boolean {
  return writeTextKey(STORAGE_KEYS.printer, name, storage);
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
