// Every built-in template, filled with the sample data it brings, passes the document check (no
// text cut, every symbol encodable) and keeps every object inside its border's inner edge: a
// template whose price is clipped or whose QR code runs into the frame prints a useless label.
import { describe, expect, test } from 'vitest';
import type { RectObject } from '../src/document/model';
import { builtInTemplates } from '../src/document/templates';
import { checkDocument } from '../src/print/check';
import { autoSizeBarcodes } from '../src/render/barcode-size';
import { builtInEntry } from '../src/shell/template-library';

describe('built-in templates with their sample data', () => {
  test.each(builtInTemplates.map((t) => [t.id, t] as const))('%s', (_, t) => {
    const entry = builtInEntry(t);
    const doc = entry.doc;
    const data = entry.sample!;
    expect(data.name).toBe('示例数据');
    expect(checkDocument(doc, data, { row: data.rows[0], index: 0, total: 1 })).toEqual([]);

    autoSizeBarcodes(doc, { row: data.rows[0], index: 0, total: 1 }, 0);
    const border = doc.objects.find((o): o is RectObject => o.name === '边框')!;
    const inner = border.lineWidth / 2;
    const outside = doc.objects
      .filter((o) => o !== border)
      .filter(
        (o) =>
          o.x < border.x + inner ||
          o.y < border.y + inner ||
          o.x + o.w > border.x + border.w - inner ||
          o.y + o.h > border.y + border.h - inner,
      )
      .map((o) => `${o.name} ${o.x},${o.y} ${o.w}×${o.h}`);
    expect(outside).toEqual([]);
  });
});
