import { describe, expect, test } from 'vitest';
import type { Dataset } from '../src/merge/types';
import {
  browserPrintHint,
  browserPrintPage,
  buildPrintRequest,
  clampColumnCount,
  clampCopyCount,
  copyHint,
  previewInfo,
  readDialog,
  summaryEntries,
  type DialogFields,
} from '../src/print/rules';
import {
  PRINTER_PROFILES_KEY,
  readPrinterOffset,
  writePrinterOffset,
} from '../src/document/printer-profiles';
import { MemoryStorage } from '../src/document/storage';
import { doc } from './render-fixtures';

describe('print request', () => {
  const raster = { width: 1205, height: 945 };
  // The printer's profile goes through its store first, as the page keeps it.
  test.each([
    { dpi: 300, x: -1.5, y: 0, px: 0, py: 0, dx: -18, dy: 0 },
    { dpi: 203, x: -1.5, y: 0, px: 0, py: 0, dx: -12, dy: 0 },
    { dpi: 300, x: 0.5, y: 2, px: 0, py: 0, dx: 6, dy: 24 },
    { dpi: 203, x: 0.5, y: -20, px: 0, py: 0, dx: 4, dy: -160 },
    { dpi: 300, x: 20, y: -20, px: 0, py: 0, dx: 236, dy: -236 },
    { dpi: 203, x: 0, y: 0, px: 1.5, py: -0.5, dx: 12, dy: -4 },
    { dpi: 300, x: 0, y: 0, px: 1.5, py: -0.5, dx: 18, dy: -6 },
    // The sum is rounded once: 0.3 + 0.3 mm is 4.8 dots, not 2 + 2.
    { dpi: 203, x: 0.3, y: -1, px: 0.3, py: 1, dx: 5, dy: 0 },
    { dpi: 300, x: -20, y: 20, px: -10, py: 10, dx: -354, dy: 354 },
    // Past the ±10 mm of a profile and off the 0.1 mm step: stored as 10 and 0.1.
    { dpi: 300, x: 1, y: 0, px: 12, py: 0.06, dx: 130, dy: 1 },
  ] as const)(
    'offsets $x/$y mm + printer $px/$py mm at $dpi dpi → $dx/$dy dots',
    ({ dpi, x, y, px, py, dx, dy }) => {
      const storage = new MemoryStorage();
      writePrinterOffset('Q', { xMm: px, yMm: py }, storage);
      writePrinterOffset('other', { xMm: 5, yMm: 5 }, storage);
      const d = doc({ dpi }, { offsetXMm: x, offsetYMm: y });
      const r = buildPrintRequest(d, {
        printer: 'Q',
        columns: 1,
        copies: 1,
        raster,
        dataB64: '',
        dryRun: false,
        printerOffset: readPrinterOffset('Q', storage),
      });
      expect([r.offset_x_dots, r.offset_y_dots]).toEqual([dx, dy]);
    },
  );

  test('a printer without a profile, or with a damaged store, has no offset', () => {
    const storage = new MemoryStorage();
    expect(readPrinterOffset('Q', storage)).toEqual({ xMm: 0, yMm: 0 });
    writePrinterOffset('Q', { xMm: 1, yMm: 2 }, storage);
    writePrinterOffset('Q', { xMm: 0, yMm: 0 }, storage);
    expect(storage.items.get(PRINTER_PROFILES_KEY)).toBe('{}');
    for (const text of ['[1]', 'null', '{"Q":{"xMm":"3","yMm":null}}', '{"Q":7}', '{']) {
      const damaged = new MemoryStorage();
      damaged.setItem(PRINTER_PROFILES_KEY, text);
      expect(readPrinterOffset('Q', damaged)).toEqual({ xMm: 0, yMm: 0 });
    }
    expect(readPrinterOffset('toString', storage)).toEqual({ xMm: 0, yMm: 0 });
  });

  test('fields in wire order, row width in mm not rounded', () => {
    const d = doc(
      { widthMm: 33.3, heightMm: 21.7 },
      { columnGapMm: 1.15, rowGapMm: 2.5, density: 12, speed: 5 },
    );
    const r = buildPrintRequest(d, {
      printer: 'Zeko Q',
      columns: 3,
      copies: 7,
      raster,
      dataB64: 'AAE=',
      dryRun: true,
    });
    expect(Object.keys(r)).toEqual([
      'printer',
      'width_mm',
      'height_mm',
      'width_dots',
      'height_dots',
      'gap_mm',
      'density',
      'speed',
      'copies',
      'offset_x_dots',
      'offset_y_dots',
      'tear',
      'data_b64',
      'dry_run',
    ]);
    expect(r.width_mm).toBeCloseTo(3 * 33.3 + 2 * 1.15, 10);
    expect(r.width_mm).not.toBe(Math.round(r.width_mm * 10) / 10);
    expect(r).toMatchObject({
      height_mm: 21.7,
      width_dots: 1205,
      height_dots: 945,
      gap_mm: 2.5,
      density: 12,
      speed: 5,
      copies: 7,
      tear: false,
      data_b64: 'AAE=',
      dry_run: true,
    });
  });

  test.each([
    [0, 1, 1],
    [-3, 1, 1],
    [2.5, 3, 3],
    [9, 8, 9],
    [150, 8, 99],
    [NaN, 1, 1],
  ])('columns/copies clamp of %d → %d / %d', (n, columns, copies) => {
    expect(clampColumnCount(n)).toBe(columns);
    expect(clampCopyCount(n)).toBe(copies);
  });
});

