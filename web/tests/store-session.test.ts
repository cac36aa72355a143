import { afterEach, beforeEach, describe, expect, it, vi } from 'vitest';
import { localBackend } from '../src/document/database';
import { loadDraft } from '../src/document/draft';
import { createObject } from '../src/document/factory';
import { MemoryStorage, STORAGE_KEYS } from '../src/document/storage';
import { DocumentSession, type SessionHooks } from '../src/editor/document-session';
import { DraftKeeper, draftFailedHint, OTHER_TAB_HINT } from '../src/editor/draft-keeper';
import { DocumentStore } from '../src/store/document-store';

function setup(demo = false, storage = new MemoryStorage()) {
  const store = new DocumentStore();
  const backend = localBackend(storage);
  const calls: string[] = [];
  const downloads: [string, string, string][] = [];
  const hooks: SessionHooks = {
    confirm: () => false,
    download: (...args) => downloads.push(args),
    setStatus: (state, text) => calls.push(`${state}:${text}`),
    showHint: (text) => calls.push(`hint:${text}`),
  };
  const keeper = new DraftKeeper(Promise.resolve(backend), {
    setLastingHint: (key, h) => calls.push(`lasting ${key} ${h ? h.text : '-'}`),
    resave: () => void session.writeDraft(),
  });
  const session = new DocumentSession(store, hooks, demo, keeper);
  return { store, storage, backend, calls, downloads, keeper, session };
}

describe('autosave', () => {
  beforeEach(() => vi.useFakeTimers());
  afterEach(() => vi.useRealTimers());

  it('writes the draft 500 ms after the last change', async () => {
    const { store, storage, backend, keeper } = setup();
    keeper.takeOver();
    store.add(createObject('rect', { x: 1, y: 1, w: 5, h: 5 }));
    await vi.advanceTimersByTimeAsync(400);
    store.touch();
    await vi.advanceTimersByTimeAsync(400);
    expect(storage.getItem(STORAGE_KEYS.draft)).toBeNull();
    await vi.advanceTimersByTimeAsync(100);
    expect((await loadDraft(backend))?.doc.objects).toHaveLength(1);
  });

  it('says a failed write until one lands; another tab holding the draft is never overwritten', async () => {
    const storage = new MemoryStorage(3000);
    const { store, backend, keeper, calls } = setup(false, storage);
    // Not holding the draft: nothing is written, however long the edits go on.
    store.update((d) => (d.name = 'mine'));
    await vi.advanceTimersByTimeAsync(1000);
    expect(storage.items.size).toBe(0);
    // Taking it over writes the edits that waited.
    keeper.takeOver();
    await vi.advanceTimersByTimeAsync(0);
    expect((await loadDraft(backend))?.doc.name).toBe('mine');
    expect(calls).toEqual(['lasting tab -', 'lasting draft -']);
    // Too big for the storage: the older draft stays, the user is told until a write lands.
    store.update((d) => (d.name = 'x'.repeat(4000)));
    await vi.advanceTimersByTimeAsync(500);
    expect(calls.at(-1)).toBe(`lasting draft ${draftFailedHint('浏览器存储空间已满')}`);
    expect((await loadDraft(backend))?.doc.name).toBe('mine');
    store.update((d) => (d.name = 'short'));
    await vi.advanceTimersByTimeAsync(500);
    expect(calls.at(-1)).toBe('lasting draft -');
    expect((await loadDraft(backend))?.doc.name).toBe('short');
  });

  it('waits for the draft lock held by another tab, then takes it over', async () => {
    const { keeper, calls } = setup();
    const waiting: Array<() => void> = [];
    keeper.claim({
      request: (_name, options, callback) => {
        if (options.ifAvailable) return Promise.resolve(callback(null));
        waiting.push(() => void callback({}));
        return new Promise(() => undefined);
      },
    });
    expect([keeper.holdsDraft, calls]).toEqual([false, [`lasting tab ${OTHER_TAB_HINT}`]]);
    waiting[0]();
    expect([keeper.holdsDraft, calls.at(-1)]).toEqual([true, 'lasting tab -']);
  });

  it('never writes in demo mode, and saving cancels a pending write', async () => {
    const demo = setup(true);
    demo.keeper.takeOver();
    demo.store.touch();
    await vi.advanceTimersByTimeAsync(1000);
    expect(demo.session.onPageClose()).toBe(true);
    expect(demo.storage.items.size).toBe(0);

    const { store, storage, session, downloads, calls, keeper } = setup();
    keeper.takeOver();
    store.update((d) => (d.name = '  '));
    session.saveToFile();
    await vi.advanceTimersByTimeAsync(1000);
    expect(storage.getItem(STORAGE_KEYS.draft)).toBeNull();
    expect(store.dirty).toBe(false);
    expect(downloads[0][0]).toBe('label.svtpl');
    expect(downloads[0][2]).toBe('application/json');
    expect(calls).toContain('online:已保存');
  });

  it('writes at once on page close when dirty', async () => {
    const { store, storage, session, keeper } = setup();
    keeper.takeOver();
    await vi.advanceTimersByTimeAsync(0);
    expect(session.onPageClose()).toBe(false);
    store.touch();
    // The page may be gone after this task: the write starts within it.
    expect(session.onPageClose()).toBe(true);
    expect(storage.getItem(STORAGE_KEYS.draft)).not.toBeNull();
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

    // Too many objects for the editor: refused, the open document stays.
    const rect = '{"type":"rect"},';
    const crowded = (n: number) => `{"objects":[${rect.repeat(n).slice(0, -1)}]}`;
    expect(session.openText('d', crowded(2001))).toBe(false);
    expect(calls[5]).toBe('error:打开失败：Error: 标签对象过多：2001 个，最多 2000 个');
    expect(store.doc.name).toBe('价签');
    expect(session.openText('e', crowded(2000))).toBe(true);
    expect(store.doc.objects).toHaveLength(2000);

    // An over-long text is cut, and the hint says so.
    const long = JSON.stringify({ objects: [{ type: 'text', text: 'x'.repeat(5001) }] });
    expect(session.openText('f', long)).toBe(true);
    expect(calls.at(-1)).toBe('hint:已打开「未命名标签」，共 1 个对象；文本过长，已截断为 5000 字');
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
    const backend = localBackend(new MemoryStorage());
    const doc = { ...new DocumentStore().doc, name: '草稿' };
    await saveDraft(doc, { name: 'd.csv', fields: ['a'], rows: [{ a: '1' }] }, backend);
    const s = new DocumentStore();
    expect(await startDocument(s, false, Promise.resolve(backend))).toBeDefined();
    expect([s.doc.name, s.dirty, s.dataset?.name]).toEqual(['草稿', true, 'd.csv']);
    const demo = new DocumentStore();
    expect(await startDocument(demo, true, Promise.resolve(backend))).toBeUndefined();
    expect([demo.doc.name, demo.dirty]).toEqual(['示例标签', false]);
    const empty = new DocumentStore();
    const none = Promise.resolve(localBackend(new MemoryStorage()));
    expect(await startDocument(empty, false, none)).toBeUndefined();
    expect(empty.revision).toBe(0);
  });
});
