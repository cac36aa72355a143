// Batch rows made ready to send: checked, composed, every symbol read back, packed. In a module worker
// with OffscreenCanvas where the browser has both, so that thousands of rows leave the page
// free; otherwise, or when the worker will not start, on the page as before.

import type { RowMetrics } from '../compose/geometry';
import { composeRowRasterAsync, type ComposedRaster, type Slots } from '../compose/row';
import type { LabelDocument } from '../document/model';
import { PROCESSED_IMAGE_LIMIT } from '../image/cache';
import type { Dataset } from '../merge/types';
import { handOverBarcode } from '../render/barcode-bitmap';
import { processedPicture } from '../render/picture';
import { rowSymbols } from '../verify/placements';
import {
  assertRowReadable,
  readBackTotals,
  UnreadableSymbol,
  type Verdict,
} from '../verify/verify';
import { dedupeIssues, objectName, recordErrors, type CheckIssue } from './check';
import { nextTask } from './next-task';

export interface ProducedRow {
  metrics: RowMetrics;
  bytes: Uint8Array;
  /** The bytes' Base64 as ASCII, where the worker made the row: the page copies it in as it is. */
  base64?: Uint8Array;
}

/**
 * Makes one row of a batch. Rejects with `RowRefused` when the pre-print check finds errors, with
 * `UnreadableSymbol` when a symbol does not read back from the packed raster. The caller has
 * waited for the document's pictures.
 */
export type RowProducer = (
  doc: LabelDocument,
  slots: Slots,
  columns: number,
  dataset: Dataset | null | undefined,
) => Promise<ProducedRow>;

/** The pre-print check's errors for a row; identical slots repeat an error, it counts once. */
export class RowRefused extends Error {
  constructor(readonly errors: CheckIssue[]) {
    super(errors[0]?.message ?? '');
  }
}

/** To the worker: a row to make. Pictures are named by short keys, not by their data URLs. */
export interface RowJob {
  id: number;
  doc: LabelDocument;
  slots: Slots;
  columns: number;
  /** The data set, when it is not the one sent before (a data set is never changed in place). */
  dataset?: Dataset | null;
  /**
   * Pictures the worker has not been given yet, as the page processed them for printing (its
   * key, the rest of its cache key, the black-and-white bitmap): a picture resampled there from
   * its source would not come out the same as the page's.
   */
  images: { src: string; tail: string; image: ImageBitmap }[];
  /** Drop every picture given before `images`: the page no longer remembers them. */
  forgetPictures?: boolean;
}

/** From the worker: `ready` once it runs, then one answer per job. */
export type RowAnswer =
  | { kind: 'ready' }
  | {
      kind: 'row';
      id: number;
      metrics: RowMetrics;
      bytes: Uint8Array;
      base64: Uint8Array;
      /** What reading the row's symbols back cost there, added to the page's totals. */
      readBack: { symbols: number; ms: number };
      /** The first record's symbols, by cache key: the page shows that record next. */
      symbols: { key: string; bitmap: ImageBitmap }[];
    }
  | { kind: 'refused'; id: number; errors: CheckIssue[] }
  | { kind: 'unreadable'; id: number; verdict: Verdict; slot: number }
  | { kind: 'failed'; id: number; message: string };

/** Composes and packs a row; the real one reads the surface back asynchronously. */
export type RowComposer = (
  doc: LabelDocument,
  slots: Slots,
  columns: number,
) => ComposedRaster | Promise<ComposedRaster>;

/** The steps of a row, wherever they run: on the page, or in the worker. */
export async function makeRow(
  doc: LabelDocument,
  slots: Slots,
  columns: number,
  compose: RowComposer = composeRowRasterAsync,
): Promise<ProducedRow> {
  const raster = await compose(doc, slots, columns);
  // Every symbol is read back from the very raster that goes out; one that does not read as
  // encoded stops the print here.
  const { width, height } = raster.metrics;
  await assertRowReadable(
    { bytes: raster.bytes, width, height },
    rowSymbols(doc, slots, columns, objectName),
  );
  return { metrics: raster.metrics, bytes: raster.bytes };
}

/** The check's errors for every present slot, then the row; `pause` lets the page breathe between slots. */
export async function makeCheckedRow(
  doc: LabelDocument,
  slots: Slots,
  columns: number,
  dataset: Dataset | null | undefined,
  pause?: () => Promise<void>,
): Promise<ProducedRow> {
  const errors: CheckIssue[] = [];
  for (const slot of slots) {
    if (!slot) continue;
    errors.push(...recordErrors(doc, dataset, slot));
    await pause?.();
  }
  if (errors.length > 0) throw new RowRefused(dedupeIssues(errors));
  return makeRow(doc, slots, columns);
}

const checkOnPage: RowProducer = (doc, slots, columns, dataset) =>
  makeCheckedRow(doc, slots, columns, dataset, nextTask);

export type WorkerFactory = () => Worker;

/** A producer that can be told a batch may come, so that its first row does not wait to start. */
export type WarmableProducer = RowProducer & { warm(): void };

const startWorker: WorkerFactory = () =>
  new Worker(new URL('./row-worker.ts', import.meta.url), { type: 'module', name: 'rows' });

/** Whether this browser can draw rows off the page. */
export function canMakeRowsOffPage(): boolean {
  return typeof Worker !== 'undefined' && typeof OffscreenCanvas !== 'undefined';
}