describe('print dialog values', () => {
  const base: DialogFields = {
    copies: '5',
    columns: '2',
    copyMode: 'serial',
    oddAlign: 'right',
    offsetXMm: '-1.5',
    offsetYMm: '0.5',
    density: '8',
    speed: '4',
    orientation: 'rotate180',
  };
  test.each<[Partial<DialogFields>, Record<string, unknown>]>([
    [
      {},
      {
        copies: 5,
        columns: 2,
        copyMode: 'serial',
        oddAlign: 'right',
        offsetXMm: -1.5,
        offsetYMm: 0.5,
        density: 8,
        speed: 4,
        orientation: 'rotate180',
      },
    ],
    [
      { copies: '', columns: '' },
      { copies: 1, columns: 1 },
    ],
    [
      { copies: '0', columns: '0' },
      { copies: 1, columns: 1 },
    ],
    [
      { copies: '150', columns: '12' },
      { copies: 99, columns: 8 },
    ],
    [
      { copies: '2.6', columns: '-4' },
      { copies: 3, columns: 1 },
    ],
    [{ density: '0' }, { density: 0 }],
    [{ density: '' }, { density: 9 }],
    [{ density: 'x' }, { density: 9 }],
    [{ density: '22' }, { density: 15 }],
    [{ density: '-1' }, { density: 0 }],
    [{ speed: '' }, { speed: 3 }],
    [{ speed: '0' }, { speed: 3 }],
    [{ speed: '9' }, { speed: 6 }],
    [{ speed: '-2' }, { speed: 1 }],
    [
      { speed: '0.4', columns: 'x' },
      { speed: 3, columns: 1 },
    ],
    [
      { offsetXMm: '', offsetYMm: '-25' },
      { offsetXMm: 0, offsetYMm: -20 },
    ],
    [
      { offsetXMm: '20.5', offsetYMm: '0.25' },
      { offsetXMm: 20, offsetYMm: 0.25 },
    ],
    [
      { copyMode: 'bogus', oddAlign: 'centre', orientation: '180' },
      { copyMode: 'duplicate', oddAlign: 'left', orientation: 'normal' },
    ],
  ])('%j', (over, expected) => {
    expect(readDialog({ ...base, ...over })).toMatchObject(expected);
  });
});

