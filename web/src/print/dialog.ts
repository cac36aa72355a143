// The print settings dialog: the document's print settings, applied as one undo step. Its inputs
// are built from the field table, so captions, ranges and choices are declared once.

import { PRINT_FIELDS, type FieldSpec } from '../document/field-table';
import { readPrinterOffset } from '../document/printer-profiles';
import type { DocumentStore } from '../store/document-store';
import type { Elements } from '../page/elements';
import { closeSheet, openSheet } from '../page/sheets';
import type { StatusLine } from '../page/status';
import type { PrinterView } from './dispatch';
import { EMPTY_CANVAS } from './dispatch';
import {
  copyHint,
  dialogCopies,
  PRINT_SHEET_FIELDS,
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
  | 'print-form'
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

type SheetKey = keyof DialogFields;
type Inputs = Record<SheetKey, HTMLInputElement | HTMLSelectElement>;

/** A select for choices and labelled whole numbers, a number input otherwise. */
function fieldInput(id: string, field: FieldSpec): HTMLInputElement | HTMLSelectElement {
  const labels = 'labels' in field ? field.labels : undefined;
  let input: HTMLInputElement | HTMLSelectElement;
  if (field.kind === 'choice' || (field.kind === 'number' && labels)) {
    const values: readonly (string | number)[] =
      field.kind === 'choice' ? field.choices : (labels ?? []).map((_, i) => field.min + i);
    input = document.createElement('select');
    input.append(
      ...values.map((value, i) => new Option(labels?.[i] ?? String(value), String(value))),
    );
  } else {
    input = document.createElement('input');
    input.type = 'number';
    if (field.kind === 'number') {
      input.min = String(field.min);
      input.max = String(field.max);
      input.step = String(field.step);
    }
  }
  input.id = id;
  input.className = 'prop-input';
  return input;
}

function buildForm(form: HTMLElement): Inputs {
  const inputs = {} as Inputs;
  form.replaceChildren(
    ...PRINT_SHEET_FIELDS.map((entry) => {
      const field: FieldSpec = PRINT_FIELDS[entry.key];
      const label = document.createElement('label');
      label.className = 'wide' in entry && entry.wide ? 'print-field wide' : 'print-field';
      const caption = document.createElement('span');
      caption.className = 'prop-label';
      caption.textContent = 'caption' in field ? (field.caption ?? '') : '';
      inputs[entry.key] = fieldInput(entry.id, field);
      label.append(caption, inputs[entry.key]);
      return label;
    }),
  );
  return inputs;
}

function readInputs(inputs: Inputs): DialogFields {
  const out = {} as DialogFields;
  for (const { key } of PRINT_SHEET_FIELDS) out[key] = inputs[key].value;
  return out;
}

export function installPrintDialog(
  el: PrintDialogElements,
  deps: PrintDialogDeps,
): { openPrintDialog(): void } {
  const { store, status } = deps;
  const sheet = el['print-sheet'];
  const inputs = buildForm(el['print-form']);
  const copyMode = inputs.copyMode as HTMLSelectElement;

  const refreshCopyHint = () => {
    const hasSymbols = store.doc.objects.some((o) => o.type === 'barcode' || o.type === 'qrcode');
    el['print-copy-hint'].textContent = copyHint(
      copyMode.value,
      dialogCopies(inputs.copies.value),
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
    for (const { key } of PRINT_SHEET_FIELDS) inputs[key].value = String(doc.print[key]);
    const sequence = Array.from(copyMode.options).find((o) => o.value === 'sequence');
    if (sequence) sequence.disabled = !store.dataset;
    if (doc.print.copyMode === 'sequence' && !store.dataset) copyMode.value = 'duplicate';
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
    const settings = readDialog(readInputs(inputs));
    if (settings.copyMode === 'sequence' && !store.dataset) {
      status.showHint(SEQUENCE_NEEDS_DATA, 'error');
      return;
    }
    store.update((doc) => Object.assign(doc.print, settings));
    closeSheet(sheet);
    deps.print();
  };

  inputs.copies.addEventListener('input', refreshCopyHint);
  copyMode.addEventListener('change', refreshCopyHint);
  el['print-confirm'].addEventListener('click', confirm);
  for (const id of ['print-cancel', 'print-close'] as const)
    el[id].addEventListener('click', () => closeSheet(sheet));
  return { openPrintDialog };
}
