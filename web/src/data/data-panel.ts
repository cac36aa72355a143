// The "数据" card: import, record navigation, field chips and clearing, plus the data table sheet.
// Record changes do not raise `revision`, so the panel follows the store through a cheap check
// of the data set and the record index on every emit.

import type { DocumentStore } from '../store/document-store';
import type { EncodingChoice } from '../merge/detect';
import type { DataFile } from '../merge/import';
import { importInBackground, type ImportTask } from '../merge/import-client';
import type { Dataset } from '../merge/types';
import type { Elements } from '../page/elements';
import { closeSheet, isSheetOpen, openSheet } from '../page/sheets';
import type { StatusLine } from '../page/status';
import { installDataTable } from './data-table';
import {
  DATA_TEXTS,
  dataInfoText,
  fieldChipTitle,
  importedHint,
  importProgressText,
  recordLabel,
} from './rules';

export type DataPanelElements = Pick<
  Elements,
  | 'data-info'
  | 'data-nav'
  | 'btn-prev-record'
  | 'record-label'
  | 'btn-next-record'
  | 'field-list'
  | 'btn-import-data'
  | 'btn-data-table'
  | 'btn-clear-data'
  | 'data-input'
  | 'data-encoding-row'
  | 'data-encoding'
  | 'data-sheet'
  | 'data-close'
  | 'data-search'
  | 'data-table-count'
  | 'data-table'
>;

export interface DataPanelApi {
  /** Redraws the card (and an open table) when the data set or the current record changed. */
  follow(store: DocumentStore): void;
  /** Redraws unconditionally. */
  refresh(): void;
  /** Resolves when the import in progress (if any) has finished; for scripted checks. */
  settled(): Promise<void>;
}

function errorText(error: unknown): string {
  return error instanceof Error ? error.message : String(error);
}

export function installDataPanel(
  el: DataPanelElements,
  store: DocumentStore,
  deps: { status: StatusLine },
): DataPanelApi {
  const { status } = deps;
  const table = installDataTable(el, store, () => refresh());
  let shown: { dataset: Dataset | null; record: number } | undefined;
  let importing: Promise<void> = Promise.resolve();
  // The import under way: a newer choice replaces it.
  let task: ImportTask | undefined;
  // The last imported file, kept so that the encoding choice can read it again.
  let lastFile: DataFile | undefined;

  function renderChips(dataset: Dataset): void {
    const row = dataset.rows[store.recordIndex];
    const chips = dataset.fields.map((field) => {
      const chip = document.createElement('button');
      chip.type = 'button';
      chip.className = 'field-chip';
      chip.textContent = field;
      chip.title = fieldChipTitle(field, row?.[field]);
      chip.dataset.field = field;
      return chip;
    });
    el['field-list'].replaceChildren(...chips);
  }

  function refresh(): void {
    const dataset = store.dataset;
    shown = { dataset, record: store.recordIndex };
    if (!task) el['data-info'].textContent = dataInfoText(dataset);
    const rows = dataset?.rows.length ?? 0;
    el['data-nav'].hidden = rows <= 1;
    el['record-label'].textContent = dataset ? recordLabel(store.recordIndex, rows) : '';
    el['btn-clear-data'].hidden = !dataset;
    el['btn-data-table'].hidden = !dataset;
    // The choice re-reads the imported file; a template's sample data has none.
    el['data-encoding-row'].hidden = !(dataset && lastFile && dataset.name === lastFile.name);
    if (dataset) renderChips(dataset);
    else el['field-list'].replaceChildren();
    if (isSheetOpen(el['data-sheet'])) table.render();
  }

  function follow(s: DocumentStore): void {
    if (shown && shown.dataset === s.dataset && shown.record === s.recordIndex) return;
    refresh();
  }

  // Inserting a field: exactly one selected object that holds a text or barcode data.
  el['field-list'].addEventListener('click', (event) => {
    const chip = (event.target as HTMLElement).closest<HTMLButtonElement>('.field-chip');
    const field = chip?.dataset.field;
    if (field === undefined) return;
    const obj = store.single;
    if (!obj || (obj.type !== 'text' && obj.type !== 'barcode' && obj.type !== 'qrcode')) {
      status.showHint(DATA_TEXTS.needSelection, 'error');
      return;
    }
    const placeholder = `{{${field}}}`;
    store.update(() => {
      if (obj.type === 'text') obj.text += placeholder;
      else obj.data += placeholder;
    });
  });

  function showProgress(name: string, fraction: number): void {
    const text = importProgressText(name, fraction);
    if (el['data-info'].textContent === text) return;
    el['data-info'].textContent = text;
    el['data-info'].style.setProperty(
      '--import-progress',
      `${Math.floor(Math.min(1, fraction) * 100)}%`,
    );
  }

  function importFile(file: DataFile, encoding: EncodingChoice): void {
    task?.cancel();
    const current = importInBackground(file, encoding, (f) => {
      if (task === current) showProgress(file.name, f);
    });
    task = current;
    el['data-info'].setAttribute('aria-busy', 'true');
    showProgress(file.name, 0);
    // A hint left by an earlier import would read as this file's outcome.
    status.showHint('');
    const finish = () => {
      if (task !== current) return false;
      task = undefined;
      el['data-info'].removeAttribute('aria-busy');
      return true;
    };
    importing = current.result.then(
      (dataset) => {
        if (!finish()) return;
        if (dataset.rows.length === 0) {
          refresh();
          status.showHint(DATA_TEXTS.noRows, 'error');
          return;
        }
        store.importDataset(dataset);
        lastFile = file;
        refresh();
        status.showHint(importedHint(dataset.rows.length));
        status.setStatus('online', DATA_TEXTS.imported);
      },
      (error: unknown) => {
        if (!finish()) return;
        // The data set in use stays; the card shows it again.
        refresh();
        status.showHint(`${DATA_TEXTS.importFailed}${errorText(error)}`, 'error');
      },
    );
  }

  el['btn-import-data'].addEventListener('click', () => el['data-input'].click());
  el['data-input'].addEventListener('change', () => {
    const input = el['data-input'];
    const file = input.files?.[0];
    // Emptied at once, so choosing the same file again is a new choice.
    input.value = '';
    if (!file) return;
    el['data-encoding'].value = 'auto';
    importFile(file, 'auto');
  });
  el['data-encoding'].addEventListener('change', () => {
    if (lastFile) importFile(lastFile, el['data-encoding'].value as EncodingChoice);
  });

  el['btn-prev-record'].addEventListener('click', () => {
    store.setRecord(store.recordIndex - 1);
    refresh();
  });
  el['btn-next-record'].addEventListener('click', () => {
    store.setRecord(store.recordIndex + 1);
    refresh();
  });

  el['btn-clear-data'].addEventListener('click', () => {
    store.setDataset(null);
    closeSheet(el['data-sheet']);
    refresh();
    status.showHint(DATA_TEXTS.cleared);
  });

  el['btn-data-table'].addEventListener('click', () => {
    if (!store.dataset) {
      status.showHint(DATA_TEXTS.needData, 'error');
      return;
    }
    el['data-search'].value = '';
    openSheet(el['data-sheet']);
    // Focus stays where it was: Escape closes sheets only from outside text fields.
    table.render();
  });
  el['data-close'].addEventListener('click', () => closeSheet(el['data-sheet']));

  return { follow, refresh, settled: () => importing };
}
