/// <reference types="node" />
// The canvas editor on the page the binary serves, driven by real mouse, keyboard and clipboard
// input: adding objects, dragging with snapping and guides, handles, the marquee, shortcuts and
// the zoom limits.
import { join } from 'node:path';
import type { Browser, BrowserContext, Page } from 'playwright-core';
import { afterAll, beforeAll, beforeEach, describe, expect, test } from 'vitest';
import type { LabelObject } from '../web/src/document/model';
import { collectPageErrors, launchChromium } from './support/chromium';
import { propControl, retype } from './support/designer';
import { testOutputDir } from './support/paths';
import { startService, type RunningService } from './support/service';

let service: RunningService;
let browser: Browser;
let context: BrowserContext;
let page: Page;
let errors: string[];

// A 1×1 PNG of one red pixel.
const RED_DOT_PNG = Buffer.from(
  'iVBORw0KGgoAAAANSUhEUgAAAAEAAAABCAYAAAAfFcSJAAAADUlEQVR42mP8z8DwHwAFBQIAX8jx0gAAAABJRU5ErkJggg==',
  'base64',
);

beforeAll(async () => {
  service = await startService();
  browser = await launchChromium();
  context = await browser.newContext({ viewport: { width: 1440, height: 900 } });
  await context.grantPermissions(['clipboard-read', 'clipboard-write'], {
    origin: service.url.replace(/\/$/, ''),
  });
  page = await context.newPage();
  errors = collectPageErrors(page);
  await page.goto(`${service.url}?api=`);
  await page.waitForFunction(() => window.__sv !== undefined);
  // The start-up splash covers the page for a moment; raw mouse input would land on it.
  await page.waitForSelector('#splash', { state: 'detached' });
});

afterAll(async () => {
  await browser?.close();
  await service?.stop();
});

type Box = [x: number, y: number, w: number, h: number];

/** Replaces the document by filled rectangles (some locked when asked) and fits the zoom. */
async function loadRects(boxes: Box[], locked: number[] = [], page_: [number, number] = [50, 80]) {
  await page.evaluate(
    ({ boxes, locked, size }) => {
      const sv = window.__sv!;
      const doc = sv.parseDoc({
        schemaVersion: 1,
        name: '测试',
        page: { widthMm: size[0], heightMm: size[1], dpi: 300 },
        objects: boxes.map(([x, y, w, h], i) => ({
          id: `r${i}`,
          type: 'rect',
          name: `矩形${i}`,
          x,
          y,
          w,
          h,
          locked: locked.includes(i),
          fill: true,
        })),
      });
      sv.store.reset(doc, false);
      sv.store.history.clear();
    },
    { boxes, locked, size: page_ },
  );
  await page.click('#btn-fit');
}

const objects = () => page.evaluate(() => window.__sv!.store.doc.objects) as Promise<LabelObject[]>;
const selection = () => page.evaluate(() => [...window.__sv!.store.selection]);
const guides = () => page.evaluate(() => window.__sv!.guides as { x: number[]; y: number[] });
const zoom = () => page.evaluate(() => window.__sv!.store.zoom);

/** Screen position of a point given in millimetres, and millimetres per screen pixel. */
async function mapping() {
  const rect = await page.locator('#editor-canvas').boundingBox();
  const size = await page.evaluate(() => window.__sv!.store.doc.page);
  if (!rect) throw new Error('canvas not shown');
  const perPx = size.widthMm / rect.width;
  return {
    at: (x: number, y: number) => ({
      x: rect.x + (x / size.widthMm) * rect.width,
      y: rect.y + (y / size.heightMm) * rect.height,
    }),
    perPx,
    mm: (px: number) => px * perPx,
  };
}

beforeEach(() => {
  errors.length = 0;
});

