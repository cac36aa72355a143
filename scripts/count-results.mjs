// Prints "passed failed skipped" for a GoogleTest or Vitest JSON report.
import { readFileSync } from 'node:fs';

const report = JSON.parse(readFileSync(process.argv[2], 'utf8'));
let passed = 0;
let failed = 0;
let skipped = 0;
if (Array.isArray(report.testsuites)) {
  for (const suite of report.testsuites) {
    for (const test of suite.testsuite ?? []) {
      if (test.result === 'SKIPPED' || test.status === 'NOTRUN') skipped++;
      else if ((test.failures ?? []).length > 0) failed++;
      else passed++;
    }
  }
} else {
  passed = report.numPassedTests ?? 0;
  failed = (report.numFailedTests ?? 0) + (report.numRuntimeErrorTestSuites ?? 0);
  // A test file that fails to load runs no test; it still counts as one failure.
  for (const file of report.testResults ?? []) {
    const failing = (file.assertionResults ?? []).some((t) => t.status === 'failed');
    if (file.status === 'failed' && !failing) failed++;
  }
  skipped = (report.numPendingTests ?? 0) + (report.numTodoTests ?? 0);
}
console.log(`${passed} ${failed} ${skipped}`);
