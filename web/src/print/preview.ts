// The 1bpp print preview: exactly the dots that go to the printer, with the offset frame.

import { copyGroups, placeRow } from '../compose/copies';
import { unpackRaster } from '../compose/pack';
import { composePreviewRaster } from '../compose/row';
import type { DocumentStore } from '../store/document-store';
import type { Elements } from '../page/elements';
import { openSheet } from '../page/sheets';
import type { StatusLine } from '../page/status';
import { preloadImages } from '../render/sources';
import { EMPTY_CANVAS, failureText } from './dispatch';
import { clampColumnCount, previewInfo, previewNote } from './rules';

export type PreviewElements = Pick<
  Elements,
  'preview-sheet' | 'preview-canvas' | 'preview-info' | 'preview-note'
>;

const FRAME_COLOR = '#e84d9b';

export async function showPrintPreview(
  el: PreviewElements,
  store: DocumentStore,
  status: StatusLine,
): Promise<void> {
  if (store.doc.objects.length === 0) {
    status.showHint(EMPTY_CANVAS, 'error');
    return;
  }
  try {
    const doc = store.doc;
    await preloadImages(doc);
    const columns = clampColumnCount(doc.print.columns);
    const plan = copyGroups(store);
    const row = plan ? placeRow(doc, plan.groups[0], columns) : [store.dataContext()];
    const raster = composePreviewRaster(doc, row, columns);
    const { width, height } = raster.metrics;
    const canvas = el['preview-canvas'];
    canvas.width = width;
    canvas.height = height;
    const ctx = canvas.getContext('2d');
    if (!ctx) throw new Error('无法创建绘图表面');
    ctx.putImageData(unpackRaster(raster.bytes, width, height), 0, 0);
    const frame = raster.frame;
    if (frame) {
      ctx.save();
      ctx.strokeStyle = FRAME_COLOR;
      ctx.lineWidth = 2;
      ctx.setLineDash([8, 6]);
      ctx.strokeRect(
        frame.x + 1,
        frame.y + 1,
        Math.max(1, frame.width - 2),
        Math.max(1, frame.height - 2),
      );
      ctx.restore();
    }
    el['preview-info'].textContent = previewInfo({
      width,
      height,
      bytes: raster.bytes.length,
      groups: plan?.groups.length ?? 1,
      columns,
      total: plan?.total ?? 1,
      framed: frame !== undefined,
    });
    el['preview-note'].textContent = previewNote(frame !== undefined);
    openSheet(el['preview-sheet']);
  } catch (error) {
    status.showHint(`预览失败：${failureText(error)}`, 'error');
  }
}
