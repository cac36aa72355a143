// The canvas editor as one area: canvas, gestures, keyboard, toolbar, layer list and new objects.
// main.ts hangs the returned views on the store listener and the load hook on the session.

import type { LabelDocument } from '../document/model';
import type { Elements } from '../page/elements';
import type { ESCAPE_SHEET_IDS } from '../page/sheets';
import type { StatusLine } from '../page/status';
import { preloadImages } from '../render/sources';
import { installAddObjects } from './add-objects';
import { barcodeSizing } from './barcode-sizing';
import { installCanvasView, type CanvasElements } from './canvas-view';
import { installEmptyClick } from './empty-click';
import { CanvasGestures } from './gestures';
import { installKeyboard } from './keyboard';
import { installLayerList } from './layer-list';
import type { DocumentStore } from '../store/document-store';
import { installTextEditing } from './text-editing';
import { installToolbar, type ToolbarElements } from './toolbar';

export type EditorElements = CanvasElements &
  ToolbarElements &
  Pick<
    Elements,
    'app-body' | 'layer-list' | 'image-input' | 'props' | (typeof ESCAPE_SHEET_IDS)[number]
  >;

export interface EditorDeps {
  status: StatusLine;
  /** Ctrl/Meta+S. */
  save(): void;
  /** Ctrl/Meta+P: the print preview, when an area provides one. */
  openPreview?(): void;
  /** A double-click on a barcode or 2D code: its data field, when an area provides one. */
  focusData?(): void;
}

type View = (store: DocumentStore) => void;

export interface EditorApi {
  /** Redraw, layer list and zoom label: for every emit. */
  everyEmit: View[];
  /** The toolbar's enabled state: for structural changes only. */
  onStructureChange: View[];
  /** After a document is loaded: fit the zoom, then decode its pictures and redraw. */
  afterLoad(doc: LabelDocument): void;
  fit(): void;
  /** Members of `window.__sv`. */
  automation: { readonly guides: { x: number[]; y: number[] } };
}

const nothing = () => {};

export function installEditor(
  el: EditorElements,
  store: DocumentStore,
  deps: EditorDeps,
): EditorApi {
  const gestures = new CanvasGestures(store, (obj) =>
    barcodeSizing(obj, store.doc.page.dpi, store.dataContext()),
  );
  const view = installCanvasView(el, store, gestures);
  const refreshToolbar = installToolbar(el, store, { fit: view.fit });
  const layers = installLayerList(el, store);
  const textEditor = installTextEditing(el, store, gestures, {
    focusData: deps.focusData ?? nothing,
  });
  installKeyboard(el, store, { save: deps.save, openPreview: deps.openPreview ?? nothing });
  installAddObjects(el, store, deps.status);
  installEmptyClick(el, store);

  const afterLoad = (doc: LabelDocument) => {
    view.fit();
    void preloadImages(doc).then(() => store.preview());
  };
  return {
    everyEmit: [view.redraw, layers, view.showZoom, textEditor],
    onStructureChange: [refreshToolbar],
    afterLoad,
    fit: view.fit,
    automation: {
      get guides() {
        return { x: [...gestures.guides.x], y: [...gestures.guides.y] };
      },
    },
  };
}
