// The editor's keyboard shortcuts, handled on the window.

import { ESCAPE_SHEET_IDS, closeFirstOpen } from '../page/sheets';
import type { Elements } from '../page/elements';
import type { DocumentStore } from '../store/document-store';

export const NUDGE_MM = 0.5;
export const NUDGE_FAST_MM = 2;

export type KeyAction =
  | { kind: 'save' | 'preview' | 'undo' | 'redo' | 'duplicate' | 'selectAll' | 'rotate' }
  | { kind: 'escape' | 'delete' }
  | { kind: 'nudge'; dx: number; dy: number };

export interface KeyPress {
  key: string;
  ctrl: boolean;
  meta: boolean;
  shift: boolean;
}

const ARROWS: Record<string, [number, number]> = {
  ArrowLeft: [-1, 0],
  ArrowRight: [1, 0],
  ArrowUp: [0, -1],
  ArrowDown: [0, 1],
};

/**
 * The action of a key press, or nothing. Saving works even while typing in a field; the other
 * shortcuts only outside inputs, and the arrows only with a selection. Letters ignore Shift, so
 * Ctrl+Shift+Z is undo.
 */
export function keyAction(
  k: KeyPress,
  inInput: boolean,
  hasSelection: boolean,
): KeyAction | undefined {
  const command = k.ctrl || k.meta;
  const letter = k.key.length === 1 ? k.key.toLowerCase() : '';
  if (command && letter === 's') return { kind: 'save' };
  if (command && letter === 'p') return { kind: 'preview' };
  if (inInput) return undefined;
  if (command) {
    if (letter === 'z') return { kind: 'undo' };
    if (letter === 'y') return { kind: 'redo' };
    if (letter === 'd') return { kind: 'duplicate' };
    if (letter === 'a') return { kind: 'selectAll' };
    // Without a selection the browser keeps its own Ctrl+R (reload).
    if (letter === 'r' && hasSelection) return { kind: 'rotate' };
  }
  if (k.key === 'Escape') return { kind: 'escape' };
  if (k.key === 'Delete' || k.key === 'Backspace') return { kind: 'delete' };
  const arrow = ARROWS[k.key];
  if (arrow && hasSelection) {
    const step = k.shift ? NUDGE_FAST_MM : NUDGE_MM;
    return { kind: 'nudge', dx: arrow[0] * step, dy: arrow[1] * step };
  }
  return undefined;
}

export function isTypingTarget(element: Element | null): boolean {
  return !!element && ['INPUT', 'TEXTAREA', 'SELECT'].includes(element.tagName);
}

export interface KeyboardHooks {
  save(): void;
  openPreview(): void;
}

export function installKeyboard(
  el: Pick<Elements, (typeof ESCAPE_SHEET_IDS)[number]>,
  store: DocumentStore,
  hooks: KeyboardHooks,
): void {
  const sheets = ESCAPE_SHEET_IDS.map((id) => el[id]);
  window.addEventListener('keydown', (event) => {
    const action = keyAction(
      { key: event.key, ctrl: event.ctrlKey, meta: event.metaKey, shift: event.shiftKey },
      isTypingTarget(document.activeElement),
      store.selection.length > 0,
    );
    if (!action) return;
    event.preventDefault();
    switch (action.kind) {
      case 'save':
        return hooks.save();
      case 'preview':
        return hooks.openPreview();
      case 'undo':
        return store.undo();
      case 'redo':
        return store.redo();
      case 'duplicate':
        return store.duplicateSelected();
      case 'selectAll':
        return store.selectAll();
      case 'rotate':
        return store.rotateSelected();
      case 'escape':
        if (!closeFirstOpen(sheets)) store.select([]);
        return;
      case 'delete':
        return store.removeSelected();
      case 'nudge':
        return store.nudge(action.dx, action.dy);
    }
  });
}
