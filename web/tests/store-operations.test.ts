import { afterEach, beforeEach, describe, expect, it, vi } from 'vitest';
import { createDocument, createObject } from '../src/document/factory';
import type { LabelObject } from '../src/document/model';
import { DocumentStore } from '../src/store/document-store';

function storeWith(...boxes: [number, number, number, number][]): {
  s: DocumentStore;
  ids: string[];
} {
  const s = new DocumentStore();
  const objs: LabelObject[] = boxes.map(([x, y, w, h]) => createObject('rect', { x, y, w, h }));
  s.doc.objects.push(...objs);
  return { s, ids: objs.map((o) => o.id) };
}

const xs = (s: DocumentStore) => s.doc.objects.map((o) => [o.x, o.y]);

describe('DocumentStore change protocol', () => {
  it('undoes and redoes every committing operation', () => {
    const { s, ids } = storeWith([5, 5, 10, 10], [20, 20, 10, 10]);
    const steps: [string, () => void][] = [
      ['add', () => s.add(createObject('text', { x: 1, y: 1, w: 5, h: 5 }))],
      ['select+align', () => (s.select([ids[0]]), s.align('right'))],
      ['moveLayer', () => s.moveLayer('top')],
      ['duplicate', () => s.duplicateSelected()],
      ['nudge', () => s.nudge(1, 1)],
      ['update', () => s.update((d) => (d.name = 'x'))],
      ['remove', () => s.removeSelected()],
      ['reset', () => s.reset(createDocument('新'))],
    ];
    const states: string[] = [JSON.stringify(s.doc)];
    for (const [, run] of steps) {
      run();
      states.push(JSON.stringify(s.doc));
    }
    expect(s.revision).toBeGreaterThanOrEqual(steps.length);
    for (let i = states.length - 2; i >= 0; i -= 1) {
      s.undo();
      expect(JSON.stringify(s.doc)).toBe(states[i]);
    }
    expect(s.canUndo).toBe(false);
    for (let i = 1; i < states.length; i += 1) {
      s.redo();
      expect(JSON.stringify(s.doc)).toBe(states[i]);
    }
    expect(s.canRedo).toBe(false);
  });

  it('drops vanished ids from the selection on undo and empties redo on a new snapshot', () => {
    const s = new DocumentStore();
    const o = createObject('line', { x: 1, y: 1, w: 5, h: 0 });
    s.add(o);
    expect(s.selection).toEqual([o.id]);
    s.undo();
    expect(s.selection).toEqual([]);
    expect(s.canRedo).toBe(true);
    s.update(() => undefined);
    expect(s.canRedo).toBe(false);
  });

  it('undoes an import that replaced a data set in one step, edits around it untouched', () => {
    const s = new DocumentStore();
    const data = (name: string) => ({ name, fields: ['a'], rows: [{ a: '1' }, { a: '2' }] });
    const first = data('first.csv');
    const second = data('second.csv');
    s.importDataset(first);
    s.setRecord(1);
    s.add(createObject('rect', { x: 1, y: 1, w: 5, h: 5 }));
    s.importDataset(second);
    const seen = () => [s.dataset?.name ?? null, s.recordIndex, s.doc.objects.length];
    expect(seen()).toEqual(['second.csv', 0, 1]);
    s.undo();
    expect(seen()).toEqual(['first.csv', 1, 1]);
    s.undo();
    expect(seen()).toEqual(['first.csv', 1, 0]);
    s.undo();
    expect(seen()).toEqual([null, 0, 0]);
    s.redo();
    s.redo();
    s.redo();
    expect(seen()).toEqual(['second.csv', 0, 1]);
  });

  it('caps the undo stack at 60', () => {
    const s = new DocumentStore();
    for (let i = 0; i < 70; i += 1) s.update((d) => (d.name = `n${i}`));
    expect(s.undoStack).toHaveLength(60);
    while (s.canUndo) s.undo();
    expect(s.doc.name).toBe('n9');
  });

  it('keeps dirty, revision and emits apart for selection, touch and data', () => {
    const { s, ids } = storeWith([0, 0, 5, 5]);
    const seen: number[] = [];
    const off = s.subscribe((st) => seen.push(st.revision));
    s.select([ids[0], ids[0]]);
    s.select([ids[0]]);
    expect(s.selection).toEqual([ids[0]]);
    expect(seen).toHaveLength(1);
    s.touch();
    expect([s.dirty, s.revision, s.canUndo]).toEqual([true, 0, false]);
    s.markSaved();
    s.setDataset({ name: 'd', fields: ['a'], rows: [{ a: '1' }, { a: '2' }] });
    expect([s.dirty, s.revision, s.canUndo]).toEqual([false, 1, false]);
    s.setRecord(9);
    expect(s.dataContext()).toEqual({ row: { a: '2' }, index: 1, total: 2 });
    const count = seen.length;
    s.setRecord(5);
    expect(seen).toHaveLength(count);
    off();
    s.touch();
    expect(seen).toHaveLength(count);
    s.setDataset(null);
    expect(s.dataContext()).toEqual({});
  });

  it('keeps calling listeners after one of them throws', () => {
    const s = new DocumentStore();
    const error = vi.spyOn(console, 'error').mockImplementation(() => undefined);
    let reached = 0;
    s.subscribe(() => {
      throw new Error('boom');
    });
    s.subscribe(() => (reached += 1));
    s.update((d) => (d.name = 'z'));
    expect(reached).toBe(1);
    expect(s.doc.name).toBe('z');
    expect(error).toHaveBeenCalledWith('Sorvendale 渲染失败', expect.any(Error));
    error.mockRestore();
  });
});

