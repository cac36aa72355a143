// The in-page barcode reader (ZXing compiled to WebAssembly). Its module comes from the
// program's own files, never from the network, and only when the first symbol is checked: the
// page starts without it. The bytes are checked against the SHA-256 the library was built with.

import {
  prepareZXingModule,
  readBarcodes,
  ZXING_WASM_SHA256,
  type ReaderOptions,
  type ReadResult,
} from 'zxing-wasm/reader';
import wasmUrl from 'zxing-wasm/reader/zxing_reader.wasm?url';

let ready: Promise<void> | undefined;

function hex(buffer: ArrayBuffer): string {
  return [...new Uint8Array(buffer)].map((b) => b.toString(16).padStart(2, '0')).join('');
}

async function load(): Promise<void> {
  const reply = await fetch(wasmUrl);
  if (!reply.ok) throw new Error(`条码识读模块加载失败（HTTP ${reply.status}）`);
  const bytes = await reply.arrayBuffer();
  // Pages served over plain http from another host have no crypto.subtle; the service's own
  // loopback origin always has it.
  if (crypto.subtle) {
    const digest = hex(await crypto.subtle.digest('SHA-256', bytes));
    if (digest !== ZXING_WASM_SHA256) throw new Error('条码识读模块与程序版本不符');
  }
  await prepareZXingModule({ overrides: { wasmBinary: bytes }, fireImmediately: true });
}

/** Loads the reader once; a failed load is tried again on the next call. */
export function loadReader(): Promise<void> {
  ready ??= load().catch((error: unknown) => {
    ready = undefined;
    throw error;
  });
  return ready;
}

export async function readSymbols(image: ImageData, options: ReaderOptions): Promise<ReadResult[]> {
  await loadReader();
  return readBarcodes(image, options);
}
