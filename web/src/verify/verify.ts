// Reading every symbol back from the very 1-bit raster that goes to the printer: a symbol that
// does not decode there, or decodes to other data, must not print. Each symbol is cut out of the
// packed row with its quiet zone and read with the decoder limited to its own symbology.

import type { ReadInputBarcodeFormat, ReaderOptions } from 'zxing-wasm/reader';
import { borrowBuffer, giveBackBuffer } from '../image/buffers';
import { readSymbols } from './reader';

export interface Rect {
  x: number;
  y: number;
  w: number;
  h: number;
}

/** A packed print row: (width + 7) / 8 bytes per line, most significant bit leftmost, 1 = white. */
export interface PackedRow {
  bytes: Uint8Array;
  width: number;
  height: number;
}

export interface SymbolToVerify {
  /** The object's name as the user sees it, for messages. */
  name: string;
  /** The barcode library's encoder name ("code128", "qrcode", "datamatrix", …). */
  bcid: string;
  /** The data as it was encoded, placeholders resolved. */
  data: string;
  /** Where the symbol's modules are drawn, in dots of the row. */
  symbol: Rect;
  /** The label it stands on, in dots of the row. */
  label: Rect;
  /** The narrowest module in dots (fractional when resampled). */
  moduleDots: number;
  /** Another object's box overlaps the symbol. */
  overlapped: boolean;
  /** Drawn turned by a quarter or half turn within its box: `symbol` is then the whole box. */
  turned?: boolean;
  /** The row's column (the label) it stands on. */
  slot?: number;
  /** The object drawn, so a verdict can lead to it. */
  objectId?: string;
}

export interface Verdict {
  name: string;
  /** Set when the symbol must not print: the reason in plain words. */
  error?: string;
  /** Things that print but may give scanners trouble, as whole messages. */
  warnings: string[];
}

const TWO_D = new Set(['qrcode', 'datamatrix', 'gs1datamatrix', 'pdf417']);

/** The reader's format for an encoder; GS1-128 is Code 128 with GS1 content. */
const FORMATS: Record<string, ReadInputBarcodeFormat> = {
  code128: 'Code128',
  'gs1-128': 'Code128',
  code39: 'Code39',
  code93: 'Code93',
  ean13: 'EAN13',
  ean8: 'EAN8',
  upca: 'UPCA',
  upce: 'UPCE',
  interleaved2of5: 'ITF',
  rationalizedCodabar: 'Codabar',
  databaromni: 'DataBar',
  qrcode: 'QRCode',
  datamatrix: 'DataMatrix',
  gs1datamatrix: 'DataMatrix',
  pdf417: 'PDF417',
};

export const REASONS = {
  outside: '超出标签边界',
  covered: '被其他对象遮挡',
  tooSmall: '模块小于 1 点',
  unreadable: '无法识读',
  differs: (read: string) => `读出的内容与数据不一致（${read}）`,
};

export const quietZoneWarning = (name: string) => `${name} 的空白区不足，部分扫码枪可能无法识读`;
export const dotGainWarning = (name: string) =>
  `${name} 对打印浓度很敏感，浓度偏高或偏低时可能无法识读`;

/** Modules of quiet zone a scanner needs beside a linear code, around a 2D code. */
export function quietModules(bcid: string): number {
  return TWO_D.has(bcid) ? 2 : 10;
}

/**
 * What the standards let a reader report for the same data: GS1 element strings with or
 * without their parentheses and separators, UPC-A as EAN-13 with a leading 0, Codabar with or
 * without its start and stop characters.
 */
export function sameData(bcid: string, encoded: string, read: string): boolean {
  if (encoded === read) return true;
  const gs1 = (s: string) => s.replace(/[()]/g, '').replaceAll('\u001d', '');
  if ((bcid.startsWith('gs1') || bcid === 'databaromni') && gs1(encoded) === gs1(read)) return true;
  if (bcid === 'upca' && read === `0${encoded}`) return true;
  if (bcid === 'upce') {
    const full = upcEToA(encoded);
    return full !== undefined && (read === full || read === `0${full}`);
  }
  if (bcid === 'rationalizedCodabar') {
    const bare = (s: string) => s.replace(/^[A-Da-d]|[A-Da-d]$/g, '');
    return bare(encoded) === bare(read);
  }
  return false;
}

/** UPC-E's eight digits as the UPC-A number they stand for, which readers report. */
export function upcEToA(e: string): string | undefined {
  if (!/^[01]\d{7}$/.test(e)) return undefined;
  const [n, d1, d2, d3, d4, d5, d6, c] = e;
  if (d6 <= '2') return `${n}${d1}${d2}${d6}0000${d3}${d4}${d5}${c}`;
  if (d6 === '3') return `${n}${d1}${d2}${d3}00000${d4}${d5}${c}`;
  if (d6 === '4') return `${n}${d1}${d2}${d3}${d4}00000${d5}${c}`;
  return `${n}${d1}${d2}${d3}${d4}${d5}0000${d6}${c}`;
}

