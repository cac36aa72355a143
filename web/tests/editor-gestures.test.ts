import { describe, expect, it } from 'vitest';
import { createObject } from '../src/document/factory';
import type { LabelObject } from '../src/document/model';
import { CanvasGestures, type Modifiers } from '../src/editor/gestures';
import { keyAction } from '../src/editor/keyboard';
import { layerName } from '../src/editor/layer-list';
import { addedPlacement, fitZoom, picturePlacement } from '../src/editor/placement';
import { DocumentStore } from '../src/store/document-store';
import { toolbarEnabled } from '../src/editor/toolbar';
import { fixedSizing } from './support/barcode-sizing';

const none: Modifiers = { ctrl: false, meta: false, shift: false, alt: false };
const TOL = 0.5;

/** A store on a 50 × 80 page holding filled rectangles a, b, c… (locked where asked), and its gestures. */
function setup(boxes: [number, number, number, number][], locked: number[] = []) {
  const store = new DocumentStore();
  const objs = boxes.map(([x, y, w, h], i): LabelObject => {
    const o = createObject('rect', { x, y, w, h });
    o.id = String.fromCharCode(97 + i);
    // Filled, so that a press anywhere on one takes it.
    o.fill = true;
    o.locked = locked.includes(i) || undefined;
    return o;
  });
  store.doc.objects.push(...objs);
  let emits = 0;
  store.subscribe(() => emits++);
  const gestures = new CanvasGestures(store, (o) => fixedSizing(20, o.w, o.showText));
  const pos = (id: string) => {
    const o = store.doc.objects.find((x) => x.id === id)!;
    return [o.x, o.y, o.w, o.h];
  };
  return { store, gestures, pos, emits: () => emits };
}

describe('pointer down', () => {
  it.each<[string, Modifiers, string[], string[], string]>([
    ['selects only the hit object and starts a move', none, ['c'], ['a'], 'move'],
    ['keeps a group when a member is hit', none, ['a', 'b'], ['a', 'b'], 'move'],
    ['Ctrl toggles, no drag', { ...none, ctrl: true }, ['a', 'b'], ['b'], 'idle'],
    ['Meta toggles on', { ...none, meta: true }, ['b'], ['b', 'a'], 'idle'],
    ['Shift adds, no drag', { ...none, shift: true }, ['b'], ['b', 'a'], 'idle'],
    ['Shift keeps an already selected one', { ...none, shift: true }, ['a'], ['a'], 'idle'],
  ])('on an unlocked object: %s', (_, mods, before, after, state) => {
    const { store, gestures } = setup([
      [5, 5, 10, 10],
      [30, 5, 10, 10],
      [5, 40, 10, 10],
    ]);
    store.select(before);
    gestures.pointerDown({ x: 8, y: 8 }, mods, TOL);
    expect(store.selection).toEqual(after);
    expect(gestures.state).toBe(state);
  });

  it.each<[string, Modifiers, string[], string[]]>([
    ['selects only it', none, ['a'], ['b']],
    ['Ctrl toggles it off', { ...none, ctrl: true }, ['a', 'b'], ['a']],
    ['Shift adds it', { ...none, shift: true }, ['a'], ['a', 'b']],
  ])('on a locked object: %s and never drags', (_, mods, before, after) => {
    const { store, gestures, pos } = setup(
      [
        [5, 5, 10, 10],
        [30, 5, 10, 10],
      ],
      [1],
    );
    store.select(before);
    expect(gestures.pointerDown({ x: 35, y: 8 }, mods, TOL)).toBe(false);
    gestures.pointerMove({ x: 45, y: 30 });
    gestures.pointerUp({ x: 45, y: 30 });
    expect(store.selection).toEqual(after);
    expect(pos('b')).toEqual([30, 5, 10, 10]);
    expect(store.undoStack).toHaveLength(0);
  });

  it('a group with a locked member: only the unlocked ones move', () => {
    const { store, gestures, pos } = setup(
      [
        [5, 5, 10, 10],
        [30, 5, 10, 10],
      ],
      [0],
    );
    store.select(['a', 'b']);
    expect(gestures.pointerDown({ x: 35, y: 8 }, none, TOL)).toBe(true);
    gestures.pointerMove({ x: 38, y: 18 });
    expect([pos('a'), pos('b')]).toEqual([
      [5, 5, 10, 10],
      [33, 15, 10, 10],
    ]);
  });

  it('handles belong to a single unlocked selection only', () => {
    const { store, gestures } = setup(
      [
        [5, 5, 10, 10],
        [30, 5, 10, 10],
      ],
      [1],
    );
    store.select(['a']);
    gestures.pointerDown({ x: 15.3, y: 15.3 }, none, TOL);
    expect(gestures.state).toBe('resize');
    gestures.pointerUp();
    store.select(['b']);
    gestures.pointerDown({ x: 40, y: 15 }, none, TOL);
    expect(gestures.state).toBe('idle');
    store.select(['a', 'b']);
    gestures.pointerDown({ x: 15, y: 15 }, none, TOL);
    expect(gestures.state).toBe('move'); // the corner is inside the box: a move, not a resize
  });
});

