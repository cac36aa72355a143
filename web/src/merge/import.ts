// Imported data files: CSV by name or media type, anything else through the spreadsheet reader.

import * as XLSX from 'xlsx';
import { parseCsv } from './csv';
import { decodeAs, NOT_A_TABLE, sniffFile, type EncodingChoice } from './detect';
import {
  checkCellText,
  checkTableShape,
  checkWorkbookBytes,
  SHEET_LIMITS,
  tooLarge,
} from './sheet-limits';
import type { DataRecord, Dataset } from './types';

export const DATA_FILE_ACCEPT = '.csv,.xlsx,.xls,text/csv';
export const NO_SHEET = '这个工作簿里没有工作表';

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

export function readWorkbookRows(bytes: Uint8Array): Record<string, unknown>[] {
  checkWorkbookBytes(bytes);
  const workbook = XLSX.read(bytes, { type: 'array' });
  const first = workbook.SheetNames[0];
  const sheet = first === undefined ? undefined : workbook.Sheets[first];
  if (!sheet) throw new Error(NO_SHEET);
  const ref = sheet['!ref'];
  if (ref !== undefined) {
    const range = XLSX.utils.decode_range(ref);
    checkTableShape(range.e.r - range.s.r + 1, range.e.c - range.s.c + 1);
  }
  const rows = XLSX.utils.sheet_to_json<Record<string, unknown>>(sheet, { defval: '', raw: false });
  for (const row of rows) for (const value of Object.values(row)) checkCellText(String(value));
  return rows;
}

function checkDataset(dataset: Dataset): Dataset {
  checkTableShape(dataset.rows.length + 1, dataset.fields.length);
  for (const row of dataset.rows) for (const field of dataset.fields) checkCellText(row[field]);
  return dataset;
}

/**
 * The file's content decides how it is read, not its name: a workbook container goes to the
 * spreadsheet reader, text is a CSV (an HTML or XML sheet aside), anything else is refused.
 */
export async function importDataFile(
  file: DataFile,
  encoding: EncodingChoice = 'auto',
): Promise<Dataset> {
  const bytes = new Uint8Array(await file.arrayBuffer());
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
      return checkDataset({ ...parseCsv(text), name: file.name });
    }
  }
  return sheetRowsToDataset(readWorkbookRows(bytes), file.name);
}
