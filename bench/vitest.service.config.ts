import { defineConfig } from 'vitest/config';

// Benchmarks through the real service binary and a browser page (npm run bench:service). They
// print figures and ratios against a baseline measured in the same run and assert nothing
// about time.
export default defineConfig({
  test: {
    name: 'bench-service',
    root: 'bench',
    include: ['**/*.bench.service.ts'],
    environment: 'node',
    testTimeout: 900_000,
    hookTimeout: 120_000,
    pool: 'forks',
    maxWorkers: 1,
    fileParallelism: false,
  },
});
