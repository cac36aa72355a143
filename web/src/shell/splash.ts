// The splash covers the page while start-up draws the first frame; it fades out (the style
// sheet's transition) and then leaves the page for good.
export const SPLASH_DELAY_MS = 1200;
export const SPLASH_REMOVE_MS = 600;

export function hideSplashLater(
  splash: HTMLElement,
  delayMs = SPLASH_DELAY_MS,
  removeMs = SPLASH_REMOVE_MS,
): void {
  if (splash.dataset.hiding === 'true') return;
  splash.dataset.hiding = 'true';
  window.setTimeout(() => {
    splash.classList.add('is-hidden');
    window.setTimeout(() => splash.remove(), removeMs);
  }, delayMs);
}
