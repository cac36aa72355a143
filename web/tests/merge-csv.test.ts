import { describe, expect, it } from 'vitest';
import { deflateRawSync } from 'node:zlib';
import * as XLSX from 'xlsx';
import { parseCsv } from '../src/merge/csv';
import { decodeTextFile } from '../src/merge/decode';
import { importDataFile, sheetRowsToDataset } from '../src/merge/import';

describe('parseCsv', () => {
  it('votes the delimiter on the first line, outside quotes', () => {
    expect(parseCsv('a;b,c;d\n1;2,3;4').fields).toEqual(['a', 'b,c', 'd']);
    expect(parseCsv('"a;b;c",d\n1,2').fields).toEqual(['a;b;c', 'd']);
    expect(parseCsv('a\tb\n1\t2').rows).toEqual([{ a: '1', b: '2' }]);
    expect(parseCsv('a,b;c\n1,2;3').fields).toEqual(['a', 'b;c']);
  });

  it('names headers: repeats counted, empty ones by column', () => {
    expect(parseCsv('a,a,,b,a\n').fields).toEqual(['a', 'a_2', '列3', 'b', 'a_3']);
    expect(parseCsv(',,\nx,y,z').fields).toEqual(['列1', '列2', '列3']);
  });

  it('handles quotes across lines, escaped quotes and text after a closing quote', () => {
    const d = parseCsv('n,v\r\n"line1\nline2"," say ""hi"" "\n x"y ,"a"b\n');
    expect(d.rows).toEqual([
      { n: 'line1\nline2', v: ' say "hi" ' },
      { n: 'x"y', v: 'ab' },
    ]);
  });

  it('drops blank and all-empty lines and pads short records', () => {
    const d = parseCsv('\uFEFFa,b,c\n\n1\n,,\n  \n4,5,6,7');
    expect(d).toEqual({
      name: 'CSV',
      fields: ['a', 'b', 'c'],
      rows: [
        { a: '1', b: '', c: '' },
        { a: '4', b: '5', c: '6' },
      ],
    });
    expect(parseCsv('  \n\t')).toEqual({ name: 'CSV', fields: [], rows: [] });
    expect(parseCsv('a,b\n"1",2').rows).toEqual([{ a: '1', b: '2' }]);
  });
});

describe('decodeTextFile', () => {
  it('honours byte-order marks and strict UTF-8', () => {
    expect(decodeTextFile(new Uint8Array([0xef, 0xbb, 0xbf, 0x61, 0xe4, 0xb8, 0xad]))).toBe('a中');
    expect(decodeTextFile(new Uint8Array([0xff, 0xfe, 0x2d, 0x4e, 0x61, 0x00]))).toBe('中a');
    expect(decodeTextFile(new Uint8Array([0xfe, 0xff, 0x4e, 0x2d, 0x00, 0x61]))).toBe('中a');
    expect(decodeTextFile(new TextEncoder().encode('名称,价格'))).toBe('名称,价格');
  });
});

