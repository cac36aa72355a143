// The batch's row worker: composes each row on an OffscreenCanvas with the page's own drawing
// code, reads every symbol back and packs the row, so the page only sends and reports.

/// <reference lib="webworker" />

import { encodeBase64 } from '../compose/pack';
import { forgetGivenImages, giveProcessedImage } from '../image/cache';
import { createSurface } from '../image/surface';
import { symbolRequests } from '../render/barcode';
import { barcodeKey, cachedBarcode } from '../render/barcode-bitmap';
import { loadReader } from '../verify/reader';
import { readBackTotals, UnreadableSymbol } from '../verify/verify';
import type { Dataset } from '../merge/types';
import { makeCheckedRow, RowRefused, type RowAnswer, type RowJob } from './row-producer';

const scope = self as unknown as DedicatedWorkerGlobalScope;

/** A picture's bitmap as a canvas, copied dot for dot (no scaling, whole-dot origin). */
function asCanvas(image: ImageBitmap): HTMLCanvasElement {
  const canvas = createSurface();
  canvas.width = image.width;
  canvas.height = image.height;
  canvas.getContext('2d')?.drawImage(image, 0, 0);
  image.close();
  return canvas;
}

/**
 * Copies of the symbols just drawn for the row's first record, which the page shows while the
 * batch runs: it would otherwise encode them all again on its own thread.
 */
async function firstRecordSymbols(job: RowJob): Promise<{ key: string; bitmap: ImageBitmap }[]> {
  const first = job.slots[0];
  if (!first) return [];
  const made = symbolRequests(job.doc, first).flatMap((request) => {
    const canvas = cachedBarcode(request);
    return canvas ? [{ key: barcodeKey(request), canvas }] : [];
  });
  return Promise.all(
    made.map(async ({ key, canvas }) => ({ key, bitmap: await createImageBitmap(canvas) })),
  );
}

function reply(answer: RowAnswer, transfer: Transferable[] = []): void {
  scope.postMessage(answer, transfer);
}

// Rows come one at a time from the batch; a queue keeps them in order all the same.
let queue = Promise.resolve();
let dataset: Dataset | null = null;

scope.onmessage = (event: MessageEvent<RowJob>) => {
  const job = event.data;
  if (job.dataset !== undefined) dataset = job.dataset;
  const rowData = dataset;
  if (job.forgetPictures) forgetGivenImages();
  for (const { src, tail, image } of job.images) giveProcessedImage(src, tail, asCanvas(image));
  queue = queue.then(async () => {
    try {
      const before = { ...readBackTotals };
      const row = await makeCheckedRow(job.doc, job.slots, job.columns, rowData);
      const readBack = {
        symbols: readBackTotals.symbols - before.symbols,
        ms: readBackTotals.ms - before.ms,
      };
      const symbols = await firstRecordSymbols(job);
      // The request carries the raster as Base64, made here as bytes: the page neither encodes
      // nor converts it. (As a Blob it cost the browser process 8 ms more a row.)
      const base64 = new TextEncoder().encode(encodeBase64(row.bytes));
      const { metrics, bytes } = row;
      // The row surface is reused, and the bytes are the row's own copy: they can move.
      reply({ kind: 'row', id: job.id, metrics, bytes, base64, readBack, symbols }, [
        bytes.buffer,
        base64.buffer,
        ...symbols.map((s) => s.bitmap),
      ]);
    } catch (error) {
      if (error instanceof RowRefused) reply({ kind: 'refused', id: job.id, errors: error.errors });
      else if (error instanceof UnreadableSymbol)
        reply({ kind: 'unreadable', id: job.id, verdict: error.verdict, slot: error.slot });
      else
        reply({
          kind: 'failed',
          id: job.id,
          message: error instanceof Error ? error.message : String(error),
        });
    }
  });
};

reply({ kind: 'ready' });
// The barcode reader is needed for the first row; it loads while the page still gets ready.
loadReader().catch(() => undefined);
