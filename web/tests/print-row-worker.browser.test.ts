// A batch row made in the worker must be the row the page makes, dot for dot: the page's own
// drawing code runs there on an OffscreenCanvas, with the fonts, the barcode library and the
// pictures (decoded by the page) it has there.
import { describe, expect, test, vi } from 'vitest';
import type { Slots } from '../src/compose/row';
import type { LabelDocument } from '../src/document/model';
import { builtInTemplates } from '../src/document/templates';
import { sanitizeDocument } from '../src/document/sanitize';
import { makeRow, workerRowProducer } from '../src/print/row-producer';
import type { Dataset } from '../src/merge/types';
import { symbolRequests } from '../src/render/barcode';
import { barcodeBitmap, barcodeLibrary } from '../src/render/barcode-bitmap';
import { clearRenderCaches } from '../src/render/caches';
import { preloadImages } from '../src/render/sources';
import { builtInEntry } from '../src/shell/template-library';
import { rect } from './render-fixtures';

/** A photograph-like picture, so that resampling and dithering are compared as well. */
function picture(): string {
  const c = document.createElement('canvas');
  c.width = c.height = 300;
  const g = c.getContext('2d')!;
  const fill = g.createRadialGradient(150, 150, 5, 150, 150, 200);
  fill.addColorStop(0, '#eee');
  fill.addColorStop(1, '#222');
  g.fillStyle = fill;
  g.fillRect(0, 0, 300, 300);
  for (let i = 0; i < 120; i++) {
    g.fillStyle = `rgb(${(i * 37) % 256},${(i * 91) % 256},${(i * 53) % 256})`;
    g.fillRect((i * 131) % 300, (i * 71) % 300, 30, 18);
  }
  return c.toDataURL('image/png');
}

/**
 * The batch benchmark's label (3 × 50 × 80 mm at 300 dpi; the name's box starts at 35.43 dots,
 * where a fractional clip once differed), with a picture and a text turned a quarter.
 */
function benchmarkLabel(): LabelDocument {
  return sanitizeDocument({
    schemaVersion: 1,
    name: 'bench',
    page: { widthMm: 50, heightMm: 80, dpi: 300 },
    print: { columns: 3, columnGapMm: 2, rowGapMm: 2, copies: 1 },
    objects: [
      {
        id: 't',
        type: 'text',
        name: '名称',
        x: 3,
        y: 3,
        w: 44,
        h: 10,
        text: '{{名称}}',
        fontSize: 16,
      },
      {
        id: 'b',
        type: 'barcode',
        name: '条码',
        x: 3,
        y: 16,
        w: 44,
        h: 18,
        data: '{{编码}}',
        symbology: 'code128',
        moduleWidth: 2,
        barHeight: 15,
      },
      {
        id: 'q',
        type: 'qrcode',
        name: '二维码',
        x: 10,
        y: 40,
        w: 30,
        h: 30,
        data: 'https://example.com/p/{{编码}}',
        moduleSize: 4,
      },
      { id: 'p', type: 'image', name: '图片', x: 2.3, y: 70.2, w: 9.7, h: 8.1, src: picture() },
      {
        id: 'r',
        type: 'text',
        name: '批号',
        x: 40.4,
        y: 70.1,
        w: 8.2,
        h: 9.3,
        text: '批号 {{编码}}',
        fontSize: 6,
        rotation: 90,
      },
    ],
  });
}

interface Case {
  name: string;
  doc: LabelDocument;
  slots: Slots;
  columns: number;
  dataset: Dataset;
}

const benchData = (n: number): Dataset => ({
  name: 'bench',
  fields: ['名称', '编码'],
  rows: Array.from({ length: n }, (_, i) => ({
    名称: `商品 ${i} 号 批次样品`,
    编码: `69${String(i).padStart(10, '0')}`,
  })),
});