describe('copy hint', () => {
  const five: Dataset = {
    name: 'd',
    fields: ['a'],
    rows: Array.from({ length: 5 }, () => ({ a: '' })),
  };
  test.each([
    [
      'sequence',
      5,
      five,
      2,
      false,
      '按数据表从当前记录开始顺延，最多可打印 3 份；条码/二维码字段会逐份换值。',
    ],
    ['sequence', 5, null, 0, true, '按数据表顺延需要先导入 CSV / Excel 数据源。'],
    [
      'serial',
      1,
      null,
      0,
      true,
      '每份的 {{serial:起点:步长:位数}} 会按份数递增，适合唯一流水号条码；普通字段不会变化。',
    ],
    [
      'duplicate',
      2,
      null,
      0,
      true,
      '当前是“每份相同”，多份条码会重复；需要逐份唯一时请选择“按数据表顺延”或“流水号递增”。',
    ],
    ['duplicate', 1, null, 0, true, '每份打印同一张标签，适合普通补打/复印。'],
    ['duplicate', 9, null, 0, false, '每份打印同一张标签，适合普通补打/复印。'],
  ] as const)('%s, %d copies', (mode, copies, data, record, symbols, hint) => {
    expect(copyHint(mode, copies, data, record, symbols)).toBe(hint);
  });
});

describe('texts', () => {
  test('summary', () => {
    const d = doc({ widthMm: 50, heightMm: 30 }, { columns: 3, columnGapMm: 2.25 });
    d.name = '价签';
    expect(summaryEntries(d, { selected: '', reachable: true })).toEqual([
      ['文档', '价签'],
      ['标签', '50×30mm · 3 列'],
      ['打印页', '154.5×30mm'],
      ['打印机', '未选择'],
    ]);
    const browser = summaryEntries(d, {
      selected: 'Q',
      reachable: false,
      offset: { xMm: 1, yMm: 1 },
    });
    expect(browser.slice(3)).toEqual([['打印机', '浏览器打印（系统驱动）']]);
    expect(
      summaryEntries(d, { selected: 'Q', reachable: true, offset: { xMm: 1.5, yMm: -0.5 } })[4],
    ).toEqual(['打印机偏移', '+1.5 / −0.5 mm']);
  });

  test('preview info with and without a frame', () => {
    expect(
      previewInfo({
        width: 1205,
        height: 945,
        bytes: 143_010,
        groups: 3,
        columns: 2,
        total: 5,
        framed: false,
      }),
    ).toBe('1205×945 dots · 140 KB · 第 1/3 页 · 2 列 · 共 5 份 · 这是实际送打印机的 1bpp 点阵');
    expect(
      previewInfo({
        width: 609,
        height: 963,
        bytes: 512,
        groups: 1,
        columns: 1,
        total: 1,
        framed: true,
      }),
    ).toBe('609×963 dots · 1 KB · 单张 · 1 列 · 共 1 份 · 校准预览（含标签外偏移区域）');
  });

  test('browser print hint warns about offsets over 0.001 mm only', () => {
    const plain =
      '当前标签已生成 3 页，打印页 102.0×80.0 mm，请在浏览器打印对话框中选择系统打印机和正确纸张尺寸。';
    expect(browserPrintHint('当前标签', 3, 102, 80, { x: 0.001, y: -0.001 })).toBe(plain);
    expect(browserPrintHint('当前标签', 3, 102, 80, { x: 0, y: -0.5 })).toBe(
      plain.slice(0, -1) +
        '；浏览器打印不支持打印机原点校准，超出纸张的偏移部分可能被裁掉，建议使用本地 QX530 打印模式。',
    );
  });

  test('browser print page: mm page size, one print-page per image, breaks between', () => {
    const html = browserPrintPage(102, 80, true, ['data:a', 'data:b']);
    expect(html).toContain('@page{size:102mm 80mm;margin:0}');
    expect(html).toContain('justify-content:flex-end');
    expect(html.match(/class="print-page"/g)).toHaveLength(2);
    expect(html.match(/page-break-after:always/g)).toHaveLength(1);
    expect(browserPrintPage(102, 80, false, ['x'])).toContain('justify-content:flex-start');
  });
});
