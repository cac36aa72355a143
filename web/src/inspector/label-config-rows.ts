// The label configuration shown with nothing selected: page size, columns and print parameters.

import {
  DOCUMENT_FIELDS,
  PAGE_FIELDS,
  PRINT_FIELDS,
  type ChoiceField,
  type NumberField,
} from '../document/field-table';
import { readField } from '../document/fields';
import type { LabelDocument } from '../document/model';
import { changeDpi } from '../render/barcode-size';
import {
  numberLimits,
  type ChoiceRow,
  type NumberRow,
  type Row,
  type RowContext,
} from './row-types';
import {
  clampNotice,
  committedName,
  layoutSummary,
  shownColumnSegment,
  shownCopyMode,
} from './rules';

type Doc = LabelDocument;

export const LABEL_CONFIG_HINTS = {
  size: '标签宽/高是实际出纸尺寸，不是打印机服务器里的纸张尺寸；浏览器打印会按这里的毫米值生成页面。',
  dpi: '切换分辨率时保持每个对象的打印尺寸：条码的模块宽按最接近原宽度的整点数重新选择，至少 1 点。',
  deselect: '单击画布外的空白区域，或按 Esc，即可取消选中并回到这里配置标签。',
  packing:
    '单张打印按份数排布；不足一整排的末行保持整排宽度，并按“末行对齐”放在左列或右列，不会自动居中；批量打印按配置列数填充各列。',
  sequence: '按数据表顺延需先导入 CSV/Excel；多份数据策略只影响单张打印，批量打印按数据表逐条走。',
  copies: '份数 = 总标签数；单张打印会按列布局打包，例如双列打 2 份 = 一行两张。',
  offset:
    '偏移校准由打印机移动打印原点，不会把超出标签框的内容裁掉；正值向右/向下，负值向左/向上。浏览器打印不支持打印机原点偏移。',
  browserPage:
    '浏览器打印页尺寸 = 单标签宽 × 列数 + 列间距，以及标签配置高度；打印时会用毫米值精确生成，不跟随打印机默认纸张。',
} as const;

const hint = (text: string): Row<Doc> => ({ kind: 'hint', text });

/** A number row on one of the document's two settings sections. */
const SECTIONS = { page: PAGE_FIELDS, print: PRINT_FIELDS } as const;
type NumberKeys<T> = { [K in keyof T]: T[K] extends NumberField ? K : never }[keyof T] & string;

function sectionNumber<S extends keyof typeof SECTIONS>(
  section: S,
  key: NumberKeys<(typeof SECTIONS)[S]>,
  caption?: string,
  half = true,
): NumberRow<Doc> {
  const field = (SECTIONS[section] as unknown as Readonly<Record<string, NumberField>>)[key];
  const { min, max, step, decimals } = field;
  const fields = (d: Doc) => d[section] as unknown as Record<string, number>;
  return {
    kind: 'number',
    caption: caption ?? field.caption ?? key,
    half,
    numberLimits: numberLimits(min, max, step, decimals ?? 'none'),
    get: (d) => fields(d)[key],
    set: (d, v) => (fields(d)[key] = v),
  };
}

type PrintChoiceKey = 'copyMode' | 'oddAlign' | 'orientation';

/** A print setting's choice row: caption, choices and labels from the field table. */
function printChoice(
  key: PrintChoiceKey,
  shown: (d: Doc, ctx: RowContext) => string = (d) => d.print[key],
  disabled: (value: string, ctx: RowContext) => boolean = () => false,
): ChoiceRow<Doc> {
  const field: ChoiceField<string> = PRINT_FIELDS[key];
  return {
    kind: 'choice',
    caption: field.caption ?? key,
    options: (ctx) =>
      field.choices.map((value, i) => ({
        value,
        label: field.labels?.[i] ?? value,
        ...(disabled(value, ctx) ? { disabled: true } : {}),
      })),
    get: shown,
    set: (d, v) => Object.assign(d.print, { [key]: readField(field, v) }),
  };
}

/**
 * `clampObjects` fits the objects onto a changed page; it runs when a size field is committed,
 * not per keystroke, so typing "30" does not squeeze everything to the 10 mm that "3" means.
 */
export function labelConfigRows(clampObjects: () => void): readonly Row<Doc>[] {
  const pageSize = (key: 'widthMm' | 'heightMm', caption: string, what: string): Row<Doc> => ({
    ...sectionNumber('page', key, caption),
    commit: clampObjects,
    clampNotice: (stored, range) => clampNotice(what, stored, range),
  });
  return [
    { kind: 'subtitle', text: '标签尺寸' },
    {
      kind: 'text',
      caption: '名称',
      limit: DOCUMENT_FIELDS.name.maxLength,
      get: (d) => d.name,
      set: (d, v) => (d.name = v),
      blur: (d) => {
        const next = committedName(d.name, DOCUMENT_FIELDS.name.default);
        if (next === d.name) return false;
        d.name = next;
        return true;
      },
    },
    pageSize('widthMm', '标签宽 mm', '标签宽度'),
    pageSize('heightMm', '标签高 mm', '标签高度'),
    hint(LABEL_CONFIG_HINTS.size),
    sectionNumber('print', 'columns', '列数', false),
    {
      kind: 'segments',
      caption: '列布局',
      // The three common layouts; the number above reaches the rest.
      options: () =>
        PRINT_FIELDS.columns.labels.slice(0, 3).map((label, i) => ({ value: i + 1, label })),
      get: (d) => shownColumnSegment(d.print.columns),
      set: (d, v) => (d.print.columns = Number(v)),
    },
    sectionNumber('print', 'columnGapMm'),
    sectionNumber('print', 'rowGapMm'),
    {
      kind: 'choice',
      caption: '分辨率',
      options: () => [
        { value: 203, label: '203 dpi' },
        { value: 300, label: '300 dpi' },
      ],
      get: (d) => d.page.dpi,
      set: (d, v) => changeDpi(d, v === 203 ? 203 : 300),
    },
    hint(LABEL_CONFIG_HINTS.dpi),
    { kind: 'summary', live: (d) => layoutSummary(d.page, d.print) },
    hint(LABEL_CONFIG_HINTS.deselect),
    hint(LABEL_CONFIG_HINTS.packing),
    { kind: 'separator' },
    { kind: 'subtitle', text: '打印参数' },
    sectionNumber('print', 'density'),
    sectionNumber('print', 'speed'),
    sectionNumber('print', 'copies', '份数', false),
    printChoice(
      'copyMode',
      (d, ctx) => shownCopyMode(d.print.copyMode, ctx.hasDataset),
      (value, ctx) => value === 'sequence' && !ctx.hasDataset,
    ),
    hint(LABEL_CONFIG_HINTS.sequence),
    hint(LABEL_CONFIG_HINTS.copies),
    printChoice('oddAlign'),
    printChoice('orientation'),
    sectionNumber('print', 'offsetXMm'),
    sectionNumber('print', 'offsetYMm'),
    hint(LABEL_CONFIG_HINTS.offset),
    hint(LABEL_CONFIG_HINTS.browserPage),
  ];
}
