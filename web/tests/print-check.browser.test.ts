import { afterEach, describe, expect, test, vi } from 'vitest';
import type { LabelDocument, LabelObject, TextObject } from '../src/document/model';
import { resolvePlaceholders } from '../src/merge/placeholders';
import { shrunkFontSize, type TextMeasure } from '../src/render/text-fit';
import type { Dataset, MergeContext } from '../src/merge/types';
import { checkDocument, fieldCheck, recordErrors, type CheckIssue } from '../src/print/check';
import { checkSummary } from '../src/print/check-sheet';
import { composeRowRaster, type Slots } from '../src/compose/row';
import { barcodeLibrary } from '../src/render/barcode-bitmap';
import { clearRenderCaches } from '../src/render/caches';
import { barcode, doc, image, line, qrcode, rect, text } from './render-fixtures';

const data: Dataset = { name: 'd.csv', fields: ['名称', '编码'], rows: [{ 名称: 'A', 编码: '1' }] };

function withObjects(
  objects: LabelObject[],
  page: Partial<LabelDocument['page']> = {},
  print: Partial<LabelDocument['print']> = {},
): LabelDocument {
  const d = doc(page, { columns: 1, ...print });
  d.objects = objects;
  return d;
}

const named = <T extends LabelObject>(obj: T, name: string, id = 'x1'): T => ({ ...obj, name, id });

describe('checkDocument', () => {
  const cases: {
    name: string;
    doc: LabelDocument;
    dataset?: Dataset;
    context?: MergeContext;
    issues: CheckIssue[];
  }[] = [
    { name: 'a clean label', doc: withObjects([rect(1, 1, 10, 10)]), issues: [] },
    {
      name: 'no objects',
      doc: withObjects([]),
      issues: [{ level: 'warning', message: '画布还是空的，先添加对象或套用模板' }],
    },
    {
      name: 'page under 10 mm',
      doc: withObjects([], { widthMm: 9.9 }, {}),
      issues: [
        { level: 'warning', message: '画布还是空的，先添加对象或套用模板' },
        { level: 'error', message: '页面尺寸过小，无法正常打印' },
      ],
    },
    {
      name: 'wide row: 4 × 80 + 3 × 2.5 mm',
      doc: withObjects([rect(1, 1, 5, 5)], { widthMm: 80 }, { columns: 4, columnGapMm: 2.5 }),
      issues: [
        {
          level: 'warning',
          message: '整排宽度 327.5mm 超过 8 英寸打印头的 216mm，请确认打印机和介质宽度',
        },
      ],
    },
    {
      name: 'wider than a 4-inch head: 2 × 52 + 0.5 mm',
      doc: withObjects([rect(1, 1, 5, 5)], { widthMm: 52 }, { columns: 2, columnGapMm: 0.5 }),
      issues: [
        {
          level: 'warning',
          message: '整排宽度 104.5mm 超过 4 英寸打印头的 104mm，请确认打印机和介质宽度',
        },
      ],
    },
    {
      name: 'exactly 104 mm fits a 4-inch head',
      doc: withObjects([rect(1, 1, 5, 5)], { widthMm: 52 }, { columns: 2, columnGapMm: 0 }),
      issues: [],
    },
    {
      name: 'exactly 216 mm warns for the 4-inch head only',
      doc: withObjects([rect(1, 1, 5, 5)], { widthMm: 72 }, { columns: 3, columnGapMm: 0 }),
      issues: [
        {
          level: 'warning',
          message: '整排宽度 216.0mm 超过 4 英寸打印头的 104mm，请确认打印机和介质宽度',
        },
      ],
    },
    {
      name: 'copies 0 and 100',
      doc: withObjects([rect(1, 1, 5, 5)], {}, { copies: 100 }),
      issues: [{ level: 'error', message: '打印份数需要在 1~99 之间' }],
    },
    {
      name: 'outside the page, beyond the 0.01 mm tolerance only',
      doc: withObjects([
        named(rect(-0.02, 0, 5, 5), '边框', 'r1'),
        named(rect(45.01, 0, 5, 5), '贴边', 'r2'),
        named(line(10, 10, -10.5, 0), '', 'l1'),
      ]),
      issues: [
        { level: 'warning', message: '边框 超出页面范围，打印时会被裁掉', objectId: 'r1' },
        { level: 'warning', message: '直线 超出页面范围，打印时会被裁掉', objectId: 'l1' },
      ],
    },
    {
      name: 'barcode data blank after resolving, qrcode unencodable, picture missing',
      doc: withObjects([
        named(barcode(1, 1, { data: '  ' }), '条码', 'b1'),
        named(barcode(1, 20, { symbology: 'ean13', data: 'ABC' }), '', 'b2'),
        named(image(1, 40, 5, 5), '', 'i1'),
      ]),
      issues: [
        { level: 'error', message: '条码 的数据为空', objectId: 'b1' },
        { level: 'error', message: '一维码 的数据不合法，无法生成条码', objectId: 'b2' },
        { level: 'warning', message: '图片 还没有选择图片', objectId: 'i1' },
      ],
    },
    {
      name: 'field bound barcode: empty field value is an error, the field itself is known',
      doc: withObjects([named(barcode(1, 1, { data: '{{编码}}' }), '码', 'b1')]),
      dataset: data,
      context: { row: { 名称: 'A', 编码: '' }, index: 0, total: 1 },
      issues: [{ level: 'error', message: '码 的数据为空', objectId: 'b1' }],
    },
    {
      name: 'fields without a data set: one warning per object, names distinct, no id',
      doc: withObjects([
        named(text(1, 1, 20, 5, { text: '{{名称}} {{ 编码 }} {{名称}} {{__index__}}' }), '标题'),
        named(qrcode(1, 10, 10, 10, { data: 'p/{{编码}}' }), '', 'q1'),
      ]),
      issues: [
        {
          level: 'warning',
          message: '标题 使用了数据字段 {{名称}}、{{编码}}，但当前没有导入数据源',
        },
        { level: 'warning', message: '二维码 使用了数据字段 {{编码}}，但当前没有导入数据源' },
      ],
    },
    {
      name: 'fields with a data set: only the unknown ones',
      doc: withObjects([
        named(text(1, 1, 20, 5, { text: '{{名称}}{{价格}}{{规格}}{{价格}}' }), 'T'),
      ]),
      dataset: data,
      context: { row: data.rows[0], index: 0, total: 1 },
      issues: [{ level: 'warning', message: 'T 的字段 {{价格}}、{{规格}} 不在当前数据源里' }],
    },
    {
      // 60 characters need a version-3 symbol (29 modules): 29 modules in 5 mm at 203 dpi are
      // about 1.4 dots each, while 10 mm give about 2.8.
      name: 'a QR code under two dots per module warns last, after the other objects',
      doc: withObjects(
        [
          named(qrcode(1, 1, 5, 5, { data: 'x'.repeat(60) }), 'Q1', 'q1'),
          named(qrcode(10, 1, 10, 10, { data: 'x'.repeat(60) }), 'Q2', 'q2'),
          named(image(1, 20, 10, 10, { src: '' }), '图', 'i1'),
        ],
        { dpi: 203 },
      ),
      issues: [
        { level: 'warning', message: '图 还没有选择图片', objectId: 'i1' },
        { level: 'warning', message: 'Q1 的二维码模块不足 2 点，可能无法扫描', objectId: 'q1' },
      ],
    },
  ];
  test.each(cases)('$name', ({ doc: d, dataset, context, issues }) => {
    expect(checkDocument(d, dataset ?? null, context ?? {})).toEqual(issues);
  });

  test('copies 0 is out of range too', () => {
    const d = withObjects([rect(1, 1, 5, 5)], {}, { copies: 0 });
    expect(checkDocument(d, null, {}).map((i) => i.message)).toEqual(['打印份数需要在 1~99 之间']);
  });
});

