import { beforeEach, describe, expect, it } from 'vitest';
import {
  DATABASE_NAME,
  migrateLocalRecords,
  openIndexedDb,
  type RecordBackend,
} from '../src/document/database';
import { loadDraft, saveDraft } from '../src/document/draft';
import { createDocument } from '../src/document/factory';
import {
  appendPrintHistory,
  loadPrintHistory,
  newPrintRecord,
  storePrintRecord,
  type PrintRecord,
} from '../src/document/print-history';
import { keepSnapshot, loadSnapshot, trimSnapshots } from '../src/document/print-snapshots';
import { sanitizeDocument } from '../src/document/sanitize';
import { STORAGE_KEYS } from '../src/document/storage';
import { createSampleDocument } from '../src/document/templates';
import { deleteUserTemplate, loadUserTemplates } from '../src/document/user-templates';

const print = {
  printer: 'QX530',
  copies: 1,
  records: 1,
  dryRun: false,
  ok: true,
  bytes: 10,
  elapsedMs: 3,
};

async function freshDatabase(): Promise<RecordBackend> {
  await new Promise((resolve) => {
    const request = indexedDB.deleteDatabase(DATABASE_NAME);
    request.onsuccess = request.onerror = request.onblocked = resolve;
  });
  const db = await openIndexedDb();
  if (!db) throw new Error('IndexedDB refused');
  return db;
}

beforeEach(() => localStorage.clear());

describe('record database', () => {
  it('moves the records of the local-storage keys in once, and keeps what failed to move', async () => {
    const db = await freshDatabase();
    // What the local-storage version wrote: a draft, two templates (one from before ids), history.
    const doc = createSampleDocument();
    const dataset = { name: 'a.csv', fields: ['x'], rows: [{ x: '1' }] };
    localStorage.setItem(STORAGE_KEYS.draft, JSON.stringify({ savedAt: 5, doc, dataset }));
    const templates = [
      { id: 'u1', name: 'A', category: '我的模板', description: '', savedAt: 9, doc },
      { name: 'B', savedAt: 3, doc: createDocument('B') },
    ];
    localStorage.setItem(STORAGE_KEYS.userTemplates, JSON.stringify(templates));
    const history = [2, 1].map((t) => ({ ...print, id: `p${t}`, time: t, docName: `d${t}` }));
    localStorage.setItem(STORAGE_KEYS.printHistory, JSON.stringify(history));
    localStorage.setItem(STORAGE_KEYS.theme, 'dark');

    // The templates' transaction fails: their key stays for the next start, the rest move.
    const refusingTemplates: RecordBackend = {
      where: 'indexeddb',
      readAll: (kind) => db.readAll(kind),
      write: (kind, change) =>
        kind === 'templates'
          ? Promise.resolve({ ok: false, reason: 'full' })
          : db.write(kind, change),
    };
    await migrateLocalRecords(refusingTemplates, localStorage);
    expect(localStorage.getItem(STORAGE_KEYS.draft)).toBeNull();
    expect(localStorage.getItem(STORAGE_KEYS.userTemplates)).not.toBeNull();
    await migrateLocalRecords(db, localStorage);
    await migrateLocalRecords(db, localStorage);
    expect(Object.keys(localStorage)).toEqual([STORAGE_KEYS.theme]);

    expect(await loadDraft(db)).toMatchObject({ savedAt: 5, dataset, doc: { name: doc.name } });
    const users = await loadUserTemplates(db);
    expect(users.map((t) => [t.name, t.id])).toEqual([
      ['A', 'u1'],
      ['B', 'ulegacy1'],
    ]);
    expect(await loadPrintHistory(db)).toEqual(history);
    // A moved template without an id can still be deleted by the one it was given.
    await deleteUserTemplate(users[1].id, db);
    expect((await loadUserTemplates(db)).map((t) => t.name)).toEqual(['A']);
  });

  it('keeps the last whole draft when a write fails, and history records whole', async () => {
    const db = await freshDatabase();
    const dataset = { name: 'big.csv', fields: ['n'], rows: [{ n: '1' }] };
    expect((await saveDraft(createDocument('一'), dataset, db, 1)).ok).toBe(true);
    // A value the database cannot store fails the transaction: nothing of it is kept.
    const broken = { ...createDocument('二'), extra: () => 1 };
    const failed = await saveDraft(broken, null, db, 2);
    expect(failed.ok).toBe(false);
    expect(failed.reason).toMatch(/^浏览器拒绝写入（DataCloneError/);
    expect(await loadDraft(db)).toMatchObject({ savedAt: 1, dataset, doc: { name: '一' } });

    // Later fields of a history record (say, what to reprint) ride along untouched.
    await db.write('history', {
      put: [{ key: 'p0', value: { ...print, id: 'p0', time: 1, docName: 'x', snapshot: [1] } }],
    });
    await appendPrintHistory({ ...print, docName: 'y' }, db, 2);
    const list = await loadPrintHistory(db);
    expect(list.map((r) => r.docName)).toEqual(['y', 'x']);
    expect(list[1]).toMatchObject({ snapshot: [1] });
  });
});

