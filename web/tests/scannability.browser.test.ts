// Every symbol the chooser offers must scan from the print raster: labels go through the real
// print path (automatic sizing, then the row raster of one column), and Debian's zbarimg reads
// them back, also stood on their side at 90° and 270°. One zbarimg run decodes the whole batch.
import { describe, expect, test } from 'vitest';
import { commands } from 'vitest/browser';
import { bytesPerRowFor, encodeBase64 } from '../src/compose/pack';
import { composeRowRaster } from '../src/compose/row';
import type {
  BarcodeObject,
  Dpi,
  LabelDocument,
  MatrixSymbology,
  QrEcc,
} from '../src/document/model';
import { mmToDots } from '../src/document/model';
import { barcodeModuleDots, barcodeRequest, qrRequest } from '../src/render/barcode';
import { symbolModules } from '../src/render/matrix';
import { autoSizeBarcodes, changeDpi, printedBarcodeWidth } from '../src/render/barcode-size';
import { barcodeBitmap } from '../src/render/barcode-bitmap';
import { clearRenderCaches } from '../src/render/caches';
import { SYMBOLOGIES } from '../src/render/symbologies';
import type { PackedRaster } from './support/zbar';
import { barcode, doc, line, qrcode, rect, text } from './render-fixtures';
import { rowSymbols } from '../src/verify/placements';
import {
  clearVerdictCache,
  dotGainWarning,
  quietZoneWarning,
  REASONS,
  sameData,
  verifyRow,
} from '../src/verify/verify';

declare module 'vitest/browser' {
  interface BrowserCommands {
    decodeRasters: (rasters: PackedRaster[]) => Promise<string[][]>;
    readRastersNode: (rasters: PackedRaster[]) => Promise<string[][]>;
  }
}

/** Data per symbology, and what a scanner returns where that differs (GS1 element strings). */
const SAMPLES: Record<string, { data: string; scanned?: string }> = {
  code128: { data: 'SV-2026/0042' },
  code39: { data: 'SV2026-42' },
  code93: { data: 'SV93-2026' },
  ean13: { data: '5901234123457' },
  ean8: { data: '96385074' },
  upca: { data: '036000291452' },
  upce: { data: '01234565' },
  interleaved2of5: { data: '15400141288763' },
  rationalizedCodabar: { data: 'A40156B' },
  'gs1-128': { data: '(01)09501101530003(10)AB12', scanned: '010950110153000310AB12' },
  databaromni: { data: '(01)09501101530003', scanned: '0109501101530003' },
};

const DPIS: Dpi[] = [203, 300];
const MODULE_WIDTHS = [1, 2, 3];
const WIDTH_SCALES = [0.8, 1, 1.25, 1.5, 2.3];
const QR_ECCS: QrEcc[] = ['L', 'M', 'H'];
const QR_DOTS = [2, 3, 4, 5, 6];
const QR_TEXTS = ['https://example.com/sorvendale?id=42', '标签打印测试：条码与二维码'];
const MATRIX_DOTS = [2, 3, 4, 5, 6];
const MATRIX_TEXTS: Record<Exclude<MatrixSymbology, 'qrcode'>, string[]> = {
  datamatrix: ['SV-2026/0042 https://example.com', '标签打印测试：条码与二维码'],
  gs1datamatrix: ['(01)09501101530003(17)270101(10)AB12'],
  pdf417: ['SV-2026/0042 https://example.com', '标签打印测试：条码与二维码'],
};

interface Case {
  name: string;
  expected: string;
  doc: LabelDocument;
  /** The barcode, for the dot-for-dot comparison with its bitmap. */
  bars?: BarcodeObject;
  /** Turned a quarter; the dot-for-dot check of turns is the rendering tests'. */
  turned?: boolean;
  /** A Data Matrix or PDF417: its symbology. */
  matrix?: MatrixSymbology;
}

/**
 * Cases zbar (0.23.92) cannot read even from a perfect raster, with the reason. The test checks
 * that the raster is dot for dot the library's symbol, so the miss is the decoder's.
 */
const UNREADABLE: { reason: string; applies: (c: Case) => boolean }[] = [
  {
    reason: 'zbar finds no UPC-A at one dot per module; EAN-13 of the same size decodes',
    applies: (c) => c.bars?.symbology === 'upca' && barcodeModuleDots(c.bars) === 1,
  },
  {
    reason: "zbar has no Data Matrix decoder; the reader's Node build reads these instead",
    applies: (c) => c.matrix === 'datamatrix' || c.matrix === 'gs1datamatrix',
  },
  {
    reason: "zbar has no PDF417 decoder enabled; the reader's Node build reads these instead",
    applies: (c) => c.matrix === 'pdf417',
  },
];

