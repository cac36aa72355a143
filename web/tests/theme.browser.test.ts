import { afterEach, describe, expect, test } from 'vitest';
import {
  MemoryStorage,
  readThemePreference,
  STORAGE_KEYS,
  writeThemePreference,
  type KeyValueStorage,
} from '../src/document/storage';
import { applyTheme, installTheme, resolveTheme } from '../src/shell/theme';

const THEME_KEY = STORAGE_KEYS.theme;

// A storage that refuses every access, as some privacy modes do.
const refusing: KeyValueStorage = {
  getItem: () => {
    throw new DOMException('denied', 'SecurityError');
  },
  setItem: () => {
    throw new DOMException('full', 'QuotaExceededError');
  },
  removeItem: () => {
    throw new DOMException('denied', 'SecurityError');
  },
};

function themeButtons(): HTMLElement[] {
  document.body.innerHTML = ['system', 'dark', 'light']
    .map((c) => `<button data-theme-choice="${c}"></button>`)
    .join('');
  return [...document.querySelectorAll<HTMLElement>('[data-theme-choice]')];
}

afterEach(() => {
  localStorage.clear();
  document.documentElement.removeAttribute('data-theme');
  document.body.innerHTML = '';
});

describe('theme', () => {
  test('stored values other than the three choices read as system', () => {
    for (const [stored, expected] of [
      ['dark', 'dark'],
      ['light', 'light'],
      ['system', 'system'],
      ['Dark', 'system'],
      ['"dark"', 'system'],
      ['', 'system'],
    ]) {
      localStorage.setItem(THEME_KEY, stored);
      expect(readThemePreference(localStorage), stored).toBe(expected);
    }
    localStorage.removeItem(THEME_KEY);
    expect(readThemePreference(localStorage)).toBe('system');
    expect(readThemePreference(new MemoryStorage())).toBe('system');
  });

  test('a refusing storage neither throws nor claims success', () => {
    expect(readThemePreference(refusing)).toBe('system');
    expect(writeThemePreference('dark', refusing)).toBe(false);
    expect(writeThemePreference('light', localStorage)).toBe(true);
    expect(localStorage.getItem(THEME_KEY)).toBe('light');
  });

  test('every choice names a palette on the root, system the one the system prefers', () => {
    for (const [choice, systemDark, palette] of [
      ['system', true, 'dark'],
      ['system', false, 'light'],
      ['dark', false, 'dark'],
      ['light', true, 'light'],
    ] as const)
      expect(resolveTheme(choice, systemDark), `${choice} ${systemDark}`).toBe(palette);
    const root = document.documentElement;
    const buttons = themeButtons();
    applyTheme(root, buttons, 'dark');
    expect(root.getAttribute('data-theme')).toBe('dark');
    applyTheme(root, buttons, 'system');
    const systemDark = matchMedia('(prefers-color-scheme: dark)').matches;
    expect(root.getAttribute('data-theme')).toBe(systemDark ? 'dark' : 'light');
    expect(buttons.map((b) => b.classList.contains('is-selected'))).toEqual([true, false, false]);
  });

  test('installing applies the stored choice and buttons store theirs', () => {
    localStorage.setItem(THEME_KEY, 'light');
    const buttons = themeButtons();
    expect(installTheme(buttons, document.documentElement, localStorage)).toBe('light');
    expect(document.documentElement.getAttribute('data-theme')).toBe('light');
    buttons[1].click();
    expect(document.documentElement.getAttribute('data-theme')).toBe('dark');
    expect(localStorage.getItem(THEME_KEY)).toBe('dark');
    expect(buttons.filter((b) => b.classList.contains('is-selected'))).toEqual([buttons[1]]);
  });

  test('with a refusing storage the buttons still switch the theme', () => {
    const buttons = themeButtons();
    installTheme(buttons, document.documentElement, refusing);
    buttons[2].click();
    expect(document.documentElement.getAttribute('data-theme')).toBe('light');
  });
});
