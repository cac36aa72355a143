// Double-click on the canvas: a text is edited in place, in a text area laid over it with its font,
// size and alignment at the current zoom; a barcode or 2D code hands over to its data field.

import { TEXT_FIELDS } from '../document/field-table';
import { mmToDots, type LabelObject, type TextObject } from '../document/model';
import { fontPx, textFont } from '../render/text';
import { pointerToMm } from './geometry';
import type { CanvasGestures } from './gestures';
import type { DocumentStore } from '../store/document-store';

export interface TextEditingElements {
  'editor-canvas': HTMLCanvasElement;
  'canvas-host': HTMLElement;
}

export interface TextEditingHooks {
  /** Puts the focus into the data field of the selected barcode or 2D code. */
  focusData(): void;
}

/** What a key does in the text area; everything else types. */
export function editKey(event: {
  key: string;
  ctrlKey: boolean;
  metaKey: boolean;
}): 'commit' | 'cancel' | undefined {
  if (event.key === 'Escape') return 'cancel';
  if (event.key === 'Enter' && (event.ctrlKey || event.metaKey)) return 'commit';
  return undefined;
}

/** Returns the view that keeps an open text area on its object through zoom and redraws. */
export function installTextEditing(
  el: TextEditingElements,
  store: DocumentStore,
  gestures: CanvasGestures,
  hooks: TextEditingHooks,
): (store: DocumentStore) => void {
  const canvas = el['editor-canvas'];
  const host = el['canvas-host'];
  let open: { area: HTMLTextAreaElement; id: string; before: string } | undefined;

  const place = (area: HTMLTextAreaElement, obj: TextObject) => {
    const dpi = store.doc.page.dpi;
    const z = store.zoom;
    const px = (mm: number) => `${mmToDots(mm, dpi) * z}px`;
    const s = area.style;
    s.left = `${canvas.offsetLeft + mmToDots(obj.x, dpi) * z}px`;
    s.top = `${canvas.offsetTop + mmToDots(obj.y, dpi) * z}px`;
    s.width = px(obj.w);
    s.minHeight = px(obj.h);
    s.font = textFont({ ...obj, fontSize: obj.fontSize * z }, dpi);
    s.lineHeight = `${fontPx(obj.fontSize, dpi) * obj.lineHeight * z}px`;
    s.textAlign = obj.align;
  };

  const close = (commit: boolean, redraw = true) => {
    const editing = open;
    if (!editing) return;
    open = undefined;
    const value = editing.area.value;
    editing.area.remove();
    const obj = store.doc.objects.find((o) => o.id === editing.id);
    if (commit && obj?.type === 'text' && value !== editing.before) {
      // One undo step for the whole edit.
      store.update(() => (obj.text = value));
    } else if (redraw) {
      store.preview();
    }
  };

  const edit = (obj: TextObject) => {
    const area = document.createElement('textarea');
    area.className = 'canvas-text-editor';
    area.value = obj.text;
    area.maxLength = TEXT_FIELDS.text.maxLength;
    area.spellcheck = false;
    area.setAttribute('aria-label', '编辑文本');
    place(area, obj);
    host.append(area);
    open = { area, id: obj.id, before: obj.text };
    area.addEventListener('keydown', (event) => {
      const action = editKey(event);
      // Shortcuts of the canvas (Delete, arrows, undo) must not reach it while typing.
      event.stopPropagation();
      if (!action) return;
      event.preventDefault();
      close(action === 'commit');
    });
    // A click elsewhere commits; a switch to another window keeps the edit open.
    area.addEventListener('blur', () => {
      if (document.hasFocus()) close(true);
    });
    area.focus();
    area.select();
  };

  canvas.addEventListener('dblclick', (event) => {
    const p = pointerToMm(
      event.clientX,
      event.clientY,
      canvas.getBoundingClientRect(),
      store.doc.page,
    );
    const hit: LabelObject | undefined = gestures.hitAt(p);
    if (!hit) return;
    store.select([hit.id]);
    if (hit.type === 'text') edit(hit);
    else if (hit.type === 'barcode' || hit.type === 'qrcode') hooks.focusData();
  });

  return (s) => {
    if (!open) return;
    const obj = s.doc.objects.find((o) => o.id === open?.id);
    // The object went away under the edit (undo, a new document): the edit goes with it.
    if (obj?.type !== 'text') close(false, false);
    else place(open.area, obj);
  };
}