describe('spreadsheets', () => {
  function workbookFile(name: string): {
    name: string;
    type: string;
    arrayBuffer(): Promise<ArrayBuffer>;
  } {
    const sheet = XLSX.utils.aoa_to_sheet([
      ['名称', '', '价格', '日期'],
      ['苹果', 'x', 19.9, new Date(Date.UTC(2026, 0, 5))],
      [],
      ['梨', '', 5, ''],
    ]);
    sheet['C2'].z = '"¥"#,##0.00';
    sheet['D2'].z = 'yyyy-mm-dd';
    const book = XLSX.utils.book_new();
    XLSX.utils.book_append_sheet(book, sheet, '表1');
    const bytes = XLSX.write(book, { type: 'array', bookType: 'xlsx' }) as ArrayBuffer;
    return { name, type: '', arrayBuffer: async () => bytes };
  }

  it('reads the first sheet as formatted text, leaving out empty headers', async () => {
    const d = await importDataFile(workbookFile('价目.xlsx'));
    expect(d.name).toBe('价目.xlsx');
    expect(d.fields).toEqual(['名称', '价格', '日期']);
    expect(d.rows).toEqual([
      { 名称: '苹果', 价格: '¥19.90', 日期: '2026-01-05' },
      { 名称: '梨', 价格: '5', 日期: '' },
    ]);
  });

  /** A zip directory declaring one worksheet of `size` unpacked bytes, nothing packed. */
  function zipDeclaring(size: number, zip64: boolean): ArrayBuffer {
    const name = new TextEncoder().encode('xl/worksheets/sheet1.xml');
    const extra = zip64 ? 12 : 0;
    const bytes = new Uint8Array(46 + name.length + extra + 22);
    const v = new DataView(bytes.buffer);
    v.setUint32(0, 0x02014b50, true);
    v.setUint32(24, zip64 ? 0xffffffff : size, true);
    v.setUint16(28, name.length, true);
    v.setUint16(30, extra, true);
    bytes.set(name, 46);
    let at = 46 + name.length;
    if (zip64) {
      v.setUint16(at, 1, true);
      v.setUint16(at + 2, 8, true);
      v.setUint32(at + 4, size % 2 ** 32, true);
      v.setUint32(at + 8, Math.floor(size / 2 ** 32), true);
      at += 12;
    }
    v.setUint32(at, 0x06054b50, true);
    v.setUint16(at + 8, 1, true);
    v.setUint16(at + 10, 1, true);
    v.setUint32(at + 12, at, true);
    return bytes.buffer;
  }
  /** A zip of one worksheet of `size` zero bytes, deflated, whose headers claim 1 KB. */
  function zipForging(size: number): ArrayBuffer {
    const name = new TextEncoder().encode('xl/worksheets/sheet1.xml');
    const packed = deflateRawSync(new Uint8Array(size));
    const local = 30 + name.length + packed.length;
    const bytes = new Uint8Array(local + 46 + name.length + 22);
    const v = new DataView(bytes.buffer);
    v.setUint32(0, 0x04034b50, true);
    v.setUint16(8, 8, true);
    v.setUint32(18, packed.length, true);
    v.setUint32(22, 1024, true);
    v.setUint16(26, name.length, true);
    bytes.set(name, 30);
    bytes.set(packed, 30 + name.length);
    v.setUint32(local, 0x02014b50, true);
    v.setUint16(local + 10, 8, true);
    v.setUint32(local + 20, packed.length, true);
    v.setUint32(local + 24, 1024, true);
    v.setUint16(local + 28, name.length, true);
    bytes.set(name, local + 46);
    const end = local + 46 + name.length;
    v.setUint32(end, 0x06054b50, true);
    v.setUint16(end + 8, 1, true);
    v.setUint16(end + 10, 1, true);
    v.setUint32(end + 12, 46 + name.length, true);
    v.setUint32(end + 16, local, true);
    return bytes.buffer;
  }
  function sheetFile(rows: unknown[][], ref?: string): ArrayBuffer {
    const sheet = XLSX.utils.aoa_to_sheet(rows);
    if (ref) sheet['!ref'] = ref;
    const book = XLSX.utils.book_new();
    XLSX.utils.book_append_sheet(book, sheet, 'S');
    return XLSX.write(book, { type: 'array', bookType: 'xlsx' }) as ArrayBuffer;
  }
  const csv = (text: string) => new TextEncoder().encode(text).buffer as ArrayBuffer;
  const wide = Array.from({ length: 1001 }, (_, i) => `c${i}`);

  it.each<[string, string, ArrayBuffer, string]>([
    ['a zip bomb', 'b.xlsx', zipDeclaring(300 * 2 ** 20, false), '表格数据 300 MB，最多 200 MB'],
    ['a zip64 bomb', 'b.xlsx', zipDeclaring(5 * 2 ** 30, true), '表格数据 5120 MB，最多 200 MB'],
    [
      'a zip forging its sizes',
      'f.xlsx',
      zipForging(201 * 2 ** 20),
      '表格数据超过 200 MB，最多 200 MB',
    ],
    [
      'too many rows',
      'r.xlsx',
      sheetFile([['a'], ['1']], 'A1:A1000002'),
      '1000001 行，最多 1000000 行',
    ],
    ['too many columns', 'c.xlsx', sheetFile([wide, wide]), '1001 列，最多 1000 列'],
    [
      'too many CSV columns',
      'c.csv',
      csv(`${wide.join(',')}\n${wide.join(',')}`),
      '1001 列，最多 1000 列',
    ],
    ['a huge cell', 'h.csv', csv(`a\n${'x'.repeat(32_769)}`), '单元格 32769 字，最多 32768 字'],
    // Past the limit lines are only counted, yet the count is exact.
    [
      'too many CSV rows',
      'r.csv',
      csv(`a\n${'1\n'.repeat(1_000_001)}`),
      '1000001 行，最多 1000000 行',
    ],
  ])(
    'refuses %s before building records',
    async (_case, name, bytes, message) => {
      await expect(
        importDataFile({ name, type: '', arrayBuffer: async () => bytes }),
      ).rejects.toThrow(`表格太大：${message}`);
    },
    // A million lines take a while on a busy machine.
    60_000,
  );

  it('keeps a table of exactly the most rows', async () => {
    const bytes = csv(`a\n${'1\n'.repeat(1_000_000)}`);
    const d = await importDataFile({ name: 'm.csv', type: '', arrayBuffer: async () => bytes });
    expect([d.rows.length, d.rows[999_999]]).toEqual([1_000_000, { a: '1' }]);
  }, 60_000);

  it('takes CSV by extension and media type', async () => {
    const bytes = new TextEncoder().encode('a,b\n1,2').buffer as ArrayBuffer;
    const d = await importDataFile({ name: 'X.CSV', type: '', arrayBuffer: async () => bytes });
    expect(d).toEqual({ name: 'X.CSV', fields: ['a', 'b'], rows: [{ a: '1', b: '2' }] });
  });

  it('turns row objects into records of text', () => {
    expect(
      sheetRowsToDataset(
        [
          { a: 1, __EMPTY: 'x' },
          { b: null, '': 'y' },
        ],
        'n',
      ),
    ).toEqual({
      name: 'n',
      fields: ['a', 'b'],
      rows: [
        { a: '1', b: '' },
        { a: '', b: '' },
      ],
    });
  });
});