describe('adding objects', () => {
  test('each button adds its type, centred and selected', async () => {
    await loadRects([]);
    const types = ['text', 'barcode', 'qrcode', 'rect', 'line'];
    for (const type of types) await page.click(`[data-add="${type}"]`);
    const objs = await objects();
    expect(objs.map((o) => o.type)).toEqual(types);
    const boxes = objs.map((o) => [o.type, o.x, o.y, o.w]);
    // 50 × 80 mm page: text and rect 36 mm wide, the qrcode 16 mm, the line 30 mm; barcodes get
    // their measured width, so only their position is checked.
    expect(boxes.filter(([t]) => t !== 'barcode')).toEqual([
      ['text', 7, 36, 36],
      ['qrcode', 17, 32, 16],
      ['rect', 7, 31, 36],
      ['line', 10, 40, 30],
    ]);
    expect(await selection()).toEqual([objs[4].id]);
    const rows = await page.locator('#layer-list .layer-row').allTextContents();
    expect(rows).toEqual([
      '直线直线',
      '矩形矩形',
      '二维码二维码',
      '一维码一维码',
      '双击编辑文本文本',
    ]);
    expect(await page.locator('#btn-undo').isDisabled()).toBe(false);
  });

  test('a picture from the image button and from a clipboard paste', async () => {
    await loadRects([]);
    const chooser = page.waitForEvent('filechooser');
    await page.click('[data-add="image"]');
    await (await chooser).setFiles({ name: 'dot.png', mimeType: 'image/png', buffer: RED_DOT_PNG });
    await page.waitForFunction(() => window.__sv!.store.doc.objects.length === 1);
    let objs = await objects();
    expect(objs[0]).toMatchObject({ type: 'image', x: 4, y: 4, w: 24, h: 24 });

    // A real paste: a 40 × 20 PNG on the system clipboard, then Ctrl+V on the page.
    await page.evaluate(async () => {
      const c = document.createElement('canvas');
      c.width = 40;
      c.height = 20;
      c.getContext('2d')!.fillRect(0, 0, 40, 20);
      const blob = await new Promise<Blob>((r) => c.toBlob((b) => r(b!), 'image/png'));
      await navigator.clipboard.write([new ClipboardItem({ 'image/png': blob })]);
    });
    await page.locator('#editor-canvas').click({ position: { x: 2, y: 2 } });
    await page.keyboard.press('Control+V');
    await page.waitForFunction(() => window.__sv!.store.doc.objects.length === 2);
    objs = await objects();
    expect(objs[1]).toMatchObject({ type: 'image', x: 4, y: 4, w: 24, h: 12 });
    expect(await selection()).toEqual([objs[1].id]);
    expect(errors).toEqual([]);
  });
});

