// The modal sheets: full-window overlays (class help-sheet) hidden until opened. Sheets are
// independent: opening one never closes another. Every area opens and closes its own sheets
// through these, and the shell makes every backdrop close its sheet.
import type { Elements } from './elements';

export const SHEET_IDS = [
  'settings-sheet',
  'help-sheet',
  'preview-sheet',
  'print-sheet',
  'calibration-sheet',
  'template-sheet',
  'data-sheet',
  'check-sheet',
] as const satisfies readonly (keyof Elements)[];

/** Escape closes only these, the first open one in this order, one per press. */
export const ESCAPE_SHEET_IDS = [
  'preview-sheet',
  'template-sheet',
  'data-sheet',
  'check-sheet',
] as const satisfies readonly (typeof SHEET_IDS)[number][];

export function openSheet(sheet: HTMLElement): void {
  sheet.hidden = false;
}

export function closeSheet(sheet: HTMLElement): void {
  sheet.hidden = true;
}

export function isSheetOpen(sheet: HTMLElement): boolean {
  return !sheet.hidden;
}

/** Closes the first open sheet of `sheets` (in order); true when one was closed. */
export function closeFirstOpen(sheets: readonly HTMLElement[]): boolean {
  const open = sheets.find(isSheetOpen);
  if (!open) return false;
  closeSheet(open);
  return true;
}

/** A click on the overlay itself (not inside its card) hides the sheet. */
export function installSheetBackdrops(sheets: readonly HTMLElement[]): void {
  for (const sheet of sheets) {
    sheet.addEventListener('click', (event) => {
      if (event.target === sheet) closeSheet(sheet);
    });
  }
}