/** How long a starting worker may take to say it runs before the page makes the rows itself. */
const START_LIMIT_MS = 10_000;

/**
 * A producer that sends each row to one long-lived worker. Until the worker has said it runs,
 * and for good once it has failed to start or died, rows are made on the page instead: a batch
 * never waits on a worker that is not there.
 */
export function workerRowProducer(
  factory: WorkerFactory = startWorker,
  fallback: RowProducer = checkOnPage,
): WarmableProducer {
  if (!canMakeRowsOffPage())
    return Object.assign((...args: Parameters<RowProducer>) => fallback(...args), {
      warm: () => undefined,
    });
  let worker: Worker | undefined;
  let started: Promise<boolean> | undefined;
  let broken = false;
  let nextId = 1;
  /** Picture sources by the key the worker knows them by. */
  const keys = new Map<string, string>();
  type Pending = {
    args: Parameters<RowProducer>;
    resolve: (row: ProducedRow) => void;
    reject: (e: unknown) => void;
  };
  const waiting = new Map<number, Pending>();

  // Rows the worker took with it are made on the page, like every row after them.
  const giveUp = () => {
    broken = true;
    worker?.terminate();
    worker = undefined;
    for (const pending of waiting.values())
      fallback(...pending.args).then(pending.resolve, pending.reject);
    waiting.clear();
  };

  const answer = (message: RowAnswer) => {
    if (message.kind === 'ready') return;
    const pending = waiting.get(message.id);
    if (!pending) return;
    waiting.delete(message.id);
    if (message.kind === 'row') {
      readBackTotals.rows += 1;
      readBackTotals.symbols += message.readBack.symbols;
      readBackTotals.ms += message.readBack.ms;
      for (const { key, bitmap } of message.symbols) handOverBarcode(key, bitmap);
      pending.resolve({ metrics: message.metrics, bytes: message.bytes, base64: message.base64 });
    } else if (message.kind === 'refused') pending.reject(new RowRefused(message.errors));
    else if (message.kind === 'unreadable')
      pending.reject(new UnreadableSymbol(message.verdict, message.slot));
    else pending.reject(new Error(message.message));
  };

  const start = (): Promise<boolean> =>
    new Promise((resolve) => {
      try {
        worker = factory();
      } catch {
        resolve(false);
        return;
      }
      const timer = setTimeout(() => resolve(false), START_LIMIT_MS);
      worker.onmessage = (event: MessageEvent<RowAnswer>) => {
        if (event.data.kind === 'ready') {
          clearTimeout(timer);
          resolve(true);
        }
        answer(event.data);
      };
      // A script that does not load or a module that throws at the top; errors while making a
      // row come back as answers instead.
      worker.onerror = (event) => {
        event.preventDefault();
        clearTimeout(timer);
        resolve(false);
        giveUp();
      };
    });

  let sentDataset: Dataset | null | undefined;
  /** Picture bitmaps the worker has, by key and cache key. */
  const given = new Set<string>();

  /**
   * The document as the worker gets it, each picture's source replaced by its key (a data URL
   * may be megabytes, copied with every row otherwise), and the picture bitmaps it lacks. The
   * caller has waited for the pictures to decode.
   */
  const forWorker = async (doc: LabelDocument) => {
    const images: RowJob['images'] = [];
    // Settings tried one after another make a new bitmap each; the worker keeps a bounded few.
    const forgetPictures = given.size >= PROCESSED_IMAGE_LIMIT;
    if (forgetPictures) {
      given.clear();
      keys.clear();
    }
    const objects = [];
    for (const obj of doc.objects) {
      if (obj.type !== 'image' || !obj.src) {
        objects.push(obj);
        continue;
      }
      let key = keys.get(obj.src);
      if (key === undefined) {
        key = `picture:${keys.size + 1}`;
        keys.set(obj.src, key);
      }
      // A picture that did not decode is drawn by nobody, on the page or in the worker.
      const picture = processedPicture(obj, doc.page.dpi);
      if (picture && !given.has(`${key}|${picture.tail}`)) {
        given.add(`${key}|${picture.tail}`);
        images.push({
          src: key,
          tail: picture.tail,
          image: await createImageBitmap(picture.bitmap),
        });
      }
      objects.push({ ...obj, src: key });
    }
    return { doc: { ...doc, objects }, images, forgetPictures };
  };

  const produce: RowProducer = async (...args) => {
    if (!broken) started ??= start();
    if (broken || !(await started)) {
      if (!broken) giveUp();
      return fallback(...args);
    }
    const [doc, slots, columns, dataset] = args;
    const { doc: sent, images, forgetPictures } = await forWorker(doc);
    // The worker died while the pictures were being handed over.
    const running = worker;
    if (!running) return fallback(...args);
    const id = nextId++;
    const job: RowJob = { id, doc: sent, slots, columns, images, forgetPictures };
    // Ten thousand records are copied once, not with every row.
    if (dataset !== sentDataset) {
      job.dataset = dataset ?? null;
      sentDataset = dataset;
    }
    return new Promise<ProducedRow>((resolve, reject) => {
      waiting.set(id, { args, resolve, reject });
      running.postMessage(
        job,
        images.map((i) => i.image),
      );
    });
  };
  return Object.assign(produce, {
    warm: () => {
      if (!broken) started ??= start();
    },
  });
}
