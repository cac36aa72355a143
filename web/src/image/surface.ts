/**
 * A fresh canvas to draw on. The batch worker has no document: there an OffscreenCanvas stands
 * in, which has every member the renderer uses (size, `getContext`, use as a `drawImage` source),
 * so the same drawing code runs on the page and in the worker.
 */
export function createSurface(): HTMLCanvasElement {
  if (typeof document !== 'undefined') return document.createElement('canvas');
  return new OffscreenCanvas(300, 150) as unknown as HTMLCanvasElement;
}
