// Imported data files: CSV by name or media type, anything else through the spreadsheet reader.
// SheetJS is large and only needed for workbooks, so it is loaded on the first one.

import { readCsv } from './csv';
import { decodeAs, NOT_A_TABLE, sniffFile, type EncodingChoice } from './detect';
import {
  checkCellText,
  checkInflatedBytes,
  checkTableShape,
  checkWorkbookBytes,
  SHEET_LIMITS,
  tooLarge,
} from './sheet-limits';
import type { DataRecord, Dataset } from './types';

export const DATA_FILE_ACCEPT = '.csv,.xlsx,.xls,text/csv';
export const NO_SHEET = '这个工作簿里没有工作表';
export const UNREADABLE = '表格文件已损坏或格式不受支持';

/** The part of a chosen file the import needs. */
export interface DataFile {
  name: string;
  type: string;
  arrayBuffer(): Promise<ArrayBuffer>;
}

/** Columns with an empty header cell come from the reader as __EMPTY…; they are left out. */
export function sheetRowsToDataset(
  rows: readonly Record<string, unknown>[],
  name: string,
): Dataset {
  const fields: string[] = [];
  const known = new Set<string>();
  for (const row of rows) {
    for (const key of Object.keys(row)) {
      if (key === '' || key.startsWith('__EMPTY') || known.has(key)) continue;
      known.add(key);
      fields.push(key);
    }
  }
  const records = rows.map((row) => {
    const record: DataRecord = {};
    for (const field of fields) {
      const value = Object.prototype.hasOwnProperty.call(row, field) ? row[field] : undefined;
      record[field] = value === undefined || value === null ? '' : String(value);
    }
    return record;
  });
  return { name, fields, rows: records };
}

/** Told how far an import has come, as a share of the whole. */
export type ImportProgress = (fraction: number) => void;

export async function readWorkbookRows(
  bytes: Uint8Array,
  onProgress: ImportProgress = () => {},
): Promise<Record<string, unknown>[]> {
  checkWorkbookBytes(bytes);
  await checkInflatedBytes(bytes);
  const XLSX = await import('xlsx');
  onProgress(0.2);
  // Reading stops a row past the limit; the sheet's full range still tells how large it is.
  let workbook: ReturnType<typeof XLSX.read>;
  try {
    workbook = XLSX.read(bytes, { type: 'array', sheets: 0, sheetRows: SHEET_LIMITS.rows + 2 });
  } catch (error) {
    // The reader's own words are English; they stay as a detail for whoever looks into it.
    const detail = error instanceof Error ? error.message : String(error);
    throw new Error(`${UNREADABLE}（${detail}）`, { cause: error });
  }
  onProgress(0.6);
  const first = workbook.SheetNames[0];
  const sheet = first === undefined ? undefined : workbook.Sheets[first];
  if (!sheet) throw new Error(NO_SHEET);
  const ref = sheet['!fullref'] ?? sheet['!ref'];
  if (ref !== undefined) {
    const range = XLSX.utils.decode_range(ref);
    checkTableShape(range.e.r - range.s.r + 1, range.e.c - range.s.c + 1);
  }
  const rows = XLSX.utils.sheet_to_json<Record<string, unknown>>(sheet, { defval: '', raw: false });
  onProgress(0.8);
  for (const row of rows) for (const value of Object.values(row)) checkCellText(String(value));
  onProgress(0.9);
  return rows;
}

function checkDataset(dataset: Dataset, lines: number, onProgress: ImportProgress): Dataset {
  checkTableShape(lines, dataset.fields.length);
  for (const row of dataset.rows) for (const field of dataset.fields) checkCellText(row[field]);
  onProgress(0.9);
  return dataset;
}

/**
 * The file's content decides how it is read, not its name: a workbook container goes to the
 * spreadsheet reader, text is a CSV (an HTML or XML sheet aside), anything else is refused.
 */
export async function importDataFile(
  file: DataFile,
  encoding: EncodingChoice = 'auto',
  onProgress: ImportProgress = () => {},
): Promise<Dataset> {
  const bytes = new Uint8Array(await file.arrayBuffer());
  onProgress(0.1);
  if (bytes.length > SHEET_LIMITS.bytes) {
    throw tooLarge(
      `文件 ${Math.ceil(bytes.length / 2 ** 20)} MB`,
      `${SHEET_LIMITS.bytes / 2 ** 20} MB`,
    );
  }
  const kind = sniffFile(bytes);
  if (kind === 'binary' && encoding === 'auto') throw new Error(NOT_A_TABLE);
  if (kind !== 'workbook') {
    const text = decodeAs(bytes, encoding);
    const csv = file.name.toLowerCase().endsWith('.csv') || file.type === 'text/csv';
    if (csv || !text.trimStart().startsWith('<')) {
      const { dataset, lines } = readCsv(text, {
        keep: SHEET_LIMITS.rows + 1,
        onProgress: (f) => onProgress(0.1 + f * 0.7),
      });
      return checkDataset({ ...dataset, name: file.name }, lines, onProgress);
    }
  }
  return sheetRowsToDataset(await readWorkbookRows(bytes, onProgress), file.name);
}
