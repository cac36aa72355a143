// The title bar's window buttons act only inside the desktop shell, whose bridge alone answers
// these commands; in a browser they are hidden rather than left as buttons that do nothing.

import type { Elements } from '../page/elements';
import type { StatusLine } from '../page/status';

export const WINDOW_COMMANDS = [
  ['window-minimize', 'minimize_window'],
  ['window-maximize', 'toggle_maximize_window'],
  ['window-close', 'close_window'],
] as const;

export function installWindowButtons(
  el: Pick<Elements, (typeof WINDOW_COMMANDS)[number][0]>,
  deps: { bridgePresent: boolean; call: (command: string) => Promise<unknown>; status: StatusLine },
): void {
  if (!deps.bridgePresent) {
    for (const [id] of WINDOW_COMMANDS) el[id].hidden = true;
    return;
  }
  for (const [id, command] of WINDOW_COMMANDS) {
    el[id].addEventListener('click', () => {
      deps.call(command).catch((error: unknown) => deps.status.showHint(String(error), 'error'));
    });
  }
}
