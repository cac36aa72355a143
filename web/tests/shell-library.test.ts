import { describe, expect, it } from 'vitest';
import { createDocument } from '../src/document/factory';
import type { PrintRecord, PrintRun } from '../src/document/print-history';
import type { LabelDocument } from '../src/document/model';
import { localBackend } from '../src/document/database';
import { MemoryStorage, STORAGE_KEYS } from '../src/document/storage';
import { builtInTemplates } from '../src/document/templates';
import { loadUserTemplates, saveUserTemplate } from '../src/document/user-templates';
import {
  entryActions,
  historyLines,
  historyView,
  NO_HISTORY_TEXT,
  parseRecordRange,
} from '../src/shell/history-list';
import {
  SAVE_FAILED_HINT,
  TemplateLibrary,
  thumbnailSize,
  type TemplateLibraryHooks,
} from '../src/shell/template-library';

describe('thumbnail size', () => {
  // [width dots, height dots, canvas width, canvas height]
  const cases: Array<[number, number, number, number]> = [
    [591, 945, 81, 130], // 50 × 80 mm at 300 dpi: the height limits
    [945, 591, 180, 113], // 80 × 50 mm: the width limits
    [180, 130, 180, 130],
    [90, 65, 180, 130], // small labels grow to the box
    [3543, 118, 180, 6], // 300 × 10 mm
    [0, 0, 1, 1], // degenerate sizes: scaled as one dot, drawn at least one pixel
    [100000, 1, 180, 1], // never below one pixel
  ];
  it.each(cases)('%i × %i dots → %i × %i', (w, h, cw, ch) => {
    const size = thumbnailSize(w, h);
    expect([size.width, size.height]).toEqual([cw, ch]);
    expect(size.scale).toBeCloseTo(Math.min(180 / Math.max(1, w), 130 / Math.max(1, h)), 12);
  });
});

interface Recorded {
  calls: string[];
  loaded: LabelDocument[];
}

function library(
  answers: { discard?: boolean; confirm?: boolean; prompt?: string | null } = {},
  storage = new MemoryStorage(),
): { lib: TemplateLibrary; rec: Recorded; proposals: string[] } {
  const rec: Recorded = { calls: [], loaded: [] };
  const proposals: string[] = [];
  const hooks: TemplateLibraryHooks = {
    confirm: (m) => (rec.calls.push(`confirm ${m}`), answers.confirm ?? true),
    prompt: (m, p) => (proposals.push(p), rec.calls.push(`prompt ${m}`), answers.prompt ?? null),
    confirmDiscard: () => (rec.calls.push('discard?'), answers.discard ?? true),
    loadDocument: (doc, dirty) => {
      rec.loaded.push(doc);
      rec.calls.push(`load ${doc.name} dirty=${dirty}`);
    },
    setDataset: (d) => rec.calls.push(`data ${d.name} ${JSON.stringify(d.rows)}`),
    setStatus: (s, t) => rec.calls.push(`status ${s} ${t}`),
    showHint: (t, tone = 'info') => rec.calls.push(`hint ${tone} ${t}`),
    setLastingHint: (key, h) => rec.calls.push(`lasting ${key} ${h ? `${h.tone} ${h.text}` : '-'}`),
    closeSheet: () => rec.calls.push('close'),
    rebuild: () => rec.calls.push('rebuild'),
  };
  const lib = new TemplateLibrary(hooks, Promise.resolve(localBackend(storage)));
  return { lib, rec, proposals };
}