describe('dragging', () => {
  test('an edge snaps onto another object with a guide, and the drag undoes in one step', async () => {
    // r0's right edge is at 15.3 mm; r1 starts at x 20.
    await loadRects([
      [5, 10, 10.3, 8],
      [20, 40, 10, 10],
    ]);
    const m = await mapping();
    const from = m.at(25, 45);
    await page.mouse.move(from.x, from.y);
    // The status texts, the zoom label and the tab's title are written when they change only:
    // over the drag each element is written once at most (the name and title turn unsaved).
    await page.evaluate(() => {
      const w = window as unknown as { written: string[] };
      w.written = [];
      new MutationObserver((records) => {
        for (const r of records) {
          const node = r.target instanceof Element ? r.target : r.target.parentElement;
          w.written.push(node?.id || node?.tagName || '');
        }
      }).observe(document.documentElement, { subtree: true, childList: true, characterData: true });
    });
    await page.mouse.down();
    // Steps to 15.5 mm for the left edge: 0.2 mm from r0's edge, 0.5 mm from a whole millimetre.
    const to = m.at(20.5, 45.3);
    await page.mouse.move(to.x, to.y, { steps: 6 });
    const written = await page.evaluate(() => (window as unknown as { written: string[] }).written);
    expect(written.filter((id, i) => written.indexOf(id) !== i)).toEqual([]);
    expect((await guides()).x).toEqual([15.3]);
    expect((await objects())[1].x).toBeCloseTo(15.3, 9);
    await page.locator('#canvas-host').screenshot({
      path: join(testOutputDir(), 'editor-drag-guides.png'),
    });
    await page.mouse.up();
    expect(await guides()).toEqual({ x: [], y: [] });
    const moved = (await objects())[1];
    expect(moved.x).toBeCloseTo(15.3, 9);
    expect(Number.isInteger(moved.y)).toBe(true);
    await page.click('#btn-undo');
    expect((await objects())[1]).toMatchObject({ x: 20, y: 40 });
    expect(await page.locator('#btn-undo').isDisabled()).toBe(true);
  });

  test('with Alt held the box lands exactly under the pointer', async () => {
    await loadRects([
      [5, 10, 10.3, 8],
      [20, 40, 10, 10],
    ]);
    const m = await mapping();
    const from = m.at(25, 45);
    await page.keyboard.down('Alt');
    await page.mouse.move(from.x, from.y);
    await page.mouse.down();
    await page.mouse.move(from.x - 37, from.y + 23, { steps: 4 });
    await page.mouse.up();
    await page.keyboard.up('Alt');
    const o = (await objects())[1];
    expect(o.x).toBeCloseTo(20 - m.mm(37), 6);
    expect(o.y).toBeCloseTo(40 + m.mm(23), 6);
  });

  test('handles resize: a rectangle by se, a qrcode by w stays square with its right edge', async () => {
    await loadRects([[10, 10, 10, 10]]);
    let m = await mapping();
    await page.mouse.click(m.at(15, 15).x, m.at(15, 15).y);
    const se = m.at(20, 20);
    await page.mouse.move(se.x, se.y);
    await page.mouse.down();
    await page.mouse.move(se.x + 40, se.y + 20, { steps: 3 });
    await page.mouse.up();
    const r = (await objects())[0];
    expect(r.w).toBeCloseTo(10 + m.mm(40), 6);
    expect(r.h).toBeCloseTo(10 + m.mm(20), 6);

    await page.evaluate(() => {
      const sv = window.__sv!;
      sv.store.reset(
        sv.parseDoc({
          schemaVersion: 1,
          name: '二维码',
          page: { widthMm: 50, heightMm: 80, dpi: 300 },
          objects: [{ id: 'q', type: 'qrcode', x: 30, y: 50, w: 12, h: 12, data: 'x' }],
        }),
        false,
      );
    });
    m = await mapping();
    await page.mouse.click(m.at(36, 56).x, m.at(36, 56).y);
    const w = m.at(30, 56);
    await page.mouse.move(w.x, w.y);
    await page.mouse.down();
    await page.mouse.move(w.x - 30, w.y + 9, { steps: 3 });
    await page.mouse.up();
    const q = (await objects())[0];
    expect(q.w).toBeCloseTo(12 + m.mm(30), 6);
    expect(q.h).toBe(q.w);
    expect(q.x + q.w).toBeCloseTo(42, 9);
  });

  test('a marquee over a locked object selects only the unlocked ones', async () => {
    await loadRects(
      [
        [5, 5, 10, 10],
        [20, 5, 10, 10],
        [35, 5, 10, 10],
      ],
      [1],
    );
    const m = await mapping();
    const a = m.at(2, 30);
    const b = m.at(40, 8);
    await page.mouse.move(a.x, a.y);
    await page.mouse.down();
    await page.mouse.move(b.x, b.y, { steps: 5 });
    await page.mouse.up();
    expect(await selection()).toEqual(['r0', 'r2']);
    // A click on the locked one selects it but does not drag it.
    const c = m.at(25, 10);
    await page.mouse.move(c.x, c.y);
    await page.mouse.down();
    await page.mouse.move(c.x + 30, c.y + 30, { steps: 3 });
    await page.mouse.up();
    expect(await selection()).toEqual(['r1']);
    expect((await objects())[1]).toMatchObject({ x: 20, y: 5 });
  });
});

