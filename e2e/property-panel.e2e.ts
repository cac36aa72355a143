/// <reference types="node" />
// The property card on the served page, driven by real typing and clicks: one undo step per
// typed field with focus kept, switches and segments, picture presets, label size commits.
import { join } from 'node:path';
import { repoRoot } from './support/paths';
import type { Page } from 'playwright-core';
import { afterAll, beforeAll, beforeEach, expect, test } from 'vitest';
import { openDesigner, propControl, retype, type DesignerPage } from './support/designer';
import { testOutputDir } from './support/paths';

let designer: DesignerPage;
let page: Page;

beforeAll(async () => {
  designer = await openDesigner();
  page = designer.page;
});

afterAll(async () => {
  await designer?.close();
});

// Each test starts from an empty 50 × 80 mm label with one object of its own.
beforeEach(async () => {
  await page.evaluate(() => {
    const s = window.__sv!.store;
    const doc = s.doc;
    doc.objects = [];
    doc.page.widthMm = 50;
    doc.page.heightMm = 80;
    s.history.clear();
    s.select([]);
    s.update(() => {});
    s.history.clear();
  });
});

async function addObject(obj: Record<string, unknown>): Promise<void> {
  await page.evaluate((o) => {
    const s = window.__sv!.store;
    s.add(o as never);
    s.history.clear();
  }, obj);
}

const object = () =>
  page.evaluate(() => window.__sv!.store.doc.objects[0] as never as Record<string, unknown>);
const undoDepth = () => page.evaluate(() => window.__sv!.store.undoStack.length);

const TEXT = {
  id: 't1',
  type: 'text',
  name: '标题',
  x: 2,
  y: 2,
  w: 30,
  h: 8,
  text: '你好',
  fontSize: 12,
  bold: false,
  italic: false,
  align: 'left',
  lineHeight: 1.2,
};

const IMAGE_SETTINGS = {
  threshold: 150,
  dither: true,
  ditherMode: 'floyd',
  brightness: 100,
  contrast: 100,
  invert: false,
  denoise: false,
  fit: 'stretch',
  blackPoint: 0,
  whitePoint: 255,
  gamma: 1,
  shadowLift: 0,
  localContrast: 0,
  inkSaving: 0,
};
const IMAGE = {
  id: 'i1',
  type: 'image',
  name: '图片',
  x: 5,
  y: 6,
  w: 20,
  h: 20,
  src: '',
  ...IMAGE_SETTINGS,
};

test('typing "12.5" into 字号 pt is one undo step and keeps the focus', async () => {
  await addObject(TEXT);
  expect(await page.locator('#props .panel-title').textContent()).toBe('标题');
  await retype(page, '字号 pt', '12.5');
  expect((await object()).fontSize).toBe(12.5);
  expect(await undoDepth()).toBe(1);
  const focused = await page.evaluate(
    () => document.activeElement?.closest('.prop-row')?.querySelector('.prop-label')?.textContent,
  );
  expect(focused).toBe('字号 pt');
  await page.screenshot({ path: join(testOutputDir(), 'inspector-text.png') });

  await page.evaluate(() => window.__sv!.store.undo());
  expect((await object()).fontSize).toBe(12);
  expect(await propControl(page, '字号 pt').inputValue()).toBe('12');

  // Beyond the range: stored clamped, and shown clamped once the field is left.
  await retype(page, '字号 pt', '500');
  expect((await object()).fontSize).toBe(200);
  await page.keyboard.press('Tab');
  expect(await propControl(page, '字号 pt').inputValue()).toBe('200');
});

test('the name follows typing into the panel title; switches and segments commit at once', async () => {
  await addObject(TEXT);
  await retype(page, '名称', '价签');
  expect(await page.locator('#props .panel-title').textContent()).toBe('价签');
  // A paste past the text limit is cut, and the hint says so.
  const content = propControl(page, '内容', 'textarea');
  await content.click();
  await page.keyboard.press('Control+A');
  await page.keyboard.insertText('长'.repeat(5001));
  expect((await content.inputValue()).length).toBe(5000);
  expect(await page.locator('#printer-hint').textContent()).toBe('文本过长，已截断为 5000 字');

  const lock = page.getByRole('switch', { name: '锁定' });
  expect(await lock.getAttribute('aria-checked')).toBe('false');
  await lock.click();
  expect((await object()).locked).toBe(true);
  expect(await page.getByRole('switch', { name: '锁定' }).getAttribute('aria-checked')).toBe(
    'true',
  );

  const style = page.getByRole('group', { name: '样式' });
  await style.getByRole('button', { name: '加粗' }).click();
  expect(await object()).toMatchObject({ bold: true, italic: false });
  await style.getByRole('button', { name: '斜体' }).click();
  expect(await object()).toMatchObject({ bold: false, italic: true });
  expect(await style.locator('.is-selected').textContent()).toBe('斜体');
  await page.getByRole('group', { name: '对齐' }).getByRole('button', { name: '右' }).click();
  expect((await object()).align).toBe('right');
  // The name typing, the paste, the switch and three segment clicks: six steps.
  expect(await undoDepth()).toBe(6);
});

