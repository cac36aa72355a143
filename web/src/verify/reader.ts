// The in-page barcode reader (ZXing compiled to WebAssembly). Its module comes from the
// program's own files, never from the network, and only when the first symbol is checked: the
// page starts without it. The bytes are checked against the SHA-256 the library was built with.

import {
  BINARIZERS,
  CHARACTER_SETS,
  defaultReaderOptions,
  EAN_ADD_ON_SYMBOLS,
  encodeFormats,
  prepareZXingModule,
  TEXT_MODES,
  ZXING_WASM_SHA256,
  type ReaderOptions,
  type ZXingReaderModule,
} from 'zxing-wasm/reader';
import wasmUrl from 'zxing-wasm/reader/zxing_reader.wasm?url';

/** The loaded module, with the Emscripten memory members the library's own reading uses. */
type ReaderModule = ZXingReaderModule & {
  _malloc(bytes: number): number;
  _free(at: number): void;
  HEAPU8: Uint8Array;
};

let ready: Promise<void> | undefined;
let reader: ReaderModule | undefined;

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
  reader = (await prepareZXingModule({
    overrides: { wasmBinary: bytes },
    fireImmediately: true,
  })) as ReaderModule;
}

/** Loads the reader once; a failed load is tried again on the next call. */
export function loadReader(): Promise<void> {
  ready ??= load().catch((error: unknown) => {
    ready = undefined;
    throw error;
  });
  return ready;
}

/** The options in the module's own encoding, as the library's `readBarcodes` passes them. */
function moduleOptions(options: ReaderOptions) {
  const o = { ...defaultReaderOptions, ...options };
  return {
    ...o,
    formats: encodeFormats(o.formats),
    binarizer: BINARIZERS.indexOf(o.binarizer),
    eanAddOnSymbol: EAN_ADD_ON_SYMBOLS.indexOf(o.eanAddOnSymbol),
    textMode: TEXT_MODES.indexOf(o.textMode),
    characterSet: CHARACTER_SETS.indexOf(o.characterSet),
  };
}

/**
 * Reads grey pixels (one byte a pixel, row after row) straight into the module. The library's
 * own entry takes RGBA only and turns it back into grey in script, which for cut-outs that are
 * grey already cost more than the reading itself.
 */
export async function readSymbols(
  grey: Uint8Array,
  width: number,
  height: number,
  options: ReaderOptions,
): Promise<{ text: string; isValid: boolean }[]> {
  await loadReader();
  const module = reader!;
  const at = module._malloc(grey.length);
  if (!at) throw new Error('条码识读模块内存不足');
  try {
    module.HEAPU8.set(grey, at);
    const found = module.readBarcodesFromPixmap(at, width, height, moduleOptions(options));
    const out: { text: string; isValid: boolean }[] = [];
    for (let i = 0; i < found.size(); i++) {
      const result = found.get(i);
      if (result) out.push({ text: result.text, isValid: result.isValid });
    }
    return out;
  } finally {
    module._free(at);
  }
}
