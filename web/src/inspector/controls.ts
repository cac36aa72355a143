// Rows into controls. Typing (numbers, texts) takes one undo snapshot per field and then only
// touches the store, so the panel is not rebuilt under the user's fingers; choices, switches,
// segments, bindings and presets are whole edits that raise `revision`, which rebuilds it.

import { cutText } from '../document/fields';
import type { DocumentStore } from '../store/document-store';
import type {
  BindingRow,
  ChoiceRow,
  NumberRow,
  PresetRow,
  Row,
  RowContext,
  SwitchRow,
  TextRow,
} from './row-types';
import { boundField, displayNumber, numberFromInput, placeholderFor } from './rules';

export interface ControlHooks<T> {
  store: Pick<DocumentStore, 'snapshot' | 'touch' | 'update'>;
  /** Supplies an action row's button behaviour. */
  action?: (row: Extract<Row<T>, { kind: 'action' }>, target: T) => void;
  /** Called after every typed value, for live texts such as the panel title. */
  afterInput?: () => void;
  /** Told when a typed or pasted text was cut to its field's limit. */
  textCut?: (limit: number) => void;
  /** Tells the user something about a committed value, such as a clamp. */
  notify?: (text: string) => void;
}

export interface BuiltRows {
  nodes: HTMLElement[];
  /** Commits fields still being typed in; the panel calls it before it is rebuilt. */
  flush(): void;
}

function element<K extends keyof HTMLElementTagNameMap>(
  tag: K,
  className = '',
  text = '',
): HTMLElementTagNameMap[K] {
  const node = document.createElement(tag);
  if (className) node.className = className;
  if (text) node.textContent = text;
  return node;
}

function labelled(caption: string, control: HTMLElement): HTMLLabelElement {
  const row = element('label', 'prop-row');
  row.append(element('span', 'prop-label', caption), control);
  return row;
}

/** A block, not a label, where the control is several buttons: a label would click the first. */
function block(caption: string, control: HTMLElement): HTMLDivElement {
  const row = element('div', 'prop-row');
  row.append(element('span', 'prop-label', caption), control);
  return row;
}