describe("double-click, frames and a picture's aspect", () => {
  test('a text edited on the canvas, a picture inside a border, a width typed', async () => {
    await page.evaluate(() => {
      const sv = window.__sv!;
      const base = { name: '', locked: false };
      const doc = sv.parseDoc({
        schemaVersion: 1,
        name: '测试',
        page: { widthMm: 50, heightMm: 80, dpi: 300 },
        objects: [
          { ...base, id: 't', type: 'text', x: 5, y: 4, w: 30, h: 10, text: '旧', fontSize: 14 },
          { ...base, id: 'b', type: 'barcode', x: 5, y: 60, w: 30, h: 15, data: '123' },
          { ...base, id: 'p', type: 'image', x: 10, y: 30, w: 20, h: 10, src: '' },
          // A hollow border over the picture.
          { ...base, id: 'f', type: 'rect', x: 2, y: 24, w: 46, h: 30, fill: false },
        ],
      });
      sv.store.reset(doc, false);
      sv.store.history.clear();
    });
    await page.click('#btn-fit');
    const m = await mapping();
    const text = () =>
      page.evaluate(() => (window.__sv!.store.doc.objects[0] as { text: string }).text);
    const editor = page.locator('.canvas-text-editor');

    // Double-click: a text area over the text in its font at the zoom; two lines, Ctrl+Enter.
    const t = m.at(15, 8);
    await page.mouse.dblclick(t.x, t.y);
    await expect.poll(() => editor.isVisible()).toBe(true);
    const shown = await editor.evaluate((a) => {
      const box = a.getBoundingClientRect();
      return { left: box.left, width: box.width, size: parseFloat(getComputedStyle(a).fontSize) };
    });
    const zoomNow = await zoom();
    expect(shown.left).toBeCloseTo(m.at(5, 0).x, 0);
    expect(shown.width).toBeCloseTo(30 / m.perPx, 0);
    expect(shown.size).toBeCloseTo(((14 * 300) / 72) * zoomNow, 1);
    await page.keyboard.press('Control+A');
    await page.keyboard.type('第一行');
    await page.keyboard.press('Enter');
    await page.keyboard.type('第二行');
    await page.locator('#canvas-host').screenshot({
      path: join(testOutputDir(), 'editor-inline-text.png'),
    });
    expect(await text()).toBe('旧');
    await page.keyboard.press('Control+Enter');
    expect(await editor.count()).toBe(0);
    expect(await text()).toBe('第一行\n第二行');
    expect(await page.locator('#layer-list .layer-row').last().textContent()).toBe(
      '第一行 第二行文本',
    );
    await page.keyboard.press('Control+Z');
    expect(await text()).toBe('旧');
    expect(await page.locator('#btn-undo').isDisabled()).toBe(true);

    // Escape cancels; a click outside commits.
    await page.mouse.dblclick(t.x, t.y);
    await page.keyboard.type('丢');
    await page.keyboard.press('Escape');
    expect(await editor.count()).toBe(0);
    expect(await text()).toBe('旧');
    await page.mouse.dblclick(t.x, t.y);
    await page.keyboard.press('End');
    await page.keyboard.type('新');
    const outside = m.at(45, 70);
    await page.mouse.click(outside.x, outside.y);
    expect(await text()).toBe('旧新');

    // Inside the hollow border: the picture under it, or nothing; its outline takes the border.
    for (const [x, y, hit] of [
      [20, 35, ['p']],
      [40, 45, []],
      [2.5, 40, ['f']],
    ] as const) {
      const at = m.at(x, y);
      await page.mouse.click(at.x, at.y);
      expect(await selection(), `${x}, ${y}`).toEqual(hit);
    }

    // The picture keeps its 2 : 1 aspect when its width is typed; unlocked, it stretches.
    const pic = m.at(20, 35);
    await page.mouse.click(pic.x, pic.y);
    await retype(page, '宽 mm', '30');
    expect(await objects().then((o) => [o[2].w, o[2].h])).toEqual([30, 15]);
    expect(await propControl(page, '高 mm').inputValue()).toBe('15');
    await propControl(page, '锁定比例', 'button').click();
    await retype(page, '宽 mm', '40');
    expect(await objects().then((o) => [o[2].w, o[2].h])).toEqual([40, 15]);

    // A double-click on a barcode puts the cursor into its data.
    const b = m.at(20, 67);
    await page.mouse.dblclick(b.x, b.y);
    expect(await page.evaluate(() => (document.activeElement as HTMLInputElement).value)).toBe(
      '123',
    );
    expect(errors).toEqual([]);
  });
});

