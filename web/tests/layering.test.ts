// The designer's modules form no cycle: an area that imports another never gets imported back,
// so each area can be read, tested and loaded on its own. (eslint holds the direction between
// areas; this holds it between files.) Type-only imports vanish at build time and do not count.
import { readdirSync, readFileSync, statSync } from 'node:fs';
import { dirname, join, normalize, relative } from 'node:path';
import { expect, test } from 'vitest';

const SRC = join(__dirname, '../src');

function sources(dir: string): string[] {
  return readdirSync(dir).flatMap((name) => {
    const path = join(dir, name);
    if (statSync(path).isDirectory()) return sources(path);
    return path.endsWith('.ts') ? [path] : [];
  });
}

function valueImports(file: string): string[] {
  const text = readFileSync(file, 'utf8');
  const found: string[] = [];
  for (const m of text.matchAll(/^(import|export)\s(?!type\s)[^;]*?from\s+'(\.[^']+)'/gms)) {
    const target = normalize(join(dirname(file), m[2]));
    found.push(target.endsWith('.ts') ? target : `${target}.ts`);
  }
  return found;
}

test('no module of the designer imports itself back through others', () => {
  const files = sources(SRC);
  const graph = new Map(files.map((f) => [f, valueImports(f).filter((t) => files.includes(t))]));
  const cycles: string[] = [];
  const state = new Map<string, 'open' | 'done'>();
  const path: string[] = [];
  const visit = (file: string) => {
    state.set(file, 'open');
    path.push(file);
    for (const next of graph.get(file) ?? []) {
      if (state.get(next) === 'open')
        cycles.push(
          [...path.slice(path.indexOf(next)), next].map((f) => relative(SRC, f)).join(' → '),
        );
      else if (!state.has(next)) visit(next);
    }
    path.pop();
    state.set(file, 'done');
  };
  for (const file of files) if (!state.has(file)) visit(file);
  expect(graph.size).toBeGreaterThan(100);
  expect(cycles).toEqual([]);
});
