import { defineConfig } from 'vite';

// The designer builds into dist/ as a few files (index.html, one script, one style sheet,
// sample.jpg, the barcode reader's wasm) that the service compiles in.
export default defineConfig({
  root: 'web',
  base: './',
  publicDir: 'public',
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
