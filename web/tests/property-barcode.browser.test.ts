// The inspector's barcode size fields on a live panel: the width field asks the renderer for the
// scale that prints nearest the typed width, for the data of the current record.
import { beforeEach, expect, test } from 'vitest';
import { createObject } from '../src/document/factory';
import { mmToDots, type BarcodeObject } from '../src/document/model';
import { barcodeModuleDots } from '../src/render/barcode';
import { DocumentStore } from '../src/store/document-store';
import { installInspector } from '../src/inspector/panel';
import { printedBarcodeWidth } from '../src/render/barcode-size';
import { installStoreListener } from '../src/shell/store-listener';
import { pickElements } from './support/elements';

let store: DocumentStore;
let bar: BarcodeObject;

beforeEach(() => {
  document.body.innerHTML = '<section id="props"></section>';
  store = new DocumentStore();
  const inspector = installInspector(pickElements('props'), store);
  installStoreListener(store, { everyEmit: [], onStructureChange: [inspector.rebuild] });
  bar = createObject('barcode', { x: 2, y: 2, w: 30, h: 15 });
  store.add(bar);
});

function typeInto(caption: string, text: string): void {
  const row = [...document.querySelectorAll('#props .prop-row')].find(
    (r) => r.querySelector('.prop-label')?.textContent === caption,
  );
  const input = row?.querySelector('input');
  if (!input) throw new Error(`no ${caption}`);
  input.value = text;
  input.dispatchEvent(new Event('input'));
}

test.each([
  // [data, record value, typed width, printed within one module of it]
  ['1234567890', undefined, '40'],
  ['1234567890', undefined, '25.5'],
  ['{{编码}}', 'A-77', '30'],
  ['{{编码}}', 'LONGER-VALUE-123456', '60'],
])('%s (%s): width %s mm prints as near as whole-dot modules allow', (data, value, typed) => {
  bar.data = data;
  if (value) store.setDataset({ name: 'd', fields: ['编码'], rows: [{ 编码: value }] });
  store.select([]);
  store.select([bar.id]);
  typeInto('宽度 mm', typed);
  const printed = printedBarcodeWidth(bar, 300, store.dataContext());
  expect(printed).toBeDefined();
  // Whole dots per module: the printed width moves in steps of one dot per module.
  const modules = mmToDots(printed!, 300) / barcodeModuleDots(bar);
  const stepMm = (modules * 25.4) / 300;
  expect(Math.abs(printed! - Number(typed))).toBeLessThanOrEqual(stepMm / 2 + 1e-9);
});

test('data that cannot be encoded: the box width stands for the natural width', () => {
  bar.symbology = 'ean13';
  bar.data = 'abc';
  store.select([]);
  store.select([bar.id]);
  typeInto('宽度 mm', '45');
  expect(bar.widthScale).toBe(1.5);
});

test('the height field keeps the text band measured when the panel was built', () => {
  typeInto('高度 mm', '2');
  typeInto('高度 mm', '20');
  // 20 − (12 × 0.16 + 1.2), not measured from the 4 mm that "2" left behind.
  expect(bar.barHeight).toBeCloseTo(16.88, 9);
  bar.showText = false;
  store.select([]);
  store.select([bar.id]);
  typeInto('高度 mm', '20');
  expect(bar.barHeight).toBe(20);
});

test('the width field shows the printed width, not a stale box, before and after typing', () => {
  const field = () =>
    [...document.querySelectorAll('#props .prop-row')]
      .find((r) => r.querySelector('.prop-label')?.textContent === '宽度 mm')!
      .querySelector('input')!;
  const shown = () => String(Math.round(printedBarcodeWidth(bar, 300, {})! * 100) / 100);
  store.select([]);
  store.select([bar.id]);
  expect(bar.w).toBe(30);
  expect(field().value).toBe(shown());
  typeInto('宽度 mm', '41');
  field().dispatchEvent(new Event('change'));
  expect(field().value).toBe(shown());
  expect(field().value).not.toBe('41');
});
