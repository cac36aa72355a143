// Reads a data file away from the page: the whole import runs here, and the records go back in
// slices small enough that taking one in never holds the page.

import type { EncodingChoice } from './detect';
import { importDataFile } from './import';
import type { DataRecord } from './types';

export interface ImportRequest {
  /** The chosen file, or its bytes where the caller had no file object. */
  file: Blob | ArrayBuffer;
  name: string;
  type: string;
  encoding: EncodingChoice;
}

export type ImportReply =
  | { kind: 'progress'; fraction: number }
  | { kind: 'rows'; rows: DataRecord[] }
  | { kind: 'done'; name: string; fields: string[] }
  | { kind: 'failed'; message: string };

/** Cells per reply: taking in this many costs the page a few milliseconds. */
const CELLS_PER_SLICE = 4_000;

const scope = self as unknown as {
  onmessage: ((event: MessageEvent<ImportRequest>) => void) | null;
  postMessage(reply: ImportReply): void;
};

scope.onmessage = (event) => {
  const { file, name, type, encoding } = event.data;
  const source = {
    name,
    type,
    arrayBuffer: () => (file instanceof ArrayBuffer ? Promise.resolve(file) : file.arrayBuffer()),
  };
  const progress = (fraction: number) => scope.postMessage({ kind: 'progress', fraction });
  importDataFile(source, encoding, progress).then(
    (dataset) => {
      const step = Math.max(1, Math.floor(CELLS_PER_SLICE / Math.max(1, dataset.fields.length)));
      for (let at = 0; at < dataset.rows.length; at += step) {
        scope.postMessage({ kind: 'rows', rows: dataset.rows.slice(at, at + step) });
        progress(0.9 + (0.1 * (at + step)) / dataset.rows.length);
      }
      scope.postMessage({ kind: 'done', name: dataset.name, fields: dataset.fields });
    },
    (error: unknown) =>
      scope.postMessage({
        kind: 'failed',
        message: error instanceof Error ? error.message : String(error),
      }),
  );
};