const cases = (): Case[] => [
  ...builtInTemplates.map((t) => {
    const entry = builtInEntry(t);
    const row = entry.sample!.rows[0];
    const columns = entry.doc.print.columns;
    const slots = Array.from({ length: columns }, (_, k) => ({ row, index: k, total: columns }));
    return { name: t.id, doc: entry.doc, slots, columns, dataset: entry.sample! };
  }),
  {
    name: 'benchmark label',
    doc: benchmarkLabel(),
    // The last column empty, as on a batch's short last row.
    slots: benchData(2).rows.map((row, index) => ({ row, index, total: 2 })),
    columns: 3,
    dataset: benchData(2),
  },
];

/** A producer that must not fall back to the page. */
const inWorker = () =>
  workerRowProducer(undefined, () => Promise.reject(new Error('made on the page')));

/** What a producer gave: the row, or the refusal's class and message. */
const outcome = (made: Promise<unknown>) =>
  made.then(
    () => 'made',
    (e: Error) => `${e.constructor.name}: ${e.message}`,
  );

describe('rows made in the worker', () => {
  test('equal the page’s rows bit for bit: every built-in template and the benchmark label', async () => {
    const worker = inWorker();
    const all = cases();
    const found: Record<string, string> = {};
    for (const { name, doc, slots, columns, dataset } of all) {
      await preloadImages(doc);
      const page = await makeRow(doc, slots, columns);
      const made = await worker(doc, slots, columns, dataset);
      expect(made.metrics, name).toEqual(page.metrics);
      const differing = made.bytes.filter((byte, i) => byte !== page.bytes[i]).length;
      found[name] = differing === 0 ? 'same' : `${differing} bytes differ`;
    }
    expect(found).toEqual(Object.fromEntries(all.map((c) => [c.name, 'same'])));
    // The picture drew: its corner of the benchmark label's first column is not blank.
    const bench = all.at(-1)!;
    const row = await makeRow(bench.doc, bench.slots, 3);
    const line = Math.round((72 * 300) / 25.4) * row.metrics.bytesPerRow;
    expect(row.bytes.subarray(line, line + 16).some((b) => b !== 0xff)).toBe(true);
    // The page shows a row's first record while the batch runs: its symbols come with the row,
    // and the page encodes none of them again.
    clearRenderCaches();
    await worker(bench.doc, bench.slots, 3, bench.dataset);
    const encoded = vi.spyOn(barcodeLibrary, 'encode');
    const requests = symbolRequests(bench.doc, bench.slots[0]!);
    const pixels = (c: HTMLCanvasElement | undefined) =>
      c &&
      `${c.width}x${c.height}:${c.getContext('2d')!.getImageData(0, 0, c.width, c.height).data}`;
    const shown = requests.map((r) => pixels(barcodeBitmap(r)));
    expect(encoded).not.toHaveBeenCalled();
    clearRenderCaches();
    expect(shown).toEqual(requests.map((r) => pixels(barcodeBitmap(r))));
    expect(encoded).toHaveBeenCalledTimes(2);
  }, 60_000);

  test('a row the check or the read-back refuses comes back refused, with the page’s words', async () => {
    const worker = inWorker();
    const covered = benchmarkLabel();
    // Under a solid box the barcode cannot read back.
    covered.objects.push(rect(3, 15, 44, 20, { fill: true }));
    const data = benchData(3);
    const slots: Slots = data.rows.map((row, index) => ({ row, index, total: 3 }));
    const empty = { ...data, rows: [data.rows[0], { 名称: 'x', 编码: '' }] };
    const emptySlots: Slots = empty.rows.map((row, index) => ({ row, index, total: 2 }));
    const bench = benchmarkLabel();
    const refusals = [
      await outcome(worker(covered, slots, 3, data)),
      await outcome(worker(bench, emptySlots, 3, empty)),
    ];
    expect(refusals).toEqual([
      'UnreadableSymbol: 条码 无法识读：被其他对象遮挡，已取消打印',
      'RowRefused: 条码 的数据为空',
    ]);
  });
});