describe('the pointer shape tells what a press would do', () => {
  it.each([
    ['a corner handle', 15, 5, 'nesw-resize'],
    ['a side handle', 10, 15, 'ns-resize'],
    ['inside the selected object', 10, 10, 'move'],
    ['on another, unlocked object', 25, 25, 'move'],
    ['on a locked object', 35, 8, 'default'],
    ['empty space', 45, 60, 'default'],
  ])('%s', (_, x, y, cursor) => {
    const { store, gestures } = setup(
      [
        [5, 5, 10, 10],
        [20, 20, 10, 10],
        [30, 5, 10, 10],
      ],
      [2],
    );
    store.select(['a']);
    expect(gestures.cursorAt({ x, y }, TOL)).toBe(cursor);
  });
});

describe('a drag', () => {
  it('moves the group by the snapped displacement of its box, in one undo step', () => {
    const { store, gestures, pos, emits } = setup([
      [5, 5, 10, 10],
      [20, 7, 5, 5],
      [40, 60, 5, 5],
    ]);
    store.select(['a', 'b']);
    const revision = store.revision;
    gestures.pointerDown({ x: 22, y: 9 }, none, TOL);
    for (let i = 1; i <= 10; i++) gestures.pointerMove({ x: 22 + i * 0.73, y: 9 + i * 1.31 });
    // Box (5, 5) moved by (7.3, 13.1): its corner rounds to (12, 18).
    expect(pos('a')).toEqual([12, 18, 10, 10]);
    expect(pos('b')).toEqual([27, 20, 5, 5]);
    expect(store.revision).toBe(revision);
    const before = emits();
    gestures.pointerUp({ x: 29.3, y: 22.1 });
    expect(store.revision).toBe(revision + 1);
    expect(emits()).toBe(before + 1);
    expect(store.undoStack).toHaveLength(1);
    store.undo();
    expect([pos('a'), pos('b')]).toEqual([
      [5, 5, 10, 10],
      [20, 7, 5, 5],
    ]);
  });

  it('shows the winning guides while dragging and clears them at the end', () => {
    const { gestures } = setup([
      [5, 5, 10.3, 8],
      [20, 40, 10, 10],
    ]);
    gestures.pointerDown({ x: 25, y: 45 }, none, TOL);
    gestures.pointerMove({ x: 20.5, y: 45.3 });
    expect(gestures.guides).toEqual({ x: [15.3], y: [] });
    gestures.pointerUp();
    expect(gestures.guides).toEqual({ x: [], y: [] });
  });

  it('Alt at the press, or during the move, places the box exactly', () => {
    const { gestures, pos } = setup([[20, 40, 10, 10]]);
    gestures.pointerDown({ x: 25, y: 45 }, { ...none, alt: true }, TOL);
    gestures.pointerMove({ x: 25.37, y: 44.21 }, true);
    expect(pos('a').map((v) => Math.round(v * 1e9) / 1e9)).toEqual([20.37, 39.21, 10, 10]);
    gestures.pointerMove({ x: 25.37, y: 44.21 }, false);
    expect(pos('a')).toEqual([20, 39, 10, 10]);
    gestures.pointerMove({ x: 125, y: -45 }, true);
    expect(pos('a')).toEqual([40, 0, 10, 10]);
  });

  it('a press without movement changes nothing and takes no snapshot', () => {
    const { store, gestures } = setup([[20, 40, 10, 10]]);
    gestures.pointerDown({ x: 25, y: 45 }, none, TOL);
    gestures.pointerMove({ x: 25, y: 45 });
    gestures.pointerUp({ x: 25, y: 45 });
    expect(store.undoStack).toHaveLength(0);
    expect(store.dirty).toBe(false);
  });

  it('resizes a barcode through its fields', () => {
    const store = new DocumentStore();
    const bc = createObject('barcode', { x: 10, y: 20, w: 20, h: 15.1 });
    store.add(bc);
    const gestures = new CanvasGestures(store, (o) => fixedSizing(20, o.w, o.showText));
    gestures.pointerDown({ x: 30, y: 27.55 }, none, TOL);
    expect(gestures.state).toBe('resize');
    gestures.pointerMove({ x: 35, y: 27.55 });
    gestures.pointerUp();
    expect([bc.widthScale, bc.w, bc.barHeight]).toEqual([1.25, 25, 12]);
  });
});

