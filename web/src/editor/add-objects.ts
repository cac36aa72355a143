// New objects from the "添加对象" buttons, and pictures from the file picker or a paste.

import { createObject } from '../document/factory';
import type { PageElements } from '../page/elements';
import type { StatusLine } from '../page/status';
import { formatByteSize, importImageFile } from '../image/import';
import { preloadImages } from '../render/sources';
import { addedPlacement, picturePlacement, type AddableType } from './placement';
import type { DocumentStore } from '../store/document-store';

const ADDABLE: readonly string[] = ['text', 'barcode', 'qrcode', 'rect', 'line'];

export function compressedHint(originalBytes: number, embeddedChars: number): string {
  return `图片已自动压缩：${formatByteSize(originalBytes)} → ${formatByteSize(embeddedChars)}，原始比例已保留`;
}

export async function addPicture(
  file: File,
  store: DocumentStore,
  status: StatusLine,
): Promise<void> {
  try {
    const picture = await importImageFile(file);
    const obj = createObject(
      'image',
      picturePlacement(picture.width, picture.height, store.doc.page),
    );
    obj.src = picture.dataUrl;
    store.add(obj);
    if (picture.compressed) {
      status.showHint(compressedHint(picture.originalBytes, picture.embeddedChars));
    }
    await preloadImages(store.doc);
    store.preview();
  } catch (error) {
    status.showHint(error instanceof Error ? error.message : String(error), 'error');
  }
}

export function installAddObjects(
  el: Pick<PageElements, 'actions' | 'image-input'>,
  store: DocumentStore,
  status: StatusLine,
): void {
  const input = el['image-input'];
  for (const button of el.actions.add) {
    const type = button.dataset.add ?? '';
    button.addEventListener('click', () => {
      if (type === 'image') input.click();
      else if (ADDABLE.includes(type)) {
        const t = type as AddableType;
        store.add(createObject(t, addedPlacement(t, store.doc.page)));
      }
    });
  }
  input.addEventListener('change', () => {
    const file = input.files?.[0];
    // Emptied so that choosing the same file again still fires.
    input.value = '';
    if (file) void addPicture(file, store, status);
  });
  window.addEventListener('paste', (event) => {
    const item = [...(event.clipboardData?.items ?? [])].find((i) => i.type.startsWith('image/'));
    const file = item?.getAsFile();
    if (!file) return;
    event.preventDefault();
    void addPicture(file, store, status);
  });
}
