// Every built-in template, filled with its own sample values, shows all of its text: no line
// wider than its box and no line below it. A template whose price or location is clipped away
// prints a useless label.
import { describe, expect, test } from 'vitest';
import { mmToDots } from '../src/document/model';
import { builtInTemplates } from '../src/document/templates';
import { resolvePlaceholders } from '../src/merge/placeholders';
import { fontPx, textFont } from '../src/render/text';
import { layoutText, visibleLineCount } from '../src/render/text-layout';

describe('built-in templates with their sample values', () => {
  test.each(builtInTemplates.map((t) => [t.id, t] as const))('%s shows all of its text', (_, t) => {
    const doc = t.create();
    const ctx = new OffscreenCanvas(8, 8).getContext('2d')!;
    const clipped: string[] = [];
    for (const obj of doc.objects) {
      if (obj.type !== 'text') continue;
      const dpi = doc.page.dpi;
      ctx.font = textFont(obj, dpi);
      const box = mmToDots(obj.w, dpi);
      const text = resolvePlaceholders(obj.text, { row: t.sample, index: 0, total: 1 });
      const lines = layoutText(text, box, (s) => ctx.measureText(s).width);
      const pitch = fontPx(obj.fontSize, dpi) * obj.lineHeight;
      const top = mmToDots(obj.y, dpi);
      const shown = visibleLineCount(lines.length, top, top + mmToDots(obj.h, dpi), pitch);
      for (const [i, line] of lines.entries()) {
        if (i >= shown) clipped.push(`${obj.name}: "${line}" below the box`);
        else if (ctx.measureText(line).width > box + 1)
          clipped.push(`${obj.name}: "${line}" too wide`);
      }
    }
    expect(clipped).toEqual([]);
  });
});
