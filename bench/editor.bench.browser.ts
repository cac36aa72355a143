import { test } from 'vitest';
import { createObject } from '../web/src/document/factory';
import { createSampleDocument } from '../web/src/document/templates';
import { barcodeSizing } from '../web/src/editor/barcode-sizing';
import { installCanvasView } from '../web/src/editor/canvas-view';
import { CanvasGestures } from '../web/src/editor/gestures';
import { installLayerList } from '../web/src/editor/layer-list';
import { DocumentStore } from '../web/src/store/document-store';
import { processedImageCount } from '../web/src/image/cache';
import { resolveElements } from '../web/src/page/elements';
import { barcodeLibrary } from '../web/src/render/barcode-bitmap';
import { clearRenderCaches } from '../web/src/render/caches';
import { preloadImages } from '../web/src/render/sources';

const STEPS = 200;

function percentile(xs: number[], p: number): number {
  const s = [...xs].sort((a, b) => a - b);
  return s[Math.min(s.length - 1, Math.floor(s.length * p))];
}

/** A 1181 × 1181 photograph-like source: a radial gradient under coloured blocks. */
function pictureDataUrl(size: number): string {
  const c = document.createElement('canvas');
  c.width = c.height = size;
  const g = c.getContext('2d')!;
  const fill = g.createRadialGradient(size / 2, size / 2, 10, size / 2, size / 2, size / 1.5);
  fill.addColorStop(0, '#eee');
  fill.addColorStop(1, '#222');
  g.fillStyle = fill;
  g.fillRect(0, 0, size, size);
  for (let i = 0; i < 400; i++) {
    g.fillStyle = `rgb(${(i * 37) % 256},${(i * 91) % 256},${(i * 53) % 256})`;
    g.fillRect((i * 131) % size, (i * 71) % size, 40, 25);
  }
  return c.toDataURL('image/png');
}

test('one move step on a 100×150 mm 300 dpi label vs one drawImage of the finished canvas', async () => {
  clearRenderCaches();
  document.body.innerHTML = `<div id="canvas-host" style="width:900px;height:700px;overflow:auto">
    <canvas id="editor-canvas"></canvas></div><span id="zoom-label"></span>
    <div id="layer-list"></div>`;
  const el = resolveElements(document, [
    'editor-canvas',
    'canvas-host',
    'zoom-label',
    'layer-list',
  ]);

  const store = new DocumentStore();
  const doc = createSampleDocument();
  doc.page = { widthMm: 100, heightMm: 150, dpi: 300 };
  const picture = createObject('image', { x: 0, y: 50, w: 100, h: 100 });
  picture.src = pictureDataUrl(1181);
  picture.ditherMode = 'floyd';
  doc.objects.push(picture);

  const gestures = new CanvasGestures(store, (o) => barcodeSizing(o, 300, store.dataContext()));
  const view = installCanvasView(el, store, gestures);
  const layers = installLayerList(el, store);
  store.subscribe((s) => {
    view.redraw(s);
    layers();
    view.showZoom(s);
  });
  store.reset(doc, false);
  await preloadImages(store.doc);
  view.fit();

  const canvas = el['editor-canvas'];
  const ctx = canvas.getContext('2d')!;
  const floor = document.createElement('canvas');
  floor.width = canvas.width;
  floor.height = canvas.height;
  const fctx = floor.getContext('2d')!;
  // Reading one pixel back makes the browser finish the queued drawing before the clock stops.
  const finish = (c: CanvasRenderingContext2D) => c.getImageData(0, 0, 1, 1).data[0];

  const processedBefore = processedImageCount();
  let encodes = 0;
  const original = barcodeLibrary.encode;
  barcodeLibrary.encode = (...args) => {
    encodes++;
    return original(...args);
  };

  // Grab the picture in the middle and drag it around in small steps, as a hand does.
  const rect = canvas.getBoundingClientRect();
  const toClient = (x: number, y: number) => ({
    clientX: rect.left + (x / 100) * rect.width,
    clientY: rect.top + (y / 150) * rect.height,
  });
  gestures.pointerDown(
    { x: 50, y: 100 },
    { ctrl: false, meta: false, shift: false, alt: false },
    0.5,
  );
  const move = (i: number) => {
    const t = i / 20;
    const p = toClient(50 + 8 * Math.sin(t), 100 - 12 * Math.abs(Math.sin(t / 2)));
    window.dispatchEvent(new PointerEvent('pointermove', { ...p, buttons: 1, bubbles: true }));
  };
  let sink = 0;
  const steps: number[] = [];
  const floors: number[] = [];
  try {
    for (let i = 0; i < 10; i++) move(i); // warm-up
    for (let i = 0; i < STEPS; i++) {
      let t0 = performance.now();
      move(i + 10);
      sink += finish(ctx);
      steps.push(performance.now() - t0);
      t0 = performance.now();
      fctx.drawImage(canvas, 0, 0);
      sink += finish(fctx);
      floors.push(performance.now() - t0);
    }
  } finally {
    barcodeLibrary.encode = original;
    gestures.pointerUp();
  }

  const median = percentile(steps, 0.5);
  const p95 = percentile(steps, 0.95);
  const floorMedian = percentile(floors, 0.5);
  const floorP95 = percentile(floors, 0.95);
  console.log(
    `[bench] editor move step, ${canvas.width}x${canvas.height} canvas, sample objects + ` +
      `1181x1181 floyd picture, ${STEPS} steps: median ${median.toFixed(2)} ms, ` +
      `p95 ${p95.toFixed(2)} ms (goal < 16); drawImage floor median ${floorMedian.toFixed(2)} ms, p95 ${floorP95.toFixed(2)} ms; ` +
      `ratios median ${(median / floorMedian).toFixed(1)}, p95 ${(p95 / floorMedian).toFixed(1)}; ` +
      `barcode encodes during the drag ${encodes}, pictures processed ` +
      `${processedImageCount() - processedBefore}; the picture ended at ` +
      `(${picture.x}, ${picture.y}) mm ${sink >= 0 ? '' : '!'}`,
  );
});
