import { defineConfig } from 'vitest/config';
import { playwright } from '@vitest/browser-playwright';
import { chromiumArgs } from '../web/vitest.config';

// Web benchmarks run on demand (npm run bench:web) in headless Chromium. They print ratios
// against a baseline measured in the same run and assert nothing about time.
export default defineConfig({
  test: {
    name: 'bench-web',
    root: 'bench',
    include: ['**/*.bench.browser.ts'],
    testTimeout: 600_000,
    browser: {
      enabled: true,
      headless: true,
      screenshotFailures: false,
      provider: playwright({
        launchOptions: {
          executablePath: '/usr/bin/chromium',
          args: [...chromiumArgs, '--enable-precise-memory-info', '--js-flags=--expose-gc'],
        },
      }),
      instances: [{ browser: 'chromium' }],
    },
  },
});
