// The print settings dialog: the document's print settings, applied as one undo step.

import { readPrinterOffset } from '../document/printer-profiles';
import type { DocumentStore } from '../editor/store';
import type { Elements } from '../page/elements';
import { closeSheet, openSheet } from '../page/sheets';
import type { StatusLine } from '../page/status';
import type { PrinterView } from './dispatch';
import { EMPTY_CANVAS } from './dispatch';
import {
  copyHint,
  dialogCopies,
  readDialog,
  SEQUENCE_NEEDS_DATA,
  summaryEntries,
  type DialogFields,
} from './rules';

export type PrintDialogElements = Pick<
  Elements,
  | 'print-sheet'
  | 'print-close'
  | 'print-summary'
  | 'print-copies'
  | 'print-columns'
  | 'print-copy-mode'
  | 'print-odd-align'
  | 'print-orientation'
  | 'print-offset-x'
  | 'print-offset-y'
  | 'print-density'
  | 'print-speed'
  | 'print-copy-hint'
  | 'print-cancel'
  | 'print-confirm'
>;

export interface PrintDialogDeps {
  store: DocumentStore;
  status: StatusLine;
  printer: () => PrinterView;
  /** What confirming starts once the settings are in the document. */
  print: () => void;
}

function sequenceOption(el: PrintDialogElements): HTMLOptionElement | undefined {
  return Array.from(el['print-copy-mode'].options).find((o) => o.value === 'sequence');
}

function fields(el: PrintDialogElements): DialogFields {
  return {
    copies: el['print-copies'].value,
    columns: el['print-columns'].value,
    copyMode: el['print-copy-mode'].value,
    oddAlign: el['print-odd-align'].value,
    offsetX: el['print-offset-x'].value,
    offsetY: el['print-offset-y'].value,
    density: el['print-density'].value,
    speed: el['print-speed'].value,
    orientation: el['print-orientation'].value,
  };
}

export function installPrintDialog(
  el: PrintDialogElements,
  deps: PrintDialogDeps,
): { openPrintDialog(): void } {
  const { store, status } = deps;
  const sheet = el['print-sheet'];

  const refreshCopyHint = () => {
    const hasSymbols = store.doc.objects.some((o) => o.type === 'barcode' || o.type === 'qrcode');
    el['print-copy-hint'].textContent = copyHint(
      el['print-copy-mode'].value,
      dialogCopies(el['print-copies'].value),
      store.dataset,
      store.recordIndex,
      hasSymbols,
    );
  };

  const openPrintDialog = () => {
    const doc = store.doc;
    if (doc.objects.length === 0) {
      status.showHint(EMPTY_CANVAS, 'error');
      return;
    }
    const p = doc.print;
    el['print-copies'].value = String(p.copies);
    el['print-columns'].value = String(p.columns);
    el['print-odd-align'].value = p.oddAlign;
    el['print-orientation'].value = p.orientation;
    el['print-offset-x'].value = String(p.offsetXMm);
    el['print-offset-y'].value = String(p.offsetYMm);
    const sequence = sequenceOption(el);
    if (sequence) sequence.disabled = !store.dataset;
    el['print-copy-mode'].value =
      p.copyMode === 'sequence' && !store.dataset ? 'duplicate' : p.copyMode;
    el['print-density'].value = String(p.density);
    el['print-speed'].value = String(p.speed);
    const view = deps.printer();
    el['print-summary'].replaceChildren(
      ...summaryEntries(doc, {
        selected: view.selectedPrinter,
        reachable: view.serviceReachable,
        offset: readPrinterOffset(view.selectedPrinter),
      }).map(([label, value]) => {
        const entry = document.createElement('div');
        const bold = document.createElement('b');
        bold.textContent = `${label}：`;
        entry.append(bold, value);
        return entry;
      }),
    );
    refreshCopyHint();
    openSheet(sheet);
  };

  const confirm = () => {
    const settings = readDialog(fields(el));
    if (settings.copyMode === 'sequence' && !store.dataset) {
      status.showHint(SEQUENCE_NEEDS_DATA, 'error');
      return;
    }
    store.update((doc) => Object.assign(doc.print, settings));
    closeSheet(sheet);
    deps.print();
  };

  el['print-copies'].addEventListener('input', refreshCopyHint);
  el['print-copy-mode'].addEventListener('change', refreshCopyHint);
  el['print-confirm'].addEventListener('click', confirm);
  for (const id of ['print-cancel', 'print-close'] as const)
    el[id].addEventListener('click', () => closeSheet(sheet));
  return { openPrintDialog };
}