test('picture rows round as their fields do; the presets set exactly their fields', async () => {
  await addObject(IMAGE);
  await retype(page, 'Gamma', '0.555');
  await retype(page, '阈值', '152.5');
  await retype(page, '亮度', '102.4');
  expect(await object()).toMatchObject({ gamma: 0.56, threshold: 152.5, brightness: 102 });

  await page.getByRole('button', { name: '黑白增强' }).click();
  expect(await object()).toMatchObject({
    brightness: 105,
    contrast: 165,
    threshold: 160,
    ditherMode: 'floyd',
    dither: true,
    invert: false,
    denoise: true,
    gamma: 0.56,
  });
  await page.getByRole('button', { name: '碳带暗部' }).click();
  expect(await object()).toMatchObject({
    brightness: 100,
    contrast: 105,
    gamma: 0.55,
    shadowLift: 55,
    localContrast: 30,
    inkSaving: 25,
    threshold: 120,
    denoise: true,
  });
  await propControl(page, '黑白处理', 'select').selectOption({ label: '纯黑白（阈值）' });
  expect(await object()).toMatchObject({ ditherMode: 'threshold', dither: false });

  await page.getByRole('button', { name: '恢复默认' }).click();
  expect(await object()).toMatchObject(IMAGE_SETTINGS);
  expect(await object()).toMatchObject({ x: 5, y: 6, w: 20, h: 20 });

  await page.getByRole('button', { name: '铺满标签' }).click();
  expect(await object()).toMatchObject({ x: 0, y: 0, w: 50, h: 80, fit: 'cover' });
  expect(await page.getByRole('button', { name: '铺满标签' }).getAttribute('title')).toBe(
    '把图片扩展到整个标签，便于制作背景图',
  );
  await page.screenshot({ path: join(testOutputDir(), 'inspector-image.png') });
});

test('typing "30" into 标签宽 mm clamps the objects once, when the field is left', async () => {
  await addObject({ ...TEXT, x: 40, w: 10 });
  await page.evaluate(() => window.__sv!.store.select([]));
  expect(await page.locator('#props .panel-title').textContent()).toBe('标签配置');

  const width = propControl(page, '标签宽 mm');
  await width.click();
  await page.keyboard.press('Control+A');
  await page.keyboard.type('3');
  // "3" is on the way to "30": the page follows, the objects do not.
  expect(await object()).toMatchObject({ x: 40, w: 10 });
  await page.keyboard.type('0');
  expect(await page.locator('.layout-summary').textContent()).toBe(
    '2 列 · 单标签 30×80mm · 整排宽度 62.0mm',
  );
  await page.keyboard.press('Tab');
  expect(await page.evaluate(() => window.__sv!.store.doc.page.widthMm)).toBe(30);
  expect(await object()).toMatchObject({ x: 20, w: 10 });
  expect(await undoDepth()).toBe(1);
  await page.screenshot({ path: join(testOutputDir(), 'inspector-label-config.png') });

  await page.evaluate(() => window.__sv!.store.undo());
  expect(await page.evaluate(() => window.__sv!.store.doc.page.widthMm)).toBe(50);
  expect(await object()).toMatchObject({ x: 40, w: 10 });
});

test('the column segments and the copy mode without data', async () => {
  await retype(page, '列数', '5');
  expect(
    await page.getByRole('group', { name: '列布局' }).locator('.is-selected').textContent(),
  ).toBe('三列');
  await page.getByRole('group', { name: '列布局' }).getByRole('button', { name: '单列' }).click();
  expect(await page.evaluate(() => window.__sv!.store.doc.print.columns)).toBe(1);
  const sequence = propControl(page, '多份数据', 'select').locator('option', {
    hasText: '按数据表顺延',
  });
  expect(await sequence.isDisabled()).toBe(true);
  await page.evaluate(() => window.__sv!.store.update((d) => (d.print.copyMode = 'sequence')));
  expect(
    await propControl(page, '多份数据', 'select').evaluate(
      (s: HTMLSelectElement) => s.selectedOptions[0].textContent,
    ),
  ).toBe('每份相同（普通复印）');
});

test('a barcode: height maps through the text band, binding picks a placeholder', async () => {
  await addObject({
    id: 'b1',
    type: 'barcode',
    name: '条码',
    x: 2,
    y: 2,
    w: 30,
    h: 15.12,
    symbology: 'code128',
    data: 'x{{编码}}',
    showText: true,
    moduleWidth: 3,
    barHeight: 12,
    widthScale: 1,
  });
  await retype(page, '高度 mm', '20');
  // 20 − (12 × 0.16 + 1.2)
  expect((await object()).barHeight).toBeCloseTo(16.88, 9);
  const binding = propControl(page, '绑定字段', 'select');
  expect(await binding.locator('option').first().textContent()).toBe('先导入数据源');
  await page.evaluate(() =>
    window.__sv!.store.setDataset({
      name: 'd.csv',
      fields: ['编码', '名称'],
      rows: [{ 编码: '1', 名称: 'a' }],
    }),
  );
  expect(await binding.inputValue()).toBe('');
  expect(await binding.locator('option').first().textContent()).toBe('选择字段…');
  await binding.selectOption('编码');
  expect((await object()).data).toBe('{{编码}}');
  expect(await propControl(page, '绑定字段', 'select').inputValue()).toBe('编码');
  await page.evaluate(() => window.__sv!.store.setDataset(null));
  expect(designer.errors).toEqual([]);
});

