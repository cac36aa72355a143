/// <reference types="node" />
// A printer shared from another computer: the service's cupsd has a queue that forwards over
// IPP to a second cupsd (the print server), whose raw queue sends to the recording printer. A
// print from the page arrives byte for byte behind the server, and printer_status and
// cancel_jobs answer through the chain.
import type { Browser, Page, Request } from 'playwright-core';
import { afterAll, beforeAll, expect, test } from 'vitest';
import { collectPageErrors, launchChromium } from './support/chromium';
import {
  startCups,
  startRecordingPrinter,
  type PrivateCups,
  type RecordingPrinter,
} from './support/cups';
import { designerUrl } from './support/print-setup';
import { freePort, startService, type RunningService } from './support/service';
import type { PrintRequest as Req } from '../web/src/print/rules';

const SERVER_QUEUE = 'Zeko';
const LOCAL_QUEUE = 'Shop_QX530';

let printer: RecordingPrinter;
let server: PrivateCups;
let local: PrivateCups;
let service: RunningService;
let browser: Browser;
let page: Page;
let errors: string[];
const sent: Req[] = [];

async function api(command: string, body: unknown): Promise<{ status: number; body: string }> {
  const reply = await fetch(`${service.url}api/${command}`, {
    method: 'POST',
    headers: { 'Content-Type': 'application/json' },
    body: JSON.stringify(body),
  });
  return { status: reply.status, body: await reply.text() };
}

const states = (body: string) =>
  (JSON.parse(body) as { jobs: { state: string }[] }).jobs.map((j) => j.state);

/** Asks until our jobs in the local queue are in these states (or 30 s pass); the last reply. */
/** The status once its jobs are in these states and, if given, the queue says `message`. */
async function statusWhen(
  wanted: string[],
  message?: string,
): Promise<{ status: number; body: string }> {
  const deadline = Date.now() + 30_000;
  for (;;) {
    const reply = await api('printer_status', { printer: LOCAL_QUEUE });
    // The server's state message reaches the local queue a poll after the job states may.
    const said = message === undefined || reply.body.includes(JSON.stringify(message));
    if ((states(reply.body).join() === wanted.join() && said) || Date.now() > deadline)
      return reply;
    await new Promise((r) => setTimeout(r, 200));
  }
}

beforeAll(async () => {
  printer = await startRecordingPrinter();
  const ippPort = await freePort();
  server = await startCups({ ippPort });
  await server.addRawQueue(SERVER_QUEUE, printer.port);
  local = await startCups();
  await local.tool('lpadmin', [
    '-p',
    LOCAL_QUEUE,
    '-E',
    '-v',
    `ipp://127.0.0.1:${ippPort}/printers/${SERVER_QUEUE}`,
  ]);
  service = await startService({ env: local.env });
  browser = await launchChromium();
  page = await browser.newPage();
  errors = collectPageErrors(page);
  page.on('request', (r: Request) => {
    if (r.url().endsWith('/api/print_sheet'))
      sent.push((r.postDataJSON() as { request: Req }).request);
  });
  await page.goto(designerUrl(service));
  await page.waitForFunction(() => window.__sv !== undefined);
  await page.waitForFunction(
    (name) => document.getElementById('printer-value')?.textContent === name,
    LOCAL_QUEUE,
  );
}, 90_000);

afterAll(async () => {
  await browser?.close();
  await service?.stop();
  await local?.stop();
  await server?.stop();
  await printer?.close();
});

test('a print from the page reaches the printer behind the print server unchanged', async () => {
  await page.evaluate(() => {
    const sv = window.__sv!;
    sv.store.reset(
      sv.parseDoc({
        schemaVersion: 1,
        name: '共享打印',
        page: { widthMm: 40, heightMm: 30, dpi: 203 },
        print: { columns: 1, rowGapMm: 2, density: 9, speed: 3, copies: 2, offsetYMm: -1 },
        objects: [
          { id: 't1', type: 'text', name: '文本', x: 2, y: 2, w: 36, h: 10, text: '共享 ABC' },
          { id: 'r1', type: 'rect', name: '框', x: 1, y: 1, w: 38, h: 28 },
        ],
      }),
      false,
    );
  });
  await page.evaluate(() => window.__sv!.print!());
  const jobs = await printer.waitForJobs(2, 60_000);
  expect(sent).toHaveLength(2);
  for (const [i, r] of sent.entries()) {
    const head =
      `SIZE 40 mm, 30 mm\r\nGAP 2 mm, 0 mm\r\nDIRECTION 1\r\nREFERENCE 0,0\r\nSHIFT -8\r\n` +
      `SET TEAR OFF\r\nDENSITY 9\r\nSPEED 3\r\nCLS\r\nBITMAP 0,0,40,240,0,`;
    const expected = Buffer.concat([
      Buffer.from(head, 'latin1'),
      Buffer.from(r.data_b64, 'base64'),
      Buffer.from('\r\nPRINT 1,1\r\n', 'latin1'),
    ]);
    expect(jobs[i].equals(expected)).toBe(true);
  }
  expect(errors).toEqual([]);
}, 120_000);

test('printer_status and cancel_jobs answer through the chain', async () => {
  // The page's two jobs end in the local queue once the server reports them printed.
  const idle = await statusWhen(['done', 'done']);
  expect(idle.status).toBe(200);
  expect(JSON.parse(idle.body)).toMatchObject({ state: 'idle', jobs: [{}, {}] });
  expect(states(idle.body)).toEqual(['done', 'done']);

  // The server's queue is paused: the job on its way waits there, the next waits here. The
  // local queue reports the server's state message, and our waiting job can be withdrawn.
  await server.tool('cupsdisable', [SERVER_QUEUE]);
  const before = printer.jobs().length;
  await page.evaluate(() => window.__sv!.print!());
  const status = await statusWhen(['done', 'done', 'printing', 'pending'], 'Paused');
  expect(states(status.body)).toEqual(['done', 'done', 'printing', 'pending']);
  expect(JSON.parse(status.body)).toMatchObject({ state: 'printing', message: 'Paused' });
  expect(await api('cancel_jobs', { printer: LOCAL_QUEUE })).toEqual({
    status: 200,
    body: '{"cancelled":1}',
  });

  // Resumed, the server prints the job it held; the withdrawn one never comes.
  await server.tool('cupsenable', [SERVER_QUEUE]);
  await printer.waitForJobs(before + 1, 60_000);
  await new Promise((r) => setTimeout(r, 2000));
  expect(printer.jobs()).toHaveLength(before + 1);
  const after = await statusWhen(['done', 'done', 'done', 'cancelled']);
  expect(states(after.body)).toEqual(['done', 'done', 'done', 'cancelled']);
}, 120_000);