describe('template library', () => {
  it('lists the five built-ins with their sample records, then the user templates', async () => {
    const storage = new MemoryStorage();
    const { lib } = library({}, storage);
    let sections = await lib.sections();
    expect(sections.map((s) => s.title)).toEqual(['内置模板']);
    expect(sections[0].entries.map((e) => [e.id, e.name, e.info])).toEqual(
      builtInTemplates.map((t) => [t.id, t.name, `${t.category} · ${t.description}`]),
    );
    expect(sections[0].entries[0].context).toEqual({
      row: builtInTemplates[0].sample,
      index: 0,
      total: 1,
    });
    // Each rebuild creates the documents afresh, so a used template cannot be edited through.
    expect((await lib.sections())[0].entries[0].doc).not.toBe(sections[0].entries[0].doc);

    await saveUserTemplate('库存', createDocument('A'), localBackend(storage), 1000);
    sections = await lib.sections();
    expect(sections.map((s) => s.title)).toEqual(['内置模板', '我的模板']);
    expect(sections[1].entries.map((e) => [e.name, e.info, e.user, e.context])).toEqual([
      ['库存', '我的模板 · 自定义模板', true, { index: 0, total: 1 }],
    ]);
  });

  it('uses a template only after the discard question, with a copy, not dirty', async () => {
    const yes = library({ discard: true });
    const entry = (await yes.lib.sections())[0].entries[1];
    expect(yes.lib.use(entry)).toBe(true);
    expect(yes.rec.calls).toEqual([
      'discard?',
      'load 资产标签 dirty=false',
      'data 示例数据 [{"资产名称":"笔记本电脑","资产编号":"IT-2026-0001","部门":"研发部"}]',
      'close',
      'status online 已套用模板：固定资产标签',
    ]);
    expect(yes.rec.loaded[0]).toEqual(entry.doc);
    expect(yes.rec.loaded[0]).not.toBe(entry.doc);

    const no = library({ discard: false });
    expect(no.lib.use((await no.lib.sections())[0].entries[0])).toBe(false);
    expect(no.rec.calls).toEqual(['discard?']);
  });

  it('deletes a user template after its confirmation', async () => {
    for (const answer of [true, false]) {
      const storage = new MemoryStorage();
      await saveUserTemplate('价签 B', createDocument(), localBackend(storage), 5);
      const { lib, rec } = library({ confirm: answer }, storage);
      const entry = (await lib.sections())[1].entries[0];
      expect(await lib.remove(entry)).toBe(answer);
      expect((await loadUserTemplates(localBackend(storage))).length).toBe(answer ? 0 : 1);
      expect(rec.calls).toEqual(
        answer
          ? ['confirm 删除模板「价签 B」？', 'rebuild', 'hint info 已删除模板「价签 B」']
          : ['confirm 删除模板「价签 B」？'],
      );
    }
    const builtIn = library();
    expect(await builtIn.lib.remove((await builtIn.lib.sections())[0].entries[0])).toBe(false);
    expect(builtIn.rec.calls).toEqual([]);
  });

  // [document name, prompt answer, proposal shown, saved name or nothing, calls after the prompt]
  const saves: Array<[string, string | null, string, string | undefined, string[]]> = [
    [
      '  价签  ',
      '夏季价签',
      '价签',
      '夏季价签',
      ['rebuild', 'lasting template -', 'hint info 已保存模板「夏季价签」到本机'],
    ],
    [
      '   ',
      ' 新的 ',
      '我的模板',
      '新的',
      ['rebuild', 'lasting template -', 'hint info 已保存模板「新的」到本机'],
    ],
    ['价签', null, '价签', undefined, []],
    ['价签', '', '价签', undefined, []],
    ['价签', '   ', '价签', undefined, []],
  ];
  it.each(saves)('saves "%s" answered %j', async (docName, answer, proposal, saved, after) => {
    const storage = new MemoryStorage();
    const { lib, rec, proposals } = library({ prompt: answer }, storage);
    expect(await lib.saveCurrent(createDocument(docName), 7)).toBe(saved !== undefined);
    expect(proposals).toEqual([proposal]);
    expect(rec.calls).toEqual(['prompt 模板名称', ...after]);
    expect((await loadUserTemplates(localBackend(storage))).map((t) => t.name)).toEqual(
      saved ? [saved] : [],
    );
  });

  it('says so when storage is full and keeps the stored list', async () => {
    const storage = new MemoryStorage(2000);
    const { lib, rec } = library({ prompt: '大图' }, storage);
    storage.setItem('filler', 'f'.repeat(1900));
    expect(await lib.saveCurrent(createDocument('p'.repeat(80)), 1)).toBe(false);
    expect(rec.calls).toEqual([
      'prompt 模板名称',
      'rebuild',
      `lasting template error ${SAVE_FAILED_HINT}（浏览器存储空间已满）`,
    ]);
    expect(storage.getItem(STORAGE_KEYS.userTemplates)).toBeNull();
  });
});

