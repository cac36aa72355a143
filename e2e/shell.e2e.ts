/// <reference types="node" />
// The designer shell on the page the binary serves: status texts, sheets and their backdrops,
// the template library, the print history, the theme, the splash and the window buttons.
import { readFile } from 'node:fs/promises';
import { join } from 'node:path';
import type { Browser, BrowserContext, Page } from 'playwright-core';
import { afterAll, beforeAll, describe, expect, test } from 'vitest';
import { SHEET_IDS } from '../web/src/page/sheets';
import { collectPageErrors, launchChromium } from './support/chromium';
import { putRecords, storedRecords } from './support/designer';
import { testOutputDir } from './support/paths';
import { freePort, startService, type RunningService } from './support/service';

let service: RunningService;
let browser: Browser;

const SHEETS = SHEET_IDS;
const CARDS: Record<(typeof SHEET_IDS)[number], string> = {
  'settings-sheet': '.help-card',
  'help-sheet': '.help-card',
  'preview-sheet': '.preview-card',
  'print-sheet': '.print-dialog-card',
  'calibration-sheet': '.calibration-card',
  'template-sheet': '.template-card',
  'data-sheet': '.data-modal',
  'check-sheet': '.check-card',
};

beforeAll(async () => {
  // No spooler to ask: discovery always ends in browser print mode with the service's own text.
  const closed = await freePort();
  service = await startService({ env: { CUPS_SERVER: `127.0.0.1:${closed}` } });
  browser = await launchChromium();
});

afterAll(async () => {
  await browser?.close();
  await service?.stop();
});

async function openPage(context: BrowserContext, query = ''): Promise<Page> {
  const page = await context.newPage();
  await page.goto(`${service.url}${query}`);
  await page.waitForSelector('#splash', { state: 'detached', timeout: 10_000 });
  return page;
}

const text = (page: Page, id: string) => page.locator(`#${id}`).innerText();
const isOpen = (page: Page, id: string) => page.locator(`#${id}`).isVisible();
const openSheets = (page: Page) =>
  page.evaluate(
    (ids) => ids.filter((id) => !(document.getElementById(id) as HTMLElement).hidden),
    SHEETS,
  );
// Sheets fade in and colours change with a transition: let both settle before the picture.
async function shot(page: Page, name: string): Promise<void> {
  await page.waitForTimeout(400);
  await page.screenshot({ path: join(testOutputDir(), `shell-${name}.png`) });
}

