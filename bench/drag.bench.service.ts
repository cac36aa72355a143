/// <reference types="node" />
// Dragging a picture on the demo label in the real page, as served by the service, against the
// same mouse merely hovering over the canvas. Chromium runs with software compositing
// (--disable-gpu), as on a PC without working GPU acceleration. Reports how far apart the page
// handles the moves (the hover baseline is one frame) and the CPU per handled move of each of
// the browser's processes.
import { chromium, type Browser, type Page } from 'playwright-core';
import { afterAll, beforeAll, test } from 'vitest';
import { chromiumArgs, chromiumPath } from '../e2e/support/chromium';
import { startService, type RunningService } from '../e2e/support/service';

const MOVES = Number(process.env.SV_BENCH_MOVES ?? 300);

let service: RunningService;
let browser: Browser;
let page: Page;

beforeAll(async () => {
  service = await startService();
  browser = await chromium.launch({
    executablePath: chromiumPath,
    headless: true,
    args: chromiumArgs,
  });
  page = await browser.newPage({ viewport: { width: 1440, height: 900 } });
  await page.goto(
    `${service.url}?demo&api=${encodeURIComponent(`http://127.0.0.1:${service.port}`)}`,
  );
  await page.waitForFunction(() => window.__sv?.store.doc.objects.length);
});

afterAll(async () => {
  await browser?.close();
  await service?.stop();
});

/** CPU seconds used so far by the browser's processes, by process type, and by all together. */
async function browserCpu(): Promise<Record<string, number>> {
  const session = await browser.newBrowserCDPSession();
  const { processInfo } = await session.send('SystemInfo.getProcessInfo');
  await session.detach();
  const byType: Record<string, number> = { all: 0 };
  for (const p of processInfo) {
    byType[p.type] = (byType[p.type] ?? 0) + p.cpuTime;
    byType.all += p.cpuTime;
  }
  return byType;
}

/** Adds a photograph-like picture to the demo label; answers its centre in client pixels. */
async function addPicture(): Promise<{ x: number; y: number; scale: number }> {
  return page.evaluate(async () => {
    const sv = window.__sv!;
    const size = 800;
    const c = document.createElement('canvas');
    c.width = c.height = size;
    const g = c.getContext('2d')!;
    const fill = g.createRadialGradient(size / 2, size / 2, 10, size / 2, size / 2, size / 1.5);
    fill.addColorStop(0, '#eee');
    fill.addColorStop(1, '#222');
    g.fillStyle = fill;
    g.fillRect(0, 0, size, size);
    for (let i = 0; i < 300; i++) {
      g.fillStyle = `rgb(${(i * 37) % 256},${(i * 91) % 256},${(i * 53) % 256})`;
      g.fillRect((i * 131) % size, (i * 71) % size, 40, 25);
    }
    const doc = JSON.parse(JSON.stringify(sv.store.doc)) as { objects: unknown[] };
    const pic = { id: 'pic', type: 'image', name: '图片', x: 20, y: 8, w: 16, h: 16 };
    doc.objects.push({ ...pic, src: c.toDataURL('image/png'), ditherMode: 'floyd' });
    sv.store.reset(sv.parseDoc(doc), false);
    await new Promise((r) => setTimeout(r, 1500));
    const canvas = document.getElementById('editor-canvas')!;
    const rect = canvas.getBoundingClientRect();
    const scale = rect.width / sv.store.doc.page.widthMm;
    return {
      x: rect.left + (pic.x + pic.w / 2) * scale,
      y: rect.top + (pic.y + pic.h / 2) * scale,
      scale,
    };
  });
}

interface Run {
  handled: number;
  medianMs: number;
  p95Ms: number;
  cpu: Record<string, number>;
}

/** Moves the mouse in small steps around (x, y); times the page's pointermove handling. */
async function moveAround(x: number, y: number, scale: number): Promise<Run> {
  await page.evaluate(() => {
    const w = window as unknown as { benchMoves?: number[] };
    if (!w.benchMoves) {
      window.addEventListener('pointermove', () => w.benchMoves!.push(performance.now()), {
        capture: true,
      });
    }
    w.benchMoves = [];
  });
  const before = await browserCpu();
  for (let i = 0; i < MOVES; i++) {
    const t = i / 15;
    await page.mouse.move(x + 6 * scale * Math.sin(t), y + 4 * scale * Math.sin(t / 2));
  }
  const after = await browserCpu();
  const stamps = await page.evaluate(() => {
    const w = window as unknown as { benchMoves: number[] };
    const copy = w.benchMoves;
    w.benchMoves = [];
    return copy;
  });
  const gaps = stamps.slice(1).map((s, i) => s - stamps[i]);
  gaps.sort((a, b) => a - b);
  const at = (p: number) => gaps[Math.min(gaps.length - 1, Math.floor(gaps.length * p))] ?? NaN;
  const handled = stamps.length;
  const cpu = Object.fromEntries(
    Object.keys(after).map((k) => [k, ((after[k] - (before[k] ?? 0)) * 1000) / handled]),
  );
  return { handled, medianMs: at(0.5), p95Ms: at(0.95), cpu };
}

test(`drag a picture on the demo label, ${MOVES} mouse moves, vs hovering`, async () => {
  const { x, y, scale } = await addPicture();
  // Hover beside the label's centre first, then drag the picture over the same path.
  await page.mouse.move(x, y);
  const hover = await moveAround(x, y, scale);
  await page.mouse.move(x, y);
  await page.mouse.down();
  const drag = await moveAround(x, y, scale);
  await page.mouse.up();
  const moved = await page.evaluate(() => {
    const pic = window.__sv!.store.doc.objects.find((o) => o.id === 'pic');
    return pic ? `${pic.x.toFixed(1)}, ${pic.y.toFixed(1)}` : 'missing';
  });
  const line = (name: string, r: Run) =>
    `${name}: ${r.handled} moves handled, every ${r.medianMs.toFixed(1)} ms (median), ` +
    `p95 ${r.p95Ms.toFixed(1)} ms; CPU per move ${Object.entries(r.cpu)
      .map(([k, v]) => `${k} ${v.toFixed(1)} ms`)
      .join(', ')}`;
  console.log(
    [
      line('hover', hover),
      line('drag', drag),
      `drag/hover interval: median ${(drag.medianMs / hover.medianMs).toFixed(2)}, ` +
        `p95 ${(drag.p95Ms / hover.p95Ms).toFixed(2)}; the picture ended at (${moved}) mm`,
    ].join('\n'),
  );
});
