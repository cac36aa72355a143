// Limits far past any label job, so a hostile or mistaken file is refused before it can hold
// the page: an .xlsx is a zip whose central directory declares every part's unpacked size, read
// here before anything is inflated; rows, columns and cell lengths are checked before records
// are built.

export const SHEET_LIMITS = {
  bytes: 200 * 1024 * 1024,
  rows: 1_000_000,
  columns: 1_000,
  cellChars: 32_768,
} as const;

export function tooLarge(what: string, limit: string): Error {
  return new Error(`表格太大：${what}，最多 ${limit}`);
}

const MB = 1024 * 1024;

const u16 = (v: DataView, at: number) => v.getUint16(at, true);
const u32 = (v: DataView, at: number) => v.getUint32(at, true);
const u64 = (v: DataView, at: number) => u32(v, at) + u32(v, at + 4) * 2 ** 32;

interface ZipEntry {
  /** 0 stored, 8 deflated. */
  method: number;
  packed: number;
  /** The unpacked size the directory declares. */
  size: number;
  /** Where the entry's local header starts. */
  local: number;
}

/**
 * The entries a zip's central directory lists (zip64 sizes included), or undefined when the
 * bytes are no zip or its directory is damaged (the reader then says so).
 */
function zipEntries(bytes: Uint8Array): ZipEntry[] | undefined {
  const view = new DataView(bytes.buffer, bytes.byteOffset, bytes.byteLength);
  let end = -1;
  for (let at = bytes.length - 22; at >= Math.max(0, bytes.length - 22 - 0xffff); at--) {
    if (u32(view, at) === 0x06054b50) {
      end = at;
      break;
    }
  }
  if (end < 0) return undefined;
  let count = u16(view, end + 10);
  let offset = u32(view, end + 16);
  const locator = end - 20;
  if (locator >= 0 && u32(view, locator) === 0x07064b50) {
    const end64 = u64(view, locator + 8);
    if (end64 + 56 > bytes.length || u32(view, end64) !== 0x06064b50) return undefined;
    count = u64(view, end64 + 32);
    offset = u64(view, end64 + 48);
  }
  const entries: ZipEntry[] = [];
  for (let i = 0; i < count; i++) {
    if (offset + 46 > bytes.length || u32(view, offset) !== 0x02014b50) return undefined;
    const entry = {
      method: u16(view, offset + 10),
      packed: u32(view, offset + 20),
      size: u32(view, offset + 24),
      local: u32(view, offset + 42),
    };
    const nameLength = u16(view, offset + 28);
    const extraLength = u16(view, offset + 30);
    const extraStart = offset + 46 + nameLength;
    // The zip64 extra field holds, in this order, each of the three that overflowed.
    for (let at = extraStart; at + 4 <= extraStart + extraLength;) {
      const id = u16(view, at);
      const length = u16(view, at + 2);
      if (id === 0x0001) {
        let field = at + 4;
        for (const key of ['size', 'packed', 'local'] as const) {
          if (entry[key] !== 0xffffffff || field + 8 > Math.min(at + 4 + length, bytes.length)) {
            continue;
          }
          entry[key] = u64(view, field);
          field += 8;
        }
      }
      at += 4 + length;
    }
    entries.push(entry);
    offset = extraStart + extraLength + u16(view, offset + 32);
  }
  return entries;
}

/**
 * The sum of the unpacked sizes a zip's central directory declares, or undefined when the bytes
 * are no zip or its directory is damaged.
 */
export function declaredUnzippedBytes(bytes: Uint8Array): number | undefined {
  return zipEntries(bytes)?.reduce((total, entry) => total + entry.size, 0);
}

/** Unpacks a deflated part only to count it, giving up once `budget` bytes came out. */
async function inflatedBytes(packed: Uint8Array, budget: number): Promise<number> {
  const stream = new Blob([packed as Uint8Array<ArrayBuffer>])
    .stream()
    .pipeThrough(new DecompressionStream('deflate-raw'));
  const reader = stream.getReader();
  let total = 0;
  try {
    for (;;) {
      const { done, value } = await reader.read();
      if (done) return total;
      total += value.byteLength;
      if (total > budget) {
        await reader.cancel();
        return total;
      }
    }
  } catch {
    // A damaged part: the reader names the fault when it meets it.
    return total;
  }
}

/**
 * Refuses a workbook whose parts really unpack to more than the limit, whatever its directory
 * declares: a forged size would otherwise let the reader inflate gigabytes.
 */
export async function checkInflatedBytes(bytes: Uint8Array): Promise<void> {
  const entries = zipEntries(bytes);
  if (!entries || typeof DecompressionStream === 'undefined') return;
  const view = new DataView(bytes.buffer, bytes.byteOffset, bytes.byteLength);
  let total = 0;
  for (const entry of entries) {
    const at = entry.local;
    if (at + 30 > bytes.length || u32(view, at) !== 0x04034b50) continue;
    const start = at + 30 + u16(view, at + 26) + u16(view, at + 28);
    const packed = bytes.subarray(start, Math.min(bytes.length, start + entry.packed));
    total +=
      entry.method === 8 ? await inflatedBytes(packed, SHEET_LIMITS.bytes - total) : packed.length;
    if (total > SHEET_LIMITS.bytes) {
      throw tooLarge(`表格数据超过 ${SHEET_LIMITS.bytes / MB} MB`, `${SHEET_LIMITS.bytes / MB} MB`);
    }
  }
}

/** Refuses a workbook whose zip declares more than the limit, before it is unpacked. */
export function checkWorkbookBytes(bytes: Uint8Array): void {
  const declared = declaredUnzippedBytes(bytes);
  if (declared !== undefined && declared > SHEET_LIMITS.bytes) {
    throw tooLarge(`表格数据 ${Math.ceil(declared / MB)} MB`, `${SHEET_LIMITS.bytes / MB} MB`);
  }
}

/** Refuses a table of `rows` lines (the header included) and `columns` columns past the limits. */
export function checkTableShape(rows: number, columns: number): void {
  if (rows - 1 > SHEET_LIMITS.rows) throw tooLarge(`${rows - 1} 行`, `${SHEET_LIMITS.rows} 行`);
  if (columns > SHEET_LIMITS.columns) {
    throw tooLarge(`${columns} 列`, `${SHEET_LIMITS.columns} 列`);
  }
}

/** Refuses a cell longer than the limit. */
export function checkCellText(text: string): void {
  if (text.length > SHEET_LIMITS.cellChars) {
    throw tooLarge(`单元格 ${text.length} 字`, `${SHEET_LIMITS.cellChars} 字`);
  }
}
