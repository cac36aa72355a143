import { describe, expect, it } from 'vitest';
import { localBackend } from '../src/document/database';
import { loadDraft, saveDraft } from '../src/document/draft';
import { createDocument } from '../src/document/factory';
import {
  appendPrintHistory,
  loadPrintHistory,
  type PrintRecordInput,
} from '../src/document/print-history';
import { sanitizeDocument } from '../src/document/sanitize';
import { MemoryStorage, STORAGE_KEYS, type KeyValueStorage } from '../src/document/storage';
import { builtInTemplates, createSampleDocument } from '../src/document/templates';
import {
  deleteUserTemplate,
  loadUserTemplates,
  saveUserTemplate,
} from '../src/document/user-templates';

const record: PrintRecordInput = {
  docName: 'd',
  printer: 'p',
  copies: 1,
  records: 0,
  dryRun: false,
  ok: true,
  bytes: 10,
  elapsedMs: 3,
};

const refusing: KeyValueStorage = {
  getItem: () => {
    throw new Error('denied');
  },
  setItem: () => {
    throw new Error('full');
  },
  removeItem: () => {
    throw new Error('denied');
  },
};

describe('draft', () => {
  it('round-trips the document and a valid data set', async () => {
    const s = localBackend(new MemoryStorage());
    const doc = createSampleDocument();
    const dataset = { name: 'a.csv', fields: ['x'], rows: [{ x: '1' }] };
    expect(await saveDraft(doc, dataset, s, 42)).toEqual({ ok: true, reason: '' });
    expect(await loadDraft(s)).toEqual({ savedAt: 42, doc: sanitizeDocument(doc), dataset });
  });

  it('ignores unreadable drafts and drops invalid data sets', async () => {
    const s = new MemoryStorage();
    const b = localBackend(s);
    for (const text of [
      '{',
      '[]',
      '{"doc":{"objects":[]}}',
      '{"savedAt":1,"doc":{"schemaVersion":2,"objects":[]}}',
    ]) {
      s.setItem(STORAGE_KEYS.draft, text);
      expect(await loadDraft(b)).toBeUndefined();
    }
    s.setItem(
      STORAGE_KEYS.draft,
      JSON.stringify({
        savedAt: 1,
        doc: { objects: [] },
        dataset: { name: 'a', fields: [1], rows: [] },
      }),
    );
    expect((await loadDraft(b))?.dataset).toBeNull();
    expect(await loadDraft(localBackend(refusing))).toBeUndefined();
    expect(await saveDraft(createDocument(), null, localBackend(refusing))).toEqual({
      ok: false,
      reason: '浏览器拒绝写入（Error: full）',
    });
    expect(
      await saveDraft(createSampleDocument(), null, localBackend(new MemoryStorage(10))),
    ).toEqual({
      ok: false,
      reason: '浏览器存储空间已满',
    });
  });
});

describe('print history', () => {
  it('keeps the newest 100 and filters malformed entries', async () => {
    const s = new MemoryStorage();
    const b = localBackend(s);
    for (let i = 0; i < 101; i += 1)
      await appendPrintHistory({ ...record, copies: i }, b, 1000 + i);
    const list = await loadPrintHistory(b);
    expect(list).toHaveLength(100);
    expect(list[0]).toMatchObject({ copies: 100, time: 1100 });
    expect(list[0].id).toMatch(/^p[0-9a-z]+$/);
    expect(list[99].copies).toBe(1);
    s.setItem(
      STORAGE_KEYS.printHistory,
      JSON.stringify([
        1,
        { time: '1', printer: 'p', docName: 'd' },
        { time: 1, printer: 'p', docName: 'd' },
      ]),
    );
    expect(await loadPrintHistory(b)).toHaveLength(1);
    expect((await appendPrintHistory(record, localBackend(refusing))).ok).toBe(false);
  });
});

describe('user templates', () => {
  it('keeps the 50 most recent, by saving order', async () => {
    const s = localBackend(new MemoryStorage());
    for (let i = 0; i < 51; i += 1)
      expect((await saveUserTemplate(`t${i}`, createDocument(), s, 1000 + i)).ok).toBe(true);
    const list = await loadUserTemplates(s);
    expect(list).toHaveLength(50);
    expect(list[0].name).toBe('t50');
    expect(list.at(-1)?.name).toBe('t1');
    expect((await deleteUserTemplate(list[0].id, s)).ok).toBe(true);
    expect((await loadUserTemplates(s))[0].name).toBe('t49');
  });

  it('repairs entries on read and skips broken ones', async () => {
    const s = new MemoryStorage();
    s.setItem(
      STORAGE_KEYS.userTemplates,
      JSON.stringify([
        { name: 'old', savedAt: 5, doc: { objects: [] } },
        { name: 'bad', doc: { schemaVersion: 3, objects: [] } },
        { doc: { objects: [] } },
        'x',
        { name: 'n'.repeat(70), savedAt: 9, doc: { objects: [] }, category: 7 },
      ]),
    );
    const list = await loadUserTemplates(localBackend(s), 77);
    expect(list.map((t) => t.name.length)).toEqual([60, 3]);
    // Without an id, a template goes by its place in the stored list.
    expect(list[0]).toMatchObject({ category: '我的模板', description: '', id: '#4' });
  });

  it('reports a full storage and names an unnamed template after the document', async () => {
    const tiny = localBackend(new MemoryStorage(100));
    expect((await saveUserTemplate('x', createSampleDocument(), tiny)).ok).toBe(false);
    const s = localBackend(new MemoryStorage());
    await saveUserTemplate('  ', createDocument('价签'), s);
    expect((await loadUserTemplates(s))[0].name).toBe('价签');
  });
});

describe('built-in templates', () => {
  it('come in order, each a valid document starting with the border', () => {
    expect(builtInTemplates.map((t) => t.id)).toEqual([
      'retail-price',
      'asset',
      'warehouse',
      'food',
      'logistics',
    ]);
    for (const t of builtInTemplates) {
      const doc = t.create();
      expect(sanitizeDocument(doc)).toEqual(sanitizeDocument(JSON.parse(JSON.stringify(doc))));
      expect(doc.objects[0]).toMatchObject({
        type: 'rect',
        name: '边框',
        x: 2,
        y: 2,
        w: 46,
        h: 76,
        lineWidth: 0.8,
        radius: 1.5,
      });
      expect(new Set(doc.objects.map((o) => o.id)).size).toBe(doc.objects.length);
    }
    expect(builtInTemplates[1].create().name).toBe('资产标签');
    expect(builtInTemplates[3].create().objects.some((o) => o.type === 'line')).toBe(false);
  });

  it('name their pieces after their content', () => {
    const retail = builtInTemplates[0].create();
    expect(retail.objects.map((o) => o.name)).toEqual([
      '边框',
      'ZEKO · 商品价签',
      '{{名称}}',
      '规格：{{规格}}',
      '¥ {{价格}}',
      '编码',
      '分隔线',
      '条码 编码',
      '二维码 编码',
      'Sorvendale · 零售',
    ]);
    const sample = createSampleDocument();
    expect(sample.name).toBe('示例标签');
    expect(sample.objects[6]).toMatchObject({
      text: 'SN:\nQX530021020102\n300dpi · TSPL',
      fontSize: 6.5,
      lineHeight: 1.4,
    });
    expect(builtInTemplates[1].create().objects.at(-1)).toMatchObject({
      type: 'barcode',
      showText: false,
      moduleWidth: 1,
      barHeight: 5,
    });
  });
});
