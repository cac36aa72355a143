// The page's one store listener. Cheap views follow every emit (a drag emits per pointer move);
// the property panel and the toolbar are rebuilt only when the document's structure or the
// selection changed, so typing and dragging keep focus in the panel.
import type { DocumentStore } from '../store/document-store';

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

/** Runs the views for an emit now or later (a batch follows at a bounded rate). */
export interface EmitPace {
  request(run: () => void): void;
}

/**
 * Subscribes once; the first emit always counts as a structural change. A deferred run reads the
 * store as it is then, so emits in between are shown together. Returns the unsubscribe.
 */
export function installStoreListener(
  store: DocumentStore,
  views: StoreViews,
  pace?: EmitPace,
): () => void {
  let lastKey: string | undefined;
  const run = () => {
    for (const view of views.everyEmit) view(store);
    const key = structureKey(store);
    if (key === lastKey) return;
    lastKey = key;
    for (const view of views.onStructureChange) view(store);
  };
  return store.subscribe(() => (pace ? pace.request(run) : run()));
}
