// The property card: one object's rows, a multiple selection's alignment, or the label
// configuration. It is rebuilt from scratch only on a structural change (new `revision` or a
// different selection), never on `touch()`, so fields keep their focus while the user types.

import { TYPE_LABELS, type ImageObject, type LabelObject } from '../document/model';
import { textCutHint } from '../document/sanitize';
import type { AlignKind, DocumentStore } from '../store/document-store';
import { formatByteSize, importImageFile } from '../image/import';
import type { Elements } from '../page/elements';
import type { StatusLine } from '../page/status';
import { printedBarcodeWidth, textBandHeight, widthScaleForWidth } from '../render/barcode-size';
import { preloadImages } from '../render/sources';
import { buildRows, type BuiltRows } from './controls';
import { labelConfigRows } from './label-config-rows';
import { objectRows } from './object-rows';
import type { RowContext } from './row-types';

export const MULTI_HINT = '多选状态下可整体拖动，或用下面的按钮对齐页面。';

const ALIGN_BUTTONS: readonly [AlignKind, string][] = [
  ['left', '左对齐'],
  ['hcenter', '水平居中'],
  ['right', '右对齐'],
  ['top', '顶对齐'],
  ['vcenter', '垂直居中'],
  ['bottom', '底对齐'],
];

export interface InspectorDeps {
  /** Browser alert; replaceable so tests see the texts. */
  alert?: (text: string) => void;
  /** Where a cut text is reported; absent: not reported. */
  showHint?: StatusLine['showHint'];
  /** The hint line, for notices such as a clamped size. */
  notify?: (text: string) => void;
}

export interface InspectorApi {
  /** The store listener's structural hook. */
  rebuild(store: DocumentStore): void;
  /** Focuses the data field of the selected barcode or 2D code. */
  focusData(): void;
}

/** The caption of the field holding a code's data. */
const DATA_CAPTIONS: Partial<Record<string, string>> = { barcode: '数据', qrcode: '内容' };

export function panelTitle(store: Pick<DocumentStore, 'selection' | 'single'>): string {
  const single = store.single;
  if (single) return single.name === '' ? TYPE_LABELS[single.type] : single.name;
  if (store.selection.length > 1) return `${store.selection.length} 个对象`;
  return '标签配置';
}

function button(text: string, className: string): HTMLButtonElement {
  const b = document.createElement('button');
  b.type = 'button';
  b.className = className;
  b.textContent = text;
  return b;
}

export function installInspector(
  el: Pick<Elements, 'props'>,
  store: DocumentStore,
  deps: InspectorDeps = {},
): InspectorApi {
  const props = el.props;
  const alert = deps.alert ?? ((text: string) => window.alert(text));
  let built: BuiltRows | undefined;
  const textCut = (limit: number) => deps.showHint?.(textCutHint(limit), 'error');
  let lastSelection = '';

  function context(obj?: LabelObject): RowContext {
    const ctx: RowContext = {
      pageW: store.doc.page.widthMm,
      pageH: store.doc.page.heightMm,
      fields: store.dataset?.fields ?? [],
      hasDataset: store.dataset !== null,
    };
    if (obj?.type === 'barcode') {
      const dpi = store.doc.page.dpi;
      const data = store.dataContext();
      ctx.barcodeWidthScale = (o, mm) => widthScaleForWidth(o, mm, dpi, data);
      ctx.barcodePrintedWidth = (o) => {
        const mm = printedBarcodeWidth(o, dpi, data);
        return mm === undefined ? undefined : Math.round(mm * 100) / 100;
      };
      ctx.barcodeTextBand = textBandHeight(obj);
    }
    return ctx;
  }

  function head(titleNode: HTMLElement): HTMLElement {
    const node = document.createElement('div');
    node.className = 'panel-head';
    titleNode.className = 'panel-title';
    titleNode.textContent = panelTitle(store);
    node.append(titleNode);
    if (store.selection.length === 0) return node;
    const back = button('标签配置', 'mini-btn');
    back.title = '取消选中，返回标签尺寸和打印参数';
    back.setAttribute('aria-label', '返回标签配置');
    back.addEventListener('click', () => {
      store.select([]);
      props.scrollTop = 0;
    });
    const remove = button(store.selection.length > 1 ? '删除所选' : '删除', 'mini-btn danger');
    remove.addEventListener('click', () => store.removeSelected());
    node.append(back, remove);
    return node;
  }

  function replaceImage(id: string): void {
    const chooser = document.createElement('input');
    chooser.type = 'file';
    chooser.accept = 'image/*';
    chooser.hidden = true;
    document.body.append(chooser);
    chooser.addEventListener('cancel', () => chooser.remove());
    chooser.addEventListener('change', () => {
      const file = chooser.files?.[0];
      chooser.remove();
      if (!file) return;
      void importImageFile(file).then(
        (picture) => {
          // The object may have gone while the file was read (undo, delete): nothing to replace.
          const obj = store.doc.objects.find(
            (o): o is ImageObject => o.id === id && o.type === 'image',
          );
          if (!obj) return;
          store.update(() => (obj.src = picture.dataUrl));
          void preloadImages(store.doc).then(() => store.preview());
          if (picture.compressed) {
            alert(
              `图片已自动压缩：${formatByteSize(picture.originalBytes)} → ${formatByteSize(picture.embeddedChars)}`,
            );
          }
        },
        (error: unknown) => alert(error instanceof Error ? error.message : String(error)),
      );
    });
    chooser.click();
  }

  function rebuild(): void {
    // Fields still being typed in are committed before their inputs go away.
    built?.flush();
    built = undefined;
    const selectionKey = store.selection.join('\u0000');
    const keepScroll = selectionKey === lastSelection ? props.scrollTop : 0;
    lastSelection = selectionKey;

    const title = document.createElement('h2');
    const nodes: HTMLElement[] = [head(title)];
    const single = store.single;
    if (single) {
      built = buildRows(objectRows(single), single, context(single), {
        store,
        action: () => replaceImage(single.id),
        afterInput: () => (title.textContent = panelTitle(store)),
        textCut,
      });
      nodes.push(...built.nodes);
    } else if (store.selection.length > 1) {
      const hint = document.createElement('p');
      hint.className = 'field-hint';
      hint.textContent = MULTI_HINT;
      const grid = document.createElement('div');
      grid.className = 'prop-grid prop-align';
      for (const [kind, label] of ALIGN_BUTTONS) {
        const b = button(label, 'mini-btn');
        b.addEventListener('click', () => store.align(kind));
        grid.append(b);
      }
      nodes.push(hint, grid);
    } else {
      built = buildRows(
        labelConfigRows(() => store.clampObjectsToPage()),
        store.doc,
        context(),
        { store, textCut, notify: deps.notify },
      );
      nodes.push(...built.nodes);
    }
    props.replaceChildren(...nodes);
    props.scrollTop = keepScroll;
  }

  function focusData(): void {
    const caption = DATA_CAPTIONS[store.single?.type ?? ''];
    if (!caption) return;
    for (const row of props.querySelectorAll('.prop-row')) {
      if (row.querySelector('.prop-label')?.textContent !== caption) continue;
      const field = row.querySelector<HTMLInputElement | HTMLTextAreaElement>('input, textarea');
      field?.focus();
      field?.select();
      return;
    }
  }

  return { rebuild, focusData };
}
