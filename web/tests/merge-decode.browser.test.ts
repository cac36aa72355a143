import { describe, expect, it } from 'vitest';
import { decodeTextFile } from '../src/merge/decode';

describe('decodeTextFile in the browser', () => {
  it('falls back to GBK for text that is not UTF-8', () => {
    // "名称,价格\n苹果,5" in GBK.
    const gbk = new Uint8Array([
      0xc3, 0xfb, 0xb3, 0xc6, 0x2c, 0xbc, 0xdb, 0xb8, 0xf1, 0x0a, 0xc6, 0xbb, 0xb9, 0xfb, 0x2c,
      0x35,
    ]);
    expect(decodeTextFile(gbk)).toBe('名称,价格\n苹果,5');
  });
});
