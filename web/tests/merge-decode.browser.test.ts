import { describe, expect, it } from 'vitest';
import * as XLSX from 'xlsx';
import { decodeTextFile } from '../src/merge/decode';
import { detectEncoding, type EncodingChoice } from '../src/merge/detect';
import { importDataFile } from '../src/merge/import';

describe('decodeTextFile in the browser', () => {
  it('falls back to GBK for text that is not UTF-8', () => {
    // "名称,价格\n苹果,5" in GBK.
    const gbk = new Uint8Array([
      0xc3, 0xfb, 0xb3, 0xc6, 0x2c, 0xbc, 0xdb, 0xb8, 0xf1, 0x0a, 0xc6, 0xbb, 0xb9, 0xfb, 0x2c,
      0x35,
    ]);
    expect(decodeTextFile(gbk)).toBe('名称,价格\n苹果,5');
  });
});

const hex = (h: string) => new Uint8Array(h.match(/../g)!.map((b) => parseInt(b, 16)));
const utf16 = (text: string, bigEndian: boolean, bom: boolean) => {
  const out: number[] = bom ? (bigEndian ? [0xfe, 0xff] : [0xff, 0xfe]) : [];
  for (let i = 0; i < text.length; i++) {
    const c = text.charCodeAt(i);
    out.push(...(bigEndian ? [c >> 8, c & 255] : [c & 255, c >> 8]));
  }
  return new Uint8Array(out);
};
const file = (name: string, bytes: Uint8Array) => ({
  name,
  type: '',
  arrayBuffer: async () => bytes.slice().buffer,
});

// The same table in simplified and traditional characters.
const SIMPLIFIED = '品名,价格,产地\n苹果,13.60,山东\n香蕉,9.80,海南\n';
const BIG5 = hex(
  'ab7ea6572cbbf9aee62cb2a3a6610ac4abaa472c31332e36302cbb4fc6570aadbbbfbc2c392e38302cb5e1abdfbbab0a',
);
const GBK = hex(
  'c6b7c3fb2cbcdbb8f12cb2fab5d80ac6bbb9fb2c31332e36302cc9bdb6ab0acfe3bdb62c392e38302cbaa3c4cf0a',
);
let seed = 7;
const RANDOM = Uint8Array.from({ length: 2048 }, () => {
  seed = (Math.imul(seed, 1103515245) + 12345) >>> 0;
  return seed >>> 24;
});
const sheet = (): Uint8Array => {
  const book = XLSX.utils.book_new();
  XLSX.utils.book_append_sheet(
    book,
    XLSX.utils.aoa_to_sheet([
      ['品名', '价格'],
      ['苹果', '13.60'],
    ]),
    'S',
  );
  return new Uint8Array(XLSX.write(book, { type: 'array', bookType: 'xlsx' }) as ArrayBuffer);
};

describe('imports decide by content, never guessing wrong', () => {
  const simplified = {
    fields: ['品名', '价格', '产地'],
    first: { 品名: '苹果', 价格: '13.60', 产地: '山东' },
  };
  const cases: {
    name: string;
    file: ReturnType<typeof file>;
    encoding?: EncodingChoice;
    fields?: string[];
    first?: Record<string, string>;
    error?: string;
  }[] = [
    { name: 'UTF-8', file: file('a.csv', new TextEncoder().encode(SIMPLIFIED)), ...simplified },
    { name: 'GBK', file: file('a.csv', GBK), ...simplified },
    {
      name: 'Big5',
      file: file('a.csv', BIG5),
      fields: ['品名', '價格', '產地'],
      first: { 品名: '蘋果', 價格: '13.60', 產地: '臺灣' },
    },
    {
      name: 'UTF-16 with a mark',
      file: file('a.csv', utf16(SIMPLIFIED, false, true)),
      ...simplified,
    },
    {
      name: 'UTF-16LE without a mark',
      file: file('a.csv', utf16(SIMPLIFIED, false, false)),
      ...simplified,
    },
    {
      name: 'UTF-16BE without a mark',
      file: file('a.csv', utf16(SIMPLIFIED, true, false)),
      ...simplified,
    },
    { name: 'random bytes', file: file('a.csv', RANDOM), error: '这不是表格文件' },
    {
      name: 'damaged workbook',
      file: file('a.xlsx', new Uint8Array([0x50, 0x4b, 0x03, 0x04, 1, 2, 3])),
      error: '表格文件已损坏或格式不受支持（Unsupported ZIP file）',
    },
    {
      name: 'text named .xlsx',
      file: file('a.xlsx', new TextEncoder().encode(SIMPLIFIED)),
      ...simplified,
    },
    {
      name: 'XLSX',
      file: file('a.xlsx', sheet()),
      fields: ['品名', '价格'],
      first: { 品名: '苹果', 价格: '13.60' },
    },
    // The chooser re-reads the same bytes in the encoding asked for.
    { name: 'GBK chosen by hand', file: file('a.csv', GBK), encoding: 'gbk', ...simplified },
  ];
  it.each(cases)('$name', async ({ file: f, encoding, fields, first, error }) => {
    const read = importDataFile(f, encoding);
    if (error) return expect(read).rejects.toThrow(error);
    const data = await read;
    expect([data.fields, data.rows[0]]).toEqual([fields, first]);
    expect(data.rows.length).toBe(fields!.length === 2 ? 1 : 2);
  });

  it('names the encoding it found', () => {
    expect([GBK, BIG5, RANDOM].map(detectEncoding)).toEqual(['gbk', 'big5', undefined]);
  });
});
