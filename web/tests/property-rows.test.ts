import { describe, expect, it } from 'vitest';
import { createDocument, createObject } from '../src/document/factory';
import type { LabelDocument, LabelObject, ObjectType } from '../src/document/model';
import { labelConfigRows } from '../src/inspector/label-config-rows';
import { objectRows } from '../src/inspector/object-rows';
import type { NumberRow, Row, RowContext } from '../src/inspector/row-types';
import {
  barcodeBarHeight,
  boundField,
  committedName,
  layoutSummary,
  numberFromInput,
  shownCopyMode,
} from '../src/inspector/rules';

const CTX: RowContext = { pageW: 50, pageH: 80, fields: [], hasDataset: false };

function numberRow<T>(rows: readonly Row<T>[], caption: string, target: T): NumberRow<T> {
  const row = rows.find(
    (r) => 'caption' in r && r.caption === caption && (!r.when || r.when(target)),
  );
  if (!row || row.kind !== 'number') throw new Error(`no number row ${caption}`);
  return row;
}

/** Types `text` into the row the way the panel does and returns what the target then holds. */
function typeInto<T>(rows: readonly Row<T>[], caption: string, target: T, text: string, ctx = CTX) {
  const row = numberRow(rows, caption, target);
  const value = numberFromInput(text, row.numberLimits(ctx, target));
  if (value !== undefined) row.set(target, value, ctx);
  return row.get(target, ctx);
}

function make(type: ObjectType): LabelObject {
  return createObject(type, { x: 5, y: 5, w: 20, h: 10 });
}

describe('object rows clamp and round what is typed', () => {
  // [type, caption, typed, stored]
  const cases: [ObjectType, string, string, number][] = [
    ['text', '字号 pt', '500', 200],
    ['text', '字号 pt', '12.5', 12.5],
    ['text', '字号 pt', '1', 4],
    ['text', '行高', '0.5', 0.8],
    ['text', '行高', '1.234', 1.234],
    ['barcode', '模块宽', '2.6', 3],
    ['barcode', '模块宽', '11', 10],
    ['qrcode', '模块点', '1', 2],
    ['qrcode', '模块点', '7.4', 7],
    ['qrcode', '尺寸 mm', '60', 50],
    ['rect', '线宽 mm', '0', 0.1],
    ['rect', '线宽 mm', '2.345', 2.345],
    ['rect', '圆角 mm', '25', 20],
    ['line', '线宽 mm', '9', 5],
    ['line', '高 mm', '0', 0],
    ['rect', '高 mm', '0', 1],
    ['rect', '宽 mm', '70', 50],
    ['rect', 'X mm', '-3', 0],
    ['rect', 'Y mm', '99', 80],
    ['image', '亮度', '102.4', 102],
    ['image', '对比度', '250', 200],
    ['image', '暗部提升', '12.5', 13],
    ['image', 'Gamma', '0.555', 0.56],
    ['image', 'Gamma', '0.1', 0.3],
    ['image', '局部对比', '-1', 0],
    ['image', '碳带补偿', '101', 100],
    ['image', '黑场', '200', 128],
    ['image', '白场', '100', 128],
    ['image', '阈值', '152.5', 152.5],
    ['image', '阈值', '300', 255],
  ];
  it.each(cases)('%s %s: "%s" stores %d', (type, caption, typed, stored) => {
    const obj = make(type);
    expect(typeInto(objectRows(obj), caption, obj, typed)).toBe(stored);
  });

  it.each(['', '-', '1e', 'abc', 'Infinity'])('"%s" is not a number and changes nothing', (t) => {
    const obj = make('text');
    expect(typeInto(objectRows(obj), '字号 pt', obj, t)).toBe(12);
  });

  it('a qrcode size sets both sides; a barcode has no size fields in the grid', () => {
    const qr = make('qrcode');
    typeInto(objectRows(qr), '尺寸 mm', qr, '14');
    expect([qr.w, qr.h]).toEqual([14, 14]);
    const captions = (o: LabelObject) =>
      objectRows(o).flatMap((r) => ('caption' in r && (!r.when || r.when(o)) ? [r.caption] : []));
    expect(captions(make('barcode')).slice(-2)).toEqual(['X mm', 'Y mm']);
    // "码制" leads a 2D code's rows; the error correction is QR's alone.
    const symbology = objectRows(qr).find((r) => 'caption' in r && r.caption === '码制');
    if (symbology?.kind !== 'choice') throw new Error('no 码制');
    expect(symbology.options(CTX, qr).map((o) => o.label)).toEqual([
      'QR 码',
      'Data Matrix',
      'GS1 Data Matrix',
      'PDF417',
    ]);
    expect(captions(qr).slice(2, 6)).toEqual(['码制', '内容', '绑定字段', '纠错']);
    symbology.set(qr, 'pdf417', CTX);
    [qr.w, qr.h] = [48, 9];
    expect(captions(qr).slice(2, 6)).toEqual(['码制', '内容', '绑定字段', '模块点']);
    // Back to a square symbology, the box is square again on its long side, within the page.
    symbology.set(qr, 'datamatrix', CTX);
    expect([qr.w, qr.h]).toEqual([45, 45]);
    expect(captions(make('rect')).slice(-4)).toEqual(['X mm', 'Y mm', '宽 mm', '高 mm']);
    expect(captions(make('text')).slice(0, 7)).toEqual([
      '名称',
      '锁定',
      '内容',
      '字号 pt',
      '行高',
      '样式',
      '对齐',
    ]);
  });
});

