import { defineConfig } from 'vite';

// The designer builds into dist/ as a few files (index.html, one script, one style sheet,
// sample.jpg, the barcode reader's wasm, the batch's row worker, the data import's worker and
// SheetJS, loaded apart only when a workbook is read) that the service compiles in.
export default defineConfig({
  root: 'web',
  base: './',
  publicDir: 'public',
  build: {
    outDir: '../dist',
    emptyOutDir: true,
    assetsInlineLimit: 0,
    modulePreload: false,
  },
  // Module workers: the batch's row worker, and the data import's worker, which loads SheetJS as
  // a chunk of its own only when a workbook is read.
  worker: { format: 'es' },
});
