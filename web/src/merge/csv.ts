// CSV into a data set: the delimiter is voted on the first line; quotes may span lines.

import type { DataRecord, Dataset } from './types';

const CANDIDATES = [',', ';', '\t'];

function emptyDataset(): Dataset {
  return { name: 'CSV', fields: [], rows: [] };
}

/** Counts a candidate delimiter outside double quotes; "" inside quotes is one literal quote. */
function countOutsideQuotes(line: string, delimiter: string): number {
  let count = 0;
  let quoted = false;
  for (let i = 0; i < line.length; i += 1) {
    const c = line[i];
    if (c === '"') {
      if (quoted && line[i + 1] === '"') i += 1;
      else quoted = !quoted;
    } else if (!quoted && c === delimiter) {
      count += 1;
    }
  }
  return count;
}

export function detectDelimiter(text: string): string {
  const lf = text.indexOf('\n');
  let line = lf < 0 ? text : text.slice(0, lf);
  if (line.endsWith('\r')) line = line.slice(0, -1);
  let best = ',';
  let bestCount = 0;
  for (const candidate of CANDIDATES) {
    const count = countOutsideQuotes(line, candidate);
    if (count > bestCount) {
      best = candidate;
      bestCount = count;
    }
  }
  return best;
}

export interface CsvOptions {
  /**
   * The most records a usable table has: past it the table is refused, so only its first record
   * is kept and the rest counted, and an oversized file costs no memory.
   */
  keep?: number;
  /** Told the share of the text read, now and then. */
  onProgress?: (fraction: number) => void;
}

const keepOf = (options: CsvOptions) => options.keep ?? Infinity;

/** Characters between two progress reports. */
const PROGRESS_STEP = 1 << 20;

/** Splits into records of field texts; blank lines are dropped. */
export function splitCsv(text: string, delimiter: string): string[][] {
  return splitCsvCounted(text, delimiter).records;
}

/** Like `splitCsv`, also giving the number of records in all, kept or not. */
export function splitCsvCounted(
  text: string,
  delimiter: string,
  options: CsvOptions = {},
): { records: string[][]; total: number } {
  const { onProgress } = options;
  const keep = keepOf(options);
  const records: string[][] = [];
  let total = 0;
  let record: string[] = [];
  let field = '';
  let quoted = false;
  let inQuotes = false;
  let atStart = true;
  let started = false;

  const endField = () => {
    record.push(quoted ? field : field.trim());
    field = '';
    quoted = false;
    atStart = true;
    started = false;
  };
  const endRecord = () => {
    endField();
    if (record.length > 1 || record.some((f) => f !== '')) {
      total += 1;
      if (total <= keep) records.push(record);
      else if (records.length > 1) records.length = 1;
    }
    record = [];
  };

  // Runs of plain characters are copied as one slice: a cell of megabytes costs one copy.
  let nextReport = PROGRESS_STEP;
  for (let i = 0; i < text.length; i += 1) {
    if (onProgress && i >= nextReport) {
      onProgress(i / text.length);
      nextReport = i + PROGRESS_STEP;
    }
    const c = text[i];
    if (inQuotes) {
      if (c === '"') {
        if (text[i + 1] === '"') {
          field += '"';
          i += 1;
        } else {
          inQuotes = false;
        }
      } else {
        const quote = text.indexOf('"', i);
        const end = quote < 0 ? text.length : quote;
        field += text.slice(i, end);
        i = end - 1;
      }
      continue;
    }
    if (c === '"' && atStart) {
      inQuotes = true;
      quoted = true;
      atStart = false;
      started = true;
    } else if (c === delimiter) {
      endField();
    } else if (c === '\r') {
      if (text[i + 1] === '\n') i += 1;
      endRecord();
    } else if (c === '\n') {
      endRecord();
    } else if (c === ' ' || c === '\t') {
      field += c;
      started = true;
    } else {
      let end = i + 1;
      while (end < text.length) {
        const d = text[end];
        if (d === delimiter || d === '\r' || d === '\n') break;
        end += 1;
      }
      field += text.slice(i, end);
      i = end - 1;
      started = true;
      atStart = false;
    }
  }
  if (started || quoted || record.length > 0) endRecord();
  return { records, total };
}

/** Whether the text holds more than `count` line feeds (more lines, if none is quoted). */
function lineBreaksOver(text: string, count: number): boolean {
  if (!Number.isFinite(count)) return false;
  let seen = 0;
  for (let at = text.indexOf('\n'); at >= 0; at = text.indexOf('\n', at + 1)) {
    if (++seen > count) return true;
  }
  return false;
}

/** Header names: empty ones become 列N; repeats get _2, _3 counted per header text. */
export function headerNames(header: string[]): string[] {
  const seen = new Map<string, number>();
  return header.map((raw, i) => {
    const trimmed = raw.trim();
    const base = trimmed === '' ? `列${i + 1}` : trimmed;
    const count = (seen.get(base) ?? 0) + 1;
    seen.set(base, count);
    return count === 1 ? base : `${base}_${count}`;
  });
}

/**
 * The table in a CSV text and its number of lines (the header included). Past `options.keep`
 * lines the data set holds the header alone, while `lines` still counts them all.
 */
export function readCsv(
  input: string,
  options: CsvOptions = {},
): { dataset: Dataset; lines: number } {
  const text = input.startsWith('\uFEFF') ? input.slice(1) : input;
  if (text.trim() === '') return { dataset: emptyDataset(), lines: 0 };
  const delimiter = detectDelimiter(text);
  const keep = keepOf(options);
  // With more line breaks than a usable table has lines, a first pass keeps nothing, only
  // counts: an oversized file is then refused without filling memory with its records.
  if (lineBreaksOver(text, keep)) {
    const { total } = splitCsvCounted(text, delimiter, { ...options, keep: 0 });
    if (total > keep) return { dataset: emptyDataset(), lines: total };
  }
  const { records, total } = splitCsvCounted(text, delimiter, options);
  if (records.length === 0) return { dataset: emptyDataset(), lines: 0 };
  const fields = headerNames(records[0]);
  const rows: DataRecord[] = [];
  for (const values of total > keep ? [] : records.slice(1)) {
    if (values.every((v) => v === '')) continue;
    const row: DataRecord = {};
    fields.forEach((name, i) => {
      row[name] = values[i] ?? '';
    });
    rows.push(row);
  }
  return { dataset: { name: 'CSV', fields, rows }, lines: total };
}

export function parseCsv(input: string): Dataset {
  return readCsv(input).dataset;
}