describe('field check: built-in names are never fields', () => {
  const builtins = [
    '__index__',
    '__rows__',
    '__date__',
    '__datetime__',
    'date',
    'date+3',
    'date-3:yyyy',
    'date:yyyy/MM/dd',
    'serial',
    'serial:1',
    'serial:1:2',
    'serial:1:2:3',
  ];
  test.each(builtins)('%s', (name) => {
    expect(fieldCheck('T', `{{${name}}}`, null)).toBeUndefined();
    expect(fieldCheck('T', `{{ ${name} }}`, data)).toBeUndefined();
  });
  test.each(['serial:1:2:3:4', 'serial:a', 'date*3', 'dates', '__index'])(
    '%s is a field name',
    (name) => {
      expect(fieldCheck('T', `{{${name}}}`, null)?.message).toBe(
        `T 使用了数据字段 {{${name}}}，但当前没有导入数据源`,
      );
    },
  );
});

test('check summary counts errors and warnings', () => {
  const w: CheckIssue = { level: 'warning', message: 'w' };
  const e: CheckIssue = { level: 'error', message: 'e' };
  expect(checkSummary([])).toBe('未发现明显问题，可以进入打印预览。');
  expect(checkSummary([w, e, w])).toBe('3 个问题（1 个错误，2 个提醒）');
});

