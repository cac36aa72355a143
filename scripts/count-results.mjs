// Prints "passed failed skipped" for a GoogleTest or Vitest JSON report, and on stderr each
// failed test's name with the start of its messages, so a log cut short still says what broke.
import { readFileSync } from 'node:fs';

const report = JSON.parse(readFileSync(process.argv[2], 'utf8'));
let passed = 0;
let failed = 0;
let skipped = 0;
const failures = [];
if (Array.isArray(report.testsuites)) {
  for (const suite of report.testsuites) {
    for (const test of suite.testsuite ?? []) {
      if (test.result === 'SKIPPED' || test.status === 'NOTRUN') skipped++;
      else if ((test.failures ?? []).length > 0) {
        failed++;
        failures.push([`${suite.name}.${test.name}`, test.failures.map((f) => f.failure)]);
      } else passed++;
    }
  }
} else {
  passed = report.numPassedTests ?? 0;
  failed = (report.numFailedTests ?? 0) + (report.numRuntimeErrorTestSuites ?? 0);
  for (const file of report.testResults ?? []) {
    const failing = (file.assertionResults ?? []).filter((t) => t.status === 'failed');
    for (const t of failing) failures.push([t.fullName, t.failureMessages ?? []]);
    // A test file that fails to load runs no test; it still counts as one failure.
    if (file.status === 'failed' && failing.length === 0) {
      failed++;
      failures.push([file.name, [file.message ?? '']]);
    }
  }
  skipped = (report.numPendingTests ?? 0) + (report.numTodoTests ?? 0);
}
for (const [name, messages] of failures) {
  const lines = messages.join('\n').split('\n').slice(0, 12);
  console.error(`    FAILED ${name}\n${lines.map((l) => `      ${l}`).join('\n')}`);
}
console.log(`${passed} ${failed} ${skipped}`);