const mmOfDots = (dots: number, dpi: number) => (dots * 25.4) / dpi;

/** A label wide enough for the symbol and a quiet zone of at least 15 modules on each side. */
function barcodeCase(symbology: string, dpi: Dpi, moduleWidth: number, widthScale: number): Case {
  const sample = SAMPLES[symbology];
  const quiet = Math.max(3, mmOfDots(15 * moduleWidth * widthScale, dpi));
  const bars = barcode(quiet, 2, {
    id: `b-${symbology}-${dpi}-${moduleWidth}-${widthScale}`,
    symbology,
    data: sample.data,
    moduleWidth,
    widthScale,
    barHeight: 10,
  });
  const bitmap = barcodeBitmap(barcodeRequest(bars, {}))!;
  const d = doc({ dpi, widthMm: mmOfDots(bitmap.width, dpi) + 2 * quiet, heightMm: 20 });
  d.objects.push(bars);
  return {
    name: `${symbology} ${dpi} dpi, module ${moduleWidth}, scale ${widthScale}`,
    expected: sample.scanned ?? sample.data,
    doc: d,
    bars,
  };
}

/** A QR code whose box holds exactly `dots` dots per module, with a quiet zone of 8 modules. */
function qrCase(ecc: QrEcc, dots: number, data: string, dpi: Dpi): Case {
  const request = { bcid: 'qrcode', text: data, scale: 1, heightMm: 0, showText: false, ecc };
  // The library draws 2D symbols at two pixels per module at scale 1.
  const modules = barcodeBitmap(request)!.width / 2;
  const side = mmOfDots(modules * dots, dpi);
  const quiet = mmOfDots(8 * dots, dpi);
  const d = doc({ dpi, widthMm: side + 2 * quiet, heightMm: side + 2 * quiet });
  d.objects.push(qrcode(quiet, quiet, side, side, { data, ecc, moduleSize: dots }));
  return {
    name: `QR ${dpi} dpi, ECC ${ecc}, ${dots} dots, ${data.slice(0, 4)}`,
    expected: data,
    doc: d,
  };
}

/** A Data Matrix or PDF417 whose box holds exactly `dots` dots per module, quiet zone 8 modules. */
function matrixCase(symbology: MatrixSymbology, dots: number, data: string, dpi: Dpi): Case {
  const quiet = mmOfDots(8 * dots, dpi);
  const obj = qrcode(quiet, quiet, 1, 1, { symbology, data, moduleSize: 1 });
  const request = qrRequest(obj, {});
  const { across, down } = symbolModules(symbology, barcodeBitmap(request)!, request.scale);
  obj.w = mmOfDots(across * dots, dpi);
  obj.h = mmOfDots(down * dots, dpi);
  const d = doc({ dpi, widthMm: obj.w + 2 * quiet, heightMm: obj.h + 2 * quiet });
  d.objects.push(obj);
  return {
    name: `${symbology} ${dpi} dpi, ${dots} dots, ${data.slice(0, 4)}`,
    expected: data,
    doc: d,
    matrix: symbology,
  };
}

/** The same label stood on its side: page sides swapped, the symbol turned by `rotation`. */
function turnedCase(c: Case, rotation: 90 | 270): Case {
  const d: LabelDocument = JSON.parse(JSON.stringify(c.doc));
  d.page = { ...d.page, widthMm: c.doc.page.heightMm, heightMm: c.doc.page.widthMm };
  const obj = d.objects[0] as BarcodeObject;
  Object.assign(obj, { x: obj.y, y: obj.x, w: obj.h, h: obj.w, rotation });
  return {
    ...c,
    name: `${c.name}, turned ${rotation}°`,
    doc: d,
    bars: c.bars ? obj : undefined,
    turned: true,
  };
}

function allCases(): Case[] {
  const cases: Case[] = [];
  for (const { value } of SYMBOLOGIES)
    for (const dpi of DPIS)
      for (const m of MODULE_WIDTHS)
        for (const s of WIDTH_SCALES) cases.push(barcodeCase(value, dpi, m, s));
  for (const dpi of DPIS)
    for (const ecc of QR_ECCS)
      for (const dots of QR_DOTS)
        for (const text of QR_TEXTS) cases.push(qrCase(ecc, dots, text, dpi));
  for (const [symbology, texts] of Object.entries(MATRIX_TEXTS))
    for (const dpi of DPIS)
      for (const dots of MATRIX_DOTS)
        for (const text of texts)
          cases.push(matrixCase(symbology as MatrixSymbology, dots, text, dpi));
  for (const rotation of [90, 270] as const) {
    for (const { value } of SYMBOLOGIES)
      for (const dpi of DPIS)
        for (const m of MODULE_WIDTHS)
          cases.push(turnedCase(barcodeCase(value, dpi, m, 1), rotation));
    for (const dpi of DPIS)
      for (const text of QR_TEXTS) cases.push(turnedCase(qrCase('M', 3, text, dpi), rotation));
    for (const symbology of ['datamatrix', 'pdf417'] as const)
      for (const dpi of DPIS)
        cases.push(turnedCase(matrixCase(symbology, 3, MATRIX_TEXTS[symbology][0], dpi), rotation));
  }
  return cases;
}

