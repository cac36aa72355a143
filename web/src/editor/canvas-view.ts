// The editor canvas: the label redrawn at printer resolution on every store change, scaled on
// screen by the zoom, with the gestures' overlay on top; pointer and wheel input.

import type { Elements } from '../page/elements';
import { writeText } from '../page/write';
import { autoSizeBarcodes } from '../render/barcode-size';
import { drawLabel, labelSizeDots } from '../render/label';
import { handleToleranceMm, pointerToMm, type Point } from './geometry';
import type { CanvasGestures } from './gestures';
import { drawOverlay } from './overlay';
import { WHEEL_ZOOM_IN, WHEEL_ZOOM_OUT, fitZoom, zoomLabel } from './placement';
import type { DocumentStore } from '../store/document-store';

export type CanvasElements = Pick<Elements, 'editor-canvas' | 'canvas-host' | 'zoom-label'>;

export interface CanvasView {
  redraw(store: DocumentStore): void;
  showZoom(store: DocumentStore): void;
  fit(): void;
}

export function installCanvasView(
  el: CanvasElements,
  store: DocumentStore,
  gestures: CanvasGestures,
): CanvasView {
  const canvas = el['editor-canvas'];
  const ctx = canvas.getContext('2d');
  if (!ctx) throw new Error('浏览器不支持画布');
  let shownWidth = '';
  let shownHeight = '';

  const redraw = (s: DocumentStore) => {
    const { width, height } = labelSizeDots(s.doc);
    if (canvas.width !== width || canvas.height !== height) {
      canvas.width = width;
      canvas.height = height;
    }
    const context = s.dataContext();
    autoSizeBarcodes(s.doc, context, s.recordIndex);
    // Bitmaps (pictures, bars) land on whole dots here, as the 1-bit print shows them: a smoothed
    // picture at a fractional position costs seven times as much and made a drag miss frames.
    ctx.imageSmoothingEnabled = false;
    drawLabel(ctx, s.doc, context);
    drawOverlay(ctx, {
      selected: s.selected,
      handles: gestures.handleOwner(),
      marquee: gestures.marquee,
      guides: gestures.guides,
      zoom: s.zoom,
      dpi: s.doc.page.dpi,
      width,
      height,
    });
    // Only touch the style when it changes: each write would otherwise invalidate layout.
    const cssWidth = `${Math.round(width * s.zoom)}px`;
    const cssHeight = `${Math.round(height * s.zoom)}px`;
    if (cssWidth !== shownWidth) canvas.style.width = shownWidth = cssWidth;
    if (cssHeight !== shownHeight) canvas.style.height = shownHeight = cssHeight;
  };

  const fit = () => {
    const host = el['canvas-host'];
    const { width, height } = labelSizeDots(store.doc);
    store.setZoom(fitZoom(host.clientWidth, host.clientHeight, width, height));
  };

  const toMm = (event: PointerEvent): Point =>
    pointerToMm(event.clientX, event.clientY, canvas.getBoundingClientRect(), store.doc.page);

  canvas.addEventListener('pointerdown', (event) => {
    if (event.button !== 0) return;
    // No text selection while dragging; and since that also keeps the focus where it was, a
    // field of the property panel is left by hand, so that Delete and the arrows reach the canvas.
    event.preventDefault();
    if (document.activeElement instanceof HTMLElement) document.activeElement.blur();
    const rect = canvas.getBoundingClientRect();
    const capture = gestures.pointerDown(
      toMm(event),
      { ctrl: event.ctrlKey, meta: event.metaKey, shift: event.shiftKey, alt: event.altKey },
      handleToleranceMm(rect.width, store.doc.page.widthMm),
    );
    // Capture keeps the gesture when the pointer leaves the canvas.
    if (capture) canvas.setPointerCapture(event.pointerId);
  });
  canvas.addEventListener('pointermove', (event) => {
    if (gestures.active) return;
    const rect = canvas.getBoundingClientRect();
    const cursor = gestures.cursorAt(
      toMm(event),
      handleToleranceMm(rect.width, store.doc.page.widthMm),
    );
    if (canvas.style.cursor !== cursor) canvas.style.cursor = cursor;
  });
  window.addEventListener('pointermove', (event) => {
    if (!gestures.active) return;
    // A release the page never saw (the window lost focus mid-drag) ends the gesture here.
    if ((event.buttons & 1) === 0) gestures.pointerUp(toMm(event));
    else gestures.pointerMove(toMm(event), event.altKey);
  });
  const end = (event: PointerEvent) => {
    if (gestures.active) gestures.pointerUp(toMm(event));
  };
  window.addEventListener('pointerup', end);
  window.addEventListener('pointercancel', end);

  // The whole canvas area takes Ctrl+wheel, so a label shown small is not missed for the browser's
  // own page zoom.
  el['canvas-host'].addEventListener(
    'wheel',
    (event) => {
      if (!event.ctrlKey) return;
      event.preventDefault();
      store.setZoom(store.zoom * (event.deltaY > 0 ? WHEEL_ZOOM_OUT : WHEEL_ZOOM_IN));
    },
    { passive: false },
  );

  return {
    redraw,
    showZoom: (s) => {
      writeText(el['zoom-label'], zoomLabel(s.zoom));
    },
    fit,
  };
}
