// The data card on the designer's own page markup: a 100,000-row import through data-input, one
// search keystroke in the data table, one record step redrawing a label bound to three fields.
// Prints times and the import's ratio to a bare TextDecoder + split of the same file.
import { test } from 'vitest';
import pageHtml from '../web/index.html?raw';
import { installDataPanel } from '../web/src/data/data-panel';
import { createObject } from '../web/src/document/factory';
import { installEditor } from '../web/src/editor/install';
import { DocumentStore } from '../web/src/store/document-store';
import { installInspector } from '../web/src/inspector/panel';
import { resolvePage } from '../web/src/page/elements';
import { createStatusLine } from '../web/src/page/status';
import { installStoreListener } from '../web/src/shell/store-listener';

const ROWS = 100_000;
const FIELDS = 10;

function median(xs: number[]): number {
  const s = [...xs].sort((a, b) => a - b);
  return s[Math.floor(s.length / 2)];
}

function csvFile(): File {
  const head = Array.from({ length: FIELDS }, (_, f) => `字段${f + 1}`).join(',');
  const lines = [head];
  for (let r = 0; r < ROWS; r++) {
    const cells: string[] = [];
    for (let f = 0; f < FIELDS; f++) cells.push(`v${(r * 7919 + f * 31) % 1000003}`);
    lines.push(cells.join(','));
  }
  return new File([`${lines.join('\n')}\n`], 'bench.csv', { type: 'text/csv' });
}

function mountPage() {
  const body = /<body[^>]*>([\s\S]*)<\/body>/.exec(pageHtml)?.[1] ?? '';
  document.body.innerHTML = body.replace(/<script[\s\S]*?<\/script>/g, '');
  const el = resolvePage(document);
  const store = new DocumentStore();
  const status = createStatusLine(el);
  const data = installDataPanel(el, store, { status });
  const inspector = installInspector(el, store);
  const editor = installEditor(el, store, { status, save: () => {}, openPreview: () => {} });
  installStoreListener(store, {
    everyEmit: [...editor.everyEmit, data.follow],
    onStructureChange: [...editor.onStructureChange, inspector.rebuild],
  });
  store.emit();
  return { el, store, data };
}

test('data card: 100,000-row import, a search keystroke, a record step', async () => {
  const { el, store, data } = mountPage();
  const file = csvFile();
  const bytes = new Uint8Array(await file.arrayBuffer());

  // Baseline: the least any import must do, decode and cut into cells.
  const bare: number[] = [];
  for (let i = 0; i < 5; i++) {
    const t0 = performance.now();
    const lines = new TextDecoder().decode(bytes).split('\n');
    let cells = 0;
    for (const line of lines) cells += line.split(',').length;
    bare.push(performance.now() - t0);
    if (cells < ROWS * FIELDS) throw new Error('baseline cut too few cells');
  }

  const imports: number[] = [];
  for (let i = 0; i < 5; i++) {
    store.setDataset(null);
    const transfer = new DataTransfer();
    transfer.items.add(file);
    const t0 = performance.now();
    el['data-input'].files = transfer.files;
    el['data-input'].dispatchEvent(new Event('change'));
    await data.settled();
    if (!el['data-info'].textContent?.startsWith('bench.csv · 100000 条记录')) {
      throw new Error(`panel shows ${el['data-info'].textContent}`);
    }
    imports.push(performance.now() - t0);
  }

  // A label bound to three fields, which the editor's canvas redraws on every record step.
  store.update((doc) => {
    const t = createObject('text', { x: 2, y: 2, w: 40, h: 10 });
    t.text = '{{字段1}} {{字段2}}';
    const b = createObject('barcode', { x: 2, y: 20, w: 40, h: 15 });
    b.data = '{{字段3}}';
    doc.objects.push(t, b);
  });
  const opened = performance.now();
  el['btn-data-table'].click();
  const openMs = performance.now() - opened;
  const search = el['data-search'];
  const keystrokes: number[] = [];
  const queries = ['v1', 'v12', 'v123', '55', 'v9999', 'zz', '7'];
  for (const q of queries) {
    const t0 = performance.now();
    search.value = q;
    search.dispatchEvent(new Event('input'));
    keystrokes.push(performance.now() - t0);
  }

  const steps: number[] = [];
  for (let i = 0; i < 30; i++) {
    const t0 = performance.now();
    el['btn-next-record'].click();
    steps.push(performance.now() - t0);
  }
  if (store.recordIndex !== 30) throw new Error(`record ${store.recordIndex}`);

  const imp = median(imports);
  const base = median(bare);
  console.log(
    `[bench] import ${ROWS} rows × ${FIELDS} fields (${(bytes.length / 1e6).toFixed(1)} MB): ` +
      `${imp.toFixed(0)} ms (goal < 1500), TextDecoder + split ${base.toFixed(0)} ms, ratio ${(imp / base).toFixed(1)}`,
  );
  console.log(
    `[bench] search keystroke over ${ROWS} rows: median ${median(keystrokes).toFixed(1)} ms, ` +
      `max ${Math.max(...keystrokes).toFixed(1)} ms (goal < 50); opening the table ${openMs.toFixed(0)} ms`,
  );
  console.log(
    `[bench] record step, 3 bound fields, table open: median ${median(steps).toFixed(2)} ms, ` +
      `max ${Math.max(...steps).toFixed(2)} ms (goal < 16)`,
  );
});
