import { describe, expect, it } from 'vitest';
import { closeFirstOpen, ESCAPE_SHEET_IDS, SHEET_IDS } from '../src/page/sheets';

// Sheets only need `hidden` for the Escape rule, so plain records stand in for the overlays.
function sheets(open: readonly string[]): Map<string, HTMLElement> {
  return new Map(SHEET_IDS.map((id) => [id, { hidden: !open.includes(id) } as HTMLElement]));
}

describe('Escape order', () => {
  it('closes preview, template, data-table and check sheets one per press, never the others', () => {
    const all = sheets(SHEET_IDS);
    const escapable = ESCAPE_SHEET_IDS.map((id) => all.get(id)!);
    const stillOpen = () => SHEET_IDS.filter((id) => !all.get(id)!.hidden);
    const presses: string[][] = [];
    for (let i = 0; i < 5; i++) {
      closeFirstOpen(escapable);
      presses.push(stillOpen());
    }
    const others = ['settings-sheet', 'help-sheet', 'print-sheet', 'calibration-sheet'];
    expect(presses).toEqual([
      [
        'settings-sheet',
        'help-sheet',
        'print-sheet',
        'calibration-sheet',
        'template-sheet',
        'data-sheet',
        'check-sheet',
      ],
      [...others, 'data-sheet', 'check-sheet'],
      [...others, 'check-sheet'],
      others,
      others,
    ]);
  });

  it('skips closed sheets and reports whether a press closed one', () => {
    const cases: Array<[string[], string | undefined]> = [
      [['check-sheet', 'data-sheet'], 'data-sheet'],
      [['check-sheet', 'settings-sheet'], 'check-sheet'],
      [['help-sheet'], undefined],
      [[], undefined],
    ];
    for (const [open, closed] of cases) {
      const all = sheets(open);
      const result = closeFirstOpen(ESCAPE_SHEET_IDS.map((id) => all.get(id)!));
      expect(result, open.join()).toBe(closed !== undefined);
      const nowOpen = SHEET_IDS.filter((id) => !all.get(id)!.hidden);
      expect(nowOpen, open.join()).toEqual(
        SHEET_IDS.filter((id) => open.includes(id) && id !== closed),
      );
    }
  });
});
