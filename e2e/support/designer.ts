/// <reference types="node" />
// One designer page on the service binary, fresh storage, driven through real input.
import type { Browser, Page } from 'playwright-core';
import { collectPageErrors, launchChromium } from './chromium';
import { designerUrl } from './print-setup';
import { startService, type RunningService } from './service';

export interface DesignerPage {
  page: Page;
  errors: string[];
  close(): Promise<void>;
}

export async function openDesigner(): Promise<DesignerPage> {
  const service: RunningService = await startService();
  const browser: Browser = await launchChromium();
  const page = await browser.newPage({ viewport: { width: 1440, height: 900 } });
  const errors = collectPageErrors(page);
  await page.goto(designerUrl(service));
  await page.waitForFunction(() => window.__sv !== undefined);
  // Printer discovery ends with a line and a hint of its own (after the service's retries when
  // there is no print system): let it end before a test reads the page.
  await page.waitForFunction(
    () => document.getElementById('printer-value')?.textContent !== '正在查找打印机…',
    undefined,
    { timeout: 20_000 },
  );
  return {
    page,
    errors,
    async close() {
      await browser.close();
      await service.stop();
    },
  };
}

/** The input (or select, or textarea) of the property row captioned exactly `caption`. */
export function propControl(page: Page, caption: string, tag = 'input') {
  return page
    .locator('#props .prop-row')
    .filter({ has: page.locator('.prop-label', { hasText: new RegExp(`^${caption}$`) }) })
    .locator(tag);
}

/** Selects all of a field's text with the keyboard, then types `text` key by key. */
export async function retype(page: Page, caption: string, text: string): Promise<void> {
  const input = propControl(page, caption);
  await input.click();
  await page.keyboard.press('Control+A');
  await page.keyboard.type(text);
}

/**
 * The values of one store ("draft", "templates", "history") of the page's record database, in
 * key order. Only after the page has opened the database: this never creates it.
 */
export function storedRecords(page: Page, store: string): Promise<Record<string, unknown>[]> {
  return page.evaluate(
    (name) =>
      new Promise<Record<string, unknown>[]>((resolve, reject) => {
        const open = indexedDB.open('sorvendale');
        open.onerror = () => reject(open.error);
        open.onsuccess = () => {
          const db = open.result;
          const request = db.transaction(name).objectStore(name).getAll();
          request.onerror = () => reject(request.error);
          request.onsuccess = () => {
            db.close();
            resolve(request.result as Record<string, unknown>[]);
          };
        };
      }),
    store,
  );
}

/** Stores records under their `id` in one store of the page's record database. */
export function putRecords(
  page: Page,
  store: string,
  records: Record<string, unknown>[],
): Promise<void> {
  return page.evaluate(
    ([name, values]) =>
      new Promise<void>((resolve, reject) => {
        const open = indexedDB.open('sorvendale');
        open.onerror = () => reject(open.error);
        open.onsuccess = () => {
          const db = open.result;
          const tx = db.transaction(name, 'readwrite');
          for (const value of values) tx.objectStore(name).put(value, String(value.id));
          tx.oncomplete = () => (db.close(), resolve());
          tx.onabort = () => reject(tx.error);
        };
      }),
    [store, records] as const,
  );
}
