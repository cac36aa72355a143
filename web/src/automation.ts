// The automation hook `window.__sv`, for scripted checks of the running designer. It sits at the
// top, beside main.ts: it only gathers what the areas' install functions handed back.

import { copyContext } from './compose/copies';
import { sanitizeDocument } from './document/sanitize';
import type { DocumentStore } from './store/document-store';
import { parseCsv } from './merge/csv';
import { resolvePlaceholders } from './merge/placeholders';
import type { MergeContext } from './merge/types';
import type { CallService } from './service/client';

/** The members the store, the client and the model give. */
export interface CoreMembers {
  store: DocumentStore;
  call: CallService;
  resolve(text: string): string;
  resolveCopy(text: string, copy: number): string;
  copyContexts(): MergeContext[];
  parseDoc: typeof sanitizeDocument;
  parseCsv: typeof parseCsv;
}

/** The members the print and editor areas hand back from their install functions. */
export interface AreaMembers {
  /** Single print as a dry run. */
  printDry(): Promise<unknown>;
  /** Batch print as a dry run, without the confirmation. */
  batchDry(): Promise<unknown>;
  print(): Promise<unknown>;
  preview(): Promise<unknown>;
  /** The last print request sent, or nothing; read when asked for (a getter). */
  readonly lastPrintRequest: unknown;
  /** Copies of the current snapping guides. */
  readonly guides: { x: number[]; y: number[] };
}

/** Beyond the thirteen: what scripted checks wait on, and what benchmarks read. */
export interface WaitMembers {
  /** Settles when the data import under way (if any) has finished. */
  dataImported(): Promise<void>;
  /** Rows and symbols read back before printing so far, and the milliseconds it took. */
  readonly readBack: { rows: number; symbols: number; ms: number };
}

/** All thirteen members (and the waits); an area not installed leaves its members out. */
export type AutomationHook = CoreMembers & Partial<AreaMembers & WaitMembers>;

declare global {
  interface Window {
    __sv?: AutomationHook;
  }
}

/**
 * Installs the hook with the store-derived members and whatever the areas add (one object per
 * area); getters stay getters, so values such as the last print request are read when asked for.
 */
export function installAutomation(
  store: DocumentStore,
  call: CallService,
  ...extras: Partial<AreaMembers & WaitMembers>[]
): AutomationHook {
  const hook: CoreMembers = {
    store,
    call,
    resolve: (text: string) => resolvePlaceholders(text, store.dataContext()),
    resolveCopy: (text: string, copy: number) =>
      resolvePlaceholders(text, copyContext(store, copy) ?? {}),
    copyContexts: () => {
      const n = Math.max(1, Math.round(store.doc.print.copies));
      const out: MergeContext[] = [];
      for (let k = 0; k < n; k++) {
        const c = copyContext(store, k);
        if (c) out.push(c);
      }
      return out;
    },
    parseDoc: sanitizeDocument,
    parseCsv,
  };
  for (const extra of extras)
    Object.defineProperties(hook, Object.getOwnPropertyDescriptors(extra));
  window.__sv = hook;
  return hook as AutomationHook;
}
