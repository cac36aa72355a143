// Neighbourhood filters over the grey working buffer. Neighbours outside the bitmap are the
// nearest edge pixel (indices clamped), so edges are not darkened or lightened.

/** 3 × 3 median: each value becomes the 5th of its 9 neighbours, read from the unfiltered copy. */
export function median3x3(buf: Float32Array, width: number, height: number): void {
  if (width <= 0 || height <= 0) return;
  const src = buf.slice();
  for (let y = 0; y < height; y++) {
    const up = (y > 0 ? y - 1 : 0) * width;
    const mid = y * width;
    const down = (y < height - 1 ? y + 1 : y) * width;
    for (let x = 0; x < width; x++) {
      const l = x > 0 ? x - 1 : 0;
      const r = x < width - 1 ? x + 1 : x;
      let p0 = src[up + l],
        p1 = src[up + x],
        p2 = src[up + r];
      let p3 = src[mid + l],
        p4 = src[mid + x],
        p5 = src[mid + r];
      let p6 = src[down + l],
        p7 = src[down + x],
        p8 = src[down + r];
      let t: number;
      // Paeth's 19-exchange median-of-9 network.
      if (p1 > p2) {
        t = p1;
        p1 = p2;
        p2 = t;
      }
      if (p4 > p5) {
        t = p4;
        p4 = p5;
        p5 = t;
      }
      if (p7 > p8) {
        t = p7;
        p7 = p8;
        p8 = t;
      }
      if (p0 > p1) {
        t = p0;
        p0 = p1;
        p1 = t;
      }
      if (p3 > p4) {
        t = p3;
        p3 = p4;
        p4 = t;
      }
      if (p6 > p7) {
        t = p6;
        p6 = p7;
        p7 = t;
      }
      if (p1 > p2) {
        t = p1;
        p1 = p2;
        p2 = t;
      }
      if (p4 > p5) {
        t = p4;
        p4 = p5;
        p5 = t;
      }
      if (p7 > p8) {
        t = p7;
        p7 = p8;
        p8 = t;
      }
      if (p0 > p3) p3 = p0;
      if (p5 > p8) p5 = p8;
      if (p4 > p7) {
        t = p4;
        p4 = p7;
        p7 = t;
      }
      if (p3 > p6) p6 = p3;
      if (p1 > p4) p4 = p1;
      if (p2 > p5) p2 = p5;
      if (p4 > p7) p4 = p7;
      if (p4 > p2) {
        t = p4;
        p4 = p2;
        p2 = t;
      }
      if (p6 > p4) p4 = p6;
      if (p4 > p2) p4 = p2;
      buf[mid + x] = p4;
    }
  }
}

/**
 * Unsharp-style local contrast: v + (v − mean of its 5 × 5 neighbourhood) × amount / 100 × 1.15,
 * clamped to 0 … 255. The means come from sliding sums (one pass per direction).
 */
export function localContrast5x5(
  buf: Float32Array,
  width: number,
  height: number,
  amount: number,
): void {
  if (width <= 0 || height <= 0 || !(amount > 0)) return;
  const k = (amount / 100) * 1.15;
  const rowSums = new Float64Array(width * height);
  const xAt = (x: number): number => (x < 0 ? 0 : x >= width ? width - 1 : x);
  for (let y = 0; y < height; y++) {
    const base = y * width;
    let sum = 0;
    for (let d = -2; d <= 2; d++) sum += buf[base + xAt(d)];
    for (let x = 0; x < width; x++) {
      rowSums[base + x] = sum;
      sum += buf[base + xAt(x + 3)] - buf[base + xAt(x - 2)];
    }
  }
  const yAt = (y: number): number => (y < 0 ? 0 : y >= height ? height - 1 : y) * width;
  const colSums = new Float64Array(width);
  for (let d = -2; d <= 2; d++) {
    const row = yAt(d);
    for (let x = 0; x < width; x++) colSums[x] += rowSums[row + x];
  }
  for (let y = 0; y < height; y++) {
    const base = y * width;
    const enter = yAt(y + 3);
    const leave = yAt(y - 2);
    for (let x = 0; x < width; x++) {
      const v = buf[base + x];
      const out = v + (v - colSums[x] / 25) * k;
      buf[base + x] = out < 0 ? 0 : out > 255 ? 255 : out;
      colSums[x] += rowSums[enter + x] - rowSums[leave + x];
    }
  }
}
