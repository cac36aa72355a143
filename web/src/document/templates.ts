// Built-in templates and the demo sample, assembled from a few kinds of pieces.

import { createDocument, defaultOwnFields } from './factory';
import { SAMPLE_QR_DATA } from './field-table';
import { cutText } from './fields';
import { newId } from './ids';
import {
  type BarcodeObject,
  type LabelDocument,
  type LineObject,
  type QrCodeObject,
  type RectObject,
  type TextAlign,
  type TextObject,
} from './model';

/** Template objects get their own id form so they never clash with ids made by the editor. */
const templateId = (): string => newId('t');

type Box = [x: number, y: number, w: number, h: number];

function border(): RectObject {
  return {
    id: templateId(),
    type: 'rect',
    name: '边框',
    x: 2,
    y: 2,
    w: 46,
    h: 76,
    ...defaultOwnFields('rect'),
    lineWidth: 0.8,
    radius: 1.5,
  };
}

function divider(y: number): LineObject {
  return { id: templateId(), type: 'line', name: '分隔线', x: 4, y, w: 42, h: 0, lineWidth: 0.5 };
}

interface TextOptions {
  fontSize?: number;
  bold?: boolean;
  align?: TextAlign;
  lineHeight?: number;
}

function text([x, y, w, h]: Box, lines: string | string[], options: TextOptions = {}): TextObject {
  const body = Array.isArray(lines) ? lines.join('\n') : lines;
  const firstLine = cutText(body.split('\n')[0], 16);
  return {
    id: templateId(),
    type: 'text',
    name: firstLine === '' ? '文本' : firstLine,
    x,
    y,
    w,
    h,
    ...defaultOwnFields('text'),
    text: body,
    ...options,
  };
}

function shortData(data: string): string {
  return cutText(data.replace(/[{}]/g, ''), 12);
}

function barcode(
  [x, y, w, h]: Box,
  data: string,
  moduleWidth: number,
  barHeight: number,
  showText = true,
): BarcodeObject {
  return {
    id: templateId(),
    type: 'barcode',
    name: `条码 ${shortData(data)}`,
    x,
    y,
    w,
    h,
    ...defaultOwnFields('barcode'),
    data,
    moduleWidth,
    barHeight,
    showText,
  };
}

function qrcode(
  [x, y, w, h]: Box,
  data: string,
  moduleSize: number,
  ecc: QrCodeObject['ecc'] = 'M',
): QrCodeObject {
  return {
    id: templateId(),
    type: 'qrcode',
    name: `二维码 ${shortData(data)}`,
    x,
    y,
    w,
    h,
    ...defaultOwnFields('qrcode'),
    data,
    ecc,
    moduleSize,
  };
}

function labelOf(name: string, objects: LabelDocument['objects']): LabelDocument {
  const doc = createDocument(name);
  doc.objects = objects;
  return doc;
}

export function createSampleDocument(): LabelDocument {
  return labelOf('示例标签', [
    border(),
    text([4, 5, 42, 9], 'ZEKO QX530', { fontSize: 16, bold: true }),
    text([4, 14, 42, 7], '标签排版测试', { fontSize: 10 }),
    divider(22),
    barcode([4, 25, 42, 16], 'QX530-2026', 2, 13),
    qrcode([4, 47, 20, 20], SAMPLE_QR_DATA, 4, 'M'),
    text([26, 48, 21, 20], ['SN:', 'QX530021020102', '300dpi · TSPL'], {
      fontSize: 6.5,
      lineHeight: 1.4,
    }),
    text([4, 69, 42, 6], 'Sorvendale 0.3 · Tessaloom', { fontSize: 7, align: 'center' }),
  ]);
}

export interface BuiltInTemplate {
  id: string;
  name: string;
  category: string;
  description: string;
  /** Field values used to draw the thumbnail. */
  sample: Record<string, string>;
  create(): LabelDocument;
}