describe('keyboard', () => {
  test('Ctrl+Shift+Z undoes; ten quick arrows are one undo step', async () => {
    await loadRects([[10, 10, 10, 10]]);
    const m = await mapping();
    await page.mouse.click(m.at(15, 15).x, m.at(15, 15).y);
    for (let i = 0; i < 10; i++) await page.keyboard.press('ArrowRight');
    await page.keyboard.press('Shift+ArrowDown');
    expect((await objects())[0]).toMatchObject({ x: 15, y: 12 });
    await page.keyboard.press('Control+Shift+Z');
    expect((await objects())[0]).toMatchObject({ x: 10, y: 10 });
    expect(await page.evaluate(() => window.__sv!.store.canUndo)).toBe(false);
  });

  test('Escape clears the selection, Delete removes, Ctrl+D duplicates', async () => {
    await loadRects([[10, 10, 10, 10]]);
    await page.keyboard.press('Control+A');
    await page.keyboard.press('Control+D');
    expect((await objects()).map((o) => [o.x, o.y])).toEqual([
      [10, 10],
      [13, 13],
    ]);
    await page.keyboard.press('Escape');
    expect(await selection()).toEqual([]);
    await page.keyboard.press('Control+A');
    await page.keyboard.press('Delete');
    expect(await objects()).toEqual([]);
  });
});

describe('panels and toolbar', () => {
  test('Escape closes the open sheets in order, then clears the selection', async () => {
    await loadRects([[10, 10, 10, 10]]);
    await page.keyboard.press('Control+A');
    await page.evaluate(() => {
      for (const id of ['check-sheet', 'preview-sheet', 'help-sheet'])
        document.getElementById(id)!.hidden = false;
    });
    const open = () =>
      page.evaluate(() =>
        ['preview-sheet', 'check-sheet', 'help-sheet'].filter(
          (id) => !document.getElementById(id)!.hidden,
        ),
      );
    await page.keyboard.press('Escape');
    expect(await open()).toEqual(['check-sheet', 'help-sheet']);
    await page.keyboard.press('Escape');
    expect(await open()).toEqual(['help-sheet']);
    expect(await selection()).toEqual(['r0']);
    // The help sheet is not among the ones Escape closes.
    await page.keyboard.press('Escape');
    expect(await open()).toEqual(['help-sheet']);
    expect(await selection()).toEqual([]);
    await page.evaluate(() => (document.getElementById('help-sheet')!.hidden = true));
  });

  test('layer rows select, Ctrl toggles, Shift adds; empty panel space clears', async () => {
    await loadRects([
      [5, 5, 10, 10],
      [20, 5, 10, 10],
      [35, 5, 10, 10],
    ]);
    const row = (name: string) => page.locator('.layer-row', { hasText: name });
    await row('矩形1').click();
    expect(await selection()).toEqual(['r1']);
    await row('矩形0').click({ modifiers: ['Shift'] });
    expect(await selection()).toEqual(['r1', 'r0']);
    await row('矩形1').click({ modifiers: ['Control'] });
    expect(await selection()).toEqual(['r0']);
    expect(await page.locator('.layer-row.is-selected').allTextContents()).toEqual(['矩形0矩形']);
    // A press on the canvas area beside the label, and on a panel's blank space.
    const host = await page.locator('#canvas-host').boundingBox();
    await page.mouse.click(host!.x + 6, host!.y + host!.height - 6);
    expect(await selection()).toEqual([]);
    await row('矩形2').click();
    await page.locator('.layer-card .panel-title').click();
    expect(await selection()).toEqual([]);
    // Toolbar buttons keep it.
    await row('矩形2').click();
    await page.click('[data-align="bottom"]');
    await page.click('[data-layer="bottom"]');
    expect(await selection()).toEqual(['r2']);
    const objs = await objects();
    expect(objs.map((o) => o.id)).toEqual(['r2', 'r0', 'r1']);
    expect(objs[0]).toMatchObject({ x: 35, y: 70 });
    expect(await page.locator('.layer-row').last().textContent()).toBe('矩形2矩形');
  });
});

