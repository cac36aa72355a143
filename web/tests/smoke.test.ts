import { expect, test } from 'vitest';
test('node smoke', () => expect(1 + 1).toBe(2));
