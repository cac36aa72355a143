/// <reference types="node" />
// axe-core over the page the binary serves: the main view and every sheet, in both themes. A
// serious or critical violation fails, with the rule and the offending elements in the message.
import { createRequire } from 'node:module';
import type { Page } from 'playwright-core';
import { afterAll, beforeAll, expect, test } from 'vitest';
import { SHEET_IDS } from '../web/src/page/sheets';
import { openDesigner, type DesignerPage } from './support/designer';

const AXE_SCRIPT = createRequire(import.meta.url).resolve('axe-core/axe.min.js');

const SHEETS = SHEET_IDS;

let designer: DesignerPage;
let page: Page;

beforeAll(async () => {
  designer = await openDesigner();
  page = designer.page;
  // Colours change with a transition; contrast is measured on the settled ones.
  await page.emulateMedia({ reducedMotion: 'reduce' });
  await page.waitForSelector('#splash', { state: 'detached', timeout: 10_000 });
  await page.addScriptTag({ path: AXE_SCRIPT });
  // Content in every sheet: a sample label, a data set and the check's findings.
  await page.evaluate(() => {
    const sv = window.__sv!;
    sv.store.setDataset({
      name: 'a.csv',
      fields: ['名称'],
      rows: [{ 名称: '甲' }, { 名称: '乙' }],
    });
  });
  await page.click('[data-add="text"]');
  await page.click('[data-add="barcode"]');
  await page.click('#btn-check');
  await page.keyboard.press('Escape');
});

afterAll(async () => {
  await designer?.close();
});

/** Serious and critical violations inside `selector`, one line per rule. */
async function violations(selector: string): Promise<string[]> {
  await page.evaluate(() =>
    Promise.all(
      document
        .getAnimations()
        // A sheet fades in: judge its colours once every finite transition and animation ends.
        .filter((a) => a.effect?.getComputedTiming().endTime !== Infinity)
        .map((a) => a.finished.catch(() => undefined)),
    ),
  );
  return page.evaluate(async (include) => {
    const axe = (window as unknown as { axe: typeof import('axe-core') }).axe;
    const result = await axe.run(include, { resultTypes: ['violations'] });
    return result.violations
      .filter((v) => v.impact === 'serious' || v.impact === 'critical')
      .map((v) => {
        // Contrast failures name their two colours, so the failing token is plain to see.
        const nodes = v.nodes.map((n) => {
          const data = n.any[0]?.data as { fgColor?: string; bgColor?: string } | undefined;
          const colours = data?.fgColor ? ` (${data.fgColor} on ${data.bgColor})` : '';
          return `${n.target.join(' ')}${colours}`;
        });
        return `${v.id}: ${nodes.join(', ')}`;
      });
  }, selector);
}

test.each(['light', 'dark'])(
  'the %s theme: main view and every sheet',
  async (theme) => {
    await page.click('#settings-button');
    await page.click(`[data-theme-choice="${theme}"]`);
    await page.click('#settings-close');
    const found: Record<string, string[]> = { main: await violations('body') };
    for (const sheet of SHEETS) {
      await page.evaluate((id) => (document.getElementById(id)!.hidden = false), sheet);
      found[sheet] = await violations(`#${sheet}`);
      await page.evaluate((id) => (document.getElementById(id)!.hidden = true), sheet);
    }
    const failing = Object.fromEntries(Object.entries(found).filter(([, v]) => v.length > 0));
    expect(failing).toEqual({});
    expect(designer.errors).toEqual([]);
  },
  180_000,
);