describe('DocumentStore coalescing', () => {
  beforeEach(() => vi.useFakeTimers());
  afterEach(() => vi.useRealTimers());

  it('merges quick nudges into one step and splits after a pause', () => {
    const { s, ids } = storeWith([10, 10, 5, 5]);
    s.select(ids);
    for (let i = 0; i < 10; i += 1) {
      s.nudge(0.5, 0);
      vi.advanceTimersByTime(600);
    }
    expect(s.doc.objects[0].x).toBe(15);
    vi.advanceTimersByTime(100);
    s.nudge(0.5, 0);
    s.undo();
    expect(s.doc.objects[0].x).toBe(15);
    s.undo();
    expect(s.doc.objects[0].x).toBe(10);
    expect(s.canUndo).toBe(false);
  });

  it('starts a new step for a nudge right after an undo', () => {
    const { s, ids } = storeWith([10, 10, 5, 5]);
    s.select(ids);
    s.nudge(1, 0);
    s.nudge(1, 0);
    s.undo();
    s.nudge(0, 1);
    s.undo();
    expect(xs(s)).toEqual([[10, 10]]);
  });
});

describe('DocumentStore selection, layers and clamps', () => {
  it('restacks only a single selection, and still takes a step at the top', () => {
    const { s, ids } = storeWith([0, 0, 5, 5], [1, 1, 5, 5], [2, 2, 5, 5]);
    s.select([ids[0], ids[1]]);
    s.moveLayer('top');
    expect(s.canUndo).toBe(false);
    s.select([ids[2]]);
    s.moveLayer('top');
    expect(s.canUndo).toBe(true);
    s.select([ids[0]]);
    s.moveLayer('up');
    expect(s.doc.objects.map((o) => o.id)).toEqual([ids[1], ids[0], ids[2]]);
    s.moveLayer('bottom');
    s.moveLayer('down');
    expect(s.doc.objects[0].id).toBe(ids[0]);
  });

  it('aligns unlocked objects only, and does nothing without one', () => {
    const { s, ids } = storeWith([5, 5, 10, 10], [7, 7, 10, 10]);
    s.doc.objects[1].locked = true;
    s.select([ids[1]]);
    s.align('left');
    expect(s.canUndo).toBe(false);
    s.select(ids);
    s.align('hcenter');
    s.align('bottom');
    expect(xs(s)).toEqual([
      [20, 70],
      [7, 7],
    ]);
    s.nudge(-50, 0);
    expect(s.doc.objects[1].x).toBe(7);
  });

  it('turns each selected text, code or picture about its own centre, as one step', () => {
    const s = new DocumentStore(); // page 50 × 80
    const make = (type: 'text' | 'barcode' | 'image' | 'rect', x: number, y: number) =>
      createObject(type, { x, y, w: 30, h: 10 });
    const objs = [
      make('text', 10, 20), // centre (25, 25): 10 × 30 at (20, 10)
      make('image', 0, 0), // centre (15, 5): 10 × 30 at (10, -10), kept on the page at y 0
      make('barcode', 20, 75), // centre (35, 80): 10 × 30 at (30, 65), pushed up to y 50
      make('rect', 5, 50), // rectangles have no rotation
      make('text', 5, 60), // locked
    ];
    objs[4].locked = true;
    s.doc.objects.push(...objs);
    s.select(objs.map((o) => o.id));
    s.rotateSelected();
    const boxes = () =>
      s.doc.objects.map((o) => [o.x, o.y, o.w, o.h, 'rotation' in o ? o.rotation : '-']);
    expect(boxes()).toEqual([
      [20, 10, 10, 30, 90],
      [10, 0, 10, 30, 90],
      [30, 50, 10, 30, 90],
      [5, 50, 30, 10, '-'],
      [5, 60, 30, 10, 0],
    ]);
    s.rotateSelected(); // 180°: the box lies again, about the same centre
    expect(boxes()[0]).toEqual([10, 20, 30, 10, 180]);
    s.rotateSelected();
    s.rotateSelected(); // back to 0° after four quarter turns
    expect(boxes()[0]).toEqual([10, 20, 30, 10, 0]);
    s.undo();
    expect(boxes()[0]).toEqual([20, 10, 10, 30, 270]);
    // A side longer than the page is cut to it; a square turns in place.
    const wide = createObject('text', { x: 0, y: 0, w: 30, h: 70 });
    const square = createObject('qrcode', { x: 2, y: 3, w: 16, h: 16 });
    s.doc.objects = [wide, square];
    s.select([wide.id, square.id]);
    s.rotateSelected();
    expect(boxes()).toEqual([
      [0, 20, 50, 30, 90], // centre (15, 35)
      [2, 3, 16, 16, 90],
    ]);
  });

  it('duplicates in document order, offset and kept on the page', () => {
    const { s, ids } = storeWith([40, 10, 10, 10], [0, 0, 5, 5]);
    s.select([ids[1], ids[0]]);
    s.duplicateSelected();
    const copies = s.doc.objects.slice(2);
    expect(copies.map((o) => [o.x, o.y])).toEqual([
      [40, 13],
      [3, 3],
    ]);
    expect(s.selection).toEqual(copies.map((o) => o.id));
    expect(new Set(s.doc.objects.map((o) => o.id)).size).toBe(4);
  });

  it('selection toggles, selectAll and the derived views', () => {
    const { s, ids } = storeWith([0, 0, 5, 5], [1, 1, 5, 5]);
    s.toggleSelection(ids[1]);
    s.toggleSelection(ids[0]);
    expect(s.selection).toEqual([ids[1], ids[0]]);
    expect(s.selected.map((o) => o.id)).toEqual(ids);
    expect(s.single).toBeUndefined();
    s.toggleSelection(ids[1]);
    expect(s.single?.id).toBe(ids[0]);
    s.selectAll();
    expect(s.selection).toEqual(ids);
    s.removeSelected();
    expect(s.doc.objects).toEqual([]);
  });

  it('clamps objects after the page shrinks, squaring qrcodes', () => {
    const s = new DocumentStore();
    s.doc.objects.push(
      createObject('qrcode', { x: 30, y: 60, w: 18, h: 18 }),
      createObject('rect', { x: 5, y: 5, w: 60, h: 10 }),
    );
    s.doc.page.widthMm = 20;
    s.doc.page.heightMm = 15;
    s.clampObjectsToPage();
    expect(s.doc.objects.map((o) => [o.x, o.y, o.w, o.h])).toEqual([
      [5, 0, 15, 15],
      [0, 5, 20, 10],
    ]);
    expect(s.canUndo).toBe(false);
  });
});