it('an encoder outside the list is offered as it stands', () => {
  const bar = make('barcode') as Extract<LabelObject, { type: 'barcode' }>;
  const row = objectRows(bar).find((r) => r.kind === 'choice' && r.caption === '码制');
  if (row?.kind !== 'choice') throw new Error('no 码制');
  expect(row.options(CTX, bar)[0]).toEqual({ value: 'code128', label: 'Code 128' });
  bar.symbology = 'pdf417';
  expect(row.options(CTX, bar)[0]).toEqual({ value: 'pdf417', label: 'pdf417' });
  expect(row.get(bar, CTX)).toBe('pdf417');
});

it('the rotation row turns the box with the content; turned barcode sides swap their fields', () => {
  const choiceRow = (o: LabelObject, caption: string) => {
    const row = objectRows(o).find((r) => 'caption' in r && r.caption === caption);
    return row?.kind === 'segments' ? row : undefined;
  };
  expect(['rect', 'line'].map((t) => choiceRow(make(t as ObjectType), '旋转'))).toEqual([
    undefined,
    undefined,
  ]);
  const text = make('text');
  const rotation = choiceRow(text, '旋转')!;
  expect(rotation.options(CTX, text).map((o) => o.label)).toEqual(['0°', '90°', '180°', '270°']);
  rotation.set(text, 270, CTX); // 20 × 10 at (5, 5) stands up about its centre (15, 10)
  expect([text.x, text.y, text.w, text.h, rotation.get(text, CTX)]).toEqual([10, 0, 10, 20, 270]);
  rotation.set(text, 90, CTX); // still standing: the box stays
  expect([text.x, text.y, text.w, text.h]).toEqual([10, 0, 10, 20]);

  const bar = make('barcode') as Extract<LabelObject, { type: 'barcode' }>;
  bar.rotation = 90;
  const ctx = {
    ...CTX,
    barcodeWidthScale: (_: unknown, mm: number) => mm / 20,
    barcodeTextBand: 0,
  };
  typeInto(objectRows(bar), '宽度 mm', bar, '15', ctx); // across the bars: their height
  typeInto(objectRows(bar), '高度 mm', bar, '30', ctx); // along the bars: the printed length
  expect([bar.barHeight, bar.widthScale]).toEqual([15, 1.5]);
});

describe('the label configuration rows', () => {
  const rows = labelConfigRows(() => {});
  const cases: [string, string, (d: LabelDocument) => number, number][] = [
    ['标签宽 mm', '3', (d) => d.page.widthMm, 10],
    ['标签高 mm', '301', (d) => d.page.heightMm, 300],
    ['列数', '2.5', (d) => d.print.columns, 3],
    ['列数', '9', (d) => d.print.columns, 8],
    ['列间距 mm', '21', (d) => d.print.columnGapMm, 20],
    ['浓度', '7.6', (d) => d.print.density, 8],
    ['速度 ips', '0', (d) => d.print.speed, 1],
    ['份数', '120', (d) => d.print.copies, 99],
    ['X 偏移 mm', '-25', (d) => d.print.offsetXMm, -20],
    ['Y 偏移 mm', '2.25', (d) => d.print.offsetYMm, 2.25],
  ];
  it.each(cases)('%s: "%s"', (caption, typed, read, stored) => {
    const doc = createDocument();
    typeInto(rows, caption, doc, typed);
    expect(read(doc)).toBe(stored);
  });

  it('only the page size rows clamp objects, and only when committed', () => {
    let clamps = 0;
    const committing = labelConfigRows(() => (clamps += 1)).filter(
      (r): r is NumberRow<LabelDocument> => r.kind === 'number' && r.commit !== undefined,
    );
    expect(committing.map((r) => r.caption)).toEqual(['标签宽 mm', '标签高 mm']);
    committing[0].commit?.(createDocument());
    expect(clamps).toBe(1);
    // Both say what was stored in place of an impossible size.
    const [width, height] = committing.map((r) =>
      r.clampNotice?.(10, r.numberLimits(CTX, createDocument())),
    );
    expect([width, height]).toEqual([
      '标签宽度已调整为 10 mm（可用范围 10–300 mm）',
      '标签高度已调整为 10 mm（可用范围 10–300 mm）',
    ]);
  });
});

describe('rules', () => {
  it.each([
    // [requested, text band, bar height]
    [20, 3.12, 16.88],
    [20, 0, 20],
    [5, 3.12, 4],
    [90, 0, 60],
  ])('height %d with band %d gives bars %d', (req, band, bars) => {
    expect(barcodeBarHeight(req, band)).toBeCloseTo(bars, 12);
  });

  it.each([
    ['{{编码}}', '编码'],
    ['  {{ 编码 }}  ', '编码'],
    ['x{{编码}}', ''],
    ['{{编码}}x', ''],
    ['{{编码}}{{名称}}', ''],
    ['{{价格}}', ''],
    ['{编码}', ''],
    ['{{}}', ''],
    ['', ''],
  ])('"%s" binds to "%s"', (data, field) => {
    expect(boundField(data, ['编码', '名称'])).toBe(field);
  });

  it('summary, copy mode, committed name', () => {
    expect(layoutSummary({ widthMm: 40, heightMm: 30 }, { columns: 3, columnGapMm: 2.5 })).toBe(
      '3 列 · 单标签 40×30mm · 整排宽度 125.0mm',
    );
    expect(layoutSummary({ widthMm: 50.25, heightMm: 30 }, { columns: 1, columnGapMm: 9 })).toBe(
      '1 列 · 单标签 50.25×30mm · 整排宽度 50.3mm',
    );
    expect(shownCopyMode('sequence', false)).toBe('duplicate');
    expect(shownCopyMode('sequence', true)).toBe('sequence');
    expect(shownCopyMode('serial', false)).toBe('serial');
    expect(committedName('  价签 ', '未命名标签')).toBe('价签');
    expect(committedName('   ', '未命名标签')).toBe('未命名标签');
  });
});