test('a 2D code: 码制 offers Data Matrix and PDF417; 纠错 is QR-only; a PDF417 keeps its aspect', async () => {
  await addObject({
    id: 'q1',
    type: 'qrcode',
    name: '二维码',
    x: 5,
    y: 5,
    w: 30,
    h: 30,
    symbology: 'qrcode',
    data: 'SV-2026/0042',
    ecc: 'M',
    moduleSize: 4,
  });
  const symbology = propControl(page, '码制', 'select');
  expect(await symbology.locator('option').allTextContents()).toEqual([
    'QR 码',
    'Data Matrix',
    'GS1 Data Matrix',
    'PDF417',
  ]);
  const ecc = page.locator('#props .prop-label', { hasText: /^纠错$/ });
  expect(await ecc.count()).toBe(1);
  await symbology.selectOption({ label: 'PDF417' });
  expect(await ecc.count()).toBe(0);
  // The box follows the symbol: as wide as it was, as high as the symbol's aspect makes it.
  await expect.poll(async () => (await object()).h).toBeLessThan(15);
  expect((await object()).w).toBe(30);
  await page.screenshot({ path: join(testOutputDir(), 'inspector-2d-pdf417.png') });
  await propControl(page, '码制', 'select').selectOption({ label: 'Data Matrix' });
  // Square again, on its length.
  expect(await object()).toMatchObject({ symbology: 'datamatrix', w: 30, h: 30 });
  expect(await ecc.count()).toBe(0);
  await page.screenshot({ path: join(testOutputDir(), 'inspector-2d-datamatrix.png') });
  expect(designer.errors).toEqual([]);
});

test('换一张图 replaces the picture inside the same box; the chooser goes away', async () => {
  await addObject({ ...IMAGE, src: 'data:image/png;base64,AAAA' });
  const [chooser] = await Promise.all([
    page.waitForEvent('filechooser'),
    page.getByRole('button', { name: '换一张图' }).click(),
  ]);
  expect(chooser.isMultiple()).toBe(false);
  await chooser.setFiles(join(repoRoot, 'web/public/sample.jpg'));
  await page.waitForFunction(() =>
    (window.__sv!.store.doc.objects[0] as { src: string }).src.startsWith('data:image/jpeg'),
  );
  expect(await object()).toMatchObject({ x: 5, y: 6, w: 20, h: 20 });
  expect(await page.evaluate(() => window.__sv!.store.dirty)).toBe(true);
  expect(await undoDepth()).toBe(1);
  expect(await page.locator('input[type=file]').count()).toBe(3);
});

test('several objects: the hint, six align buttons and 删除所选, locked ones included', async () => {
  await addObject({ ...TEXT, id: 'a', x: 3 });
  await addObject({ ...TEXT, id: 'b', x: 9, locked: true });
  await page.evaluate(() => window.__sv!.store.select(['a', 'b']));
  expect(await page.locator('#props .panel-title').textContent()).toBe('2 个对象');
  expect(await page.locator('#props .field-hint').textContent()).toBe(
    '多选状态下可整体拖动，或用下面的按钮对齐页面。',
  );
  const align = page.locator('#props .prop-align button');
  expect(await align.allTextContents()).toEqual([
    '左对齐',
    '水平居中',
    '右对齐',
    '顶对齐',
    '垂直居中',
    '底对齐',
  ]);
  await align.nth(2).click();
  // Only the unlocked one moves: 50 − 30.
  expect(await page.evaluate(() => window.__sv!.store.doc.objects.map((o) => o.x))).toEqual([
    20, 9,
  ]);
  await page.screenshot({ path: join(testOutputDir(), 'inspector-multi.png') });
  await page.locator('#props .panel-head .danger').click();
  expect(await page.evaluate(() => window.__sv!.store.doc.objects.length)).toBe(0);
  expect(await page.locator('#props .panel-title').textContent()).toBe('标签配置');
});

test('标签配置 in the head deselects; an emptied label name becomes 未命名标签 on leaving', async () => {
  await addObject(TEXT);
  const back = page.getByRole('button', { name: '返回标签配置' });
  expect(await back.getAttribute('title')).toBe('取消选中，返回标签尺寸和打印参数');
  await back.click();
  expect(await page.evaluate(() => window.__sv!.store.selection)).toEqual([]);
  await retype(page, '名称', '   ');
  await page.keyboard.press('Tab');
  expect(await page.evaluate(() => window.__sv!.store.doc.name)).toBe('未命名标签');
  expect(await propControl(page, '名称').inputValue()).toBe('未命名标签');
  await retype(page, '名称', ' 价签 ');
  await page.keyboard.press('Tab');
  expect(await page.evaluate(() => window.__sv!.store.doc.name)).toBe('价签');
  expect(designer.errors).toEqual([]);
});
