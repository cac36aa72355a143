// The template sheet on the page: the list with its thumbnails and buttons.

import type { RecordBackend } from '../document/database';
import type { LabelDocument } from '../document/model';
import type { DocumentStore } from '../store/document-store';
import type { Elements } from '../page/elements';
import { closeSheet, openSheet } from '../page/sheets';
import type { StatusLine } from '../page/status';
import { drawLabel, labelSizeDots } from '../render/label';
import { preloadImages } from '../render/sources';
import { TemplateLibrary, thumbnailSize, type TemplateEntry } from './template-library';

export type TemplateSheetElements = Pick<
  Elements,
  'btn-templates' | 'template-sheet' | 'template-list' | 'template-save' | 'template-close'
>;

export interface TemplateSheetDeps {
  status: StatusLine;
  /** The document session's discard question and load. */
  confirmDiscard(): boolean;
  loadDocument(doc: LabelDocument, dirty: boolean): void;
  records: Promise<RecordBackend>;
}

function drawThumbnail(entry: TemplateEntry): HTMLCanvasElement {
  const canvas = document.createElement('canvas');
  canvas.className = 'template-thumb';
  const dots = labelSizeDots(entry.doc);
  const size = thumbnailSize(dots.width, dots.height);
  canvas.width = size.width;
  canvas.height = size.height;
  const draw = () => {
    const ctx = canvas.getContext('2d');
    if (!ctx) return;
    ctx.setTransform(size.scale, 0, 0, size.scale, 0, 0);
    drawLabel(ctx, entry.doc, entry.context);
  };
  draw();
  // Pictures of user templates may not be decoded yet; draw again once they are.
  if (entry.doc.objects.some((o) => o.type === 'image')) void preloadImages(entry.doc).then(draw);
  return canvas;
}

function button(text: string, className: string, onClick: () => void): HTMLButtonElement {
  const b = document.createElement('button');
  b.type = 'button';
  b.className = className;
  b.textContent = text;
  b.addEventListener('click', onClick);
  return b;
}

export function installTemplateSheet(
  el: TemplateSheetElements,
  store: DocumentStore,
  deps: TemplateSheetDeps,
): { open(): void } {
  const sheet = el['template-sheet'];
  const library: TemplateLibrary = new TemplateLibrary(
    {
      confirm: (message) => window.confirm(message),
      prompt: (message, proposal) => window.prompt(message, proposal),
      confirmDiscard: deps.confirmDiscard,
      loadDocument: deps.loadDocument,
      setDataset: (dataset) => store.setDataset(dataset),
      setStatus: deps.status.setStatus,
      showHint: deps.status.showHint,
      setLastingHint: (key, hint) => deps.status.setLastingHint?.(key, hint),
      closeSheet: () => closeSheet(sheet),
      rebuild: () => void render(),
    },
    deps.records,
  );

  const item = (entry: TemplateEntry): HTMLElement => {
    const box = document.createElement('div');
    box.className = 'template-item';
    const info = document.createElement('div');
    info.className = 'template-info';
    const name = document.createElement('strong');
    name.textContent = entry.name;
    const note = document.createElement('small');
    note.textContent = entry.info;
    info.append(name, note);
    const actions = document.createElement('div');
    actions.className = 'template-actions';
    actions.append(button('使用模板', '', () => library.use(entry)));
    if (entry.user) actions.append(button('删除', 'danger', () => void library.remove(entry)));
    box.append(drawThumbnail(entry), info, actions);
    return box;
  };

  // Renders run in order, so a slow read never replaces a newer list.
  let rendered = Promise.resolve();
  function render(): Promise<void> {
    rendered = rendered.then(() => library.sections()).then(fill);
    return rendered;
  }
  function fill(sections: Awaited<ReturnType<TemplateLibrary['sections']>>): void {
    const list = el['template-list'];
    list.replaceChildren();
    for (const section of sections) {
      const title = document.createElement('h3');
      title.className = 'template-section-title';
      title.textContent = section.title;
      const grid = document.createElement('div');
      grid.className = 'template-grid';
      grid.append(...section.entries.map(item));
      list.append(title, grid);
    }
  }

  const open = () => {
    void render();
    openSheet(sheet);
  };
  el['btn-templates'].addEventListener('click', open);
  el['template-close'].addEventListener('click', () => closeSheet(sheet));
  el['template-save'].addEventListener('click', () => void library.saveCurrent(store.doc));
  return { open };
}