describe('one page', () => {
  let context: BrowserContext;
  let page: Page;
  let errors: string[];

  beforeAll(async () => {
    context = await browser.newContext({
      viewport: { width: 1440, height: 900 },
      acceptDownloads: true,
    });
    page = await context.newPage();
    errors = collectPageErrors(page);
    // Splash moments, recorded from the first script on.
    await page.addInitScript(() => {
      const marks: Record<string, number> = {};
      (window as unknown as { splashMarks: Record<string, number> }).splashMarks = marks;
      new MutationObserver(() => {
        const splash = document.getElementById('splash');
        if (splash?.classList.contains('is-hidden') && marks.hidden === undefined)
          marks.hidden = performance.now();
        if (!splash && marks.hidden !== undefined && marks.removed === undefined)
          marks.removed = performance.now();
      }).observe(document, { subtree: true, childList: true, attributes: true });
    });
    await page.goto(service.url);
    await page.waitForSelector('#splash', { state: 'detached', timeout: 10_000 });
  });

  afterAll(() => context?.close());

  test('splash fades 1200 ms after start and leaves 600 ms later', async () => {
    const marks = await page.evaluate(
      () => (window as unknown as { splashMarks: Record<string, number> }).splashMarks,
    );
    expect(marks.hidden).toBeGreaterThanOrEqual(1200);
    expect(marks.removed - marks.hidden).toBeGreaterThanOrEqual(600);
  });

  test('the automation hook carries its members', async () => {
    const members = await page.evaluate(() => {
      const sv = window.__sv! as unknown as Record<string, unknown>;
      return Object.keys(sv)
        .sort()
        .map((k) => `${k}:${typeof sv[k]}`);
    });
    expect(members).toEqual(
      [
        'batchDry:function',
        'call:function',
        'copyContexts:function',
        'dataImported:function',
        'guides:object',
        'lastPrintRequest:undefined',
        'parseCsv:function',
        'parseDoc:function',
        'preview:function',
        'print:function',
        'printDry:function',
        'readBack:object',
        'resolve:function',
        'resolveCopy:function',
        'store:object',
      ].sort(),
    );
  });

  test('discovery without a spooler: browser print mode with the service text', async () => {
    // The service retries the missing print system for a moment before it answers.
    await expect
      .poll(() => text(page, 'printer-value'), { timeout: 10_000 })
      .toBe('浏览器打印模式');
    expect(await text(page, 'status-title')).toBe('浏览器打印就绪');
    expect(await text(page, 'printer-hint')).toMatch(/^无法连接系统打印服务（CUPS）：/);
  });

  test('status texts follow an edit and a save through a real download', async () => {
    expect(await page.title()).toBe('未命名标签 · Sorvendale');
    expect(await text(page, 'status-light')).toBe('0 个对象 · 50×80mm');
    // Real input: add a rectangle, then name the label and widen it in the label configuration.
    await page.click('[data-add="rect"]');
    expect(await page.title()).toBe('● 未命名标签 · Sorvendale');
    await page.click('#btn-label-config');
    const row = (caption: string) =>
      page
        .locator('#props .prop-row')
        .filter({ has: page.locator('.prop-label', { hasText: new RegExp(`^${caption}$`) }) })
        .locator('input');
    for (const [caption, value] of [
      ['名称', '货架签'],
      ['标签宽 mm', '60'],
    ]) {
      await row(caption).click();
      await page.keyboard.press('Control+A');
      await page.keyboard.type(value);
      await page.keyboard.press('Tab');
    }
    expect(await page.title()).toBe('● 货架签 · Sorvendale');
    expect(await text(page, 'doc-name')).toBe('货架签 ·未保存');
    expect(await text(page, 'status-light')).toBe('1 个对象 · 60×80mm');

    const [download] = await Promise.all([page.waitForEvent('download'), page.click('#btn-save')]);
    expect(download.suggestedFilename()).toBe('货架签.svtpl');
    const saved = JSON.parse(await readFile((await download.path())!, 'utf8'));
    expect(saved).toMatchObject({ schemaVersion: 1, name: '货架签', page: { widthMm: 60 } });
    expect(await page.title()).toBe('货架签 · Sorvendale');
    expect(await text(page, 'doc-name')).toBe('货架签');
    expect(await text(page, 'status-title')).toBe('已保存');

    // An impossible width is clamped, and the user is told so.
    await row('标签宽 mm').click();
    await page.keyboard.press('Control+A');
    await page.keyboard.type('0');
    await page.keyboard.press('Tab');
    expect(await text(page, 'printer-hint')).toBe('标签宽度已调整为 10 mm（可用范围 10–300 mm）');
  });

  test('the Linux program offers itself under its own name, never as an EXE', async () => {
    // Its own page: a download ends its request as aborted, which the shared page would count.
    const context = await browser.newContext({ acceptDownloads: true });
    try {
      const own = await openPage(context);
      const link = own.locator('#btn-download-server-side');
      await link.hover();
      await expect.poll(() => link.getAttribute('download')).toBe('sorvendale');
      expect(await link.getAttribute('title')).toContain('非 Windows 版');
      const [download] = await Promise.all([own.waitForEvent('download'), link.click()]);
      expect(download.suggestedFilename()).toBe('sorvendale');
    } finally {
      await context.close();
    }
  });

  test('"标签配置" clears the selection and says what the card holds', async () => {
    await page.evaluate(() => {
      const sv = window.__sv!;
      sv.store.add(sv.parseDoc({ objects: [{ type: 'line', x: 1, y: 1, w: 9, h: 0 }] }).objects[0]);
    });
    expect(await page.evaluate(() => window.__sv!.store.selection.length)).toBe(1);
    await page.click('#btn-label-config');
    expect(await page.evaluate(() => window.__sv!.store.selection)).toEqual([]);
    expect(await text(page, 'printer-hint')).toBe('标签配置：可设置标签宽高、列数、列间距和行间距');
  });

  test('Escape closes the preview, template, data-table and check sheets, one per press', async () => {
    await page.evaluate((ids) => {
      for (const id of ids) (document.getElementById(id) as HTMLElement).hidden = false;
      (document.activeElement as HTMLElement | null)?.blur();
    }, SHEETS);
    const seen: string[][] = [];
    for (let press = 0; press < 5; press++) {
      await page.keyboard.press('Escape');
      seen.push(await openSheets(page));
    }
    const others = ['settings-sheet', 'help-sheet', 'print-sheet', 'calibration-sheet'];
    expect(seen).toEqual([
      [...others, 'template-sheet', 'data-sheet', 'check-sheet'],
      [...others, 'data-sheet', 'check-sheet'],
      [...others, 'check-sheet'],
      others,
      others,
    ]);
    await page.evaluate((ids) => {
      for (const id of ids) (document.getElementById(id) as HTMLElement).hidden = true;
    }, others);
  });

  test('a backdrop click closes its sheet, a click on the card does not', async () => {
    for (const id of SHEETS) {
      await page.evaluate((s) => ((document.getElementById(s) as HTMLElement).hidden = false), id);
      const card = page.locator(`#${id} ${CARDS[id]}`);
      const box = (await card.boundingBox())!;
      await page.mouse.click(box.x + 8, box.y + 8);
      expect(await isOpen(page, id), `${id} after a card click`).toBe(true);
      await page.mouse.click(4, 450);
      expect(await isOpen(page, id), `${id} after a backdrop click`).toBe(false);
    }
  });

  test('settings, help and templates open by their buttons and close by theirs', async () => {
    const pairs = [
      ['settings-button', 'settings-sheet', 'settings-close'],
      ['help-button', 'help-sheet', 'help-close'],
      ['btn-templates', 'template-sheet', 'template-close'],
    ];
    for (const [opener, sheet, closer] of pairs) {
      await page.click(`#${opener}`);
      expect(await openSheets(page)).toEqual([sheet]);
      await page.click(`#${closer}`);
      expect(await openSheets(page)).toEqual([]);
    }
    // Opening one sheet leaves another open.
    await page.click('#btn-templates');
    await page.evaluate(
      () => ((document.getElementById('check-sheet') as HTMLElement).hidden = false),
    );
    expect(await openSheets(page)).toEqual(['template-sheet', 'check-sheet']);
    // The later sheet lies on top; each closes on its own.
    await page.evaluate(
      () => ((document.getElementById('check-sheet') as HTMLElement).hidden = true),
    );
    expect(await openSheets(page)).toEqual(['template-sheet']);
    await page.click('#template-close');
  });

  test('five built-in thumbnails at the library scale, drawn with sample values', async () => {
    await page.click('#btn-templates');
    const got = await page.evaluate(() => {
      const list = document.getElementById('template-list')!;
      return {
        titles: [...list.querySelectorAll('.template-section-title')].map((t) => t.textContent),
        items: [
          ...list.querySelectorAll('.template-grid')[0].querySelectorAll('.template-item'),
        ].map((item) => {
          const c = item.querySelector<HTMLCanvasElement>('canvas.template-thumb')!;
          const data = c.getContext('2d')!.getImageData(0, 0, c.width, c.height).data;
          let dark = 0;
          for (let i = 0; i < data.length; i += 4) if (data[i] < 128) dark++;
          return {
            name: item.querySelector('.template-info strong')?.textContent,
            info: item.querySelector('.template-info small')?.textContent,
            size: [c.width, c.height],
            dark: dark / (c.width * c.height),
            buttons: [...item.querySelectorAll('.template-actions button')].map(
              (b) => b.textContent,
            ),
          };
        }),
      };
    });
    expect(got.titles).toEqual(['内置模板']);
    expect(got.items.map((i) => [i.name, i.info, i.size, i.buttons])).toEqual([
      ['商品价签', '零售 · 名称 / 规格 / 价格 / 编码条码 + 二维码', [81, 130], ['使用模板']],
      ['固定资产标签', '资产 · 资产名称 / 编号 / 部门 / 盘点二维码', [81, 130], ['使用模板']],
      ['库位标签', '仓储 · 库位大字 / 区域货架 / 拣货条码 + 二维码', [81, 130], ['使用模板']],
      [
        '食品效期标签',
        '食品 · 品名 / 批次 / 生产日期 / 有效期 / 储存条件',
        [81, 130],
        ['使用模板'],
      ],
      ['物流周转标签', '物流 · 收件人 / 电话 / 地址 / 单号条码 + 二维码', [81, 130], ['使用模板']],
    ]);
    // Border, texts and codes leave a good share of dark pixels on every thumbnail.
    for (const item of got.items) expect(item.dark, item.name).toBeGreaterThan(0.08);
    await shot(page, 'templates');
  });

  test('"使用模板" asks before discarding edits and replaces the document either way asked', async () => {
    await page.evaluate(() => window.__sv!.store.update((doc) => (doc.name = '未存')));
    const use = page.locator('#template-list .template-item').nth(1).getByText('使用模板');

    const asked: string[] = [];
    page.once('dialog', (d) => (asked.push(d.message()), void d.dismiss()));
    await use.click();
    expect(asked).toEqual(['当前文档有未保存的改动，确定要放弃吗？']);
    expect(await page.evaluate(() => window.__sv!.store.doc.name)).toBe('未存');
    expect(await isOpen(page, 'template-sheet')).toBe(true);

    page.once('dialog', (d) => (asked.push(d.message()), void d.accept()));
    await use.click();
    expect(asked.length).toBe(2);
    const state = await page.evaluate(() => ({
      name: window.__sv!.store.doc.name,
      dirty: window.__sv!.store.dirty,
      objects: window.__sv!.store.doc.objects.length,
    }));
    expect(state).toEqual({ name: '资产标签', dirty: false, objects: 10 });
    await expect.poll(() => storedRecords(page, 'draft')).toEqual([]);
    expect(await isOpen(page, 'template-sheet')).toBe(false);
    expect(await text(page, 'status-title')).toBe('已套用模板：固定资产标签');
    expect(await text(page, 'doc-name')).toBe('资产标签');
  });

  test('saving the document as a template and deleting it', async () => {
    await page.click('#btn-templates');
    const prompts: string[] = [];
    page.once('dialog', (d) => {
      prompts.push(`${d.type()} ${d.message()} ${d.defaultValue()}`);
      void d.accept('我的资产签');
    });
    await page.click('#template-save');
    expect(prompts).toEqual(['prompt 模板名称 资产标签']);
    await expect.poll(() => text(page, 'printer-hint')).toBe('已保存模板「我的资产签」到本机');
    const mine = page.locator('#template-list .template-grid').nth(1).locator('.template-item');
    await expect
      .poll(() => page.locator('#template-list .template-section-title').allInnerTexts())
      .toEqual(['内置模板', '我的模板']);
    await expect.poll(() => mine.count()).toBe(1);
    expect(await mine.locator('.template-info').innerText()).toBe(
      '我的资产签\n我的模板 · 自定义模板',
    );
    await shot(page, 'templates-mine');

    // A cancelled prompt saves nothing.
    page.once('dialog', (d) => void d.dismiss());
    await page.click('#template-save');
    expect(await mine.count()).toBe(1);

    page.once('dialog', (d) => (prompts.push(d.message()), void d.dismiss()));
    await mine.getByText('删除').click();
    expect(await mine.count()).toBe(1);
    page.once('dialog', (d) => (prompts.push(d.message()), void d.accept()));
    await mine.getByText('删除').click();
    expect(prompts.slice(1)).toEqual(['删除模板「我的资产签」？', '删除模板「我的资产签」？']);
    await expect.poll(() => text(page, 'printer-hint')).toBe('已删除模板「我的资产签」');
    await expect
      .poll(() => page.locator('#template-list .template-section-title').allInnerTexts())
      .toEqual(['内置模板']);
    expect(await storedRecords(page, 'templates')).toEqual([]);
    await page.click('#template-close');
  });

  test('the history shows the newest 20 of 100 stored records, and clears', async () => {
    const records = await page.evaluate(() =>
      Array.from({ length: 100 }, (_, i) => ({
        id: `p${i}`,
        time: Date.UTC(2026, 0, 1, 8, 0, 0) - i * 60_000,
        docName: `标签${i}`,
        printer: 'QX530',
        copies: 2,
        records: i + 1,
        dryRun: i % 2 === 1,
        ok: i % 3 !== 2,
        bytes: 10240,
        elapsedMs: 12,
      })),
    );
    await putRecords(page, 'history', records);
    await page.click('#settings-button');
    const items = page.locator('#history-list .history-item');
    await expect.poll(() => items.count()).toBe(20);
    const first = await page.evaluate(() => {
      const li = document.querySelectorAll('#history-list .history-item');
      const time = new Date(Date.UTC(2026, 0, 1, 8, 0, 0)).toLocaleString('zh-CN');
      return {
        lines: [0, 1, 2, 19].map((i) => [
          li[i].querySelector('strong')?.textContent,
          li[i].querySelector('small')?.textContent,
        ]),
        time,
      };
    });
    expect(first.lines[0]).toEqual([
      '✓ 标签0 · 1 张',
      `${first.time} · QX530 · 2 份 · 10 KB / 12 ms`,
    ]);
    expect(first.lines[1][0]).toBe('✓ 标签1 · 2 张 · 自检');
    expect(first.lines[2][0]).toBe('✗ 标签2 · 3 张');
    expect(first.lines[2][1]).toMatch(/ · QX530 · 2 份 · 失败$/);
    expect(first.lines[3][0]).toBe('✓ 标签19 · 20 张 · 自检');
    await shot(page, 'settings-history');

    await page.click('#clear-history');
    await expect.poll(() => items.allInnerTexts()).toEqual(['暂无打印记录']);
    expect(await storedRecords(page, 'history')).toEqual([]);
    await page.click('#settings-close');
  });

  test('theme "light" keeps the light palette under a dark system preference', async () => {
    await page.emulateMedia({ colorScheme: 'dark' });
    const bg = () => page.evaluate(() => getComputedStyle(document.body).backgroundColor);
    await page.click('#settings-button');
    await page.click('[data-theme-choice="dark"]');
    await page.waitForTimeout(400); // the colour transition settles
    expect(await bg()).toBe('rgb(0, 0, 0)');
    await shot(page, 'settings-dark');
    await page.click('[data-theme-choice="light"]');
    await page.waitForTimeout(400);
    expect(await bg()).toBe('rgb(244, 244, 246)');
    expect(
      await page
        .locator('[data-theme-choice].is-selected')
        .evaluateAll((b) => b.map((x) => (x as HTMLElement).dataset.themeChoice)),
    ).toEqual(['light']);
    await shot(page, 'settings-light');
    await page.click('#settings-close');
    await page.reload();
    await page.waitForSelector('#splash', { state: 'detached', timeout: 10_000 });
    expect(await bg()).toBe('rgb(244, 244, 246)');
    await page.click('#help-button');
    await shot(page, 'help-light');
    await page.click('#help-close');
    await page.evaluate(() => localStorage.removeItem('sorvendale.theme'));
    await page.emulateMedia({ colorScheme: 'light' });
  });

  test('a restored draft is announced after discovery', async () => {
    await page.evaluate(() => window.__sv!.store.update((doc) => (doc.name = '草稿')));
    await expect.poll(async () => (await storedRecords(page, 'draft')).length).toBe(1);
    // Leaving a dirty page asks first; the reload goes ahead.
    page.once('dialog', (d) => void d.accept());
    await page.reload();
    await page.waitForSelector('#splash', { state: 'detached', timeout: 10_000 });
    // The hint waits for discovery, which asks a spooler that is not there: slow on a busy machine.
    await expect
      .poll(() => text(page, 'printer-hint'), { timeout: 10_000 })
      .toBe('已恢复上次未保存的编辑；保存后会清除草稿。');
    expect(await text(page, 'printer-value')).toBe('浏览器打印模式');
    expect(await text(page, 'doc-name')).toBe('草稿 ·未保存');
    expect(errors).toEqual([]);
  });
});