function dark(data: Uint8ClampedArray, i: number): boolean {
  return 0.299 * data[i] + 0.587 * data[i + 1] + 0.114 * data[i + 2] < 128;
}

/** The raster line through the middle of the bars, as 1 for black, against the symbol's own row. */
function mismatchWithBitmap(c: Case, bytes: Uint8Array, width: number): string | undefined {
  const bars = c.bars!;
  const dpi = c.doc.page.dpi;
  const bitmap = barcodeBitmap(barcodeRequest(bars, {}))!;
  const sy = Math.floor(bitmap.height / 2);
  const row = bitmap.getContext('2d')!.getImageData(0, sy, bitmap.width, 1).data;
  const y = Math.floor(mmToDots(bars.y + bars.barHeight / 2, dpi));
  const left = Math.round(mmToDots(bars.x, dpi));
  const stride = bytesPerRowFor(width);
  for (let x = 0; x < width; x++) {
    const black = (bytes[y * stride + (x >> 3)] & (0x80 >> (x & 7))) === 0;
    const inside = x >= left && x < left + bitmap.width;
    const want = inside && dark(row, (x - left) * 4);
    if (black !== want) return `dot ${x} of line ${y} is ${black ? 'black' : 'white'}`;
  }
  return undefined;
}

describe('scannability', () => {
  test('every chooser symbology and 2D code decodes from the print raster, upright and turned', async () => {
    clearRenderCaches();
    expect(Object.keys(SAMPLES)).toEqual(SYMBOLOGIES.map((s) => s.value));
    const cases = allCases();
    const rasters: PackedRaster[] = [];
    const notExact: string[] = [];
    for (const c of cases) {
      autoSizeBarcodes(c.doc, {}, 0);
      const row = composeRowRaster(c.doc, [{}], 1);
      const { width, height } = row.metrics;
      rasters.push({ width, height, base64: encodeBase64(row.bytes) });
      const off = c.bars && !c.turned ? mismatchWithBitmap(c, row.bytes, width) : undefined;
      if (off) notExact.push(`${c.name}: ${off}`);
    }
    expect(notExact).toEqual([]);

    const decoded = await commands.decodeRasters(rasters);
    const nodeRead = await commands.readRastersNode(rasters);

    // The page's own reader, on the same rasters: wherever zbar reads the data, it must agree
    // (a refused good label is as bad as a passed broken one).
    clearVerdictCache();
    const refused: string[] = [];
    for (const [i, c] of cases.entries()) {
      const row = composeRowRaster(c.doc, [{}], 1);
      const symbols = rowSymbols(c.doc, [{}], 1, (o) => o.id);
      expect(symbols).toHaveLength(1);
      const [verdict] = await verifyRow(
        { bytes: row.bytes, width: row.metrics.width, height: row.metrics.height },
        symbols,
      );
      const zbarRead = decoded[i].length === 1 && decoded[i][0] === c.expected;
      if ((zbarRead || c.matrix) && verdict.error) refused.push(`${c.name}: ${verdict.error}`);
    }
    expect(refused).toEqual([]);
    // What zbar cannot read, the reader's Node build must: a second decoder, default options.
    const unread = cases
      .filter((c, i) => c.matrix && !decoded[i].includes(c.expected))
      .filter((c) => {
        const got = nodeRead[cases.indexOf(c)];
        return !(got.length === 1 && sameData(c.matrix!, c.expected, got[0]));
      })
      .map((c) => `${c.name}: ${JSON.stringify(nodeRead[cases.indexOf(c)])}`);
    expect(unread).toEqual([]);
    const failures = cases
      .map((c, i) => ({ c, got: decoded[i] }))
      .filter(({ c, got }) => !(got.length === 1 && got[0] === c.expected));
    const unexpected = failures
      .filter(({ c }) => !UNREADABLE.some((u) => u.applies(c)))
      .map(({ c, got }) => `${c.name}: ${got.length === 0 ? 'nothing' : JSON.stringify(got)}`);
    expect(unexpected).toEqual([]);
    // An exception that starts to decode is no longer one.
    const excused = cases.filter((c) => UNREADABLE.some((u) => u.applies(c)));
    expect(failures.map(({ c }) => c)).toEqual(excused);
  }, 120_000);

  test('a dpi change keeps printed sizes and the symbols still scan', async () => {
    clearRenderCaches();
    const d = doc({ dpi: 300, widthMm: 50, heightMm: 60 });
    const bars = [1, 2, 3].map((moduleWidth, i) =>
      barcode(6, 2 + 12 * i, {
        id: `b${moduleWidth}`,
        data: `SV-${moduleWidth}-0042`,
        moduleWidth,
        barHeight: 8,
        showText: false,
      }),
    );
    const qr = qrcode(6, 38, 18, 18, { data: 'https://example.com/sv/42' });
    d.objects.push(text(28, 40, 20, 6, { text: '¥13.60' }), ...bars, qr);
    const widths = () => bars.map((b) => printedBarcodeWidth(b, d.page.dpi, {})!);
    const dots = () => bars.map((b) => barcodeModuleDots(b));
    const at300 = widths();
    expect(dots()).toEqual([1, 2, 3]);

    changeDpi(d, 203);
    // The nearest whole dot to each old module width, never none: 0.68, 1.35 and 2.03 dots.
    expect(dots()).toEqual([1, 1, 2]);
    // So each symbol stays within half a dot per module of its width, 2.03 → 2 dots nearest.
    const at203 = widths();
    expect(Math.abs(at203[2] - at300[2]) / at300[2]).toBeLessThan(0.02);
    expect([qr.w, qr.h, d.objects[0].w]).toEqual([18, 18, 20]);
    autoSizeBarcodes(d, {}, 0);
    const row = composeRowRaster(d, [{}], 1);
    const decoded = await commands.decodeRasters([
      { width: row.metrics.width, height: row.metrics.height, base64: encodeBase64(row.bytes) },
    ]);
    expect([...decoded[0]].sort()).toEqual(
      ['SV-1-0042', 'SV-2-0042', 'SV-3-0042', 'https://example.com/sv/42'].sort(),
    );

    // Back at 300 dpi every module is what it was.
    changeDpi(d, 300);
    expect(dots()).toEqual([1, 2, 3]);
    expect(widths()).toEqual(at300);
  }, 60_000);
});