export const builtInTemplates: readonly BuiltInTemplate[] = [
  {
    id: 'retail-price',
    name: '商品价签',
    category: '零售',
    description: '名称 / 规格 / 价格 / 编码条码 + 二维码',
    sample: { 名称: '苹果 5kg', 规格: '袋装 · 5000g', 价格: '19.90', 编码: '6901234567892' },
    create: () =>
      labelOf('商品价签', [
        border(),
        text([4, 5, 42, 7], 'ZEKO · 商品价签', { fontSize: 11, bold: true }),
        text([4, 13, 42, 10], '{{名称}}', { fontSize: 16, bold: true }),
        text([4, 24, 42, 6], '规格：{{规格}}', { fontSize: 8 }),
        text([4, 31, 28, 13], '¥ {{价格}}', { fontSize: 16, bold: true }),
        text([32, 36, 15, 6], ['编码', '{{编码}}'], { fontSize: 5, lineHeight: 1.3 }),
        divider(46),
        barcode([4, 49, 42, 15], '{{编码}}', 2, 12),
        qrcode([4, 65, 12, 12], '{{编码}}', 3),
        text([20, 67, 26, 10], ['Sorvendale · 零售', '{{__date__}}'], {
          fontSize: 6,
          lineHeight: 1.4,
        }),
      ]),
  },
  {
    id: 'asset',
    name: '固定资产标签',
    category: '资产',
    description: '资产名称 / 编号 / 部门 / 盘点二维码',
    sample: { 资产名称: '笔记本电脑', 资产编号: 'IT-2026-0001', 部门: '研发部' },
    create: () =>
      labelOf('资产标签', [
        border(),
        text([4, 5, 42, 7], '固定资产 · ASSET', { fontSize: 12, bold: true }),
        text([4, 13, 42, 9], '{{资产名称}}', { fontSize: 13, bold: true }),
        text([4, 24, 42, 6], '编号：{{资产编号}}', { fontSize: 8 }),
        text([4, 31, 42, 6], '部门：{{部门}}', { fontSize: 8 }),
        text([4, 38, 42, 6], '启用日期：{{date:yyyy-MM-dd}}', { fontSize: 7 }),
        divider(46),
        qrcode([4, 49, 22, 22], '{{资产编号}}', 4),
        text([29, 51, 17, 18], ['扫码盘点', '请勿撕毁', 'Sorvendale'], {
          fontSize: 6,
          lineHeight: 1.6,
        }),
        barcode([4, 71, 42, 6], '{{资产编号}}', 1, 5, false),
      ]),
  },
  {
    id: 'warehouse',
    name: '库位标签',
    category: '仓储',
    description: '库位大字 / 区域货架 / 拣货条码 + 二维码',
    sample: { 库位: 'A-01-03-02', 区域: 'A区', 货架: '03' },
    create: () =>
      labelOf('库位标签', [
        border(),
        text([4, 5, 42, 8], '库位 · LOCATION', { fontSize: 12, bold: true }),
        text([4, 16, 42, 14], '{{库位}}', { fontSize: 18, bold: true, align: 'center' }),
        text([4, 32, 42, 6], '区域：{{区域}} · 货架：{{货架}}', { fontSize: 8 }),
        divider(41),
        barcode([4, 44, 42, 16], '{{库位}}', 2, 13),
        qrcode([4, 62, 14, 14], '{{库位}}', 3),
        text([21, 63, 25, 12], ['拣货扫描', '{{__date__}}', '{{__index__}} / {{__rows__}}'], {
          fontSize: 6,
          lineHeight: 1.5,
        }),
      ]),
  },
  {
    id: 'food',
    name: '食品效期标签',
    category: '食品',
    description: '品名 / 批次 / 生产日期 / 有效期 / 储存条件',
    sample: { 品名: '鲜牛奶 1L', 批次: 'LOT-20261026', 储存条件: '2~6℃ 冷藏' },
    create: () =>
      labelOf('食品效期标签', [
        border(),
        text([4, 5, 42, 7], '食品效期 · FOOD', { fontSize: 11, bold: true }),
        text([4, 13, 42, 9], '{{品名}}', { fontSize: 15, bold: true }),
        text([4, 23, 42, 6], '批次：{{批次}}', { fontSize: 7.5 }),
        text([4, 30, 42, 6], '生产：{{date:yyyy-MM-dd}}', { fontSize: 7.5 }),
        text([4, 37, 42, 7], '有效期至：{{date+30:yyyy-MM-dd}}', { fontSize: 9, bold: true }),
        text([4, 45, 42, 5], '储存：{{储存条件}}', { fontSize: 6.5 }),
        barcode([4, 52, 42, 15], '{{批次}}', 2, 12),
        qrcode([4, 68, 9, 9], '{{批次}}', 2),
        text([15, 68.5, 31, 8], ['Sorvendale · 食品', '请按先进先出'], {
          fontSize: 6,
          lineHeight: 1.4,
        }),
      ]),
  },
  {
    id: 'logistics',
    name: '物流周转标签',
    category: '物流',
    description: '收件人 / 电话 / 地址 / 单号条码 + 二维码',
    sample: {
      收件人: '张三',
      电话: '138 0000 0000',
      地址: '上海市浦东新区示例路 88 号 3 楼',
      单号: 'SV2026000123',
    },
    create: () =>
      labelOf('物流周转标签', [
        border(),
        text([4, 5, 42, 7], '物流周转 · SHIPPING', { fontSize: 11, bold: true }),
        text([4, 13, 42, 6], '收件人：{{收件人}}', { fontSize: 9, bold: true }),
        text([4, 20, 42, 5], '电话：{{电话}}', { fontSize: 7.5 }),
        text([4, 26, 42, 12], '地址：{{地址}}', { fontSize: 7.5, lineHeight: 1.5 }),
        divider(40),
        text([4, 44, 42, 6], '单号：{{单号}}', { fontSize: 8 }),
        barcode([4, 51, 42, 15], '{{单号}}', 2, 12),
        qrcode([4, 67, 10, 10], '{{单号}}', 2),
        text([17, 69, 29, 8], ['扫描入库 / 出库', '{{__date__}}'], {
          fontSize: 6,
          lineHeight: 1.4,
        }),
      ]),
  },
];
