// The data table sheet: the first 500 matches of the search, the current record marked.

import type { DocumentStore } from '../store/document-store';
import type { Dataset } from '../merge/types';
import type { Elements } from '../page/elements';
import { DATA_TEXTS, haystackOf, searchRows, tableCountText } from './rules';

export interface DataTable {
  /** Rebuilds for the current search; only moves the current-row mark when nothing else changed. */
  render(): void;
}

export function installDataTable(
  el: Pick<Elements, 'data-search' | 'data-table-count' | 'data-table'>,
  store: DocumentStore,
  onRecordPicked: () => void,
): DataTable {
  const tableEl = el['data-table'];
  let drawn:
    { dataset: Dataset; query: string; rows: Map<number, HTMLTableRowElement> } | undefined;
  let marked: HTMLTableRowElement | undefined;

  function mark(): void {
    marked?.classList.remove('is-current');
    marked = drawn?.rows.get(store.recordIndex);
    marked?.classList.add('is-current');
  }

  function render(): void {
    const dataset = store.dataset;
    const query = el['data-search'].value;
    if (!dataset) {
      drawn = undefined;
      marked = undefined;
      el['data-table-count'].textContent = DATA_TEXTS.none;
      tableEl.replaceChildren();
      return;
    }
    if (drawn && drawn.dataset === dataset && drawn.query === query) {
      mark();
      return;
    }
    // Opening the table pays for the search index once, so that no keystroke has to.
    if (drawn?.dataset !== dataset) haystackOf(dataset);
    const result = searchRows(dataset, query);
    el['data-table-count'].textContent = tableCountText(result, dataset.rows.length);

    const head = document.createElement('thead');
    const headRow = head.insertRow();
    for (const name of ['#', ...dataset.fields]) {
      const th = document.createElement('th');
      th.textContent = name;
      headRow.append(th);
    }
    const body = document.createElement('tbody');
    const rows = new Map<number, HTMLTableRowElement>();
    for (const index of result.shown) {
      const record = dataset.rows[index];
      const tr = body.insertRow();
      tr.dataset.index = String(index);
      const first = tr.insertCell();
      first.className = 'row-index';
      first.textContent = String(index + 1);
      for (const field of dataset.fields) tr.insertCell().textContent = String(record[field] ?? '');
      rows.set(index, tr);
    }
    tableEl.replaceChildren(head, body);
    drawn = { dataset, query, rows };
    marked = undefined;
    mark();
  }

  el['data-search'].addEventListener('input', render);
  tableEl.addEventListener('click', (event) => {
    const tr = (event.target as HTMLElement).closest('tr');
    const index = tr?.dataset.index;
    if (index === undefined) return;
    store.setRecord(Number(index));
    onRecordPicked();
  });

  return { render };
}
