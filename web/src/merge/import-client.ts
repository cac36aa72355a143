// Runs an import in a module worker so that no file, however large or hostile, holds the page;
// where the browser cannot start one, the import runs on the page as before.

import type { EncodingChoice } from './detect';
import { importDataFile, type DataFile, type ImportProgress } from './import';
import type { ImportReply, ImportRequest } from './import-worker';
import type { DataRecord, Dataset } from './types';

export interface ImportTask {
  result: Promise<Dataset>;
  /** Stops the import; its result then never settles. */
  cancel(): void;
}

function startWorker(): Worker | undefined {
  if (typeof Worker === 'undefined') return undefined;
  try {
    return new Worker(new URL('./import-worker.ts', import.meta.url), {
      type: 'module',
      name: 'data-import',
    });
  } catch {
    // Module workers unsupported, or refused by the page's policy.
    return undefined;
  }
}

function onPage(file: DataFile, encoding: EncodingChoice, onProgress: ImportProgress): ImportTask {
  let cancelled = false;
  const result = importDataFile(file, encoding, onProgress).then((dataset) =>
    cancelled ? new Promise<Dataset>(() => {}) : dataset,
  );
  return { result, cancel: () => (cancelled = true) };
}

export function importInBackground(
  file: DataFile,
  encoding: EncodingChoice,
  onProgress: ImportProgress = () => {},
): ImportTask {
  const worker = startWorker();
  if (!worker) return onPage(file, encoding, onProgress);
  const rows: DataRecord[] = [];
  let answered = false;
  const result = new Promise<Dataset>((resolve, reject) => {
    worker.onmessage = (event: MessageEvent<ImportReply>) => {
      answered = true;
      const reply = event.data;
      if (reply.kind === 'progress') onProgress(reply.fraction);
      else if (reply.kind === 'rows') {
        for (const row of reply.rows) rows.push(row);
      } else {
        worker.terminate();
        if (reply.kind === 'done') resolve({ name: reply.name, fields: reply.fields, rows });
        else reject(new Error(reply.message));
      }
    };
    worker.onerror = (event) => {
      worker.terminate();
      event.preventDefault();
      // A worker that never answered could not load: the page does the import itself.
      if (!answered) onPage(file, encoding, onProgress).result.then(resolve, reject);
      else reject(new Error(event.message || 'import worker failed'));
    };
  });
  const request: Omit<ImportRequest, 'file'> = { name: file.name, type: file.type, encoding };
  if (file instanceof Blob) worker.postMessage({ ...request, file });
  else {
    void file
      .arrayBuffer()
      .then((bytes) => worker.postMessage({ ...request, file: bytes }, [bytes]));
  }
  return { result, cancel: () => worker.terminate() };
}
