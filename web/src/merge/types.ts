// The data side of merging: an imported table and the context that names one record of it.

/** One record: every field name mapped to its text (the empty text when empty). */
export type DataRecord = Record<string, string>;

export interface Dataset {
  /** The imported file's name. */
  name: string;
  /** Field names in column order. */
  fields: string[];
  rows: DataRecord[];
}

/** What placeholders resolve against: one record, its position in the series and the record count. */
export interface MergeContext {
  row?: DataRecord;
  index?: number;
  total?: number;
  /** The print run's clock (ms): its date and time placeholders read this, not the wall clock. */
  now?: number;
}
