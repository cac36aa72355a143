// Decoded source pictures of image objects, by `src`. A source that failed stays failed until
// the caches are cleared, so a broken picture is not decoded again on every redraw.

const loaded = new Map<string, HTMLImageElement>();
const failed = new Set<string>();
const pending = new Map<string, Promise<void>>();
// Raised by clearing, so that a decode started for a replaced document cannot refill the cache.
let generation = 0;

export function loadedImage(src: string): HTMLImageElement | undefined {
  return loaded.get(src);
}

export function hasImageFailed(src: string): boolean {
  return failed.has(src);
}

function load(src: string): Promise<void> {
  const running = pending.get(src);
  if (running) return running;
  const started = generation;
  const img = new Image();
  img.src = src;
  const done = img.decode().then(
    () => {
      if (started === generation) loaded.set(src, img);
    },
    () => {
      if (started === generation) failed.add(src);
    },
  );
  const settled = done.finally(() => {
    if (pending.get(src) === settled) pending.delete(src);
  });
  pending.set(src, settled);
  return settled;
}

/** Starts decoding every picture that is neither loaded nor failed; settles when all have. */
export async function preloadImages(doc: {
  objects: readonly { type: string; src?: unknown }[];
}): Promise<void> {
  const loads: Promise<void>[] = [];
  for (const obj of doc.objects) {
    if (obj.type !== 'image' || typeof obj.src !== 'string' || obj.src === '') continue;
    if (loaded.has(obj.src) || failed.has(obj.src)) continue;
    loads.push(load(obj.src));
  }
  await Promise.all(loads);
}

export function clearImageSources(): void {
  generation++;
  loaded.clear();
  failed.clear();
  pending.clear();
}
