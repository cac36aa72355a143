import { afterEach, beforeEach, describe, expect, test } from 'vitest';
import { createObject } from '../src/document/factory';
import { createSampleDocument } from '../src/document/templates';
import { installCanvasView } from '../src/editor/canvas-view';
import { isEmptySpacePress } from '../src/editor/empty-click';
import { CanvasGestures } from '../src/editor/gestures';
import { barcodeSizing } from '../src/editor/barcode-sizing';
import { DocumentStore } from '../src/store/document-store';
import { pictureSettings } from '../src/render/picture';
import { getProcessedImage, processedImageCount, processedKeyTail } from '../src/image/cache';
import { barcodeLibrary } from '../src/render/barcode-bitmap';
import { clearRenderCaches } from '../src/render/caches';
import { preloadImages } from '../src/render/sources';
import { pickElements } from './support/elements';

const none = { ctrl: false, meta: false, shift: false, alt: false };

describe('a press on empty space', () => {
  let body: HTMLElement;
  beforeEach(() => {
    document.body.innerHTML = `
      <main id="app-body">
        <aside class="side-panel">
          <section class="panel-card"><h2 id="t-title">图层</h2>
            <div class="layer-list"><div class="layer-row"><span id="t-row">矩形</span></div></div>
            <a id="t-link" href="#x"><span id="t-link-inner">下载</span></a>
            <div id="t-rb" role="button">x</div>
          </section>
        </aside>
        <section class="canvas-column">
          <div class="canvas-toolbar"><div id="t-group" class="tool-group"></div></div>
          <div id="t-host"><canvas id="t-canvas" class="editor-canvas"></canvas></div>
        </section>
        <aside class="side-panel right">
          <section id="t-props" class="props-card">
            <label id="t-label">名称<input id="t-input" /></label><p id="t-para">说明</p>
          </section>
          <section class="print-card"><p id="t-print">打印</p><button id="t-btn">打印</button></section>
        </aside>
        <div id="t-elsewhere">其他</div>
      </main>
      <div class="help-sheet"><p id="t-sheet">x</p></div>`;
    body = document.getElementById('app-body')!;
  });

  test.each([
    ['app-body itself', 'app-body', true],
    ['a panel title', 't-title', true],
    ['the canvas area around the canvas', 't-host', true],
    ['the property card', 't-para', true],
    ['the canvas', 't-canvas', false],
    ['the toolbar', 't-group', false],
    ['a layer row', 't-row', false],
    ['inside a link', 't-link-inner', false],
    ['an element with the role button', 't-rb', false],
    ['a label', 't-label', false],
    ['an input', 't-input', false],
    ['the print card', 't-print', false],
    ['a button', 't-btn', false],
    ['outside the panels', 't-elsewhere', false],
    ['a sheet', 't-sheet', false],
  ])('%s: %s', (_, id, empty) => {
    expect(isEmptySpacePress(document.getElementById(id)!, body)).toBe(empty);
  });
});

