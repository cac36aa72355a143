import { expect, test } from 'vitest';
test('canvas smoke', () => {
  const c = document.createElement('canvas');
  expect(c.getContext('2d')).not.toBeNull();
});
