import { afterEach, beforeEach, describe, expect, it, vi } from 'vitest';
import { loadDraft } from '../src/document/draft';
import { createObject } from '../src/document/factory';
import { MemoryStorage, STORAGE_KEYS } from '../src/document/storage';
import { DocumentSession, type SessionHooks } from '../src/editor/document-session';
import { DocumentStore } from '../src/editor/store';

function setup(demo = false) {
  const store = new DocumentStore();
  const storage = new MemoryStorage();
  const calls: string[] = [];
  const downloads: [string, string, string][] = [];
  const hooks: SessionHooks = {
    confirm: () => false,
    download: (...args) => downloads.push(args),
    setStatus: (state, text) => calls.push(`${state}:${text}`),
    showHint: (text) => calls.push(`hint:${text}`),
  };
  return {
    store,
    storage,
    calls,
    downloads,
    session: new DocumentSession(store, hooks, demo, storage),
  };
}

describe('autosave', () => {
  beforeEach(() => vi.useFakeTimers());
  afterEach(() => vi.useRealTimers());

  it('writes the draft 500 ms after the last change', () => {
    const { store, storage } = setup();
    store.add(createObject('rect', { x: 1, y: 1, w: 5, h: 5 }));
    vi.advanceTimersByTime(400);
    store.touch();
    vi.advanceTimersByTime(400);
    expect(storage.getItem(STORAGE_KEYS.draft)).toBeNull();
    vi.advanceTimersByTime(100);
    expect(loadDraft(storage)?.doc.objects).toHaveLength(1);
  });

  it('never writes in demo mode, and saving cancels a pending write', () => {
    const demo = setup(true);
    demo.store.touch();
    vi.advanceTimersByTime(1000);
    expect(demo.session.onPageClose()).toBe(true);
    expect(demo.storage.items.size).toBe(0);

    const { store, storage, session, downloads, calls } = setup();
    store.update((d) => (d.name = '  '));
    session.saveToFile();
    vi.advanceTimersByTime(1000);
    expect(storage.getItem(STORAGE_KEYS.draft)).toBeNull();
    expect(store.dirty).toBe(false);
    expect(downloads[0][0]).toBe('label.svtpl');
    expect(downloads[0][2]).toBe('application/json');
    expect(calls).toContain('online:已保存');
  });

  it('writes at once on page close when dirty', () => {
    const { store, storage, session } = setup();
    expect(session.onPageClose()).toBe(false);
    store.touch();
    expect(session.onPageClose()).toBe(true);
    expect(loadDraft(storage)).toBeDefined();
  });
});

describe('opening and new documents', () => {
  it('opens a valid file and leaves the document alone on failure', () => {
    const { store, session, calls } = setup();
    expect(session.openText('a.svtpl', '{"name":"价签","objects":[{"type":"text"}]}')).toBe(true);
    expect([store.doc.name, store.dirty]).toEqual(['价签', false]);
    // The old document's hint goes first.
    expect(calls).toEqual(['hint:', 'online:已打开 a.svtpl', 'hint:已打开「价签」，共 1 个对象']);
    expect(session.openText('b', '{"schemaVersion":2,"objects":[]}')).toBe(false);
    expect(session.openText('c', '{oops')).toBe(false);
    expect(calls[3]).toBe('error:打开失败：Error: 不支持的文档版本：2');
    expect(calls[4]).toMatch(/^error:打开失败：SyntaxError: /);
    expect(store.doc.name).toBe('价签');
  });

  it('asks before discarding changes, and a new document clears the old hint', () => {
    const { store, session, calls } = setup();
    store.update((d) => (d.name = 'keep'));
    expect(session.newDocument()).toBe(false);
    expect(store.doc.name).toBe('keep');
    store.markSaved();
    expect(session.newDocument()).toBe(true);
    expect(store.doc.name).toBe('未命名标签');
    expect(calls).toEqual(['hint:', 'idle:新建标签']);
  });
});

describe('start-up document', () => {
  it('restores a valid draft dirty with its data, or the sample in demo mode', async () => {
    const { saveDraft } = await import('../src/document/draft');
    const { startDocument } = await import('../src/editor/document-session');
    const storage = new MemoryStorage();
    const doc = { ...new DocumentStore().doc, name: '草稿' };
    saveDraft(doc, { name: 'd.csv', fields: ['a'], rows: [{ a: '1' }] }, storage);
    const s = new DocumentStore();
    expect(startDocument(s, false, storage)).toBe(true);
    expect([s.doc.name, s.dirty, s.dataset?.name]).toEqual(['草稿', true, 'd.csv']);
    const demo = new DocumentStore();
    expect(startDocument(demo, true, storage)).toBe(false);
    expect([demo.doc.name, demo.dirty]).toEqual(['示例标签', false]);
    const empty = new DocumentStore();
    expect(startDocument(empty, false, new MemoryStorage())).toBe(false);
    expect(empty.revision).toBe(0);
  });
});