describe('the canvas view', () => {
  let store: DocumentStore;
  let gestures: CanvasGestures;
  let ctx: CanvasRenderingContext2D;

  beforeEach(() => {
    clearRenderCaches();
    document.body.innerHTML = `<div id="canvas-host" style="width:800px;height:600px">
      <canvas id="editor-canvas"></canvas></div><span id="zoom-label"></span>`;
    const el = pickElements('editor-canvas', 'canvas-host', 'zoom-label');
    store = new DocumentStore();
    gestures = new CanvasGestures(store, (o) => barcodeSizing(o, 300, {}));
    const view = installCanvasView(el, store, gestures);
    store.subscribe(view.redraw);
    store.subscribe(view.showZoom);
    ctx = el['editor-canvas'].getContext('2d')!;
  });
  afterEach(() => {
    document.body.innerHTML = '';
  });

  const pixel = (x: number, y: number) => Array.from(ctx.getImageData(x, y, 1, 1).data);

  test('sizes the canvas in dots and shows it zoomed', () => {
    store.reset(createSampleDocument(), false);
    const canvas = ctx.canvas;
    expect([canvas.width, canvas.height]).toEqual([591, 945]);
    store.setZoom(0.5);
    expect([canvas.style.width, canvas.style.height]).toEqual(['296px', '473px']);
    expect(document.getElementById('zoom-label')!.textContent).toBe('50%');
  });

  test('draws frames, handles and a guide over the label', () => {
    const a = createObject('rect', { x: 5, y: 5, w: 10.3, h: 8 });
    const b = createObject('rect', { x: 20, y: 40, w: 10, h: 10 });
    b.lineWidth = 0.1; // a hairline, so the handle is seen over white
    store.doc.objects.push(a, b);
    // Pressed on its outline: an unfilled rectangle is not taken in its middle.
    gestures.pointerDown({ x: 20.5, y: 45 }, none, 0.5);
    gestures.pointerMove({ x: 16, y: 45.3 });
    // The guide at 15.3 mm (dot 180.7), dashed down the whole page, in the guide colour.
    const column = ctx.getImageData(180, 0, 2, 945).data;
    let red = 0;
    for (let i = 0; i < column.length; i += 4) {
      if (column[i] > 200 && column[i + 1] < 120 && column[i + 2] < 160) red++;
    }
    expect(red).toBeGreaterThan(945 * 0.5);
    // The nw handle of b (now at 15.3, 40 mm): a white square with the frame colour round it.
    const hx = Math.round((15.3 * 300) / 25.4);
    const hy = Math.round((40 * 300) / 25.4);
    expect(pixel(hx + 1, hy + 2)).toEqual([255, 255, 255, 255]);
    const [r, , blue] = pixel(hx + 3, hy - 2);
    expect([r < 140, blue > 200]).toEqual([true, true]);
    gestures.pointerUp();
  });

  test('a barcode resized by its west handle keeps its right edge on whole-dot modules', () => {
    const bc = createObject('barcode', { x: 20, y: 20, w: 20, h: 15 });
    store.add(bc); // the first redraw measures its box
    const right = bc.x + bc.w;
    const width = bc.w;
    for (const dx of [-7.9, -3.3, 1.2]) {
      gestures.pointerDown({ x: bc.x, y: bc.y + bc.h / 2 }, none, 0.5);
      expect(gestures.state).toBe('resize');
      gestures.pointerMove({ x: bc.x + dx, y: bc.y + bc.h / 2 });
      gestures.pointerUp();
      // Whole dots per module, the box as the automatic sizing keeps it, the right edge in place.
      expect(Number.isInteger(Math.round(bc.widthScale * bc.moduleWidth * 1e9) / 1e9)).toBe(true);
      expect(bc.x + bc.w).toBeCloseTo(right, 9);
    }
    expect(bc.w).not.toBeCloseTo(width, 1);
  });

  test('a move neither re-encodes a barcode nor re-processes a picture', async () => {
    const doc = createSampleDocument();
    const src = document.createElement('canvas');
    src.width = src.height = 300;
    const g = src.getContext('2d')!;
    g.fillStyle = '#888';
    g.fillRect(0, 0, 300, 300);
    const picture = createObject('image', { x: 26, y: 47, w: 20, h: 20 });
    picture.src = src.toDataURL('image/png');
    doc.objects.push(picture);
    store.reset(doc, false);
    await preloadImages(store.doc);
    store.preview();
    const tail = processedKeyTail(236, 236, pictureSettings(picture));
    const bitmap = getProcessedImage(picture.src, tail);
    expect(bitmap).toBeDefined();
    const processed = processedImageCount();

    let encodes = 0;
    const original = barcodeLibrary.encode;
    barcodeLibrary.encode = (...args) => {
      encodes++;
      return original(...args);
    };
    try {
      for (const [id, x, y] of [
        [picture.id, 30, 55],
        [doc.objects[4].id, 20, 30], // the barcode
        [doc.objects[5].id, 10, 55], // the qrcode
      ] as const) {
        gestures.pointerDown({ x, y }, none, 0.5);
        expect(store.selection).toEqual([id]);
        for (let i = 1; i <= 20; i++) gestures.pointerMove({ x: x + i * 0.37, y: y + i * 0.21 });
        gestures.pointerUp();
      }
    } finally {
      barcodeLibrary.encode = original;
    }
    expect(encodes).toBe(0);
    expect(processedImageCount()).toBe(processed);
    expect(getProcessedImage(picture.src, tail)).toBe(bitmap);
  });
});
