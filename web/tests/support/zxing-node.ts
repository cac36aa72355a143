// Reading packed print rasters with the barcode reader's own Node build, on the test runner's
// side: a second, independent read of the 2D codes that Debian's zbarimg does not know. Its
// module comes from the installed package, never from the network.
import { readFile } from 'node:fs/promises';
import { createRequire } from 'node:module';
import { prepareZXingModule, readBarcodes } from 'zxing-wasm/reader';
import type { PackedRaster } from './zbar';

let ready: Promise<unknown> | undefined;

function load(): Promise<unknown> {
  ready ??= readFile(
    createRequire(import.meta.url).resolve('zxing-wasm/reader/zxing_reader.wasm'),
  ).then((bytes) =>
    prepareZXingModule({ overrides: { wasmBinary: bytes.buffer }, fireImmediately: true }),
  );
  return ready;
}

/** The raster as RGBA, black where the packed bit is 0. */
function toRgba(r: PackedRaster): { data: Uint8ClampedArray; width: number; height: number } {
  const bits = Buffer.from(r.base64, 'base64');
  const stride = (r.width + 7) >> 3;
  const data = new Uint8ClampedArray(r.width * r.height * 4).fill(255);
  for (let y = 0; y < r.height; y++)
    for (let x = 0; x < r.width; x++)
      if ((bits[y * stride + (x >> 3)] & (0x80 >> (x & 7))) === 0)
        data.fill(0, 4 * (y * r.width + x), 4 * (y * r.width + x) + 3);
  return { data, width: r.width, height: r.height };
}

/** What the reader finds in each raster with its default options, every format allowed. */
export async function readRastersNode(rasters: PackedRaster[]): Promise<string[][]> {
  await load();
  const out: string[][] = [];
  for (const r of rasters) {
    // Node has no ImageData; the reader takes anything with its data, width and height.
    const results = await readBarcodes(toRgba(r) as unknown as ImageData, { formats: [] });
    out.push(results.filter((x) => x.isValid).map((x) => x.text));
  }
  return out;
}