describe('print history lines', () => {
  const record = (over: Partial<PrintRecord>): PrintRecord => ({
    id: 'p1',
    time: 0,
    docName: '价签',
    printer: 'QX530',
    copies: 2,
    records: 4,
    dryRun: false,
    ok: true,
    bytes: 4096,
    elapsedMs: 35,
    ...over,
  });
  const time = (t: number) => `T${t}`;
  const run = (over: Partial<PrintRun>): PrintRun => ({
    kind: 'batch',
    total: 30,
    state: 'done',
    jobs: [],
    clock: 0,
    startedMs: 0,
    snapshot: 'kept',
    snapshotBytes: 100,
    ...over,
  });
  const cases: Array<[string, Partial<PrintRecord>, string, string]> = [
    ['printed', {}, '✓ 价签 · 4 张', 'T0 · QX530 · 2 份 · 4 KB / 35 ms'],
    [
      'dry run',
      { dryRun: true, time: 9 },
      '✓ 价签 · 4 张 · 自检',
      'T9 · QX530 · 2 份 · 4 KB / 35 ms',
    ],
    ['failed', { ok: false }, '✗ 价签 · 4 张', 'T0 · QX530 · 2 份 · 失败'],
    [
      'failed dry run',
      { ok: false, dryRun: true },
      '✗ 价签 · 4 张 · 自检',
      'T0 · QX530 · 2 份 · 失败',
    ],
    ['whole kilobytes', { bytes: 1535 }, '✓ 价签 · 4 张', 'T0 · QX530 · 2 份 · 1 KB / 35 ms'],
    ['rounded up', { bytes: 1536 }, '✓ 价签 · 4 张', 'T0 · QX530 · 2 份 · 2 KB / 35 ms'],
    // A batch cut off by a closed tab, one stopped, a reprint, a snapshot over budget.
    [
      'interrupted',
      { ok: false, run: run({ state: 'running' }) },
      '✗ 价签 · 中断 4/30',
      'T0 · QX530 · 2 份 · 4 KB / 35 ms',
    ],
    [
      'stopped',
      { ok: false, bytes: 0, run: run({ state: 'stopped' }) },
      '✗ 价签 · 已停止 4/30',
      'T0 · QX530 · 2 份 · 失败',
    ],
    [
      'reprint',
      { run: run({ reprintOf: 7 }) },
      '✓ 价签 · 4 张 · 重印 · T7',
      'T0 · QX530 · 2 份 · 4 KB / 35 ms',
    ],
    [
      'snapshot dropped',
      { run: run({ snapshot: 'dropped' }) },
      '✓ 价签 · 4 张',
      'T0 · QX530 · 2 份 · 4 KB / 35 ms · 快照已删除，不能重印',
    ],
  ];
  it.each(cases)('%s', (_label, over, title, detail) => {
    expect(historyLines(record(over), time)).toEqual({ title, detail });
  });

  const labels = (over: Partial<PrintRecord>, live = false, resumeAt = 0) =>
    entryActions(record(over), live, resumeAt).map((a) => a.label);
  it.each<[string, Partial<PrintRecord>, boolean, number, string[]]>([
    ['finished batch', { run: run({}) }, false, 0, ['重印', '重印部分…', '打开此标签']],
    ['finished single print', { run: run({ kind: 'copies' }) }, false, 0, ['重印', '打开此标签']],
    [
      'stopped batch',
      { run: run({ state: 'stopped' }) },
      false,
      13,
      ['从第 14 条继续', '打开此标签'],
    ],
    [
      'cut off in another page',
      { run: run({ state: 'running' }) },
      false,
      4,
      ['从第 5 条继续', '打开此标签'],
    ],
    ['running in this page', { run: run({ state: 'running' }) }, true, 4, []],
    ['nothing left to continue', { run: run({ state: 'failed' }) }, false, 30, ['打开此标签']],
    ['snapshot dropped', { run: run({ snapshot: 'dropped' }) }, false, 0, []],
    ['dry run', { dryRun: true, run: run({}) }, false, 0, []],
    ['record from before snapshots', {}, false, 0, []],
  ])('actions: %s', (_label, over, live, resumeAt, expected) => {
    expect(labels(over, live, resumeAt)).toEqual(expected);
  });

  it.each<[string, number, { from: number; to: number } | undefined]>([
    ['5-12', 30, { from: 4, to: 12 }],
    [' 14 – 30 ', 30, { from: 13, to: 30 }],
    ['7', 30, { from: 6, to: 7 }],
    ['0-3', 30, undefined],
    ['12-5', 30, undefined],
    ['5-31', 30, undefined],
    ['五', 30, undefined],
  ])('record range %j of %i', (text, total, range) => {
    expect(parseRecordRange(text, total)).toEqual(range);
  });

  it('shows the newest 20, or one empty line', () => {
    expect(historyView([], time)).toBe(NO_HISTORY_TEXT);
    const many = Array.from({ length: 100 }, (_, i) => record({ time: 100 - i }));
    const view = historyView(many, time) as { detail: string }[];
    expect(view.length).toBe(20);
    expect(view[0].detail.startsWith('T100 ')).toBe(true);
    expect(view[19].detail.startsWith('T81 ')).toBe(true);
  });
});
