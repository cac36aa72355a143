// The title bar's status dot and the print card's hint line: where every area reports to the
// user. Areas receive a `StatusLine` through their install hooks rather than importing one.
import type { Elements } from './elements';
import { writeClass, writeHidden, writeText } from './write';

export type StatusState = 'online' | 'pending' | 'error' | 'idle';
export type HintTone = 'info' | 'error';

export interface StatusLine {
  setStatus(state: StatusState, text: string): void;
  showHint(text: string, tone?: HintTone): void;
}

export function createStatusLine(
  el: Pick<Elements, 'status-dot' | 'status-title' | 'printer-hint'>,
): StatusLine {
  return {
    setStatus(state, text) {
      writeClass(el['status-dot'], `status-dot is-${state}`);
      writeText(el['status-title'], text);
    },
    showHint(text, tone = 'info') {
      const hint = el['printer-hint'];
      writeText(hint, text);
      writeHidden(hint, text === '');
      hint.classList.toggle('is-error', tone === 'error');
      const color = tone === 'error' ? 'var(--red)' : 'var(--muted)';
      if (hint.style.color !== color) hint.style.color = color;
    },
  };
}

/** Runs a write now, or later at the pace the page's views follow (see shell/view-pace). */
export interface WritePace {
  request(run: () => void, key: string): void;
}

/**
 * The status line at the views' pace: while a batch runs, its per-row texts are written at most
 * once per interval (the latest wins) and at once when it ends; otherwise at once.
 */
export function pacedStatusLine(line: StatusLine, pace: WritePace): StatusLine {
  return {
    setStatus: (state, text) => pace.request(() => line.setStatus(state, text), 'status'),
    showHint: (text, tone) => pace.request(() => line.showHint(text, tone), 'hint'),
  };
}
