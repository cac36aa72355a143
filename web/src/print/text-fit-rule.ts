// The check's text rule: a text that does not fit its box prints cut, so it is named for the
// shown record and, with a data set, for every record.

import type { LabelObject } from '../document/model';
import { findPlaceholders, isBuiltinName, resolvePlaceholders } from '../merge/placeholders';
import { textFits } from '../render/text-fit';
import type { CheckInput, CheckIssue } from './check';

/** How many record numbers a message names before it only counts. */
const NAMED_RECORDS = 5;

export function textFitRule(obj: LabelObject, name: string, input: CheckInput): CheckIssue[] {
  if (obj.type !== 'text') return [];
  const { doc, dataset, context, measure, oneRecord } = input;
  const dpi = doc.page.dpi;
  const fits = (text: string) => textFits(obj, text, dpi, measure);
  const rows = oneRecord ? [] : (dataset?.rows ?? []);
  const usesFields = findPlaceholders(obj.text).some((n) => !isBuiltinName(n));
  if (rows.length === 0 || !usesFields) {
    // Fields that nothing fills are reported by the field rule; their raw text is not what prints.
    if (usesFields && !dataset) return [];
    if (fits(resolvePlaceholders(obj.text, context))) return [];
    return [
      { level: 'warning', message: `${name} 的文字超出文本框，打印时会被截掉`, objectId: obj.id },
    ];
  }
  const cut: number[] = [];
  rows.forEach((row, index) => {
    if (!fits(resolvePlaceholders(obj.text, { row, index, total: rows.length })))
      cut.push(index + 1);
  });
  if (cut.length === 0) return [];
  const shown = cut
    .slice(0, NAMED_RECORDS)
    .map((n) => `第 ${n} 条`)
    .join('、');
  const more = cut.length > NAMED_RECORDS ? ' 等' : '';
  return [
    {
      level: 'warning',
      message: `${name} 的文字在 ${cut.length} 条记录里超出文本框（${shown}${more}），打印时会被截掉`,
      objectId: obj.id,
    },
  ];
}
