import { defineConfig } from 'vite';

// The designer builds into dist/ as a few files (index.html, one script, one style sheet,
// sample.jpg, the barcode reader's wasm, the batch's row worker) that the service compiles in.
export default defineConfig({
  root: 'web',
  base: './',
  publicDir: 'public',
  // The row worker is a module worker in one file of its own.
  worker: {
    format: 'es',
    rolldownOptions: { output: { codeSplitting: false } },
  },
  build: {
    outDir: '../dist',
    emptyOutDir: true,
    assetsInlineLimit: 0,
    modulePreload: false,
    rolldownOptions: {
      output: { codeSplitting: false },
    },
  },
});
