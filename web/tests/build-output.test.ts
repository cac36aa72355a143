/// <reference types="node" />
// The service compiles in whatever the build yields; it must be exactly the page, one script,
// one style sheet, the sample picture, the barcode reader's module, the batch's row worker and the
// data import's worker with SheetJS apart, linked relatively.
import { mkdtemp, readFile, readdir, rm } from 'node:fs/promises';
import { tmpdir } from 'node:os';
import { join, relative, sep } from 'node:path';
import { fileURLToPath } from 'node:url';
import { afterAll, beforeAll, describe, expect, test } from 'vitest';
import { build } from 'vite';

const repo = fileURLToPath(new URL('../..', import.meta.url));
let outDir = '';
let files: string[] = [];

async function listFiles(dir: string): Promise<string[]> {
  const entries = await readdir(dir, { withFileTypes: true, recursive: true });
  return entries
    .filter((e) => e.isFile())
    .map((e) => relative(dir, join(e.parentPath, e.name)).split(sep).join('/'))
    .sort();
}

// Width and height from the first start-of-frame marker of a baseline or progressive JPEG.
function jpegSize(bytes: Uint8Array): { width: number; height: number } | null {
  let i = 2;
  while (i + 9 < bytes.length) {
    if (bytes[i] !== 0xff) return null;
    const marker = bytes[i + 1];
    const length = (bytes[i + 2] << 8) | bytes[i + 3];
    if (marker === 0xc0 || marker === 0xc2) {
      return {
        height: (bytes[i + 5] << 8) | bytes[i + 6],
        width: (bytes[i + 7] << 8) | bytes[i + 8],
      };
    }
    i += 2 + length;
  }
  return null;
}

beforeAll(async () => {
  outDir = await mkdtemp(join(tmpdir(), 'sv-build-'));
  await build({
    configFile: join(repo, 'vite.config.ts'),
    root: join(repo, 'web'),
    logLevel: 'error',
    build: { outDir, emptyOutDir: true },
  });
  files = await listFiles(outDir);
}, 120_000);

afterAll(async () => {
  if (outDir) await rm(outDir, { recursive: true, force: true });
});

describe('designer build output', () => {
  test('is exactly the page, one hashed script, one hashed style sheet, the sample, the barcode reader the row worker and the import worker', () => {
    expect(files).toHaveLength(9);
    expect(files).toContain('index.html');
    expect(files).toContain('sample.jpg');
    expect(files.filter((f) => /^assets\/index-[\w-]+\.js$/.test(f))).toHaveLength(1);
    expect(files.filter((f) => /^assets\/index-[\w-]+\.css$/.test(f))).toHaveLength(1);
    // Loaded on the first symbol check, from the program's own files.
    expect(files.filter((f) => /^assets\/zxing_reader-[\w-]+\.wasm$/.test(f))).toHaveLength(1);
    expect(files.filter((f) => /^assets\/row-worker-[\w-]+\.js$/.test(f))).toHaveLength(1);
    expect(files.filter((f) => /^assets\/import-worker-[\w-]+\.js$/.test(f))).toHaveLength(1);
    // SheetJS twice: for the worker and for a page without workers.
    expect(files.filter((f) => /^assets\/xlsx-[\w-]+\.js$/.test(f))).toHaveLength(2);
  });

  test('SheetJS is in neither the page script nor the worker, only in its own chunks', async () => {
    const text = (f: string) => readFile(join(outDir, f), 'utf8');
    // The library names itself in the workbooks it writes.
    const holdsSheetJs = async (f: string) => (await text(f)).includes('SheetJS');
    const scripts = files.filter((f) => f.endsWith('.js'));
    const holders: string[] = [];
    for (const f of scripts) if (await holdsSheetJs(f)) holders.push(f);
    expect(holders.sort()).toEqual(scripts.filter((f) => f.startsWith('assets/xlsx-')).sort());
  });

  test('the page loads both assets by relative paths and keeps the empty icon', async () => {
    const html = await readFile(join(outDir, 'index.html'), 'utf8');
    const script = files.find((f) => /^assets\/index-[\w-]+\.js$/.test(f));
    expect(files.some((f) => f.endsWith('.wasm') && html.includes(f))).toBe(false);
    const style = files.find((f) => f.endsWith('.css'));
    expect(html).toMatch(new RegExp(`<script type="module"[^>]* src="\\./${script}"`));
    expect(html).toMatch(new RegExp(`<link rel="stylesheet"[^>]* href="\\./${style}"`));
    expect(html).toContain('<link rel="icon" href="data:," />');
    expect(html).toContain('<html lang="zh-CN">');
    expect(html).not.toMatch(/src="\/|href="\/(?!\/)/);
    // The worker comes from beside the page's script, never from another origin.
    const worker = files.find((f) => f.includes('row-worker'))!.slice('assets/'.length);
    const page = await readFile(join(outDir, script!), 'utf8');
    expect(page).toMatch(
      new RegExp(`new URL\\(.${worker.replace('.', '\\.')}.,import\\.meta\\.url\\)`),
    );
  });

  test('the sample is the committed JPEG, large enough to show dithering', async () => {
    const built = await readFile(join(outDir, 'sample.jpg'));
    const committed = await readFile(join(repo, 'web/public/sample.jpg'));
    expect(built.equals(committed)).toBe(true);
    expect([...built.subarray(0, 3)]).toEqual([0xff, 0xd8, 0xff]);
    const size = jpegSize(built);
    expect(size).not.toBeNull();
    expect(size!.width).toBeGreaterThanOrEqual(1000);
    expect(size!.height).toBeGreaterThanOrEqual(600);
  });
});