export function buildRows<T>(
  rows: readonly Row<T>[],
  target: T,
  ctx: RowContext,
  hooks: ControlHooks<T>,
): BuiltRows {
  const { store } = hooks;
  const nodes: HTMLElement[] = [];
  const live: (() => void)[] = [];
  const pending: (() => void)[] = [];
  let grid: HTMLDivElement | undefined;

  const afterInput = () => {
    for (const refresh of live) refresh();
    hooks.afterInput?.();
  };

  function numberControl(row: NumberRow<T>): HTMLElement {
    const s = row.numberLimits(ctx, target);
    const input = element('input', 'prop-input');
    input.type = 'number';
    input.min = String(s.min);
    input.max = String(s.max);
    input.step = String(s.step);
    input.value = displayNumber(row.get(target, ctx));
    let snapped = false;
    let uncommitted = false;
    input.addEventListener('input', () => {
      const value = numberFromInput(input.value, s);
      if (value === undefined) return;
      if (!snapped) store.snapshot();
      snapped = true;
      uncommitted = true;
      row.set(target, value, ctx);
      store.touch();
      afterInput();
    });
    const commit = () => {
      if (!uncommitted) return;
      uncommitted = false;
      if (row.commit) {
        row.commit(target);
        store.touch();
      }
    };
    if (row.commit) pending.push(commit);
    input.addEventListener('change', () => {
      // A value typed beyond the range shows what was stored once the field is committed.
      const value = numberFromInput(input.value, s);
      const typed = Number(input.value);
      if (value !== undefined && row.clampNotice && (typed < s.min || typed > s.max)) {
        hooks.notify?.(row.clampNotice(value, s));
      }
      if (value !== undefined && String(value) !== input.value) input.value = displayNumber(value);
      commit();
      // A row that shows a measurement (a barcode's printed width) shows what the value became.
      const shown = row.get(target, ctx);
      if (value !== undefined && shown !== value) input.value = displayNumber(shown);
    });
    input.addEventListener('blur', commit);
    input.addEventListener('keydown', (event) => {
      if (event.key === 'Enter') commit();
    });
    // A value that follows another field (a locked aspect) shows while that one is typed.
    live.push(() => {
      if (document.activeElement === input) return;
      const shown = displayNumber(row.get(target, ctx));
      if (input.value !== shown) input.value = shown;
    });
    return labelled(row.caption, input);
  }

  function textControl(row: TextRow<T>): HTMLElement {
    const input = row.multiline
      ? element('textarea', 'prop-input prop-textarea')
      : element('input', 'prop-input');
    if (input instanceof HTMLInputElement) input.type = 'text';
    input.value = row.get(target);
    let snapped = false;
    input.addEventListener('input', () => {
      const value = cutText(input.value, row.limit);
      if (value !== input.value) {
        input.value = value;
        hooks.textCut?.(row.limit);
      }
      if (!snapped) store.snapshot();
      snapped = true;
      row.set(target, value);
      store.touch();
      afterInput();
    });
    if (row.blur) {
      const onBlur = row.blur;
      input.addEventListener('blur', () => {
        if (!onBlur(target)) return;
        input.value = row.get(target);
        store.touch();
        afterInput();
      });
    }
    return labelled(row.caption, input);
  }

  function choiceControl(row: ChoiceRow<T>): HTMLElement {
    const options = row.options(ctx, target);
    const current = row.get(target, ctx);
    if (row.kind === 'segments') {
      const group = element('div', 'segmented-control');
      group.setAttribute('role', 'group');
      group.setAttribute('aria-label', row.caption);
      for (const option of options) {
        const button = element('button', '', option.label);
        button.type = 'button';
        button.classList.toggle('is-selected', option.value === current);
        button.setAttribute('aria-pressed', String(option.value === current));
        button.addEventListener('click', () =>
          store.update(() => row.set(target, option.value, ctx)),
        );
        group.append(button);
      }
      const refresh = () => {
        const now = row.get(target, ctx);
        group.querySelectorAll('button').forEach((b, i) => {
          b.classList.toggle('is-selected', options[i].value === now);
          b.setAttribute('aria-pressed', String(options[i].value === now));
        });
      };
      live.push(refresh);
      return block(row.caption, group);
    }
    const select = element('select', 'prop-input');
    options.forEach((option, i) => {
      const node = element('option', '', option.label);
      node.value = String(i);
      node.disabled = option.disabled === true;
      node.selected = option.value === current;
      select.append(node);
    });
    select.addEventListener('change', () => {
      const option = options[Number(select.value)];
      if (option) store.update(() => row.set(target, option.value, ctx));
    });
    return labelled(row.caption, select);
  }

  function switchControl(row: SwitchRow<T>): HTMLElement {
    const button = element('button', 'ios-switch');
    button.type = 'button';
    button.setAttribute('role', 'switch');
    button.setAttribute('aria-label', row.caption);
    button.setAttribute('aria-checked', String(row.get(target)));
    button.addEventListener('click', () => {
      const next = button.getAttribute('aria-checked') !== 'true';
      button.setAttribute('aria-checked', String(next));
      store.update(() => row.set(target, next));
    });
    return labelled(row.caption, button);
  }

  function bindingControl(row: BindingRow<T>): HTMLElement {
    const wrap = element('div', 'binding-field');
    const select = element('select', 'prop-input');
    const empty = element('option', '', ctx.fields.length > 0 ? '选择字段…' : '先导入数据源');
    empty.value = '';
    select.append(empty);
    for (const field of ctx.fields) {
      const option = element('option', '', field);
      option.value = field;
      select.append(option);
    }
    select.value = boundField(row.get(target), ctx.fields);
    select.addEventListener('change', () => {
      const field = select.value;
      if (field === '') return;
      store.update(() => row.set(target, placeholderFor(field)));
    });
    wrap.append(select);
    return labelled(row.caption, wrap);
  }

  function presetControl(row: PresetRow<T>): HTMLElement {
    const group = element('div', 'prop-presets');
    for (const preset of row.presets) {
      const button = element('button', 'mini-btn', preset.label);
      button.type = 'button';
      if (preset.title) button.title = preset.title;
      button.addEventListener('click', () => store.update(() => preset.apply(target, ctx)));
      group.append(button);
    }
    return block(row.caption, group);
  }

  for (const row of rows) {
    if (row.when && !row.when(target)) continue;
    let node: HTMLElement;
    switch (row.kind) {
      case 'number':
        node = numberControl(row);
        break;
      case 'text':
        node = textControl(row);
        break;
      case 'choice':
      case 'segments':
        node = choiceControl(row);
        break;
      case 'switch':
        node = switchControl(row);
        break;
      case 'binding':
        node = bindingControl(row);
        break;
      case 'presets':
        node = presetControl(row);
        break;
      case 'action': {
        const button = element('button', 'mini-btn', row.label);
        button.type = 'button';
        const run = hooks.action;
        button.addEventListener('click', () => run?.(row, target));
        node = block(row.caption, button);
        break;
      }
      case 'hint':
        node = element('p', 'field-hint', row.text);
        break;
      case 'subtitle':
        node = element('h3', 'prop-subtitle', row.text);
        break;
      case 'separator':
        node = element('hr', 'prop-sep');
        break;
      case 'summary': {
        const summary = element('div', 'layout-summary');
        const text = row.live;
        const refresh = () => (summary.textContent = text ? text(target) : (row.text ?? ''));
        refresh();
        live.push(refresh);
        node = summary;
        break;
      }
      default: {
        const never: never = row;
        throw new Error(`unknown row ${String(never)}`);
      }
    }
    const half = 'half' in row && row.half === true;
    if (!half) {
      grid = undefined;
      nodes.push(node);
      continue;
    }
    if (!grid) {
      grid = element('div', 'prop-grid');
      nodes.push(grid);
    }
    grid.append(node);
  }
  return {
    nodes,
    flush() {
      for (const commit of pending) commit();
    },
  };
}