describe('reprint snapshots', () => {
  it('stores a shared data set once and drops the oldest snapshots over budget, saying so', async () => {
    const db = await freshDatabase();
    const doc = sanitizeDocument(createSampleDocument());
    const rows = (n: number) => Array.from({ length: n }, (_, i) => ({ x: `记录 ${i + 1}` }));
    const shared = { name: 'a.csv', fields: ['x'], rows: rows(2000) };
    const other = { name: 'b.csv', fields: ['x'], rows: rows(1000) };
    const runs: [string, typeof shared | null][] = [
      ['d1', shared],
      ['d2', structuredClone(shared)],
      ['d3', other],
      ['d4', null],
    ];
    const stored: PrintRecord[] = [];
    for (const [i, [docName, dataset]] of runs.entries()) {
      const record: PrintRecord = {
        ...newPrintRecord({ ...print, docName }, i + 1),
        run: {
          kind: 'batch',
          total: 3,
          state: 'done',
          jobs: [],
          clock: 5,
          startedMs: i + 1,
          snapshot: 'none',
          snapshotBytes: 0,
        },
      };
      await storePrintRecord(record, db);
      const snapshot = { doc, dataset, recordIndex: 1, printerOffset: { xMm: 0.5, yMm: 0 } };
      stored.push(await keepSnapshot(record, snapshot, db, Infinity));
    }
    // Equal contents, one stored copy: two data sets for three runs that had one.
    expect(await db.readKeys!('datasets')).toHaveLength(2);
    expect(stored[0].run!.datasetHash).toBe(stored[1].run!.datasetHash);
    expect(await loadSnapshot(stored[1], db)).toEqual({
      doc,
      dataset: shared,
      recordIndex: 1,
      printerOffset: { xMm: 0.5, yMm: 0 },
    });

    // Room for all but the two oldest: they go, with the data set only they used.
    const [d1, d2, d3, d4] = stored.map((r) => r.run!);
    const budget = d3.snapshotBytes + d3.datasetBytes! + d4.snapshotBytes + 1;
    expect(await trimSnapshots(db, budget)).toEqual([stored[0].id, stored[1].id]);
    const history = await loadPrintHistory(db);
    expect(history.map((r) => [r.docName, r.run?.snapshot])).toEqual([
      ['d4', 'kept'],
      ['d3', 'kept'],
      ['d2', 'dropped'],
      ['d1', 'dropped'],
    ]);
    expect((await db.readKeys!('snapshots')).sort()).toEqual([stored[2].id, stored[3].id].sort());
    expect(await db.readKeys!('datasets')).toEqual([d3.datasetHash]);
    expect(await loadSnapshot(history[3], db)).toBeUndefined();
    expect((await loadSnapshot(history[1], db))?.dataset).toEqual(other);
    expect(d1.snapshotBytes + d2.snapshotBytes).toBeGreaterThan(0);
  });
});