function inside(r: Rect, outer: Rect): boolean {
  return (
    r.x >= outer.x &&
    r.y >= outer.y &&
    r.x + r.w <= outer.x + outer.w &&
    r.y + r.h <= outer.y + outer.h
  );
}

function isBlack(row: PackedRow, x: number, y: number): boolean {
  if (x < 0 || y < 0 || x >= row.width || y >= row.height) return false;
  const stride = (row.width + 7) >> 3;
  return (row.bytes[y * stride + (x >> 3)] & (0x80 >> (x & 7))) === 0;
}

/** The rectangle as a grey image (one byte a dot, 0 black) with a white margin around it. */
function cut(row: PackedRow, r: Rect, margin: number): { dots: Uint8Array; w: number; h: number } {
  const w = r.w + 2 * margin;
  const h = r.h + 2 * margin;
  const dots = new Uint8Array(borrowBuffer(w * h)).fill(255);
  // Only the part inside the row can hold ink. This runs for every dot of every symbol of a
  // batch: a packed byte of eight white dots is passed over whole.
  const stride = (row.width + 7) >> 3;
  const x1 = Math.min(row.width, r.x + r.w);
  const y1 = Math.min(row.height, r.y + r.h);
  for (let y = Math.max(0, r.y); y < y1; y++) {
    const line = y * stride;
    const out = (y - r.y + margin) * w + margin - r.x;
    for (let x = Math.max(0, r.x); x < x1;) {
      const byte = row.bytes[line + (x >> 3)];
      const end = Math.min(x1, (x | 7) + 1);
      if (byte === 0xff) x = end;
      else for (; x < end; x++) if ((byte & (0x80 >> (x & 7))) === 0) dots[out + x] = 0;
    }
  }
  return { dots, w, h };
}

/** Every black run one dot longer (grow) or shorter (shrink), along x and, for 2D codes, y. */
export function dotGain(
  grey: { dots: Uint8Array; w: number; h: number },
  grow: boolean,
  bothAxes: boolean,
): Uint8Array {
  const { dots, w, h } = grey;
  const out = dots.slice();
  const ink = grow ? 0 : 255;
  const paper = grow ? 255 : 0;
  // Growing inks the dot after each run; shrinking clears each run's last dot.
  for (let y = 0; y < h; y++)
    for (let x = 0; x + 1 < w; x++)
      if (dots[y * w + x] !== dots[y * w + x + 1]) {
        if (grow && dots[y * w + x] === 0) out[y * w + x + 1] = ink;
        if (!grow && dots[y * w + x] === 0) out[y * w + x] = ink;
      }
  if (bothAxes) {
    const first = out.slice();
    for (let y = 0; y + 1 < h; y++)
      for (let x = 0; x < w; x++)
        if (first[y * w + x] === 0 && first[(y + 1) * w + x] === paper) {
          if (grow) out[(y + 1) * w + x] = ink;
          else out[y * w + x] = ink;
        }
  }
  return out;
}

async function decode(bcid: string, dots: Uint8Array, w: number, h: number): Promise<string[]> {
  const options: ReaderOptions = {
    formats: [FORMATS[bcid] ?? 'All'],
    tryHarder: true,
    tryInvert: false,
    tryDownscale: false,
    maxNumberOfSymbols: 2,
    binarizer: 'BoolCast',
  };
  const results = await readSymbols(dots, w, h, options);
  return results.filter((r) => r.isValid).map((r) => r.text);
}

/** Whether the quiet zone around the symbol holds ink, inside the label. */
function quietZoneInked(row: PackedRow, s: SymbolToVerify, zone: number): boolean {
  // A turned symbol's box also holds its own margin; its quiet zone is not told apart here.
  if (s.turned) return false;
  const twoD = TWO_D.has(s.bcid);
  const { x, y, w, h } = s.symbol;
  const x0 = Math.max(s.label.x, x - zone);
  const x1 = Math.min(s.label.x + s.label.w, x + w + zone);
  const y0 = twoD ? Math.max(s.label.y, y - zone) : y;
  const y1 = twoD ? Math.min(s.label.y + s.label.h, y + h + zone) : y + h;
  for (let yy = y0; yy < y1; yy++)
    for (let xx = x0; xx < x1; xx++) {
      const inSymbol = xx >= x && xx < x + w && yy >= y && yy < y + h;
      if (!inSymbol && isBlack(row, xx, yy)) return true;
    }
  return false;
}

const verdicts = new Map<string, Verdict>();
const VERDICT_CACHE_LIMIT = 500;

