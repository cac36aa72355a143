/// <reference types="node" />
// The data card and the data table on the served page: real files through data-input (a GBK
// CSV and an .xlsx written by SheetJS), records, field chips, search and clearing; files past
// the import limits, refused while the page stays fluid.
import { execFileSync } from 'node:child_process';
import { mkdtemp, rm, writeFile } from 'node:fs/promises';
import { tmpdir } from 'node:os';
import { join } from 'node:path';
import type { Page } from 'playwright-core';
import * as XLSX from 'xlsx';
import { afterAll, beforeAll, expect, test } from 'vitest';
import { openDesigner, type DesignerPage } from './support/designer';
import { testOutputDir } from './support/paths';

let designer: DesignerPage;
let page: Page;
let scratch: string;

beforeAll(async () => {
  designer = await openDesigner();
  page = designer.page;
  scratch = await mkdtemp(join(tmpdir(), 'sv-data-'));
});

afterAll(async () => {
  await designer?.close();
  await rm(scratch, { recursive: true, force: true });
});

/** GBK bytes for a text, from the reverse of the runtime's GBK decoder (node has no encoder). */
function gbk(text: string): Buffer {
  const decoder = new TextDecoder('gbk');
  const table = new Map<string, number[]>();
  for (let lead = 0x81; lead <= 0xfe; lead++) {
    for (let trail = 0x40; trail <= 0xfe; trail++) {
      if (trail === 0x7f) continue;
      const ch = decoder.decode(Uint8Array.of(lead, trail));
      if (!table.has(ch)) table.set(ch, [lead, trail]);
    }
  }
  const out: number[] = [];
  for (const ch of text) {
    const code = ch.codePointAt(0)!;
    if (code < 0x80) out.push(code);
    else out.push(...table.get(ch)!);
  }
  return Buffer.from(out);
}

async function importFile(name: string, bytes: Buffer | string): Promise<void> {
  const path = join(scratch, name);
  await writeFile(path, bytes);
  await page.locator('#data-input').setInputFiles(path);
  await page.evaluate(() => (window.__sv!.dataImported as () => Promise<void>)());
}

const text = (id: string) => page.locator(`#${id}`).textContent();
const hidden = (id: string) => page.locator(`#${id}`).evaluate((e) => (e as HTMLElement).hidden);

test('a GBK CSV without a byte-order mark imports through data-input', async () => {
  await importFile('价签.csv', gbk('名称,编码,价格\n苹果,A001,3.5\n香蕉,B002,2\n橙子,C003,4.25\n'));
  expect(await text('data-info')).toBe('价签.csv · 3 条记录 · 3 个字段');
  expect(await text('printer-hint')).toBe('已导入 3 条记录，可在文本里用 {{字段名}} 绑定');
  expect(await text('status-title')).toBe('数据已导入');
  expect(await text('record-label')).toBe('1 / 3');
  for (const id of ['data-nav', 'btn-batch', 'btn-clear-data', 'btn-data-table']) {
    expect(await hidden(id), id).toBe(false);
  }
  const chips = page.locator('#field-list .field-chip');
  expect(await chips.allTextContents()).toEqual(['名称', '编码', '价格']);
  expect(await chips.first().getAttribute('title')).toBe('名称：苹果\n点击插入 {{名称}}');
});

test('records step with the buttons and change a bound text', async () => {
  await page.evaluate(() => {
    const s = window.__sv!.store;
    s.doc.objects = [];
    s.add({
      id: 't1',
      type: 'text',
      name: '文本',
      x: 2,
      y: 2,
      w: 30,
      h: 8,
      text: '品名：',
      fontSize: 12,
      bold: false,
      italic: false,
      align: 'left',
      lineHeight: 1.2,
      rotation: 0,
      shrinkToFit: false,
    });
  });
  await page.locator('#field-list .field-chip', { hasText: '名称' }).click();
  const boundText = () =>
    page.evaluate(() => {
      const o = window.__sv!.store.doc.objects[0] as { text: string };
      return [o.text, window.__sv!.resolve(o.text)];
    });
  expect(await boundText()).toEqual(['品名：{{名称}}', '品名：苹果']);

  const canvas = () =>
    page.locator('#editor-canvas').evaluate((c: HTMLCanvasElement) => c.toDataURL());
  const before = await canvas();
  await page.locator('#btn-next-record').click();
  expect(await text('record-label')).toBe('2 / 3');
  // The canvas redraws the bound text for the new record.
  expect(await canvas()).not.toBe(before);
  expect((await boundText())[1]).toBe('品名：香蕉');
  expect(await page.locator('#field-list .field-chip').first().getAttribute('title')).toBe(
    '名称：香蕉\n点击插入 {{名称}}',
  );
  await page.locator('#btn-next-record').click();
  await page.locator('#btn-next-record').click();
  expect(await text('record-label')).toBe('3 / 3');
  await page.locator('#btn-prev-record').click();
  expect((await boundText())[1]).toBe('品名：香蕉');

  // A record changed elsewhere (the table, a script) shows in the card too.
  await page.evaluate(() => window.__sv!.store.setRecord(0));
  expect(await text('record-label')).toBe('1 / 3');

  // Without exactly one selected object a chip only explains itself.
  await page.evaluate(() => window.__sv!.store.select([]));
  await page.locator('#field-list .field-chip', { hasText: '编码' }).click();
  expect(await text('printer-hint')).toBe('先在画布上选中一个文本/条码对象');
  await page.screenshot({ path: join(testOutputDir(), 'data-panel.png') });
});

