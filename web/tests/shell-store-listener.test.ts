import { describe, expect, it } from 'vitest';
import { createObject } from '../src/document/factory';
import { DocumentStore } from '../src/store/document-store';
import { documentStatusTexts } from '../src/shell/document-status';
import { installStoreListener } from '../src/shell/store-listener';

describe('the page store listener', () => {
  it('runs cheap views on every emit and rebuilds panels only on revision or selection changes', () => {
    const store = new DocumentStore();
    const calls: string[] = [];
    const off = installStoreListener(store, {
      everyEmit: [() => calls.push('draw')],
      onStructureChange: [() => calls.push('panel')],
    });
    const steps: Array<[string, () => void, string[]]> = [
      ['first emit', () => store.emit(), ['draw', 'panel']],
      ['plain emit', () => store.emit(), ['draw']],
      ['touch while typing', () => store.touch(), ['draw']],
      [
        'update',
        () =>
          store.update((d) => d.objects.push(createObject('rect', { x: 1, y: 1, w: 10, h: 5 }))),
        ['draw', 'panel'],
      ],
      ['select', () => store.select([store.doc.objects[0].id]), ['draw', 'panel']],
      ['same selection again', () => store.select([store.doc.objects[0].id]), []],
      ['preview during a drag', () => store.preview(), ['draw']],
      ['undo', () => store.undo(), ['draw', 'panel']],
    ];
    for (const [label, act, expected] of steps) {
      calls.length = 0;
      act();
      expect(calls, label).toEqual(expected);
    }
    off();
    store.emit();
    expect(calls).toEqual(['draw', 'panel']);
  });

  it('status texts mark unsaved documents in the name and the tab title', () => {
    const store = new DocumentStore();
    store.update((d) => {
      d.name = '价签';
      d.page.widthMm = 40.5;
      d.objects.push(createObject('text', { x: 1, y: 1, w: 10, h: 5 }));
    });
    expect(documentStatusTexts(store.doc, true)).toEqual({
      light: '1 个对象 · 40.5×80mm',
      docName: '价签 ·未保存',
      title: '● 价签 · Sorvendale',
    });
    expect(documentStatusTexts(store.doc, false)).toMatchObject({
      docName: '价签',
      title: '价签 · Sorvendale',
    });
  });
});
