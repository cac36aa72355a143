// The template library's rules, without a page: what the list holds, how big a thumbnail is,
// and what "使用模板", "删除" and "当前文档存为模板" do and say.

import { cutText } from '../document/fields';
import type { LabelDocument } from '../document/model';
import { cloneDocument } from '../document/copy';
import type { RecordBackend } from '../document/database';
import { builtInTemplates, type BuiltInTemplate } from '../document/templates';
import {
  deleteUserTemplate,
  loadUserTemplates,
  saveUserTemplate,
  type UserTemplate,
} from '../document/user-templates';
import type { Dataset, MergeContext } from '../merge/types';
import type { HintTone, LastingHint, StatusState } from '../page/status';

export const THUMB_MAX_WIDTH = 180;
export const THUMB_MAX_HEIGHT = 130;
export const TEMPLATE_NAME_QUESTION = '模板名称';
export const DEFAULT_TEMPLATE_NAME = '我的模板';
export const SAVE_FAILED_HINT =
  '模板保存失败：文档太大（图片可能超过浏览器存储上限），请改用 .svtpl 文件保存';

export interface TemplateEntry {
  /** Built-in ids and user ids never meet: user ids start with "u" and are only deleted by it. */
  id: string;
  user: boolean;
  name: string;
  info: string;
  doc: LabelDocument;
  /** What placeholders resolve against in the thumbnail. */
  context: MergeContext;
  /** Loaded with the template so that the canvas shows what will print (built-ins only). */
  sample?: Dataset;
}

/** The data set a built-in template brings; any import replaces it. */
export const SAMPLE_DATASET_NAME = '示例数据';

export function sampleDataset(sample: Record<string, string>): Dataset {
  return { name: SAMPLE_DATASET_NAME, fields: Object.keys(sample), rows: [{ ...sample }] };
}

export interface TemplateSection {
  title: string;
  entries: TemplateEntry[];
}

/** "{category} · {description}", with "自定义模板" for a user template without description. */
export function templateInfo(category: string, description: string, user: boolean): string {
  return `${category} · ${user && description === '' ? '自定义模板' : description}`;
}

export function builtInEntry(t: BuiltInTemplate): TemplateEntry {
  return {
    id: t.id,
    user: false,
    name: t.name,
    info: templateInfo(t.category, t.description, false),
    doc: t.create(),
    context: { row: { ...t.sample }, index: 0, total: 1 },
    sample: sampleDataset(t.sample),
  };
}

export function userEntry(t: UserTemplate): TemplateEntry {
  return {
    id: t.id,
    user: true,
    name: t.name,
    info: templateInfo(t.category, t.description, true),
    doc: t.doc,
    context: { index: 0, total: 1 },
  };
}

/** "内置模板" always, with freshly created documents; "我的模板" only when there are some. */
export function templateSections(
  builtIns: readonly BuiltInTemplate[],
  users: readonly UserTemplate[],
): TemplateSection[] {
  const sections = [{ title: '内置模板', entries: builtIns.map(builtInEntry) }];
  if (users.length > 0) sections.push({ title: '我的模板', entries: users.map(userEntry) });
  return sections;
}

/** The thumbnail's canvas size for a label of this many dots: fits 180 × 130, at least 1 × 1. */
export function thumbnailSize(
  widthDots: number,
  heightDots: number,
): { scale: number; width: number; height: number } {
  const scale = Math.min(
    THUMB_MAX_WIDTH / Math.max(1, widthDots),
    THUMB_MAX_HEIGHT / Math.max(1, heightDots),
  );
  return {
    scale,
    width: Math.max(1, Math.round(widthDots * scale)),
    height: Math.max(1, Math.round(heightDots * scale)),
  };
}

export interface TemplateLibraryHooks {
  confirm(message: string): boolean;
  prompt(message: string, proposal: string): string | null;
  confirmDiscard(): boolean;
  loadDocument(doc: LabelDocument, dirty: boolean): void;
  setDataset(dataset: Dataset): void;
  setStatus(state: StatusState, text: string): void;
  showHint(text: string, tone?: HintTone): void;
  /** A failed save stays on show until a template save succeeds. */
  setLastingHint?(key: string, hint: LastingHint | undefined): void;
  closeSheet(): void;
  /** Rebuilds the shown list after a save or a delete. */
  rebuild(): void;
}

export class TemplateLibrary {
  constructor(
    readonly hooks: TemplateLibraryHooks,
    readonly records: Promise<RecordBackend>,
    readonly builtIns: readonly BuiltInTemplate[] = builtInTemplates,
  ) {}

  async sections(): Promise<TemplateSection[]> {
    return templateSections(this.builtIns, await loadUserTemplates(await this.records));
  }

  /** Replaces the working document with a copy of the template's, after the discard question. */
  use(entry: TemplateEntry): boolean {
    if (!this.hooks.confirmDiscard()) return false;
    this.hooks.loadDocument(cloneDocument(entry.doc), false);
    if (entry.sample) this.hooks.setDataset(sampleDataset(entry.sample.rows[0]));
    this.hooks.closeSheet();
    this.hooks.setStatus('online', `已套用模板：${entry.name}`);
    return true;
  }

  async remove(entry: TemplateEntry): Promise<boolean> {
    if (!entry.user || !this.hooks.confirm(`删除模板「${entry.name}」？`)) return false;
    const result = await deleteUserTemplate(entry.id, await this.records);
    this.hooks.rebuild();
    if (result.ok) this.hooks.showHint(`已删除模板「${entry.name}」`);
    else this.hooks.showHint(`删除模板失败：${result.reason}`, 'error');
    return result.ok;
  }

  /** Asks for a name (the document's, or "我的模板"); a cancel or a blank answer does nothing. */
  async saveCurrent(doc: LabelDocument, now: number = Date.now()): Promise<boolean> {
    const proposal = doc.name.trim() || DEFAULT_TEMPLATE_NAME;
    const answer = this.hooks.prompt(TEMPLATE_NAME_QUESTION, proposal);
    if (answer === null || answer.trim() === '') return false;
    const result = await saveUserTemplate(answer, doc, await this.records, now);
    this.hooks.rebuild();
    const failure = result.ok ? undefined : `${SAVE_FAILED_HINT}（${result.reason}）`;
    const { setLastingHint } = this.hooks;
    setLastingHint?.('template', failure ? { text: failure, tone: 'error' } : undefined);
    if (!failure) this.hooks.showHint(`已保存模板「${cutText(answer.trim(), 60)}」到本机`);
    else if (!setLastingHint) this.hooks.showHint(failure, 'error');
    return result.ok;
  }
}