test('a header-only CSV keeps the current data set', async () => {
  await importFile('空.csv', '名称,编码\n');
  expect(await text('printer-hint')).toBe('这个文件里没有数据行');
  expect(await text('data-info')).toBe('价签.csv · 3 条记录 · 3 个字段');
});

test('an .xlsx written by SheetJS imports its first sheet as formatted text', async () => {
  const sheet = XLSX.utils.aoa_to_sheet([
    ['名称', '价格', '', '日期'],
    ['苹果', 3.5, 'x', new Date(Date.UTC(2026, 2, 5))],
    ['香蕉', 12, '', ''],
  ]);
  sheet['B2'].z = '0.00';
  const book = XLSX.utils.book_new();
  XLSX.utils.book_append_sheet(book, sheet, '商品');
  XLSX.utils.book_append_sheet(book, XLSX.utils.aoa_to_sheet([['别的'], ['表']]), '其他');
  const bytes = XLSX.write(book, { type: 'buffer', bookType: 'xlsx', cellDates: true }) as Buffer;
  await importFile('商品.xlsx', bytes);
  expect(await text('data-info')).toBe('商品.xlsx · 2 条记录 · 3 个字段');
  const data = await page.evaluate(() => window.__sv!.store.dataset);
  expect(data?.fields).toEqual(['名称', '价格', '日期']);
  expect(data?.rows[0]).toMatchObject({ 名称: '苹果', 价格: '3.50' });
  expect(data?.rows[1]).toEqual({ 名称: '香蕉', 价格: '12', 日期: '' });
});

test('a file the workbook reader refuses reports the import failure', async () => {
  await importFile('坏.xlsx', Buffer.from([0x50, 0x4b, 0x03, 0x04, 1, 2, 3]));
  expect(await text('printer-hint')).toMatch(/^导入失败：./);
  expect(await text('data-info')).toBe('商品.xlsx · 2 条记录 · 3 个字段');
});

// A sheet whose XML expands to 300 MB from a file of about a third of a megabyte.
const BOMB_SCRIPT = `
import sys, zipfile
with zipfile.ZipFile(sys.argv[1], 'w', zipfile.ZIP_DEFLATED) as z:
    z.writestr('[Content_Types].xml', '<?xml version="1.0"?><Types xmlns="http://schemas.openxmlformats.org/package/2006/content-types"><Default Extension="rels" ContentType="application/vnd.openxmlformats-package.relationships+xml"/><Default Extension="xml" ContentType="application/xml"/><Override PartName="/xl/workbook.xml" ContentType="application/vnd.openxmlformats-officedocument.spreadsheetml.sheet.main+xml"/><Override PartName="/xl/worksheets/sheet1.xml" ContentType="application/vnd.openxmlformats-officedocument.spreadsheetml.worksheet+xml"/></Types>')
    z.writestr('_rels/.rels', '<?xml version="1.0"?><Relationships xmlns="http://schemas.openxmlformats.org/package/2006/relationships"><Relationship Id="r1" Type="http://schemas.openxmlformats.org/officeDocument/2006/relationships/officeDocument" Target="xl/workbook.xml"/></Relationships>')
    z.writestr('xl/workbook.xml', '<?xml version="1.0"?><workbook xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main" xmlns:r="http://schemas.openxmlformats.org/officeDocument/2006/relationships"><sheets><sheet name="S" sheetId="1" r:id="r1"/></sheets></workbook>')
    z.writestr('xl/_rels/workbook.xml.rels', '<?xml version="1.0"?><Relationships xmlns="http://schemas.openxmlformats.org/package/2006/relationships"><Relationship Id="r1" Type="http://schemas.openxmlformats.org/officeDocument/2006/relationships/worksheet" Target="worksheets/sheet1.xml"/></Relationships>')
    row = b'<row><c t="inlineStr"><is><t>x</t></is></c></row>' * 20000
    with z.open('xl/worksheets/sheet1.xml', 'w', force_zip64=True) as sheet:
        sheet.write(b'<?xml version="1.0"?><worksheet xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main"><sheetData>')
        for _ in range(300 * 2**20 // len(row)):
            sheet.write(row)
        sheet.write(b'</sheetData></worksheet>')
`;

