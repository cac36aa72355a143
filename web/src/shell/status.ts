// The title bar's status dot and the print card's hint line: where every part reports to the user.

export type StatusState = 'online' | 'pending' | 'error' | 'idle';
export type HintTone = 'info' | 'error';

export function setStatus(state: StatusState, text: string): void {
  const dot = document.getElementById('status-dot');
  const title = document.getElementById('status-title');
  if (dot) dot.className = `status-dot is-${state}`;
  if (title) title.textContent = text;
}

export function showHint(text: string, tone: HintTone = 'info'): void {
  const hint = document.getElementById('printer-hint');
  if (!hint) return;
  hint.textContent = text;
  hint.hidden = text === '';
  hint.classList.toggle('is-error', tone === 'error');
  hint.style.color = tone === 'error' ? 'var(--red)' : 'var(--muted)';
}