/** FNV-1a over the dots, for the cache: identical symbols in identical surroundings read once. */
function fingerprint(dots: Uint8Array): string {
  // Four dots a step where the bytes allow it; the rest one by one.
  const whole = dots.byteOffset % 4 === 0 ? dots.length >> 2 : 0;
  const words = new Uint32Array(dots.buffer, dots.byteOffset, whole);
  let h = 0x811c9dc5;
  for (let i = 0; i < whole; i++) h = Math.imul(h ^ words[i], 0x01000193);
  for (let i = whole * 4; i < dots.length; i++) h = Math.imul(h ^ dots[i], 0x01000193);
  return (h >>> 0).toString(36);
}

export function clearVerdictCache(): void {
  verdicts.clear();
}

/**
 * Reads one symbol back from the row and judges it. Printing needs only the errors; the
 * document check also asks for the warnings, which cost two more reads.
 */
export async function verifySymbol(
  row: PackedRow,
  s: SymbolToVerify,
  withWarnings = true,
): Promise<Verdict> {
  if (s.moduleDots < 1) return { name: s.name, error: REASONS.tooSmall, warnings: [] };
  if (!inside(s.symbol, s.label)) return { name: s.name, error: REASONS.outside, warnings: [] };
  const zone = Math.ceil(quietModules(s.bcid) * s.moduleDots);
  const twoD = TWO_D.has(s.bcid) || s.turned === true;
  // The symbol with its quiet zone as printed (ink beside it included), inside the label.
  const area: Rect = {
    x: Math.max(s.label.x, s.symbol.x - zone),
    y: Math.max(s.label.y, s.symbol.y - (twoD ? zone : 0)),
    w: 0,
    h: 0,
  };
  area.w = Math.min(s.label.x + s.label.w, s.symbol.x + s.symbol.w + zone) - area.x;
  area.h = Math.min(s.label.y + s.label.h, s.symbol.y + s.symbol.h + (twoD ? zone : 0)) - area.y;
  const grey = cut(row, area, Math.max(4, Math.ceil(2 * s.moduleDots)));
  try {
    const key = `${s.bcid}|${s.data}|${grey.w}x${grey.h}|${fingerprint(grey.dots)}|${s.overlapped}|${withWarnings}`;
    const cached = verdicts.get(key);
    if (cached)
      return {
        ...cached,
        name: s.name,
        warnings: cached.warnings.map((w) => w.replace(cached.name, s.name)),
      };

    const verdict: Verdict = { name: s.name, warnings: [] };
    const read = await decode(s.bcid, grey.dots, grey.w, grey.h);
    if (read.length === 0) {
      verdict.error = s.overlapped ? REASONS.covered : REASONS.unreadable;
    } else if (!read.some((text) => sameData(s.bcid, s.data, text))) {
      verdict.error = REASONS.differs(read[0]);
    } else if (withWarnings) {
      if (quietZoneInked(row, s, zone)) verdict.warnings.push(quietZoneWarning(s.name));
      for (const grow of [true, false]) {
        const gained = await decode(s.bcid, dotGain(grey, grow, twoD), grey.w, grey.h);
        if (!gained.some((text) => sameData(s.bcid, s.data, text))) {
          verdict.warnings.push(dotGainWarning(s.name));
          break;
        }
      }
    }
    if (verdicts.size >= VERDICT_CACHE_LIMIT) verdicts.clear();
    verdicts.set(key, verdict);
    return verdict;
  } finally {
    // The verdict keeps nothing of the cut-out.
    giveBackBuffer(grey.dots.buffer);
  }
}

/** Every symbol of a row, in order. */
export async function verifyRow(
  row: PackedRow,
  symbols: readonly SymbolToVerify[],
  withWarnings = true,
): Promise<Verdict[]> {
  const out: Verdict[] = [];
  for (const s of symbols) out.push(await verifySymbol(row, s, withWarnings));
  return out;
}

/** A symbol that must not print, as the error a print reports. */
export class UnreadableSymbol extends Error {
  constructor(
    readonly verdict: Verdict,
    /** The row's column whose label holds the symbol. */
    readonly slot = 0,
  ) {
    super(`${verdict.name} 无法识读：${verdict.error}，已取消打印`);
  }
}

/** What the read-back before printing has cost in this page, for the batch benchmark. */
export const readBackTotals = { rows: 0, symbols: 0, ms: 0 };

/** Throws UnreadableSymbol for the row's first symbol that does not read back as encoded. */
export async function assertRowReadable(
  row: PackedRow,
  symbols: readonly SymbolToVerify[],
): Promise<void> {
  const start = performance.now();
  try {
    for (const s of symbols) {
      const verdict = await verifySymbol(row, s, false);
      if (verdict.error) throw new UnreadableSymbol(verdict, s.slot);
    }
  } finally {
    readBackTotals.rows += 1;
    readBackTotals.symbols += symbols.length;
    readBackTotals.ms += performance.now() - start;
  }
}