interface Probe {
  /** The longest time between two animation frames, and the longest task, in ms. */
  gap: number;
  task: number;
  /** Every text the data card showed meanwhile. */
  texts: string[];
}

/** Watches the page's main thread, and the data card's texts, until `stopFrameProbe`. */
async function startFrameProbe(): Promise<void> {
  await page.evaluate(() => {
    const probe = { last: performance.now(), gap: 0, task: 0, running: true, texts: [''] };
    probe.texts.length = 0;
    const tick = (now: number) => {
      probe.gap = Math.max(probe.gap, now - probe.last);
      probe.last = now;
      if (probe.running) requestAnimationFrame(tick);
    };
    requestAnimationFrame(tick);
    const tasks = new PerformanceObserver((list) => {
      for (const entry of list.getEntries()) probe.task = Math.max(probe.task, entry.duration);
    });
    tasks.observe({ type: 'longtask' });
    const info = document.getElementById('data-info')!;
    const texts = new MutationObserver(() => probe.texts.push(info.textContent ?? ''));
    texts.observe(info, { childList: true, characterData: true, subtree: true });
    (window as unknown as { probe: () => unknown }).probe = () => {
      probe.running = false;
      tasks.disconnect();
      texts.disconnect();
      return { gap: probe.gap, task: probe.task, texts: probe.texts };
    };
  });
}

const stopFrameProbe = () =>
  page.evaluate(() => (window as unknown as { probe: () => Probe }).probe());

test('files past the import limits are refused while the page stays fluid', async () => {
  const before = await text('data-info');
  expect(before).toBe('商品.xlsx · 2 条记录 · 3 个字段');
  await page.evaluate(() => {
    (window as unknown as { kept: unknown }).kept = window.__sv!.store.dataset;
  });
  // The same probe over an idle page, named in a failure: on a crowded machine even an idle
  // page misses frames, which tells a busy host from a held page.
  await startFrameProbe();
  await page.waitForTimeout(2000);
  const idle = await stopFrameProbe();
  const bomb = join(scratch, '炸弹.xlsx');
  execFileSync('python3', ['-c', BOMB_SCRIPT, bomb]);
  const cases: { name: string; file?: Buffer | string; message: string }[] = [
    {
      name: '行太多.csv',
      file: `编号\n${'1\n'.repeat(1_000_001)}`,
      message: '表格太大：1000001 行，最多 1000000 行',
    },
    {
      name: '列太多.csv',
      file: `${Array.from({ length: 100_000 }, (_, i) => `c${i}`).join(',')}\n1\n`,
      message: '表格太大：100000 列，最多 1000 列',
    },
    {
      name: '长单元格.csv',
      file: `备注\n${'长'.repeat(7 * 2 ** 20)}\n`,
      message: `表格太大：单元格 ${7 * 2 ** 20} 字，最多 32768 字`,
    },
    { name: '炸弹.xlsx', message: '表格太大：表格数据 300 MB，最多 200 MB' },
    {
      name: '坏.xlsx',
      file: Buffer.from([0x50, 0x4b, 0x03, 0x04, 1, 2, 3]),
      message: '表格文件已损坏或格式不受支持（Unsupported ZIP file）',
    },
  ];
  for (const { name, file, message } of cases) {
    const path = join(scratch, name);
    if (file !== undefined) await writeFile(path, file);
    await startFrameProbe();
    await page.locator('#data-input').setInputFiles(path);
    // The page answers a click while the file is read.
    const label = await text('record-label');
    const clicked = Date.now();
    await page.locator(label === '1 / 2' ? '#btn-next-record' : '#btn-prev-record').click();
    await page.waitForFunction(
      (was) => document.getElementById('record-label')!.textContent !== was,
      label,
    );
    expect(Date.now() - clicked, name).toBeLessThan(2000);
    await page.evaluate(() => (window.__sv!.dataImported as () => Promise<void>)());
    const probe = await stopFrameProbe();
    expect(await text('printer-hint'), name).toBe(`导入失败：${message}`);
    expect(await text('data-info'), name).toBe(before);
    const kept = await page.evaluate(
      () => window.__sv!.store.dataset === (window as unknown as { kept: unknown }).kept,
    );
    expect(kept, name).toBe(true);
    expect(probe.texts[0], name).toBe(`正在导入 ${name}… 0%`);
    expect(probe.texts.at(-1), name).toBe(before);
    const host = `idle page: ${Math.round(idle.gap)} ms between frames`;
    expect(probe.gap, `${name}: longest time between frames (${host})`).toBeLessThan(200);
    expect(probe.task, `${name}: longest task (${host})`).toBeLessThan(200);
  }
  // Pictures of the card while a file is read and after it was refused, taken outside the
  // probe, since taking one holds the page's frames.
  await page.locator('#data-input').setInputFiles(join(scratch, '长单元格.csv'));
  await page.waitForFunction(() =>
    /… [1-9]\d*%$/.test(document.getElementById('data-info')!.textContent!),
  );
  await page.screenshot({ path: join(testOutputDir(), 'data-import-progress.png') });
  await page.evaluate(() => (window.__sv!.dataImported as () => Promise<void>)());
  await page.screenshot({ path: join(testOutputDir(), 'data-import-refused.png') });
});

