// The canvas toolbar: undo and redo, alignment, layer order, rotation and the zoom. The document check
// button belongs to the print area.

import type { PageElements } from '../page/elements';
import { ZOOM_STEP } from './placement';
import type { AlignKind, DocumentStore, LayerDirection } from '../store/document-store';

const ALIGN_KINDS: readonly string[] = ['left', 'hcenter', 'right', 'top', 'vcenter', 'bottom'];
const LAYER_DIRECTIONS: readonly string[] = ['up', 'down', 'top', 'bottom'];

export type ToolbarElements = Pick<
  PageElements,
  'actions' | 'btn-undo' | 'btn-redo' | 'btn-zoom-in' | 'btn-zoom-out' | 'btn-fit' | 'btn-rotate'
>;

export interface ToolbarHooks {
  fit(): void;
}

/**
 * Alignment moves the selected unlocked objects against the page, so it needs one of them; the
 * layer order moves exactly one selected object.
 */
export function toolbarEnabled(s: Pick<DocumentStore, 'selected'>): {
  align: boolean;
  layer: boolean;
} {
  const selected = s.selected;
  return { align: selected.some((o) => !o.locked), layer: selected.length === 1 };
}

/** Wires the buttons; returns the view that refreshes their enabled state. */
export function installToolbar(
  el: ToolbarElements,
  store: DocumentStore,
  hooks: ToolbarHooks,
): (store: DocumentStore) => void {
  el['btn-undo'].addEventListener('click', () => store.undo());
  el['btn-redo'].addEventListener('click', () => store.redo());
  el['btn-zoom-in'].addEventListener('click', () => store.setZoom(store.zoom * ZOOM_STEP));
  el['btn-zoom-out'].addEventListener('click', () => store.setZoom(store.zoom / ZOOM_STEP));
  el['btn-fit'].addEventListener('click', () => hooks.fit());
  el['btn-rotate'].addEventListener('click', () => store.rotateSelected());
  const alignButtons: HTMLButtonElement[] = [];
  const layerButtons: HTMLButtonElement[] = [];
  for (const button of el.actions.align) {
    const kind = button.dataset.align ?? '';
    if (ALIGN_KINDS.includes(kind)) {
      button.addEventListener('click', () => store.align(kind as AlignKind));
      alignButtons.push(button);
    }
  }
  for (const button of el.actions.layer) {
    const direction = button.dataset.layer ?? '';
    if (LAYER_DIRECTIONS.includes(direction)) {
      button.addEventListener('click', () => store.moveLayer(direction as LayerDirection));
      layerButtons.push(button);
    }
  }
  return (s) => {
    el['btn-undo'].disabled = !s.canUndo;
    el['btn-redo'].disabled = !s.canRedo;
    el['btn-rotate'].disabled = s.rotatable.length === 0;
    const enabled = toolbarEnabled(s);
    for (const button of alignButtons) button.disabled = !enabled.align;
    for (const button of layerButtons) button.disabled = !enabled.layer;
  };
}
