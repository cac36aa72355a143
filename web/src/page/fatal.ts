// When start-up cannot finish (a missing element), the page says so in plain sight: the splash
// would otherwise hide the half-built page and the reason would sit in the console only.
export function showStartupFailure(error: unknown): void {
  const text = error instanceof Error ? error.message : String(error);
  document.getElementById('splash')?.remove();
  const box = document.createElement('div');
  box.id = 'startup-failure';
  box.setAttribute('role', 'alert');
  box.textContent = text;
  Object.assign(box.style, {
    position: 'fixed',
    inset: '24px 24px auto 24px',
    zIndex: '10000',
    padding: '16px 20px',
    borderRadius: '12px',
    background: '#ff3b30',
    color: '#fff',
    font: '600 15px/1.5 system-ui, sans-serif',
    boxShadow: '0 8px 30px rgba(0,0,0,.25)',
  });
  document.body.append(box);
}
