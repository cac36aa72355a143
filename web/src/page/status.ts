// The title bar's status dot and the print card's hint line: where every area reports to the
// user. Areas receive a `StatusLine` through their install hooks rather than importing one.
import type { Elements } from './elements';

export type StatusState = 'online' | 'pending' | 'error' | 'idle';
export type HintTone = 'info' | 'error';

export interface StatusLine {
  setStatus(state: StatusState, text: string): void;
  showHint(text: string, tone?: HintTone): void;
  /**
   * A hint that stays under the passing ones until it is set again with no text (a save that
   * failed, another tab editing); an error one also holds the title bar's dot at error.
   */
  setLastingHint?(key: string, hint: LastingHint | undefined): void;
}

export interface LastingHint {
  text: string;
  tone: HintTone;
  actions?: { label: string; run(): void }[];
}

export function createStatusLine(
  el: Pick<Elements, 'status-dot' | 'status-title' | 'printer-hint'>,
): StatusLine {
  const lasting = new Map<string, LastingHint>();
  let passing = { text: '', tone: 'info' as HintTone };
  let state: StatusState = 'idle';
  const lastingError = () => [...lasting.values()].some((h) => h.tone === 'error');
  const showDot = () => {
    el['status-dot'].className = `status-dot is-${lastingError() ? 'error' : state}`;
  };
  const render = () => {
    const hint = el['printer-hint'];
    const error = passing.tone === 'error' || lastingError();
    hint.textContent = passing.text;
    for (const h of lasting.values()) {
      const line = document.createElement('span');
      line.className = 'lasting-hint';
      line.style.display = 'block';
      line.style.color = h.tone === 'error' ? 'var(--red)' : 'var(--muted)';
      line.textContent = h.text;
      for (const action of h.actions ?? []) {
        const b = document.createElement('button');
        b.type = 'button';
        b.className = 'lasting-hint-action';
        b.textContent = action.label;
        b.style.marginLeft = '8px';
        b.addEventListener('click', action.run);
        line.append(b);
      }
      hint.append(line);
    }
    hint.hidden = passing.text === '' && lasting.size === 0;
    hint.classList.toggle('is-error', error);
    hint.style.color = passing.tone === 'error' ? 'var(--red)' : 'var(--muted)';
  };
  return {
    setStatus(next, text) {
      state = next;
      showDot();
      el['status-title'].textContent = text;
    },
    showHint(text, tone = 'info') {
      passing = { text, tone };
      render();
    },
    setLastingHint(key, hint) {
      if (hint) lasting.set(key, hint);
      else if (!lasting.delete(key)) return;
      render();
      showDot();
    },
  };
}