describe('the marquee', () => {
  const boxes: [number, number, number, number][] = [
    [5, 5, 10, 10],
    [20, 5, 10, 10],
    [35, 5, 10, 10],
  ];

  it('clears the selection, then selects what it overlaps', () => {
    const { store, gestures } = setup(boxes);
    store.select(['c']);
    gestures.pointerDown({ x: 2, y: 30 }, none, TOL);
    expect(store.selection).toEqual([]);
    gestures.pointerMove({ x: 22, y: 8 });
    expect(gestures.marquee).toEqual({ x: 2, y: 8, w: 20, h: 22 });
    gestures.pointerUp({ x: 22, y: 8 });
    expect(store.selection).toEqual(['a', 'b']);
    expect(gestures.marquee).toBeUndefined();
  });

  it('additive: the earlier selection first, then the new ids', () => {
    const { store, gestures } = setup(boxes);
    store.select(['c']);
    gestures.pointerDown({ x: 2, y: 30 }, { ...none, shift: true }, TOL);
    expect(store.selection).toEqual(['c']);
    gestures.pointerUp({ x: 50, y: 8 });
    expect(store.selection).toEqual(['c', 'a', 'b']);
  });

  it('under 0.5 mm both ways it is a click on empty space', () => {
    const { store, gestures } = setup(boxes);
    store.select(['b']);
    gestures.pointerDown({ x: 10, y: 20 }, { ...none, ctrl: true }, TOL);
    gestures.pointerUp({ x: 10.4, y: 20.4 });
    expect(store.selection).toEqual(['b']);
    gestures.pointerDown({ x: 10, y: 20 }, none, TOL);
    gestures.pointerUp({ x: 10.4, y: 14 });
    expect(store.selection).toEqual(['a']);
  });
});

describe('keyboard shortcuts', () => {
  const key = (
    k: string,
    mods: Partial<{ ctrl: boolean; meta: boolean; shift: boolean }> = {},
  ) => ({
    key: k,
    ctrl: false,
    meta: false,
    shift: false,
    ...mods,
  });
  it.each([
    ['Ctrl+S', key('s', { ctrl: true }), false, 'save'],
    ['Ctrl+S in an input', key('s', { ctrl: true }), true, 'save'],
    ['Meta+P in an input', key('p', { meta: true }), true, 'preview'],
    ['Ctrl+Z', key('z', { ctrl: true }), false, 'undo'],
    ['Ctrl+Shift+Z is undo', key('Z', { ctrl: true, shift: true }), false, 'undo'],
    ['Ctrl+Z in an input is the input’s', key('z', { ctrl: true }), true, undefined],
    ['Meta+Y', key('y', { meta: true }), false, 'redo'],
    ['Ctrl+D', key('D', { ctrl: true, shift: true }), false, 'duplicate'],
    ['Ctrl+A', key('a', { ctrl: true }), false, 'selectAll'],
    ['Ctrl+A in an input', key('a', { ctrl: true }), true, undefined],
    ['Escape', key('Escape'), false, 'escape'],
    ['Delete', key('Delete'), false, 'delete'],
    ['Backspace', key('Backspace'), false, 'delete'],
    ['Backspace in an input', key('Backspace'), true, undefined],
    ['a plain letter', key('z'), false, undefined],
    ['Meta+R', key('r', { meta: true }), false, 'rotate'],
    ['Ctrl+R in an input', key('r', { ctrl: true }), true, undefined],
  ])('%s', (_, press, inInput, kind) => {
    expect(keyAction(press, inInput, true)?.kind).toBe(kind);
  });

  it('Ctrl+R without a selection stays the browser’s reload', () => {
    expect(keyAction(key('r', { ctrl: true }), false, false)).toBeUndefined();
  });

  it.each([
    ['ArrowLeft', false, -0.5, 0],
    ['ArrowRight', false, 0.5, 0],
    ['ArrowUp', true, 0, -2],
    ['ArrowDown', true, 0, 2],
  ])('%s (Shift %s) nudges by (%d, %d) with a selection only', (k, shift, dx, dy) => {
    expect(keyAction(key(k, { shift }), false, true)).toEqual({ kind: 'nudge', dx, dy });
    expect(keyAction(key(k, { shift }), false, false)).toBeUndefined();
    expect(keyAction(key(k, { shift }), true, true)).toBeUndefined();
  });
});