test('without workers a workbook imports on the page, loading SheetJS only then', async () => {
  const loaded = () =>
    page.evaluate(() =>
      performance
        .getEntriesByType('resource')
        .some((entry) => /\/assets\/xlsx-[\w-]+\.js$/.test(entry.name)),
    );
  // Every workbook so far was read in the worker.
  expect(await loaded()).toBe(false);
  await page.evaluate(() => {
    const w = window as unknown as { Worker?: unknown; savedWorker?: unknown };
    w.savedWorker = w.Worker;
    delete w.Worker;
  });
  const sheet = XLSX.utils.aoa_to_sheet([
    ['品名', '数量'],
    ['梨', 7],
  ]);
  const book = XLSX.utils.book_new();
  XLSX.utils.book_append_sheet(book, sheet, '表');
  await importFile('页面.xlsx', XLSX.write(book, { type: 'buffer', bookType: 'xlsx' }) as Buffer);
  await page.evaluate(() => {
    const w = window as unknown as { Worker?: unknown; savedWorker?: unknown };
    w.Worker = w.savedWorker;
  });
  expect(await text('data-info')).toBe('页面.xlsx · 1 条记录 · 2 个字段');
  expect(await page.evaluate(() => window.__sv!.store.dataset?.rows)).toEqual([
    { 品名: '梨', 数量: '7' },
  ]);
  expect(await loaded()).toBe(true);
});

test('searching 800 matches in the data table shows 500 and says so', async () => {
  const lines = ['编号,品名,产地'];
  for (let i = 1; i <= 1000; i++) lines.push(`${i},${i % 5 === 0 ? '香蕉' : 'Apple 苹果'},山东`);
  await importFile('大表.csv', `${lines.join('\n')}\n`);
  await page.locator('#btn-data-table').click();
  expect(await hidden('data-sheet')).toBe(false);
  expect(await text('data-table-count')).toBe('1000 / 1000 条（仅显示前 500 条）');

  await page.locator('#data-search').fill('x');
  await page.locator('#data-search').fill('');
  await page.locator('#data-search').pressSequentially(' APPLE ');
  expect(await text('data-table-count')).toBe('800 / 1000 条（仅显示前 500 条）');
  const rows = page.locator('#data-table tbody tr');
  expect(await rows.count()).toBe(500);
  expect(await page.locator('#data-table thead th').allTextContents()).toEqual([
    '#',
    '编号',
    '品名',
    '产地',
  ]);
  // Record 5 is a banana, so the fifth shown row is record 6.
  expect(await rows.nth(4).locator('.row-index').textContent()).toBe('6');
  await rows.nth(4).click();
  expect(await text('record-label')).toBe('6 / 1000');
  expect(await rows.nth(4).getAttribute('class')).toBe('is-current');
  expect(await page.locator('#data-table tr.is-current').count()).toBe(1);
  await page.screenshot({ path: join(testOutputDir(), 'data-table.png') });

  await page.locator('#data-search').fill('香蕉');
  expect(await text('data-table-count')).toBe('200 / 1000 条');
  await page.locator('#data-close').click();
  expect(await hidden('data-sheet')).toBe(true);

  // Reopening empties the search.
  await page.locator('#btn-data-table').click();
  expect(await page.locator('#data-search').inputValue()).toBe('');
  expect(await text('data-table-count')).toBe('1000 / 1000 条（仅显示前 500 条）');
  await page.keyboard.press('Escape');
  expect(await hidden('data-sheet')).toBe(true);
});

test('the backdrop closes the table; 清除 drops the data set', async () => {
  await page.locator('#btn-data-table').click();
  await page.mouse.click(8, 450);
  expect(await hidden('data-sheet')).toBe(true);
  await page.locator('#btn-clear-data').click();
  expect(await text('printer-hint')).toBe('已清除数据源');
  expect(await text('data-info')).toBe('未导入数据');
  expect(await hidden('data-sheet')).toBe(true);
  for (const id of ['data-nav', 'btn-batch', 'btn-clear-data', 'btn-data-table']) {
    expect(await hidden(id), id).toBe(true);
  }
  expect(await page.locator('#field-list').innerHTML()).toBe('');
  expect(designer.errors).toEqual([]);
});