describe('inside the desktop shell', () => {
  test('the window buttons call the bridge, and no call goes over HTTP', async () => {
    const context = await browser.newContext();
    try {
      await context.addInitScript(() => {
        const calls: unknown[] = [];
        Object.assign(window, {
          bridgeCalls: calls,
          __TAURI_INTERNALS__: {
            invoke: async (command: string, args: unknown) => {
              calls.push([command, args]);
              if (command === 'list_printers')
                return [{ name: 'QX530', is_default: true, is_zeko: true, port: 'USB001' }];
              return null;
            },
          },
        });
      });
      const page = await context.newPage();
      const apiRequests: string[] = [];
      page.on('request', (r) => {
        if (r.url().includes('/api/')) apiRequests.push(r.url());
      });
      await page.goto(service.url);
      await page.waitForSelector('#splash', { state: 'detached', timeout: 10_000 });
      for (const id of ['window-minimize', 'window-maximize', 'window-close'])
        await page.click(`#${id}`);
      expect(await page.evaluate(() => window.__sv!.call('health'))).toBeNull();
      const calls = await page.evaluate(
        () => (window as unknown as { bridgeCalls: unknown[] }).bridgeCalls,
      );
      // The printer's state is asked for after discovery, whenever that answer comes; it goes
      // through the bridge too, for the chosen printer.
      const isStatus = (c: unknown) => (c as [string])[0] === 'printer_status';
      expect(calls.filter((c) => !isStatus(c))).toEqual([
        ['list_printers', {}],
        ['minimize_window', {}],
        ['toggle_maximize_window', {}],
        ['close_window', {}],
        ['health', {}],
      ]);
      for (const c of calls.filter(isStatus)) {
        expect(c).toEqual(['printer_status', { printer: 'QX530' }]);
      }
      expect(await text(page, 'printer-value')).toBe('QX530');
      expect(apiRequests).toEqual([]);
    } finally {
      await context.close();
    }
  });

  test('in a plain browser the window buttons, which could do nothing, are not shown', async () => {
    const context = await browser.newContext();
    try {
      const page = await openPage(context);
      const errors = collectPageErrors(page);
      for (const id of ['window-minimize', 'window-maximize', 'window-close'])
        expect(await isOpen(page, id), id).toBe(false);
      expect(errors).toEqual([]);
    } finally {
      await context.close();
    }
  });
});
