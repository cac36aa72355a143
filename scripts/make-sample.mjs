#!/usr/bin/env node
// Renders web/public/sample.jpg: a made-up mountain-lake photograph with a grey-scale step
// wedge, drawn on a canvas in headless Chromium. Smooth gradients, fine texture and deep
// shadows are what make dithering modes look different, so the scene has all three.
// Deterministic: a seeded generator drives every random choice.
//
//   node scripts/make-sample.mjs [output.jpg]
import { writeFile } from 'node:fs/promises';
import { Buffer } from 'node:buffer';
import { URL, fileURLToPath } from 'node:url';
import { chromium } from 'playwright-core';

const output =
  process.argv[2] ?? fileURLToPath(new URL('../web/public/sample.jpg', import.meta.url));
const WIDTH = 1200;
const HEIGHT = 900;
const QUALITY = 0.9;

// Runs inside the page; must not close over anything from this module.
/* global document */
function paint(width, height, seedValue, quality) {
  let seed = seedValue >>> 0;
  const rand = () => {
    seed = (seed + 0x6d2b79f5) >>> 0;
    let t = seed;
    t = Math.imul(t ^ (t >>> 15), t | 1);
    t ^= t + Math.imul(t ^ (t >>> 7), t | 61);
    return ((t ^ (t >>> 14)) >>> 0) / 4294967296;
  };

  // Value noise on a hashed lattice, summed over octaves.
  const perm = new Uint8Array(512);
  for (let i = 0; i < 256; i++) perm[i] = i;
  for (let i = 255; i > 0; i--) {
    const j = Math.floor(rand() * (i + 1));
    [perm[i], perm[j]] = [perm[j], perm[i]];
  }
  for (let i = 0; i < 256; i++) perm[i + 256] = perm[i];
  const lattice = (x, y) => perm[(perm[x & 255] + y) & 511] / 255;
  const smooth = (t) => t * t * (3 - 2 * t);
  const noise = (x, y) => {
    const xi = Math.floor(x);
    const yi = Math.floor(y);
    const fx = smooth(x - xi);
    const fy = smooth(y - yi);
    const a = lattice(xi, yi);
    const b = lattice(xi + 1, yi);
    const c = lattice(xi, yi + 1);
    const d = lattice(xi + 1, yi + 1);
    return a + (b - a) * fx + (c - a) * fy + (a - b - c + d) * fx * fy;
  };
  const fbm = (x, y, octaves) => {
    let sum = 0;
    let amp = 0.5;
    let freq = 1;
    for (let o = 0; o < octaves; o++) {
      sum += amp * noise(x * freq, y * freq);
      freq *= 2.03;
      amp *= 0.5;
    }
    return sum;
  };

  const canvas = document.createElement('canvas');
  canvas.width = width;
  canvas.height = height;
  const ctx = canvas.getContext('2d');
  const horizon = Math.round(height * 0.58);
  const img = ctx.createImageData(width, height);
  const px = img.data;
  const put = (x, y, r, g, b) => {
    const i = (y * width + x) * 4;
    px[i] = r;
    px[i + 1] = g;
    px[i + 2] = b;
    px[i + 3] = 255;
  };
  const mix = (a, b, t) => a + (b - a) * t;
  const sunX = width * 0.68;
  const sunY = horizon * 0.42;

  // Sky: warm low, cool high, a sun glow and drifting clouds.
  for (let y = 0; y < horizon; y++) {
    const t = y / horizon;
    for (let x = 0; x < width; x++) {
      let r = mix(70, 250, t ** 1.6);
      let g = mix(110, 196, t ** 1.4);
      let b = mix(170, 150, t);
      const d = Math.hypot(x - sunX, y - sunY) / width;
      const glow = Math.exp(-d * 9) * 0.9 + Math.exp(-d * 40) * 0.6;
      r = mix(r, 255, Math.min(1, glow));
      g = mix(g, 236, Math.min(1, glow));
      b = mix(b, 200, Math.min(1, glow * 0.8));
      const cloud = fbm(x / 260, y / 70 + 3.1, 6);
      const c = Math.max(0, cloud - 0.5) * 2.4 * (1 - t * 0.6);
      r = mix(r, 255, c * 0.85);
      g = mix(g, 244, c * 0.85);
      b = mix(b, 236, c * 0.85);
      put(x, y, r, g, b);
    }
  }

  // Mountain ranges, far to near: lighter and bluer with distance.
  const ranges = [
    { base: 0.6, amp: 0.36, scale: 420, tone: [150, 160, 190], haze: 0.42, seedY: 11 },
    { base: 0.74, amp: 0.34, scale: 300, tone: [95, 105, 140], haze: 0.32, seedY: 23 },
    { base: 0.86, amp: 0.26, scale: 210, tone: [55, 66, 86], haze: 0.15, seedY: 37 },
    { base: 0.97, amp: 0.16, scale: 150, tone: [30, 40, 42], haze: 0.04, seedY: 51 },
  ];
  const ridgeTop = new Float32Array(width).fill(horizon);
  for (const range of ranges) {
    for (let x = 0; x < width; x++) {
      const ridge = fbm(x / range.scale, range.seedY, 7);
      const peak = Math.abs(noise(x / (range.scale * 1.7), range.seedY + 5) - 0.5) * 0.5;
      const top = Math.round(horizon * (range.base - range.amp * (ridge + peak)));
      for (let y = Math.max(0, top); y < horizon; y++) {
        const depth = (y - top) / Math.max(1, horizon - top);
        // Gullies run down the slope: a height field stretched vertically, lit from the sun's side.
        const hx = x / 70 + range.seedY;
        const hy = y / 160;
        const slope = fbm(hx - 0.02, hy, 6) - fbm(hx + 0.02, hy, 6);
        const lit = Math.max(
          0.25,
          Math.min(1.6, 0.8 + slope * 9 + (fbm(x / 6, y / 5, 3) - 0.5) * 0.3),
        );
        const snowLine = (18 + 46 * noise(x / 60, range.seedY + 9)) / Math.max(1, horizon - top);
        const snow =
          range.haze > 0.2
            ? Math.max(0, Math.min(1, (snowLine - depth) * 30)) * (0.55 + 0.45 * Math.min(1, lit))
            : 0;
        let r = range.tone[0] * lit;
        let g = range.tone[1] * lit;
        let b = range.tone[2] * lit;
        r = mix(r, 235 * Math.min(1.08, lit), snow);
        g = mix(g, 238 * Math.min(1.06, lit), snow);
        b = mix(b, 248 * Math.min(1.04, lit), snow);
        const haze = range.haze * (1 - depth * 0.5);
        r = mix(r, 205, haze);
        g = mix(g, 200, haze);
        b = mix(b, 205, haze);
        put(x, y, r, g, b);
      }
      ridgeTop[x] = Math.min(ridgeTop[x], top);
    }
  }

  // Pine trees along the near shore.
  const treeLine = [];
  for (let x = -20; x < width + 20; x += 6 + Math.floor(rand() * 14)) {
    const h = 28 + rand() * 90 * (0.5 + noise(x / 120, 77));
    treeLine.push({ x, h, w: h * (0.22 + rand() * 0.08) });
  }
  for (const tree of treeLine) {
    const baseY = horizon;
    for (let y = Math.floor(baseY - tree.h); y < baseY; y++) {
      if (y < 0) continue;
      const t = (y - (baseY - tree.h)) / tree.h;
      const tier = 0.6 + 0.4 * Math.abs(Math.sin(t * 9));
      const half = tree.w * t * tier;
      for (let x = Math.floor(tree.x - half); x <= tree.x + half; x++) {
        if (x < 0 || x >= width) continue;
        const n = fbm(x / 3, y / 3, 3);
        const v = 14 + 40 * n + (x > tree.x ? 0 : 12);
        put(x, y, v * 0.7, v * 1.05, v * 0.75);
      }
    }
  }

  // Lake: the scene mirrored with ripples, darkened and tinted, with sun glitter.
  const above = new Uint8ClampedArray(px);
  for (let y = horizon; y < height; y++) {
    const depth = (y - horizon) / (height - horizon);
    for (let x = 0; x < width; x++) {
      const ripple = (noise(x / 50, y / 4) - 0.5) * (6 + depth * 40);
      const sy = Math.min(horizon - 1, Math.max(0, Math.round(2 * horizon - y - 1 + ripple)));
      const sx = Math.min(width - 1, Math.max(0, Math.round(x + ripple * 0.4)));
      const i = (sy * width + sx) * 4;
      const dim = 0.72 - depth * 0.35;
      let r = above[i] * dim;
      let g = above[i + 1] * dim + 6;
      let b = above[i + 2] * dim + 14;
      const glitter = Math.exp(-Math.abs(x - sunX) / (60 + depth * 120)) * noise(x / 6, y / 2);
      const sparkle = glitter > 0.62 ? (glitter - 0.62) * 2.6 : 0;
      r = mix(r, 255, sparkle);
      g = mix(g, 240, sparkle);
      b = mix(b, 210, sparkle);
      put(x, y, r, g, b);
    }
  }

  // Film grain over everything.
  for (let i = 0; i < px.length; i += 4) {
    const grain = (rand() - 0.5) * 14;
    px[i] += grain;
    px[i + 1] += grain;
    px[i + 2] += grain;
  }
  ctx.putImageData(img, 0, 0);

  // A soft vignette.
  const vignette = ctx.createRadialGradient(
    width / 2,
    height / 2,
    height * 0.35,
    width / 2,
    height / 2,
    width * 0.75,
  );
  vignette.addColorStop(0, 'rgba(0,0,0,0)');
  vignette.addColorStop(1, 'rgba(0,0,0,0.45)');
  ctx.fillStyle = vignette;
  ctx.fillRect(0, 0, width, height);

  // Grey-scale step wedge and a smooth ramp along the bottom edge, for judging tone.
  const steps = 16;
  const wedgeH = 34;
  const rampH = 20;
  const top = height - wedgeH - rampH - 18;
  ctx.fillStyle = 'rgba(0,0,0,0.55)';
  ctx.fillRect(16, top - 8, width - 32, wedgeH + rampH + 16);
  const inner = width - 48;
  for (let s = 0; s < steps; s++) {
    const v = Math.round((s * 255) / (steps - 1));
    ctx.fillStyle = `rgb(${v},${v},${v})`;
    ctx.fillRect(24 + (s * inner) / steps, top, inner / steps + 0.5, wedgeH);
  }
  const ramp = ctx.createLinearGradient(24, 0, 24 + inner, 0);
  ramp.addColorStop(0, '#000');
  ramp.addColorStop(1, '#fff');
  ctx.fillStyle = ramp;
  ctx.fillRect(24, top + wedgeH, inner, rampH);

  return canvas.toDataURL('image/jpeg', quality);
}

const browser = await chromium.launch({
  executablePath: process.env.SORVENDALE_CHROMIUM ?? '/usr/bin/chromium',
  args: ['--headless', '--no-sandbox', '--disable-gpu', '--disable-background-networking'],
});
try {
  const page = await browser.newPage();
  const url = await page.evaluate(
    `(${paint.toString()})(${WIDTH}, ${HEIGHT}, 20261209, ${QUALITY})`,
  );
  const bytes = Buffer.from(url.slice(url.indexOf(',') + 1), 'base64');
  await writeFile(output, bytes);
  console.log(`${output}: ${WIDTH}x${HEIGHT}, ${bytes.length} bytes`);
} finally {
  await browser.close();
}