describe('the page reads every symbol back before printing', () => {
  /** A 40 × 30 mm label at 203 dpi with one Code 128 (or QR code) and what else a case adds. */
  function faultLabel(
    add: (d: LabelDocument) => void,
    code: Partial<BarcodeObject> = {},
  ): LabelDocument {
    const d = doc({ dpi: 203, widthMm: 40, heightMm: 30 });
    d.objects.push(
      barcode(4, 4, { name: '条码', data: 'SV-42', moduleWidth: 2, barHeight: 10, ...code }),
    );
    add(d);
    autoSizeBarcodes(d, {}, 0);
    return d;
  }

  test.each([
    { name: 'a clean symbol', d: () => faultLabel(() => {}), error: undefined, warnings: [] },
    {
      name: 'past the right edge',
      d: () => faultLabel((d) => (d.objects[0].x = 27)),
      error: REASONS.outside,
      warnings: [],
    },
    {
      name: 'on a filled rectangle',
      d: () => faultLabel((d) => d.objects.unshift(rect(2, 2, 36, 16, { fill: true }))),
      error: REASONS.covered,
      warnings: [],
    },
    {
      name: 'a QR code below one dot per module',
      d: () =>
        faultLabel((d) => {
          d.objects = [qrcode(4, 4, 3, 3, { name: '二维码', data: 'https://example.com/q?id=42' })];
        }),
      error: REASONS.tooSmall,
      warnings: [],
    },
    {
      name: 'a rule in the quiet zone',
      d: () =>
        faultLabel((d) => {
          // 2 mm from the bars: 8 modules of 2 dots, where 10 are needed.
          d.objects[0].x = 9;
          d.objects.push(line(7, 4, 0, 10));
        }),
      error: undefined,
      warnings: [quietZoneWarning('条码')],
    },
    {
      name: 'one-dot modules',
      d: () => faultLabel(() => {}, { moduleWidth: 1 }),
      error: undefined,
      warnings: [dotGainWarning('条码')],
    },
  ])('$name', async ({ d, error, warnings }) => {
    clearVerdictCache();
    const label = d();
    const row = composeRowRaster(label, [{}], 1);
    const verdicts = await verifyRow(
      { bytes: row.bytes, width: row.metrics.width, height: row.metrics.height },
      rowSymbols(label, [{}], 1, (o) => o.name),
    );
    expect(verdicts).toHaveLength(1);
    expect(verdicts[0].error).toBe(error);
    // A clean symbol warns of nothing; a fault may bring a second warning with its own.
    if (warnings.length === 0) expect(verdicts[0].warnings).toEqual([]);
    else expect(verdicts[0].warnings).toEqual(expect.arrayContaining(warnings));
  });
});
