// Theme choice: "dark" and "light" pin the palette; "system" follows the OS preference. Either
// way the root element's data-theme names the palette in use, so the stylesheet writes each
// palette once and never needs a media query of its own.
import {
  defaultStorage,
  parseTheme,
  readThemePreference,
  writeThemePreference,
  type KeyValueStorage,
  type ThemeChoice,
} from '../document/storage';

export type Palette = 'light' | 'dark';

/** The palette a choice shows, given whether the system prefers dark. */
export function resolveTheme(choice: ThemeChoice, systemDark: boolean): Palette {
  if (choice === 'system') return systemDark ? 'dark' : 'light';
  return choice;
}

const darkQuery = (): MediaQueryList | undefined =>
  typeof matchMedia === 'function' ? matchMedia('(prefers-color-scheme: dark)') : undefined;

export function applyTheme(root: HTMLElement, buttons: Iterable<HTMLElement>, choice: ThemeChoice) {
  root.setAttribute('data-theme', resolveTheme(choice, darkQuery()?.matches ?? false));
  for (const b of buttons) b.classList.toggle('is-selected', b.dataset.themeChoice === choice);
}

// Applies the remembered theme, makes the settings sheet's theme buttons choose and store, and
// follows the system's preference while "system" is chosen.
export function installTheme(
  buttons: readonly HTMLElement[],
  root: HTMLElement = document.documentElement,
  storage: KeyValueStorage = defaultStorage(),
): ThemeChoice {
  const remembered = readThemePreference(storage);
  let current = remembered;
  applyTheme(root, buttons, current);
  darkQuery()?.addEventListener('change', () => {
    if (current === 'system') applyTheme(root, buttons, current);
  });
  for (const button of buttons) {
    button.addEventListener('click', () => {
      current = parseTheme(button.dataset.themeChoice);
      applyTheme(root, buttons, current);
      writeThemePreference(current, storage);
    });
  }
  return remembered;
}
