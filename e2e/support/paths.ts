/// <reference types="node" />
import { mkdirSync } from 'node:fs';
import { isAbsolute, join, resolve } from 'node:path';
import { fileURLToPath } from 'node:url';

export const repoRoot = fileURLToPath(new URL('../..', import.meta.url));

// The Linux service binary; CI points SORVENDALE_BINARY at its own build.
export function serviceBinary(): string {
  const configured = process.env.SORVENDALE_BINARY;
  if (configured) return isAbsolute(configured) ? configured : resolve(repoRoot, configured);
  return join(repoRoot, 'build', 'sorvendale');
}

// Folder for screenshots and other artefacts, created on first use.
export function testOutputDir(): string {
  const dir = resolve(repoRoot, process.env.SORVENDALE_TEST_OUTPUT ?? 'test-output');
  mkdirSync(dir, { recursive: true });
  return dir;
}
