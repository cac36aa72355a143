/// <reference types="node" />
// A real batch against a slow printer behind a private cupsd: the designer keeps only a few of
// its jobs in the spooler, pauses while the queue is disabled and resumes by itself, and a stop
// withdraws what still waits, so nothing of ours is left in the queue.
import { join } from 'node:path';
import type { Page } from 'playwright-core';
import { afterAll, beforeAll, expect, test } from 'vitest';
import { testOutputDir } from './support/paths';
import { startPrintSetup, type PrintSetup } from './support/print-setup';

const QUEUE = 'Slow_Zeko';
const RECORDS = 30;

let setup: PrintSetup;
let page: Page;
let errors: string[];
let sent: unknown[]; // the page's print_sheet requests

interface Job {
  id: number;
  state: string;
}

/** Our jobs in the queue, straight from the service (the page is not asked). */
async function queueJobs(): Promise<Job[]> {
  const reply = await fetch(`${setup.service.url}api/printer_status`, {
    method: 'POST',
    headers: { 'Content-Type': 'application/json' },
    body: JSON.stringify({ printer: QUEUE }),
  });
  expect(reply.status).toBe(200);
  return ((await reply.json()) as { jobs: Job[] }).jobs;
}
const waiting = (jobs: Job[]) =>
  jobs.filter((j) => j.state === 'pending' || j.state === 'printing').length;

const statusText = () => page.locator('#status-title').innerText();
const hint = () => page.locator('#printer-hint').innerText();

beforeAll(async () => {
  // About a second and a quarter a label (each job is one 40 × 30 mm label, about 10 KB).
  setup = await startPrintSetup({ queues: [QUEUE], printer: { bytesPerSecond: 8_000 } });
  ({ page, errors, sent } = await setup.open({ printer: QUEUE }));
}, 90_000);

afterAll(async () => {
  await setup?.stop();
});

test('a batch of 30 paced to a slow printer: at most 3 queued, a pause, a stop that withdraws', async () => {
  await expect.poll(() => page.locator('#printer-state').innerText()).toBe('打印机就绪');
  await page.evaluate((count) => {
    const sv = window.__sv!;
    const doc = sv.parseDoc({
      schemaVersion: 1,
      name: '节奏测试',
      page: { widthMm: 40, heightMm: 30, dpi: 203 },
      print: { columns: 1, copies: 1, density: 8, speed: 4 },
      objects: [
        { id: 'r1', type: 'rect', name: '边框', x: 1, y: 1, w: 38, h: 28, lineWidth: 0.6 },
        { id: 't1', type: 'text', name: '编号', x: 3, y: 3, w: 34, h: 8, text: '{{编号}}' },
      ],
    });
    sv.store.reset(doc, false);
    const lines = ['编号'];
    for (let i = 1; i <= count; i++) lines.push(`R${i}`);
    sv.store.setDataset(sv.parseCsv(lines.join('\n')));
  }, RECORDS);

  // The queue is sampled all along; the designer must never let it grow past three.
  let most = 0;
  let sampling = true;
  const sampler = (async () => {
    while (sampling) {
      most = Math.max(most, waiting(await queueJobs()));
      await new Promise((r) => setTimeout(r, 100));
    }
  })();

  page.once('dialog', (d) => void d.accept());
  await page.click('#btn-batch');
  await expect.poll(() => sent.length, { timeout: 20_000 }).toBeGreaterThanOrEqual(6);

  // A disabled queue pauses the batch: the status says so and nothing more is sent.
  await setup.cups.tool('cupsdisable', [QUEUE]);
  await expect.poll(statusText, { timeout: 5_000 }).toMatch(/^批量已暂停：/);
  await expect.poll(() => page.locator('#printer-state').innerText()).toMatch(/^打印机已暂停/);
  await page.screenshot({ path: join(testOutputDir(), 'print-pacing-paused.png') });
  const sentWhilePaused = sent.length;
  await new Promise((r) => setTimeout(r, 2_000));
  expect(sent.length).toBe(sentWhilePaused);
  expect(await statusText()).toMatch(/^批量已暂停：/);

  // Enabled again, the batch goes on by itself.
  await setup.cups.tool('cupsenable', [QUEUE]);
  await expect.poll(statusText, { timeout: 5_000 }).toMatch(/^批量 \d+\/30/);
  await expect
    .poll(() => sent.length, { timeout: 20_000 })
    .toBeGreaterThanOrEqual(sentWhilePaused + 4);

  // The stop withdraws every job of ours still waiting; the one on paper finishes.
  await page.click('#btn-batch');
  await expect.poll(statusText, { timeout: 10_000 }).toMatch(/^批量已停止 \d+\/30$/);
  const rows = sent.length;
  expect(rows).toBeLessThan(RECORDS);
  const text = await hint();
  const [, printed, withdrawn] = /^批量已停止：(\d+) 条已送往打印机，(\d+) 条已从队列撤回$/
    .exec(text)!
    .map(Number);
  expect(printed + withdrawn).toBe(rows);
  expect(await statusText()).toBe(`批量已停止 ${printed}/30`);
  expect((await queueJobs()).filter((j) => j.state === 'pending')).toEqual([]);
  // The job on paper is left to finish; after it, nothing of ours is in the queue.
  await expect.poll(async () => waiting(await queueJobs()), { timeout: 10_000 }).toBe(0);
  sampling = false;
  await sampler;
  expect(most).toBeLessThanOrEqual(3);
  const jobs = await queueJobs();
  expect(jobs.filter((j) => j.state === 'cancelled')).toHaveLength(withdrawn);
  expect(jobs.filter((j) => j.state === 'done')).toHaveLength(printed);
  await page.screenshot({ path: join(testOutputDir(), 'print-pacing-stopped.png') });
  expect(errors).toEqual([]);
}, 60_000);
