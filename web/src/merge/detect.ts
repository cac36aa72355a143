// What an imported file is, judged from its bytes rather than its name: a workbook, text in one
// of the encodings Chinese tables come in, or something that is no table at all.

export type TextEncoding = 'utf-8' | 'gbk' | 'big5' | 'utf-16le' | 'utf-16be';
/** The data card's encoding choice: "auto" lets `detectEncoding` decide. */
export type EncodingChoice = 'auto' | 'utf-8' | 'gbk' | 'big5' | 'utf-16';

export const NOT_A_TABLE = '这不是表格文件';

export type FileKind = 'workbook' | 'text' | 'binary';

/** Bytes looked at to judge a file; enough for any pattern, cheap for a large table. */
const SNIFF_BYTES = 64 * 1024;

const startsWith = (bytes: Uint8Array, magic: readonly number[]) =>
  magic.every((b, i) => bytes[i] === b);

// Any zip record may come first ("PK" then 1 2, 3 4, 5 6 or 7 8): a spanned archive starts with
// its marker, a damaged one with its directory. The spreadsheet reader judges the rest.
const ZIP_STARTS = [0x01, 0x03, 0x05, 0x07].map((k) => [0x50, 0x4b, k, k + 1]);
const OLE = [0xd0, 0xcf, 0x11, 0xe0, 0xa1, 0xb1, 0x1a, 0xe1];

/** UTF-16 without a mark: ASCII-heavy text has a zero in every other byte, on one side only. */
function utf16ByZeros(bytes: Uint8Array): 'utf-16le' | 'utf-16be' | undefined {
  const n = Math.min(bytes.length, SNIFF_BYTES) & ~1;
  if (n < 4) return undefined;
  let evenZeros = 0;
  let oddZeros = 0;
  for (let i = 0; i < n; i += 2) {
    if (bytes[i] === 0) evenZeros++;
    if (bytes[i + 1] === 0) oddZeros++;
  }
  const pairs = n / 2;
  if (oddZeros >= pairs * 0.3 && evenZeros <= pairs * 0.05) return 'utf-16le';
  if (evenZeros >= pairs * 0.3 && oddZeros <= pairs * 0.05) return 'utf-16be';
  return undefined;
}

function hasBom(bytes: Uint8Array): TextEncoding | undefined {
  if (startsWith(bytes, [0xef, 0xbb, 0xbf])) return 'utf-8';
  if (startsWith(bytes, [0xff, 0xfe])) return 'utf-16le';
  if (startsWith(bytes, [0xfe, 0xff])) return 'utf-16be';
  return undefined;
}

/** Control bytes no table text holds (tab, line feed, carriage return and form feed aside). */
function controlShare(bytes: Uint8Array): number {
  const n = Math.min(bytes.length, SNIFF_BYTES);
  if (n === 0) return 0;
  let controls = 0;
  for (let i = 0; i < n; i++) {
    const b = bytes[i];
    if ((b < 0x20 && b !== 0x09 && b !== 0x0a && b !== 0x0d && b !== 0x0c) || b === 0x7f) {
      controls++;
    }
  }
  return controls / n;
}

function decodes(bytes: Uint8Array, label: string): boolean {
  try {
    new TextDecoder(label, { fatal: true }).decode(bytes);
    return true;
  } catch {
    return false;
  }
}

/**
 * Share of double-byte characters outside GB2312 (its trail bytes are A1–FE, leads A1–F7). Big5
 * text read as GBK lands there for most characters, since four in ten Big5 trail bytes are
 * 40–7E; simplified Chinese text almost never does.
 */
function unlikelyGbkShare(bytes: Uint8Array): number {
  let pairs = 0;
  let unlikely = 0;
  for (let i = 0; i < bytes.length; i++) {
    const lead = bytes[i];
    if (lead < 0x80) continue;
    const trail = bytes[i + 1] ?? 0;
    pairs++;
    if (lead < 0xa1 || lead > 0xf7 || trail < 0xa1 || trail > 0xfe) unlikely++;
    i++;
  }
  return pairs === 0 ? 0 : unlikely / pairs;
}

/** Above this share of unlikely characters a GBK reading gives way to Big5. */
const BIG5_SHARE = 0.1;

/** The encoding of a text file: its mark, UTF-16 zeros, valid UTF-8, else GBK or Big5. */
export function detectEncoding(bytes: Uint8Array): TextEncoding | undefined {
  const marked = hasBom(bytes);
  if (marked) return marked;
  const wide = utf16ByZeros(bytes);
  if (wide) return wide;
  if (decodes(bytes, 'utf-8')) return 'utf-8';
  const gbk = decodes(bytes, 'gbk');
  const big5 = decodes(bytes, 'big5');
  if (gbk && !(big5 && unlikelyGbkShare(bytes) > BIG5_SHARE)) return 'gbk';
  if (big5) return 'big5';
  return undefined;
}

/** A workbook by its container's signature, text when it decodes cleanly, else binary. */
export function sniffFile(bytes: Uint8Array): FileKind {
  if (ZIP_STARTS.some((zip) => startsWith(bytes, zip)) || startsWith(bytes, OLE)) return 'workbook';
  if (hasBom(bytes) || utf16ByZeros(bytes)) return 'text';
  if (bytes.subarray(0, SNIFF_BYTES).includes(0) || controlShare(bytes) > 0.01) return 'binary';
  return detectEncoding(bytes) ? 'text' : 'binary';
}

/** The text of a file in the chosen encoding; a mark of the chosen kind is dropped. */
export function decodeAs(bytes: Uint8Array, choice: EncodingChoice): string {
  let encoding: TextEncoding | undefined =
    choice === 'auto' ? detectEncoding(bytes) : choice === 'utf-16' ? undefined : choice;
  if (choice === 'utf-16') {
    const marked = hasBom(bytes);
    encoding =
      marked === 'utf-16be' || (!marked && utf16ByZeros(bytes) === 'utf-16be')
        ? 'utf-16be'
        : 'utf-16le';
  }
  if (!encoding) throw new Error(NOT_A_TABLE);
  let body = bytes;
  const mark = hasBom(bytes);
  if (mark === encoding) body = bytes.subarray(encoding === 'utf-8' ? 3 : 2);
  return new TextDecoder(encoding, { ignoreBOM: true }).decode(body);
}
