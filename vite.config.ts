import { defineConfig } from 'vite';

// The designer builds into dist/ as exactly four files (index.html, one script, one style
// sheet, sample.jpg) so that the service can compile them in.
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
