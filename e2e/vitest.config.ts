import { defineConfig } from 'vitest/config';

// Browser tests against the real service binary. They start processes and a browser, so they
// run one file at a time in a single fork with generous timeouts.
export default defineConfig({
  test: {
    name: 'e2e',
    root: 'e2e',
    include: ['**/*.e2e.ts'],
    environment: 'node',
    testTimeout: 60_000,
    hookTimeout: 60_000,
    pool: 'forks',
    maxWorkers: 1,
    fileParallelism: false,
  },
});
