import { defineConfig } from 'vitest/config';
import { playwright } from '@vitest/browser-playwright';
import { decodeRasters, type PackedRaster } from './tests/support/zbar.ts';
import { readRastersNode } from './tests/support/zxing-node.ts';

export const chromiumArgs = [
  '--headless',
  '--no-sandbox',
  '--disable-gpu',
  '--disable-background-networking',
  '--disable-component-update',
  '--disable-sync',
  '--no-first-run',
];

// Model tests run under node; anything that needs a real canvas or DOM runs in Debian's
// Chromium (files named *.browser.test.ts).
export default defineConfig({
  test: {
    projects: [
      {
        test: {
          name: 'node',
          root: 'web',
          include: ['tests/**/*.test.ts'],
          exclude: ['tests/**/*.browser.test.ts'],
          environment: 'node',
        },
      },
      {
        // Pre-bundled up front: a dependency discovered mid-run makes Vite re-optimise and
        // reload the page, and the test file being imported at that moment fails to load.
        optimizeDeps: { include: ['bwip-js/browser', 'xlsx'] },
        test: {
          name: 'browser',
          root: 'web',
          include: ['tests/**/*.browser.test.ts'],
          browser: {
            enabled: true,
            headless: true,
            screenshotFailures: false,
            provider: playwright({
              launchOptions: { executablePath: '/usr/bin/chromium', args: chromiumArgs },
            }),
            instances: [{ browser: 'chromium' }],
            commands: {
              decodeRasters: (_context, rasters: PackedRaster[]) => decodeRasters(rasters),
              readRastersNode: (_context, rasters: PackedRaster[]) => readRastersNode(rasters),
            },
          },
        },
      },
    ],
  },
});
