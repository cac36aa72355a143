// The layer list: one row per object, top-most first.

import { TYPE_LABELS, type LabelObject } from '../document/model';
import type { Elements } from '../page/elements';
import type { DocumentStore } from '../store/document-store';

/** A text layer shows this much of its content while it keeps its default name. */
export const LAYER_TEXT_CHARS = 12;

export function layerName(o: LabelObject): string {
  const label = TYPE_LABELS[o.type] ?? o.type;
  let name = o.name || label;
  // A name the user never changed says less than the text itself.
  if (o.type === 'text' && name === label) {
    const chars = [...o.text.replace(/\s+/g, ' ').trim()];
    if (chars.length > 0)
      name =
        chars.slice(0, LAYER_TEXT_CHARS).join('') + (chars.length > LAYER_TEXT_CHARS ? '…' : '');
  }
  return `${o.locked ? '🔒 ' : ''}${name}`;
}

/** Rows only change with names, locks, order and selection; a drag leaves them alone. */
function listKey(store: DocumentStore): string {
  const rows = store.doc.objects.map((o) => `${o.id}\u0001${o.type}\u0001${layerName(o)}`);
  return `${rows.join('\u0002')}\u0003${store.selection.join('\u0001')}`;
}

export function installLayerList(
  el: Pick<Elements, 'layer-list'>,
  store: DocumentStore,
): () => void {
  const list = el['layer-list'];
  let shown: string | undefined;

  list.addEventListener('click', (event) => {
    const row = (event.target as Element).closest<HTMLElement>('.layer-row');
    const id = row?.dataset.id;
    if (!id) return;
    if (event.ctrlKey || event.metaKey) store.toggleSelection(id);
    else if (event.shiftKey) store.select([...store.selection, id]);
    else store.select([id]);
  });

  return () => {
    const key = listKey(store);
    if (key === shown) return;
    shown = key;
    const objects = store.doc.objects;
    if (objects.length === 0) {
      const empty = document.createElement('div');
      empty.className = 'layer-empty';
      empty.textContent = '还没有对象';
      list.replaceChildren(empty);
      return;
    }
    const selected = new Set(store.selection);
    const rows = [...objects].reverse().map((o) => {
      const row = document.createElement('div');
      row.className = selected.has(o.id) ? 'layer-row is-selected' : 'layer-row';
      row.dataset.id = o.id;
      const name = document.createElement('span');
      name.textContent = layerName(o);
      const type = document.createElement('span');
      type.className = 'layer-type';
      type.textContent = TYPE_LABELS[o.type] ?? o.type;
      row.append(name, type);
      return row;
    });
    list.replaceChildren(...rows);
  };
}