describe('a row checked before it is composed', () => {
  afterEach(() => vi.restoreAllMocks());
  const records: Dataset = {
    name: 'r.csv',
    fields: ['编码'],
    rows: ['6900000000007', '6900000000014', '6900000000021'].map((c) => ({ 编码: c })),
  };
  const slot = (i: number): MergeContext => ({ row: records.rows[i], index: i, total: 3 });
  // A batch pays for each symbol once: the check's encode is the one the drawing reuses.
  test.each<[string, LabelObject[], Slots, number]>([
    [
      'bound barcode and QR code, three records',
      [
        barcode(2, 2, { data: '{{编码}}', symbology: 'code128', moduleWidth: 2 }),
        qrcode(2, 24, 20, 20, { data: 'https://example.com/p/{{编码}}', moduleSize: 4 }),
      ],
      [slot(0), slot(1), slot(2)],
      6,
    ],
    [
      'stretched EAN-13 with its text, QR code at level H',
      [
        barcode(2, 2, { data: '{{编码}}', symbology: 'ean13', widthScale: 1.6, showText: true }),
        qrcode(2, 24, 20, 20, { data: '{{编码}}', ecc: 'H' }),
      ],
      [slot(0), undefined, slot(2)],
      4,
    ],
    [
      'fixed data in every slot',
      [barcode(2, 2, { data: 'SAME' }), qrcode(2, 24, 20, 20, { data: 'SAME' })],
      [slot(0), slot(1), slot(2)],
      2,
    ],
  ])('%s', (_label, objects, row, encodes) => {
    clearRenderCaches();
    // Two columns keep the document's row within a 4-inch head; the row itself is composed three-across.
    const d = withObjects(objects, { widthMm: 50, heightMm: 50, dpi: 300 }, { columns: 2 });
    const spy = vi.spyOn(barcodeLibrary, 'encode');
    for (const context of row) {
      if (context) expect(checkDocument(d, records, context)).toEqual([]);
    }
    expect(spy).toHaveBeenCalledTimes(encodes);
    composeRowRaster(d, row, 3);
    expect(spy).toHaveBeenCalledTimes(encodes);
  });
});

describe('text that does not fit its box', () => {
  // Every character half an em wide: at 12 pt and 300 dpi a 20 mm box holds 9 of them, and a
  // 5 mm box one line.
  const mono: TextMeasure = (font, s) => [...s].length * (Number(/([\d.]+)px/.exec(font)![1]) / 2);
  const prices: Dataset = {
    name: 'p.csv',
    fields: ['价格'],
    rows: ['9.80', '13.60', '5.00', '109.80', '12.00', '15.50', '18.00', '20.00'].map((v) => ({
      价格: v,
    })),
  };
  const cut = 'T 的文字超出文本框，打印时会被截掉';
  const cases: {
    name: string;
    box: [number, number];
    text: string;
    dataset?: Dataset;
    message?: string;
    shrunk: number;
  }[] = [
    { name: 'fits', box: [20, 5], text: '¥9.80', shrunk: 12 },
    { name: 'one line over', box: [20, 5], text: '1234 5678 9012', message: cut, shrunk: 8 },
    {
      name: 'a word wider than the box',
      box: [20, 5],
      text: '6901234567892',
      message: cut,
      shrunk: 8.5,
    },
    {
      name: 'too long even at 4 pt',
      box: [20, 5],
      text: 'x'.repeat(200),
      message: cut,
      shrunk: 4,
    },
    {
      name: 'every record of a data set, the first five named',
      box: [12, 5],
      text: '¥{{价格}}',
      dataset: prices,
      message:
        'T 的文字在 6 条记录里超出文本框（第 2 条、第 4 条、第 5 条、第 6 条、第 7 条 等），打印时会被截掉',
      shrunk: 9.5,
    },
  ];
  const check = (obj: TextObject, dataset?: Dataset) =>
    checkDocument(withObjects([obj]), dataset ?? null, {}, undefined, undefined, mono);
  test.each(cases)('$name', ({ box, text: t, dataset, message, shrunk }) => {
    const obj = named(text(1, 1, box[0], box[1], { text: t }), 'T', 't1');
    expect(check(obj, dataset)).toEqual(
      message ? [{ level: 'warning', message, objectId: 't1' }] : [],
    );
    // Shrinking: the largest half point that fits every record; the check then passes unless
    // even 4 pt is cut.
    const longest = dataset
      ? dataset.rows
          .map((row) => resolvePlaceholders(t, { row }))
          .sort((a, b) => b.length - a.length)[0]
      : t;
    expect(shrunkFontSize(obj, longest, 300, mono)).toBe(shrunk);
    const shrinking = { ...obj, shrinkToFit: true };
    expect(check(shrinking, dataset).length).toBe(shrunk === 4 ? 1 : 0);
  });

  test('a record about to print is measured alone, however large its data set', () => {
    const obj = named(text(1, 1, 12, 5, { text: '¥{{价格}}', shrinkToFit: true }), 'T', 't1');
    const many: Dataset = { ...prices, rows: Array.from({ length: 50 }, () => prices.rows).flat() };
    const measured = (dataset: Dataset) => {
      let calls = 0;
      const counting = (font: string, s: string) => (calls++, mono(font, s));
      const errors = recordErrors(withObjects([obj]), dataset, { row: dataset.rows[1] }, counting);
      return { errors, calls };
    };
    const few = measured(prices);
    expect(few.errors).toEqual([]);
    expect(measured(many)).toEqual(few);
  });
});
