// The automation hook `window.__sv`, for scripted checks of the running designer.

import { copyContext } from '../compose/copies';
import { sanitizeDocument } from '../document/sanitize';
import { store, type DocumentStore } from '../editor/store';
import { parseCsv } from '../merge/csv';
import { resolvePlaceholders } from '../merge/placeholders';
import type { MergeContext } from '../merge/types';
import { callService, type CallService } from '../service/client';

export interface AutomationHook {
  store: DocumentStore;
  call: CallService;
  resolve(text: string): string;
  resolveCopy(text: string, copy: number): string;
  copyContexts(): MergeContext[];
  parseDoc: typeof sanitizeDocument;
  parseCsv: typeof parseCsv;
  [member: string]: unknown;
}

declare global {
  interface Window {
    __sv?: AutomationHook;
  }
}

export function installAutomation(): AutomationHook {
  const hook: AutomationHook = {
    ...(window.__sv ?? {}),
    store,
    call: callService,
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
  window.__sv = hook;
  return hook;
}

/** Other parts add their members here, before or after the hook is installed. */
export function extendAutomation(members: Record<string, unknown>): void {
  window.__sv = Object.assign(window.__sv ?? ({} as AutomationHook), members);
}
