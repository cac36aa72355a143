// The title bar's status dot and the print card's hint line: where every area reports to the
// user. Areas receive a `StatusLine` through their install hooks rather than importing one.
import type { Elements } from './elements';

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
      el['status-dot'].className = `status-dot is-${state}`;
      el['status-title'].textContent = text;
    },
    showHint(text, tone = 'info') {
      const hint = el['printer-hint'];
      hint.textContent = text;
      hint.hidden = text === '';
      hint.classList.toggle('is-error', tone === 'error');
      hint.style.color = tone === 'error' ? 'var(--red)' : 'var(--muted)';
    },
  };
}
