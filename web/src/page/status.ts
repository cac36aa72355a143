// The title bar's status dot and the print card's hint line: where every area reports to the
// user. Areas receive a `StatusLine` through their install hooks rather than importing one.
import type { Elements } from './elements';
import { writeClass, writeHidden, writeText } from './write';

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
  const showDot = () =>
    writeClass(el['status-dot'], `status-dot is-${lastingError() ? 'error' : state}`);
  const render = () => {
    const hint = el['printer-hint'];
    const error = passing.tone === 'error' || lastingError();
    // Without lasting hints an unchanged text is left alone (a batch repeats its texts).
    if (lasting.size === 0) writeText(hint, passing.text);
    else hint.textContent = passing.text;
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
    writeHidden(hint, passing.text === '' && lasting.size === 0);
    if (hint.classList.contains('is-error') !== error) hint.classList.toggle('is-error', error);
    const color = passing.tone === 'error' ? 'var(--red)' : 'var(--muted)';
    if (hint.style.color !== color) hint.style.color = color;
  };
  return {
    setStatus(next, text) {
      state = next;
      showDot();
      writeText(el['status-title'], text);
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
    // Lasting hints are no per-row texts: they go at once.
    setLastingHint: line.setLastingHint?.bind(line),
  };
}
