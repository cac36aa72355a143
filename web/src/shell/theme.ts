// Theme choice: "system" follows the OS preference through the style sheet's media query;
// "dark" and "light" pin the palette with the root element's data-theme attribute.
import {
  defaultStorage,
  parseTheme,
  readThemePreference,
  writeThemePreference,
  type KeyValueStorage,
  type ThemeChoice,
} from '../document/storage';

export function applyTheme(root: HTMLElement, buttons: Iterable<HTMLElement>, choice: ThemeChoice) {
  if (choice === 'system') root.removeAttribute('data-theme');
  else root.setAttribute('data-theme', choice);
  for (const b of buttons) b.classList.toggle('is-selected', b.dataset.themeChoice === choice);
}

// Applies the remembered theme and makes the settings sheet's theme buttons choose and store.
export function installTheme(
  root: HTMLElement = document.documentElement,
  storage: KeyValueStorage = defaultStorage(),
): ThemeChoice {
  const buttons = [...document.querySelectorAll<HTMLElement>('[data-theme-choice]')];
  const current = readThemePreference(storage);
  applyTheme(root, buttons, current);
  for (const button of buttons) {
    button.addEventListener('click', () => {
      const choice = parseTheme(button.dataset.themeChoice);
      applyTheme(root, buttons, choice);
      writeThemePreference(choice, storage);
    });
  }
  return current;
}
