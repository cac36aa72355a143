// The page's one store listener. Cheap views follow every emit (a drag emits per pointer move);
// the property panel and the toolbar are rebuilt only when the document's structure or the
// selection changed, so typing and dragging keep focus in the panel.
import type { DocumentStore } from '../editor/store';

export type View = (store: DocumentStore) => void;

export interface StoreViews {
  /** Redraw, layer list, status texts, autosave, zoom label. */
  everyEmit: View[];
  /** Property panel, toolbar state, data panel. */
  onStructureChange: View[];
}

/** What a structural change is: a new `revision` or a different selection. */
export function structureKey(store: Pick<DocumentStore, 'revision' | 'selection'>): string {
  return `${store.revision}|${store.selection.join('\u0000')}`;
}

/** Subscribes once; the first emit always counts as a structural change. Returns the unsubscribe. */
export function installStoreListener(store: DocumentStore, views: StoreViews): () => void {
  let lastKey: string | undefined;
  return store.subscribe((s) => {
    for (const view of views.everyEmit) view(s);
    const key = structureKey(s);
    if (key === lastKey) return;
    lastKey = key;
    for (const view of views.onStructureChange) view(s);
  });
}