describe('zoom', () => {
  test('Ctrl+wheel stops at 20 % and 400 % and does not scroll the page', async () => {
    await loadRects([[10, 10, 10, 10]]);
    const m = await mapping();
    await page.mouse.move(m.at(25, 40).x, m.at(25, 40).y);
    await page.keyboard.down('Control');
    for (let i = 0; i < 30; i++) await page.mouse.wheel(0, 100);
    expect(await zoom()).toBeCloseTo(0.2, 9);
    expect(await page.textContent('#zoom-label')).toBe('20%');
    for (let i = 0; i < 40; i++) await page.mouse.wheel(0, -100);
    await page.keyboard.up('Control');
    expect(await zoom()).toBe(4);
    expect(await page.textContent('#zoom-label')).toBe('400%');
    expect(await page.evaluate(() => window.scrollY)).toBe(0);
    const width = await page.evaluate(
      () => document.querySelector<HTMLCanvasElement>('.editor-canvas')!.style.width,
    );
    expect(width).toBe(`${591 * 4}px`);
  });

  test('fit never goes above 200 %, and the buttons step by 1.2', async () => {
    await loadRects([], [], [10, 10]);
    expect(await zoom()).toBe(2);
    expect(await page.textContent('#zoom-label')).toBe('200%');
    await page.click('#btn-zoom-out');
    expect(await zoom()).toBeCloseTo(2 / 1.2, 9);
    await page.click('#btn-zoom-in');
    expect(await zoom()).toBeCloseTo(2, 9);
  });
});

test('the demo label opens fitted; a click selects the barcode (screenshot)', async () => {
  const demo = await context.newPage();
  const demoErrors = collectPageErrors(demo);
  await demo.goto(`${service.url}?demo&api=`);
  await demo.waitForSelector('#splash', { state: 'detached' });
  const state = await demo.evaluate(() => {
    const s = window.__sv!.store;
    const host = document.getElementById('canvas-host')!;
    const canvas = document.getElementById('editor-canvas')!.getBoundingClientRect();
    return {
      zoom: s.zoom,
      fits:
        canvas.width <= host.clientWidth - 48 + 1 && canvas.height <= host.clientHeight - 48 + 1,
      rows: document.querySelectorAll('#layer-list .layer-row').length,
      objects: s.doc.objects.length,
    };
  });
  expect(state.zoom).toBeLessThanOrEqual(2);
  expect(state.fits).toBe(true);
  expect(state.rows).toBe(state.objects);
  const rect = (await demo.locator('#editor-canvas').boundingBox())!;
  // The barcode lies at 4…46 × 25…41 mm on the 50 × 80 mm label.
  await demo.mouse.click(rect.x + (20 / 50) * rect.width, rect.y + (33 / 80) * rect.height);
  const selected = await demo.evaluate(() => window.__sv!.store.single?.type);
  expect(selected).toBe('barcode');
  await demo.screenshot({ path: join(testOutputDir(), 'editor-demo-selected.png') });
  expect(demoErrors).toEqual([]);
  await demo.close();
});
