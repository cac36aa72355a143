// Theme choice: "system" follows the OS preference through the style sheet's media query;
// "dark" and "light" pin the palette with the root element's data-theme attribute.
export type ThemeChoice = 'system' | 'dark' | 'light';

export const THEME_KEY = 'sorvendale.theme';
const choices: readonly ThemeChoice[] = ['system', 'dark', 'light'];

export function parseTheme(value: unknown): ThemeChoice {
  return choices.find((c) => c === value) ?? 'system';
}

// Storage can be missing or refuse access (privacy modes, file pages); the theme then simply
// isn't remembered.
export function readTheme(storage: Storage | null): ThemeChoice {
  try {
    return parseTheme(storage?.getItem(THEME_KEY));
  } catch {
    return 'system';
  }
}

export function storeTheme(storage: Storage | null, choice: ThemeChoice): boolean {
  try {
    if (!storage) return false;
    storage.setItem(THEME_KEY, choice);
    return true;
  } catch {
    return false;
  }
}

export function applyTheme(root: HTMLElement, buttons: Iterable<HTMLElement>, choice: ThemeChoice) {
  if (choice === 'system') root.removeAttribute('data-theme');
  else root.setAttribute('data-theme', choice);
  for (const b of buttons) b.classList.toggle('is-selected', b.dataset.themeChoice === choice);
}

function safeLocalStorage(): Storage | null {
  try {
    return window.localStorage;
  } catch {
    return null;
  }
}

// Applies the remembered theme and makes the settings sheet's theme buttons choose and store.
export function installTheme(
  root: HTMLElement = document.documentElement,
  storage: Storage | null = safeLocalStorage(),
): ThemeChoice {
  const buttons = [...document.querySelectorAll<HTMLElement>('[data-theme-choice]')];
  const current = readTheme(storage);
  applyTheme(root, buttons, current);
  for (const button of buttons) {
    button.addEventListener('click', () => {
      const choice = parseTheme(button.dataset.themeChoice);
      applyTheme(root, buttons, choice);
      storeTheme(storage, choice);
    });
  }
  return current;
}
