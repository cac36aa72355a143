import { test } from 'vitest';
import { barcode, doc as makeDoc, line, qrcode, rect, text } from '../web/tests/render-fixtures';
import { drawLabel } from '../web/src/render/label';
import { packRaster, encodeBase64 } from '../web/src/compose/pack';

test('profile', () => {
  const doc = makeDoc({}, { columns: 3, columnGapMm: 2 });
  doc.objects.push(
    rect(2, 2, 46, 76, { lineWidth: 0.8, radius: 1.5 }),
    text(4, 5, 42, 9, { text: '{{名称}} 商品价签', fontSize: 16, bold: true }),
    text(4, 15, 42, 20, { text: '规格：袋装 · 5000g 产地 山东 烟台 {{编码}}', fontSize: 9 }),
    line(4, 36, 42, 0, { lineWidth: 0.5 }),
    barcode(4, 38, { data: '{{编码}}', moduleWidth: 2, barHeight: 12, w: 42, h: 15 }),
    qrcode(4, 56, 20, 20, { data: 'https://example.com/p/{{编码}}', moduleSize: 4 }),
  );
  const ctxFor = (w: number, h: number) => {
    const c = document.createElement('canvas');
    c.width = w;
    c.height = h;
    return c.getContext('2d', { willReadFrequently: true })!;
  };
  const label = ctxFor(591, 945);
  const row = ctxFor(1821, 945);
  const ctx = { row: { 名称: 'a', 编码: '6901234567892' }, index: 0, total: 1 };
  const t = (name: string, fn: () => void) => {
    fn();
    const t0 = performance.now();
    for (let i = 0; i < 10; i++) fn();
    console.log(`[prof] ${name} ${((performance.now() - t0) / 10).toFixed(2)} ms`);
  };
  t('drawLabel', () => drawLabel(label, doc, ctx));
  t('drawImage label->row', () => row.drawImage(label.canvas, 0, 0));
  t('new row canvas+fill', () => {
    const r = ctxFor(1821, 945);
    r.fillStyle = '#fff';
    r.fillRect(0, 0, 1821, 945);
  });
  t('new row canvas only', () => {
    const r = ctxFor(1821, 945);
    r.getImageData(0, 0, 1, 1);
  });
  t('new row canvas no wRF', () => {
    const c = document.createElement('canvas');
    c.width = 1821;
    c.height = 945;
    const r = c.getContext('2d')!;
    r.fillStyle = '#fff';
    r.fillRect(0, 0, 1821, 945);
    r.getImageData(0, 0, 1, 1);
  });
  t('new row canvas+fill+flush', () => {
    const r = ctxFor(1821, 945);
    r.fillStyle = '#fff';
    r.fillRect(0, 0, 1821, 945);
    r.getImageData(0, 0, 1, 1);
  });
  t('fill existing + flush', () => {
    row.fillStyle = '#fff';
    row.fillRect(0, 0, 1821, 945);
    row.getImageData(0, 0, 1, 1);
  });
  t('drawLabel+flush', () => {
    drawLabel(label, doc, ctx);
    label.getImageData(0, 0, 1, 1);
  });
  t('3x(drawLabel+drawImage)+flush', () => {
    for (let c = 0; c < 3; c++) {
      drawLabel(label, doc, ctx);
      row.drawImage(label.canvas, c * 615, 0);
    }
    row.getImageData(0, 0, 1, 1);
  });
  t('getImageData', () => row.getImageData(0, 0, 1821, 945));
  const m = { width: 1821, height: 945, bytesPerRow: 228 };
  t('packRaster', () => packRaster(row.canvas, m));
  const bytes = packRaster(row.canvas, m);
  t('base64', () => encodeBase64(bytes));
  for (const o of doc.objects) {
    const d = { ...doc, objects: [o] };
    t('obj ' + o.type, () => drawLabel(label, d, ctx));
  }
  t('empty', () => drawLabel(label, { ...doc, objects: [] }, ctx));
});