describe('placement and zoom', () => {
  it.each([
    ['text', 50, 80, { x: 7, y: 36, w: 36, h: 8 }],
    ['rect', 50, 80, { x: 7, y: 31, w: 36, h: 18 }],
    ['barcode', 50, 80, { x: 5, y: 31, w: 40, h: 18 }],
    ['qrcode', 50, 80, { x: 17, y: 32, w: 16, h: 16 }],
    ['line', 50, 80, { x: 10, y: 40, w: 30, h: 0 }],
    // Narrow pages: widths follow the page, positions stay 2 mm from the top and left.
    ['text', 20, 10, { x: 3, y: 2, w: 14, h: 8 }],
    ['barcode', 20, 10, { x: 2, y: 2, w: 40, h: 18 }],
  ] as const)('%s on %d × %d', (type, widthMm, heightMm, placement) => {
    expect(addedPlacement(type, { widthMm, heightMm })).toEqual(placement);
  });

  it.each([
    [1000, 500, 50, 80, { x: 4, y: 4, w: 24, h: 12 }],
    [300, 600, 50, 80, { x: 4, y: 4, w: 12, h: 24 }],
    [1000, 500, 20, 12, { x: 4, y: 4, w: 8, h: 4 }],
    // A box under 2 mm keeps the 2 mm minimum on both sides.
    [1000, 10, 6, 6, { x: 4, y: 4, w: 2, h: 2 }],
  ])('a %d × %d picture on a %d × %d page', (pw, ph, widthMm, heightMm, placement) => {
    expect(picturePlacement(pw, ph, { widthMm, heightMm })).toEqual(placement);
  });

  it.each([
    [1000, 800, 591, 945, 752 / 945],
    [1000, 800, 118, 118, 2],
    [300, 200, 5906, 5906, 0.2],
    [40, 40, 100, 100, 0.2],
  ])('fit in %d × %d for a %d × %d canvas', (hw, hh, cw, ch, zoom) => {
    expect(fitZoom(hw, hh, cw, ch)).toBeCloseTo(zoom, 12);
  });
});

describe('layer names and the toolbar', () => {
  const text = (content: string, name = '文本', locked = false) => {
    const o = createObject('text', { x: 0, y: 0, w: 10, h: 5 });
    Object.assign(o, { text: content, name, locked });
    return o;
  };
  it.each([
    ['a new text is named after its content', text('双击编辑文本'), '双击编辑文本'],
    ['lines join with one space, ends trimmed', text('  品名：\n  苹果  '), '品名： 苹果'],
    [
      '12 characters, then an ellipsis',
      text('一二三四五六七八九十壹贰叁'),
      '一二三四五六七八九十壹贰…',
    ],
    ['exactly 12 are kept whole', text('abcdefghijkl'), 'abcdefghijkl'],
    ['an emoji counts as one character', text('😀'.repeat(13)), `${'😀'.repeat(12)}…`],
    ['an empty name counts as not renamed', text('价格', ''), '价格'],
    ['a renamed text keeps its name', text('价格', '售价'), '售价'],
    ['an empty text shows the type', text('  '), '文本'],
    ['a locked one keeps the lock mark', text('价格', '文本', true), '🔒 价格'],
    ['other types keep their name', createObject('rect', { x: 0, y: 0, w: 1, h: 1 }), '矩形'],
  ])('%s', (_, obj, shown) => {
    expect(layerName(obj)).toBe(shown);
  });

  it.each<[string, [number, number, number, number][], number[], string[], boolean, boolean]>([
    ['nothing selected', [[1, 1, 5, 5]], [], [], false, false],
    ['one object', [[1, 1, 5, 5]], [], ['a'], true, true],
    [
      'two objects: alignment only',
      [
        [1, 1, 5, 5],
        [9, 9, 5, 5],
      ],
      [],
      ['a', 'b'],
      true,
      false,
    ],
    ['one locked object: its layer only', [[1, 1, 5, 5]], [0], ['a'], false, true],
  ])('%s', (_, boxes, locked, selection, align, layer) => {
    const { store } = setup(boxes, locked);
    store.select(selection);
    expect(toolbarEnabled(store)).toEqual({ align, layer });
  });
});
