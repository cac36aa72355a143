// Pixel buffers lent out by size and given back. A batch row's hot path draws its symbols, reads
// the row back and cuts the symbols out again in the same few sizes thousands of times, and
// touching fresh memory costs more than the work done in it where pages are mapped lazily
// (virtual machines, a few ns a byte). A lent buffer belongs to its borrower alone: a second use
// while one is out simply gets a buffer of its own.

const spare = new Map<number, ArrayBuffer[]>();
const MAX_SIZES = 32;
const MAX_PER_SIZE = 4;

/** A buffer of exactly `bytes` bytes, kept from an earlier use where there is one; its contents are stale. */
export function borrowBuffer(bytes: number): ArrayBuffer {
  return spare.get(bytes)?.pop() ?? new ArrayBuffer(bytes);
}

/** Takes a borrowed buffer back; the borrower keeps no view of it. */
export function giveBackBuffer(buffer: ArrayBufferLike): void {
  if (!(buffer instanceof ArrayBuffer)) return;
  let list = spare.get(buffer.byteLength);
  if (!list) {
    if (spare.size >= MAX_SIZES) spare.clear();
    list = [];
    spare.set(buffer.byteLength, list);
  }
  if (list.length < MAX_PER_SIZE) list.push(buffer);
}
