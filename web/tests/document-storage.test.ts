import { describe, expect, it } from 'vitest';
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
  it('round-trips the document and a valid data set', () => {
    const s = new MemoryStorage();
    const doc = createSampleDocument();
    const dataset = { name: 'a.csv', fields: ['x'], rows: [{ x: '1' }] };
    expect(saveDraft(doc, dataset, s, 42)).toBe(true);
    expect(loadDraft(s)).toEqual({ savedAt: 42, doc: sanitizeDocument(doc), dataset });
  });

  it('ignores unreadable drafts and drops invalid data sets', () => {
    const s = new MemoryStorage();
    for (const text of [
      '{',
      '[]',
      '{"doc":{"objects":[]}}',
      '{"savedAt":1,"doc":{"schemaVersion":2,"objects":[]}}',
    ]) {
      s.setItem(STORAGE_KEYS.draft, text);
      expect(loadDraft(s)).toBeUndefined();
    }
    s.setItem(
      STORAGE_KEYS.draft,
      JSON.stringify({
        savedAt: 1,
        doc: { objects: [] },
        dataset: { name: 'a', fields: [1], rows: [] },
      }),
    );
    expect(loadDraft(s)?.dataset).toBeNull();
    expect(loadDraft(refusing)).toBeUndefined();
    expect(saveDraft(createDocument(), null, refusing)).toBe(false);
  });
});

describe('print history', () => {
  it('keeps the newest 100 and filters malformed entries', () => {
    const s = new MemoryStorage();
    for (let i = 0; i < 101; i += 1) appendPrintHistory({ ...record, copies: i }, s, 1000 + i);
    const list = loadPrintHistory(s);
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
    expect(loadPrintHistory(s)).toHaveLength(1);
    expect(appendPrintHistory(record, refusing)).toBe(false);
  });
});

describe('user templates', () => {
  it('keeps the 50 most recent, by saving order', () => {
    const s = new MemoryStorage();
    for (let i = 0; i < 51; i += 1)
      expect(saveUserTemplate(`t${i}`, createDocument(), s, 1000 + i)).toBe(true);
    const list = loadUserTemplates(s);
    expect(list).toHaveLength(50);
    expect(list[0].name).toBe('t50');
    expect(list.at(-1)?.name).toBe('t1');
    expect(deleteUserTemplate(list[0].id, s)).toBe(true);
    expect(loadUserTemplates(s)[0].name).toBe('t49');
  });

  it('repairs entries on read and skips broken ones', () => {
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
    const list = loadUserTemplates(s, 77);
    expect(list.map((t) => t.name.length)).toEqual([60, 3]);
    expect(list[0]).toMatchObject({
      category: '我的模板',
      description: '',
      id: 'u' + (77).toString(36),
    });
  });

  it('reports a full storage and names an unnamed template after the document', () => {
    const tiny = new MemoryStorage(100);
    expect(saveUserTemplate('x', createSampleDocument(), tiny)).toBe(false);
    const s = new MemoryStorage();
    saveUserTemplate('  ', createDocument('价签'), s);
    expect(loadUserTemplates(s)[0].name).toBe('价签');
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
